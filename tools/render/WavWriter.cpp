#include "tools/render/WavWriter.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/render/RemoveOnSignal.h"

namespace {

std::string SystemError() { return std::strerror(errno); }

// Write permission as for any new file: what the umask leaves of rw-rw-rw-.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::CreateTemporary(std::string& error) {
  if (toStandardOutput_) {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder && *folder ? folder : "/tmp") + "/sarn-render-XXXXXX";
    temporaryFd_ = mkstemp(&name[0]);
    if (temporaryFd_ < 0) {
      error = "cannot create a temporary file in " + name.substr(0, name.find_last_of('/')) + ": " + SystemError();
      return false;
    }
    unlink(name.c_str());  // unnamed: nothing to clean up, whatever ends the program
    return true;
  }
  std::string name = path_ + ".XXXXXX.part";
  temporaryFd_ = RemoveOnSignal::CreateArmed(name, 5);
  if (temporaryFd_ < 0) {
    error = "cannot write " + path_ + ": " + SystemError();
    return false;
  }
  temporaryPath_ = name;
  fchmod(temporaryFd_, NewFileMode());
  return true;
}

bool WavWriter::Open(const std::string& path, int sampleRate, int channels, Format format, std::string& error) {
  Discard();
  path_ = path;
  toStandardOutput_ = path == "-";
  if (!CreateTemporary(error)) return false;
  SF_INFO info = {};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_RF64 | (format == Format::kFloat32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
  file_ = sf_open_fd(temporaryFd_, SFM_WRITE, &info, SF_FALSE);
  if (!file_) {
    error = "cannot write " + path + ": " + sf_strerror(nullptr);
    Discard();
    return false;
  }
  // RF64 only when the data passes 4 GiB, where the RIFF sizes would wrap; plain WAVE below. Unlike
  // WAV, RF64 gets no PEAK chunk (which holds the time of writing), so the same render gives the same
  // bytes. SFC_SET_ADD_PEAK_CHUNK stays unused: asked for none, libsndfile 1.2 adds one to RF64.
  sf_command(file_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
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

bool WavWriter::CopyToStandardOutput(std::string& error) {
  if (lseek(temporaryFd_, 0, SEEK_SET) != 0) {
    error = "cannot read back the temporary file: " + SystemError();
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(temporaryFd_, buffer, sizeof(buffer));
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = "cannot read back the temporary file: " + SystemError();
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(STDOUT_FILENO, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        error = "cannot write to standard output: " + SystemError();
        return false;
      }
      done += put;
    }
  }
}

bool WavWriter::Commit(std::string& error) {
  if (!file_) {
    error = "no output file is open";
    return false;
  }
  const int closed = sf_close(file_);
  file_ = nullptr;
  bool done = closed == 0;
  if (!done) error = "cannot finish " + path_ + ": " + sf_error_number(closed);
  if (done && toStandardOutput_) done = CopyToStandardOutput(error);
  if (close(temporaryFd_) != 0 && done) {
    error = "cannot write " + path_ + ": " + SystemError();
    done = false;
  }
  temporaryFd_ = -1;
  if (done && !toStandardOutput_ && std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    error = "cannot rename " + temporaryPath_ + " to " + path_ + ": " + SystemError();
    done = false;
  }
  if (done) {
    RemoveOnSignal::Disarm();
    temporaryPath_.clear();
  }
  Discard();
  return done;
}

void WavWriter::Discard() {
  if (file_) {
    sf_close(file_);
    file_ = nullptr;
  }
  if (temporaryFd_ >= 0) {
    close(temporaryFd_);
    temporaryFd_ = -1;
  }
  if (!temporaryPath_.empty()) {
    std::remove(temporaryPath_.c_str());
    RemoveOnSignal::Disarm();
    temporaryPath_.clear();
  }
}
