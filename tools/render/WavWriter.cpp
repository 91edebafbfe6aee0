#include "tools/render/WavWriter.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Open(const std::string& path, int sampleRate, int channels, Format format, std::string& error) {
  Discard();
  path_ = path;
  temporaryPath_ = path + ".part";
  SF_INFO info = {};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | (format == Format::kFloat32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
  file_ = sf_open(temporaryPath_.c_str(), SFM_WRITE, &info);
  if (!file_) {
    error = "cannot write " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  // Without clipping, samples beyond full scale would wrap around in the integer format.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  channels_ = channels;
  framesWritten_ = 0;
  peak_ = 0.0f;
  overFullScale_ = 0;
  return true;
}

bool WavWriter::Write(const float* const* channels, int frames, std::string& error) {
  if (!file_) {
    error = "no output file is open";
    return false;
  }
  interleaved_.resize(static_cast<size_t>(frames) * static_cast<size_t>(channels_));
  for (int c = 0; c < channels_; ++c) {
    const float* in = channels[c];
    for (int i = 0; i < frames; ++i) {
      const float v = in[i];
      const float magnitude = std::fabs(v);
      if (magnitude > peak_ || std::isnan(v)) peak_ = std::isnan(v) ? INFINITY : magnitude;
      if (magnitude > 1.0f) ++overFullScale_;
      interleaved_[static_cast<size_t>(i) * channels_ + c] = v;
    }
  }
  if (sf_writef_float(file_, interleaved_.data(), frames) != frames) {
    error = "cannot write " + path_ + ": " + sf_strerror(file_);
    return false;
  }
  framesWritten_ += frames;
  return true;
}

bool WavWriter::Commit(std::string& error) {
  if (!file_) {
    error = "no output file is open";
    return false;
  }
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0) {
    error = "cannot finish " + path_ + ": " + sf_error_number(closed);
    std::remove(temporaryPath_.c_str());
    return false;
  }
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    error = "cannot rename " + temporaryPath_ + " to " + path_;
    std::remove(temporaryPath_.c_str());
    return false;
  }
  temporaryPath_.clear();
  return true;
}

void WavWriter::Discard() {
  if (file_) {
    sf_close(file_);
    file_ = nullptr;
  }
  if (!temporaryPath_.empty()) {
    std::remove(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
}
