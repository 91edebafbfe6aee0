// Writes interleaved audio to a WAV file with libsndfile: 24-bit PCM (clipped at full scale) or
// 32-bit float. The file is RF64 when its data passes 4 GiB and plain RIFF/WAVE otherwise, and holds
// no PEAK chunk (it carries the time of writing), so the same render gives the same bytes. It is written under
// a fresh temporary name beside the target (removed on failure and on SIGINT/SIGTERM/SIGHUP) and
// renamed when complete; for standard output ("-") it is written to an unnamed temporary file and
// copied out when complete, since a WAV header is finished only at the end.
#pragma once

#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

class WavWriter {
 public:
  enum class Format { kPcm24, kFloat32 };

  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool Open(const std::string& path, int sampleRate, int channels, Format format, std::string& error);
  // Channel buffers of `frames` samples each, as many as the file has channels.
  bool Write(const float* const* channels, int frames, std::string& error);
  // Closes the file and gives it its final name, or copies it to standard output.
  bool Commit(std::string& error);

  long long FramesWritten() const { return framesWritten_; }
  float Peak() const { return peak_; }
  // Samples beyond full scale (clipped in a PCM file).
  long long OverFullScale() const { return overFullScale_; }

 private:
  // A new empty file for the data: temporaryFd_ and temporaryPath_ (empty when unnamed).
  bool CreateTemporary(std::string& error);
  bool CopyToStandardOutput(std::string& error);
  void Discard();

  SNDFILE* file_ = nullptr;
  std::string path_;
  bool toStandardOutput_ = false;
  int temporaryFd_ = -1;
  std::string temporaryPath_;
  int channels_ = 0;
  std::vector<float> interleaved_;
  long long framesWritten_ = 0;
  float peak_ = 0.0f;
  long long overFullScale_ = 0;
};
