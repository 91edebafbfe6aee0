// sarn-render run as a program: bad modules and bad MIDI files end with a message and a non-zero
// exit status, and MIDI files render through the instrument module with correct length and timing.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/SmfBuilder.h"

namespace {

// ctest runs every test in a process of its own, several at once: each process gets its own folder
// for the files it writes and the output it captures.
const std::string kDir = [] {
  const std::string dir = std::string(SARN_TOOLS_TEST_DIR) + "/run-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0755);
  return dir;
}();

struct RunResult {
  bool exited = false;  // false: killed by a signal (a crash)
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

RunResult RunRender(const std::vector<std::string>& args) {
  const std::string outPath = kDir + "/run.out", errPath = kDir + "/run.err";
  std::string command = Quote(SARN_RENDER_BINARY);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote(outPath) + " 2>" + Quote(errPath);
  const int status = std::system(command.c_str());
  RunResult result;
  // The shell reports a child killed by a signal as 128 + the signal number.
  result.exited = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) < 128;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Wav {
  int rate = 0;
  int channels = 0;
  std::vector<float> samples;  // interleaved
  long long Frames() const { return channels ? static_cast<long long>(samples.size()) / channels : 0; }
};

bool ReadWav(const std::string& path, Wav& wav) {
  SF_INFO info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return false;
  wav.rate = info.samplerate;
  wav.channels = info.channels;
  wav.samples.resize(static_cast<size_t>(info.frames * info.channels));
  const sf_count_t read = sf_readf_float(file, wav.samples.data(), info.frames);
  sf_close(file);
  return read == info.frames;
}

// The first frame where either channel exceeds the threshold, or -1.
long long FirstFrameAbove(const Wav& wav, float threshold) {
  for (size_t i = 0; i < wav.samples.size(); ++i) {
    if (std::fabs(wav.samples[i]) > threshold) return static_cast<long long>(i) / wav.channels;
  }
  return -1;
}

float Peak(const Wav& wav) {
  float peak = 0.0f;
  for (float s : wav.samples) peak = std::max(peak, std::fabs(s));
  return peak;
}

float PeakBetween(const Wav& wav, double fromSeconds, double toSeconds) {
  const size_t from = static_cast<size_t>(fromSeconds * wav.rate) * wav.channels;
  const size_t to = std::min(wav.samples.size(), static_cast<size_t>(toSeconds * wav.rate) * wav.channels);
  float peak = 0.0f;
  for (size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(wav.samples[i]));
  return peak;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The ids of the chunks of a RIFF file after its header, in order.
std::vector<std::string> ChunkIds(const Bytes& file) {
  std::vector<std::string> ids;
  for (size_t at = 12; at + 8 <= file.size();) {
    ids.emplace_back(reinterpret_cast<const char*>(&file[at]), 4);
    const size_t length = file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 | size_t(file[at + 7]) << 24;
    at += 8 + length + (length & 1);
  }
  return ids;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// One note, key 60 from `noteOnTick` to `noteOffTick` at 480 ticks per quarter; the first quarter at
// 120 bpm, then `laterTempo` microseconds per quarter; the end-of-track marker at `endTick`.
Bytes OneNoteSong(uint32_t noteOnTick, uint32_t noteOffTick, uint32_t endTick, uint32_t laterTempo) {
  return Smf(1, 480,
             {TrackBuilder().Tempo(0, 500000).Tempo(480, laterTempo).End(endTick - 480),
              TrackBuilder()
                  .Event(noteOnTick, {0x90, 60, 100})
                  .Event(noteOffTick - noteOnTick, {0x80, 60, 0})
                  .End(endTick - noteOffTick)});
}

TEST(RenderCommand, BadModulesEndWithAMessageAndNoOutput) {
  const std::string textFile = kDir + "/not-a-module.so";
  WriteFile(textFile, Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  struct Case {
    std::string module;
    const char* message;
  };
  const Case cases[] = {
      {kDir + "/missing/Sarn.so", "module not found"},
      {textFile, "cannot load module"},
      {kDir, "is not a file"},
      {SARN_NO_ENTRY_MODULE, "is not a VST2 module"},
      {SARN_NULL_ENTRY_MODULE, "did not create a plug-in instance"},
      {SARN_BAD_MAGIC_MODULE, "wrong magic number"},
  };
  const std::string output = kDir + "/bad-module.wav";
  for (const Case& c : cases) {
    std::remove(output.c_str());
    const RunResult run = RunRender({"-m", c.module, "-o", output, "-q"});
    EXPECT_TRUE(run.exited) << c.module << " crashed";
    EXPECT_EQ(run.status, 1) << c.module;
    EXPECT_NE(run.err.find("sarn-render: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.module << ": " << run.err;
    EXPECT_FALSE(Exists(output)) << c.module;
    EXPECT_FALSE(Exists(output + ".part")) << c.module;
  }
}

TEST(RenderCommand, BadMidiFilesEndWithAMessageAndLeaveAnExistingFileAlone) {
  const Bytes valid = OneNoteSong(480, 960, 1440, 500000);
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  };
  const Case cases[] = {
      {"empty.mid", {}, "empty"},
      {"garbage.mid", {'G', 'I', 'F', '8', '9', 'a', 0, 1, 2, 3, 4, 5, 6, 7}, "not a Standard MIDI File"},
      {"truncated.mid", Bytes(valid.begin(), valid.end() - 5), "truncated"},
  };
  const std::string output = kDir + "/keep.wav";
  for (const Case& c : cases) {
    WriteFile(output, Bytes{'k', 'e', 'e', 'p'});
    const std::string path = kDir + "/" + c.name;
    WriteFile(path, c.bytes);
    const RunResult run = RunRender({"-m", SARN_MODULE, "-o", output, path});
    EXPECT_TRUE(run.exited) << c.name << " crashed";
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
    EXPECT_EQ(ReadText(output), "keep") << c.name;
  }
  const RunResult missing = RunRender({"-m", SARN_MODULE, "-o", output, kDir + "/no-such-song.mid"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("no-such-song.mid: No such file or directory"), std::string::npos) << missing.err;
  const RunResult folder = RunRender({"-m", SARN_MODULE, "-o", output, kDir});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find(kDir + " is a directory, not a MIDI file"), std::string::npos) << folder.err;

  const RunResult usage = RunRender({"--rate", "fast"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("sample rate"), std::string::npos) << usage.err;
}

TEST(RenderCommand, RendersAMidiFileWithTheRightLengthAndNoteTiming) {
  struct Case {
    int rate;
    int block;
    uint32_t laterTempo;  // microseconds per quarter after the first quarter
    double tail;
    double noteOnSeconds;  // key 60 at tick 960: one quarter at 120 bpm, one at the later tempo
    double endSeconds;     // end of track at tick 1920
  };
  const Case cases[] = {
      {44100, 256, 500000, 1.0, 1.0, 2.0},
      {48000, 100, 1000000, 0.5, 1.5, 3.5},  // 60 bpm after the first quarter
      {44100, 1, 250000, 0.25, 0.75, 1.25},  // 240 bpm, one-sample blocks
  };
  for (const Case& c : cases) {
    const std::string midi = kDir + "/one-note.mid";
    const std::string output = kDir + "/one-note.wav";
    WriteFile(midi, OneNoteSong(960, 1440, 1920, c.laterTempo));
    std::remove(output.c_str());
    const RunResult run = RunRender({"-m", SARN_MODULE, "-p", "Init", "-r", std::to_string(c.rate), "-b",
                                     std::to_string(c.block), "--tail", std::to_string(c.tail), "-o", output, midi});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("times real time"), std::string::npos) << run.out;

    Wav wav;
    ASSERT_TRUE(ReadWav(output, wav)) << output;
    EXPECT_EQ(wav.rate, c.rate);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.Frames(), std::llround(c.endSeconds * c.rate) + std::llround(c.tail * c.rate));
    // Silence before the note; sound within 20 ms after it: a control period of quantisation, the
    // string section's chorus delay (about 11 ms) and the first moments of the attack.
    const long long noteOn = std::llround(c.noteOnSeconds * c.rate);
    const long long onset = FirstFrameAbove(wav, 1e-4f);
    EXPECT_GE(onset, noteOn) << c.rate << "/" << c.block;
    EXPECT_LT(onset, noteOn + c.rate / 50) << c.rate << "/" << c.block;
    EXPECT_GT(Peak(wav), 0.01f);
  }
}

int ProgramNumber(const std::string& listing, const std::string& name) {
  std::istringstream lines(listing);
  int number;
  std::string rest;
  while (lines >> number && std::getline(lines, rest)) {
    if (rest == "  " + name) return number;
  }
  return -1;
}

TEST(RenderCommand, ProgramByNameAndByNumberRenderTheSameProgram) {
  const RunResult list = RunRender({"-m", SARN_MODULE, "--list-programs"});
  ASSERT_EQ(list.status, 0) << list.err;
  const int bigStrings = ProgramNumber(list.out, "Big Strings");
  ASSERT_GE(bigStrings, 0) << list.out;

  const std::string midi = kDir + "/program.mid";
  WriteFile(midi, OneNoteSong(0, 960, 960, 500000));
  auto render = [&](const std::string& program, const std::string& output, Wav& wav) {
    const RunResult run = RunRender({"-m", SARN_MODULE, "-p", program, "--tail", "0.5", "-o", output, midi});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(ReadWav(output, wav));
  };
  Wav byName, byNumber, other;
  render("Big Strings", kDir + "/by-name.wav", byName);
  render(std::to_string(bigStrings), kDir + "/by-number.wav", byNumber);
  render(bigStrings == 0 ? "1" : "0", kDir + "/other.wav", other);
  EXPECT_GT(Peak(byName), 0.01f);
  EXPECT_EQ(byName.samples, byNumber.samples);
  EXPECT_NE(byName.samples, other.samples);

  const RunResult unknown = RunRender({"-m", SARN_MODULE, "-p", "No Such Program", "-o", kDir + "/x.wav", midi});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("no program is named \"No Such Program\""), std::string::npos) << unknown.err;
  const RunResult outOfRange = RunRender({"-m", SARN_MODULE, "-p", "64", "-o", kDir + "/x.wav", midi});
  EXPECT_EQ(outOfRange.status, 1);
  EXPECT_NE(outOfRange.err.find("0 to 63"), std::string::npos) << outOfRange.err;
}

TEST(RenderCommand, FloatOutputKeepsTheSameSignal) {
  const std::string midi = kDir + "/float.mid";
  WriteFile(midi, OneNoteSong(0, 480, 480, 500000));
  const RunResult pcm = RunRender({"-m", SARN_MODULE, "-p", "Init", "--tail", "0.2", "-o", kDir + "/pcm.wav", midi});
  const RunResult flt =
      RunRender({"-m", SARN_MODULE, "-p", "Init", "--tail", "0.2", "--float", "-o", kDir + "/float.wav", midi});
  ASSERT_EQ(pcm.status, 0) << pcm.err;
  ASSERT_EQ(flt.status, 0) << flt.err;
  Wav a, b;
  ASSERT_TRUE(ReadWav(kDir + "/pcm.wav", a));
  ASSERT_TRUE(ReadWav(kDir + "/float.wav", b));
  ASSERT_EQ(a.samples.size(), b.samples.size());
  double worst = 0.0;
  for (size_t i = 0; i < a.samples.size(); ++i) worst = std::max(worst, std::fabs(double(a.samples[i]) - b.samples[i]));
  EXPECT_LT(worst, 1.0 / (1 << 22));  // within a 24-bit step
  EXPECT_GT(Peak(b), 0.01f);
}

TEST(RenderCommand, RefusesToReplaceAnythingButARegularFileAndNeverItsInput) {
  const std::string folder = kDir + "/outputs";
  mkdir(folder.c_str(), 0755);
  const std::string midi = folder + "/song.mid";
  const Bytes song = OneNoteSong(0, 480, 480, 500000);
  WriteFile(midi, song);
  const std::string keep = folder + "/keep.wav";
  WriteFile(keep, Bytes{'k', 'e', 'e', 'p'});
  symlink("keep.wav", (folder + "/link.wav").c_str());
  mkfifo((folder + "/fifo.wav").c_str(), 0644);
  mkdir((folder + "/dir.wav").c_str(), 0755);
  link(midi.c_str(), (folder + "/hard-link.mid").c_str());
  struct Case {
    std::string output;
    const char* reason;
  };
  const Case cases[] = {
      {folder + "/link.wav", "it is a symbolic link"},
      {folder + "/fifo.wav", "it is a FIFO"},
      {folder + "/dir.wav", "it is a directory"},
      {midi, "it is the input"},
      {folder + "/hard-link.mid", "it is the input"},
      {folder + "/../outputs/song.mid", "it is the input"},
      {folder + "/missing/out.wav", "No such file or directory"},
  };
  const std::vector<std::string> before = FolderEntries(folder);
  for (const Case& c : cases) {
    const RunResult run = RunRender({"-m", SARN_MODULE, "-p", "Init", "-o", c.output, midi});
    EXPECT_EQ(run.status, 1) << c.output;
    EXPECT_NE(run.err.find(c.output), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.output << ": " << run.err;
  }
  EXPECT_EQ(FolderEntries(folder), before);
  EXPECT_EQ(ReadBytes(midi), song);
  EXPECT_EQ(ReadText(keep), "keep");
  struct stat info;
  ASSERT_EQ(lstat((folder + "/link.wav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(lstat((folder + "/fifo.wav").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));

  // A regular file is replaced, as asked.
  const RunResult replace = RunRender({"-m", SARN_MODULE, "-p", "Init", "--tail", "0", "-qo", keep, midi});
  EXPECT_EQ(replace.status, 0) << replace.err;
  Wav wav;
  EXPECT_TRUE(ReadWav(keep, wav));
}

TEST(RenderCommand, FloatRendersAreTheSameBytesInPlainWaveWithRoomForRf64AlsoOnStandardOutput) {
  const std::string midi = kDir + "/same.mid";
  WriteFile(midi, OneNoteSong(0, 480, 960, 500000));
  const std::vector<std::string> args = {"-m", SARN_MODULE, "-p", "Big Strings", "--tail", "0.5", "--float", "-o"};
  auto render = [&](const std::string& output) {
    std::vector<std::string> all = args;
    all.push_back(output);
    all.push_back(midi);
    return RunRender(all);
  };
  const RunResult first = render(kDir + "/same-1.wav");
  const RunResult second = render(kDir + "/same-2.wav");
  const RunResult piped = render("-");
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  ASSERT_EQ(piped.status, 0) << piped.err;
  const Bytes bytes = ReadBytes(kDir + "/same-1.wav");
  EXPECT_EQ(ReadBytes(kDir + "/same-2.wav"), bytes);
  // Standard output carries the file and nothing else; the summary goes to standard error.
  EXPECT_TRUE(Bytes(piped.out.begin(), piped.out.end()) == bytes) << piped.out.size() << " bytes";
  EXPECT_NE(piped.err.find("times real time"), std::string::npos) << piped.err;

  // A short render is plain RIFF/WAVE whose first chunk keeps room for the RF64 size chunk, and
  // holds no PEAK chunk (it would carry the time of writing).
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "WAVE");
  const std::vector<std::string> chunks = ChunkIds(bytes);
  ASSERT_FALSE(chunks.empty());
  EXPECT_EQ(chunks.front(), "JUNK");
  EXPECT_EQ(chunks.back(), "data");
  EXPECT_EQ(std::count(chunks.begin(), chunks.end(), "PEAK"), 0);
  Wav wav;
  ASSERT_TRUE(ReadWav(kDir + "/same-1.wav", wav));
  EXPECT_EQ(wav.Frames(), std::llround(1.5 * 44100));
  EXPECT_GT(Peak(wav), 0.01f);
}

TEST(RenderCommand, AnInterruptedRenderLeavesNoFileBehind) {
  for (int signal : {SIGINT, SIGTERM}) {
    const std::string folder = kDir + "/interrupted-" + std::to_string(signal);
    mkdir(folder.c_str(), 0755);
    // The demo phrase with ten minutes of tail at 384 kHz in one-sample blocks: far from done when
    // the signal comes.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
      execl(SARN_RENDER_BINARY, SARN_RENDER_BINARY, "-m", SARN_MODULE, "-r", "384000", "-b", "1", "--tail", "600",
            "-o", (folder + "/long.wav").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Waits for the partial file, at most a minute.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (FolderEntries(folder).empty() && std::chrono::steady_clock::now() < giveUp) usleep(10000);
    const bool started = !FolderEntries(folder).empty();
    kill(pid, started ? signal : SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(started) << "no partial file appeared";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_TRUE(FolderEntries(folder).empty()) << FolderEntries(folder).front();
  }
}

TEST(RenderCommand, ProgramChangesChannelsAndHeldNotesFollowTheOptions) {
  const RunResult list = RunRender({"-m", SARN_MODULE, "--list-programs"});
  ASSERT_EQ(list.status, 0) << list.err;
  const int bassOnly = ProgramNumber(list.out, "Bass Only");
  ASSERT_GE(bassOnly, 0) << list.out;
  // Key 60 for a quarter, then a switch to "Bass Only", which leaves key 60 silent, and key 60 again.
  const Bytes programChange =
      Smf(0, 480,
          {TrackBuilder()
               .Event(0, {0x90, 60, 100})
               .Event(480, {0x80, 60, 0})
               .Event(0, {0xC0, static_cast<uint8_t>(bassOnly)})
               .Event(0, {0x90, 60, 100})
               .Event(480, {0x80, 60, 0})
               .End(480)});
  const Bytes drums = Smf(0, 480, {TrackBuilder().Event(0, {0x99, 60, 100}).Event(480, {0x89, 60, 0}).End(480)});
  // Key 60 never released before the end of the track at 0.5 s.
  const Bytes held = Smf(0, 480, {TrackBuilder().Event(0, {0x90, 60, 100}).End(480)});
  struct Case {
    const char* name;
    const Bytes* song;
    std::vector<std::string> options;
    const char* summary;
    bool soundAfterHalfASecond;  // in the file's second half second
    bool silent;
  };
  const Case cases[] = {
      {"-p overrides program changes", &programChange, {"-p", "Big Strings"}, "program \"Big Strings\",", true, false},
      {"program changes followed",
       &programChange,
       {"-p", "Big Strings", "--follow-program-changes"},
       "programs \"Big Strings\", \"Bass Only\",",
       false,
       false},
      {"drums skipped", &drums, {"-p", "Init"}, "program \"Init\", 0 events", false, true},
      {"drums chosen", &drums, {"-p", "Init", "--channels", "all"}, "program \"Init\", 2 events", true, false},
      {"held key released", &held, {"-p", "Init"}, "program \"Init\", 2 events", true, false},
  };
  for (const Case& c : cases) {
    const std::string midi = kDir + "/options.mid", output = kDir + "/options.wav";
    WriteFile(midi, *c.song);
    std::vector<std::string> args = {"-m", SARN_MODULE, "--tail", "2", "-o", output, midi};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult run = RunRender(args);
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    EXPECT_NE(run.out.find(c.summary), std::string::npos) << c.name << ": " << run.out;
    EXPECT_EQ(run.err.find("warning: " + output + " is silent") != std::string::npos, c.silent) << c.name << ": "
                                                                                                  << run.err;
    Wav wav;
    ASSERT_TRUE(ReadWav(output, wav));
    EXPECT_EQ(PeakBetween(wav, 0.0, 0.5) > 0.01f, !c.silent) << c.name;
    if (c.soundAfterHalfASecond) {
      EXPECT_GT(PeakBetween(wav, 0.5, 1.0), 0.01f) << c.name;
    } else {
      EXPECT_LT(PeakBetween(wav, 0.6, 1.0), 1e-3f) << c.name;
    }
    // Every key is released before the tail: its last half second is silent.
    EXPECT_LT(PeakBetween(wav, static_cast<double>(wav.Frames()) / double(wav.rate) - 0.5, 1e9), 1e-4f) << c.name;
  }
}

}  // namespace
