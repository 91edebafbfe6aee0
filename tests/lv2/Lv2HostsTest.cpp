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

// ---------------------------------------------------------------- Ardour, headless

// A Lua DSP processor before the instrument plays a program change to 6 and a two-note chord while the
// transport rolls (a session made by script has no MIDI regions).
const char* kNotesScript = R"lua(ardour { ["type"] = "dsp", name = "Sarn Test Notes", category = "Utility", license = "MIT",
  author = "Sarn tests", description = "Program 7 and one chord" }
function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = -1, audio_out = -1 } } end
function dsp_has_midi_input () return true end
function dsp_has_midi_output () return true end
function dsp_run (_, _, n_samples)
  assert (type (midiout) == "table")
  if not Session:transport_rolling () then return end
  local pos = Session:transport_sample ()
  local events = { { 0, 0xC0, 6 }, { 4800, 0x90, 57, 100 }, { 4800, 0x90, 64, 100 }, { 52800, 0x80, 57, 0 },
                   { 52800, 0x80, 64, 0 } }
  local m = 1
  for _, e in ipairs (events) do
    if e[1] >= pos and e[1] < pos + n_samples then
      midiout[m] = { time = e[1] - pos + 1, data = e[4] and { e[2], e[3], e[4] } or { e[2], e[3] } }
      m = m + 1
    end
  end
end
)lua";

// A session with Sarn on a MIDI track after the note player. With edit, program 7 ("Retrigger Space")
// is chosen, its volume turned down to 0.05 and program 1 chosen again before saving: the edit lives
// only in the plug-in's state, and comes back only if the session restores it.
std::string SessionScript(const std::string& folder, const std::string& name, bool edit) {
  std::string script = R"lua(AudioEngine:set_backend ("None (Dummy)", "", "")
AudioEngine:start (false)
local s = create_session (")lua" + folder + "/" + name + R"lua(", ")lua" + name + R"lua(", 48000)
assert (s)
local info = ARDOUR.LuaAPI.new_plugin_info (")lua" + std::string(kLv2PluginUri) + R"lua(", ARDOUR.PluginType.LV2)
assert (not info:isnil ())
local track = s:new_midi_track (ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1), ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2),
  true, info, nil, nil, 1, "Sarn", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false):front ()
assert (track:add_processor_by_index (ARDOUR.LuaAPI.new_luaproc (s, "Sarn Test Notes"), 0, nil, true) == 0)
local sarn = track:nth_plugin (1):to_insert ()
local function preset (label)
  local p = sarn:plugin (0):preset_by_label (label)
  assert (p, label)
  assert (sarn:plugin (0):load_preset (p), label)
  ARDOUR.LuaAPI.usleep (300000)
end
)lua";
  if (edit) {
    script += R"lua(preset ("Retrigger Space")
assert (ARDOUR.LuaAPI.set_processor_param (sarn, 0, 0.05))
ARDOUR.LuaAPI.usleep (300000)
preset ("Phazed Orchestra")
)lua";
  }
  script += R"lua(assert (s:save_state ("", false, false, false, false, false) == 0)
close_session ()
)lua";
  return script;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out);
}

// Interleaved samples of a 16-bit PCM WAV file, as -1..1.
bool ReadWav(const std::string& path, int& channels, std::vector<float>& samples) {
  const std::string data = ReadFile(path);
  if (data.size() < 12 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "WAVE") != 0) return false;
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, data.data() + at, 4);
    return v;
  };
  int bits = 0;
  for (size_t at = 12; at + 8 <= data.size();) {
    const uint32_t size = u32(at + 4);
    if (data.compare(at, 4, "fmt ") == 0 && at + 24 <= data.size()) {
      channels = static_cast<uint8_t>(data[at + 10]);
      bits = static_cast<uint8_t>(data[at + 22]);
    } else if (data.compare(at, 4, "data") == 0 && bits == 16) {
      const size_t count = std::min<size_t>(size, data.size() - at - 8) / 2;
      samples.resize(count);
      for (size_t i = 0; i < count; ++i) {
        int16_t v;
        std::memcpy(&v, data.data() + at + 8 + 2 * i, 2);
        samples[i] = static_cast<float>(v) / 32768.0f;
      }
      return channels > 0;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}

// Makes a session by script, gives it a session range of two seconds and exports it.
bool RenderSession(const std::string& folder, const std::string& name, bool edit, std::string& log) {
  const std::string script = folder + "/" + name + ".lua";
  if (!WriteText(script, SessionScript(folder, name, edit))) return false;
  const std::string env = "LV2_PATH='" + folder + "/lv2' XDG_CONFIG_HOME='" + folder + "/config' ";
  const std::string make = env + "timeout 120 ardour7-lua '" + script + "' > '" + folder + "/" + name + "-lua.log' 2>&1";
  if (std::system(make.c_str()) != 0) {
    log = ReadFile(folder + "/" + name + "-lua.log");
    return false;
  }
  // Two seconds from the start, in superclock units (282240000 a second).
  const std::string sessionFile = folder + "/" + name + "/" + name + ".ardour";
  std::string xml = ReadFile(sessionFile);
  const size_t empty = xml.find("<Locations/>");
  if (empty == std::string::npos) return false;
  xml.replace(empty, 12,
              "<Locations><Location id=\"900001\" name=\"session\" start=\"a0\" end=\"a564480000\" "
              "flags=\"IsSessionRange\" locked=\"0\" timestamp=\"1\" cue=\"0\"/></Locations>");
  if (!WriteText(sessionFile, xml)) return false;
  const std::string render = env + "timeout 120 ardour7-export -o '" + folder + "/" + name + ".wav' '" + folder + "/" +
                             name + "' " + name + " > '" + folder + "/" + name + "-export.log' 2>&1";
  if (std::system(render.c_str()) != 0) {
    log = ReadFile(folder + "/" + name + "-export.log");
    return false;
  }
  return true;
}

TEST(Lv2Hosts, ArdourRendersTheInstrumentAndRestoresAnEditedProgram) {
  if (!Installed("ardour7-lua") || !Installed("ardour7-export")) GTEST_SKIP() << "Ardour 7 is not installed";
  const std::string folder = TempFolder("ardour");
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "/lv2' '" + folder + "/config/ardour7/scripts'").c_str()), 0);
  ASSERT_EQ(symlink(SARN_LV2_BUNDLE, (folder + "/lv2/sarn.lv2").c_str()), 0);
  ASSERT_TRUE(WriteText(folder + "/config/ardour7/scripts/sarn_test_notes.lua", kNotesScript));

  std::string log;
  ASSERT_TRUE(RenderSession(folder, "factory", false, log)) << log;
  ASSERT_TRUE(RenderSession(folder, "edited", true, log)) << log;
  int channels = 0;
  std::vector<float> factory, edited;
  ASSERT_TRUE(ReadWav(folder + "/factory.wav", channels, factory));
  ASSERT_EQ(channels, 2);
  ASSERT_TRUE(ReadWav(folder + "/edited.wav", channels, edited));
  ASSERT_EQ(channels, 2);
  EXPECT_EQ(factory.size(), 2u * 96000u);
  EXPECT_EQ(edited.size(), 2u * 96000u);
  auto rms = [](const std::vector<float>& s) {
    double sum = 0.0;
    for (float v : s) sum += static_cast<double>(v) * v;
    return s.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(s.size()));
  };
  const double factoryLevel = rms(factory), editedLevel = rms(edited);
  std::printf("Ardour: %zu frames each; RMS of program 7 %.5f, of program 7 edited to volume 0.05 %.5f\n",
              factory.size() / 2, factoryLevel, editedLevel);
  // The saved state carries the bank; the restored edit plays program 7 at a small part of its level.
  const std::string bankInState = "grep -rqF '" + std::string(kLv2StateBank) + "' '" + folder + "/edited/plugins'";
  EXPECT_EQ(std::system(bankInState.c_str()), 0);
  EXPECT_GT(factoryLevel, 0.005);
  EXPECT_GT(editedLevel, 1e-4);
  EXPECT_LT(editedLevel, 0.2 * factoryLevel);
  std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
