// The LV2 bundle in real hosts: jalv on a JACK server with the dummy driver, played by a JACK client of
// the test and recorded by it; Ardour rendering a session headless and restoring the plug-in's state
// from it. Each test is skipped only when its program is not installed (tools/setup.sh installs them).
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plugin/lv2/Lv2Uris.h"

namespace {

using Clock = std::chrono::steady_clock;

bool Installed(const char* program) {
  const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

std::string TempFolder(const char* name) {
  std::string folder = std::string("/tmp/sarn-") + name + "-XXXXXX";
  return mkdtemp(&folder[0]) ? folder : "";
}

// A program of the test's, its output in a log file, its input a pipe held open until it is stopped.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::string& log) {
    int input[2];
    if (pipe(input) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input[0], STDIN_FILENO);
      close(input[1]);
      FILE* out = std::fopen(log.c_str(), "w");
      if (out) {
        dup2(fileno(out), STDOUT_FILENO);
        dup2(fileno(out), STDERR_FILENO);
      }
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(input[0]);
    input_ = input[1];
  }
  ~Child() { Stop(); }
  bool Running() {
    if (pid_ <= 0) return false;
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    return true;
  }
  // SIGTERM, then SIGKILL when it has not ended within two seconds.
  void Stop() {
    if (input_ >= 0) close(input_);
    input_ = -1;
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < deadline) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---------------------------------------------------------------- jalv on JACK

// Plays a note into the plug-in and records what comes back, in the JACK process callback.
class JackPlayer {
 public:
  static constexpr double kNoteOn = 0.2;   // seconds from the start of the recording
  static constexpr double kNoteOff = 1.2;
  static constexpr double kLength = 2.5;

  bool Open() {
    jack_status_t status;
    client_ = jack_client_open("sarn-test", JackNoStartServer, &status);
    if (!client_) return false;
    rate_ = jack_get_sample_rate(client_);
    midi_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    in_[0] = jack_port_register(client_, "in_l", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "in_r", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    const size_t frames = static_cast<size_t>(kLength * rate_);
    for (auto& r : recorded_) r.assign(frames, 0.0f);
    jack_set_process_callback(client_, Process, this);
    return midi_ && in_[0] && in_[1] && jack_activate(client_) == 0;
  }
  bool Connect(const std::string& plugin) {
    return jack_connect(client_, "sarn-test:midi_out", (plugin + ":events").c_str()) == 0 &&
           jack_connect(client_, (plugin + ":out_left").c_str(), "sarn-test:in_l") == 0 &&
           jack_connect(client_, (plugin + ":out_right").c_str(), "sarn-test:in_r") == 0;
  }
  void Start() { recording_.store(true); }
  bool Done() const { return position_.load() >= recorded_[0].size(); }
  ~JackPlayer() {
    if (client_) jack_client_close(client_);
  }
  const std::vector<float>& Channel(int c) const { return recorded_[c]; }
  size_t Recorded() const { return position_.load(); }
  double Rate() const { return rate_; }

 private:
  static int Process(jack_nframes_t frames, void* self) { return static_cast<JackPlayer*>(self)->Run(frames); }
  int Run(jack_nframes_t frames) {
    void* midi = jack_port_get_buffer(midi_, frames);
    jack_midi_clear_buffer(midi);
    if (!recording_.load()) return 0;
    const size_t start = position_.load();
    const size_t total = recorded_[0].size();
    if (start >= total) return 0;
    const size_t on = static_cast<size_t>(kNoteOn * rate_), off = static_cast<size_t>(kNoteOff * rate_);
    const jack_midi_data_t noteOn[3] = {0x90, 57, 100}, noteOff[3] = {0x80, 57, 0};
    if (on >= start && on < start + frames) jack_midi_event_write(midi, static_cast<jack_nframes_t>(on - start), noteOn, 3);
    if (off >= start && off < start + frames) jack_midi_event_write(midi, static_cast<jack_nframes_t>(off - start), noteOff, 3);
    const size_t n = std::min<size_t>(frames, total - start);
    for (int c = 0; c < 2; ++c) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(in_[c], frames));
      std::copy(in, in + n, recorded_[c].begin() + static_cast<long>(start));
    }
    position_.store(start + n);
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* midi_ = nullptr;
  jack_port_t* in_[2] = {nullptr, nullptr};
  std::vector<float> recorded_[2];
  std::atomic<size_t> position_{0};
  std::atomic<bool> recording_{false};
  double rate_ = 48000.0;
};

double Rms(const std::vector<float>& left, const std::vector<float>& right, double from, double to, double rate) {
  const size_t a = static_cast<size_t>(from * rate), b = std::min(left.size(), static_cast<size_t>(to * rate));
  double sum = 0.0;
  for (size_t i = a; i < b; ++i) sum += static_cast<double>(left[i]) * left[i] + static_cast<double>(right[i]) * right[i];
  return b > a ? std::sqrt(sum / (2.0 * static_cast<double>(b - a))) : 0.0;
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(Lv2Hosts, JalvPlaysANoteFromJack) {
  if (!Installed("jackd") || !Installed("jalv")) GTEST_SKIP() << "jackd or jalv is not installed";
  const std::string folder = TempFolder("jalv");
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(symlink(SARN_LV2_BUNDLE, (folder + "/sarn.lv2").c_str()), 0);
  // A server of the test's own, by name, on the dummy driver (no sound card, no D-Bus).
  const std::string server = "sarn-test-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  setenv("LV2_PATH", folder.c_str(), 1);
  Child jackd({"jackd", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"}, folder + "/jackd.log");
  JackPlayer player;
  ASSERT_TRUE(WaitFor([&] { return player.Open(); }, 10000)) << ReadFile(folder + "/jackd.log");
  Child jalv({"jalv", "-n", "sarn", "-x", kLv2PluginUri}, folder + "/jalv.log");
  ASSERT_TRUE(WaitFor([&] { return player.Connect("sarn"); }, 15000)) << ReadFile(folder + "/jalv.log");
  player.Start();
  ASSERT_TRUE(WaitFor([&] { return player.Done(); }, 15000)) << player.Recorded();
  EXPECT_TRUE(jalv.Running()) << ReadFile(folder + "/jalv.log");

  const auto& l = player.Channel(0);
  const auto& r = player.Channel(1);
  const double rate = player.Rate();
  EXPECT_EQ(l.size(), static_cast<size_t>(JackPlayer::kLength * rate));
  const double before = Rms(l, r, 0.0, 0.15, rate);
  const double held = Rms(l, r, 0.5, 1.1, rate);
  const double end = Rms(l, r, 2.3, 2.5, rate);
  std::printf("jalv: %zu frames at %.0f Hz; RMS before the note %.2e, held %.4f, at the end %.2e\n", l.size(), rate,
              before, held, end);
  EXPECT_LT(before, 1e-5);
  EXPECT_GT(held, 0.005);
  EXPECT_LT(end, held * 0.1);
  jalv.Stop();
  jackd.Stop();
  std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
