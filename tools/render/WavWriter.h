// Writes interleaved audio to a WAV file with libsndfile: 24-bit PCM (clipped at full scale) or
// 32-bit float. The file is written under a temporary name and renamed when complete, so a failed
// render never leaves a half-written file or replaces an existing one.
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
  // Closes the file and gives it its final name.
  bool Commit(std::string& error);

  long long FramesWritten() const { return framesWritten_; }
  float Peak() const { return peak_; }
  // Samples beyond full scale (clipped in a PCM file).
  long long OverFullScale() const { return overFullScale_; }

 private:
  void Discard();

  SNDFILE* file_ = nullptr;
  std::string path_;
  std::string temporaryPath_;
  int channels_ = 0;
  std::vector<float> interleaved_;
  long long framesWritten_ = 0;
  float peak_ = 0.0f;
  long long overFullScale_ = 0;
};
