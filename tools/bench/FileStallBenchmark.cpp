// The audio thread while the options menu saves and loads a bank on a slow disk: the longest block of
// the process call, with every file read and write made 300 ms slower, against the same without a
// save or load going on. A save or load that held the plug-in's lock while the file is written or read
// would hold up one block by the whole 300 ms.
//
//   out/linux/sarn-bench-files [--version]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "editor/headless/IGraphicsHeadless.h"
#include "plugin/FileAccess.h"
#include "shell/Sarn.h"
#include "tools/ToolVersion.h"

namespace {

constexpr int kBlock = 256;
constexpr double kRate = 44100.0;
constexpr int kDiskDelayMs = 300;

intptr_t QuietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// Renders blocks back to back until stop, returning the longest in milliseconds (wall time: a block
// that waits for the lock waits in wall time, not CPU time).
double LongestBlock(AEffect* effect, const std::atomic<bool>& stop) {
  std::vector<float> left(kBlock), right(kBlock);
  float* outputs[2] = {left.data(), right.data()};
  double longest = 0.0;
  while (!stop) {
    const auto start = std::chrono::steady_clock::now();
    effect->processReplacing(effect, nullptr, outputs, kBlock);
    longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return longest;
}

// The longest block while work runs on another thread, as the editor's thread would run it.
template <typename Work>
double LongestBlockDuring(AEffect* effect, Work work) {
  std::atomic<bool> stop{false};
  double longest = 0.0;
  std::thread audio([&] { longest = LongestBlock(effect, stop); });
  work();
  stop = true;
  audio.join();
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksForVersion(argc, argv)) {
    PrintToolVersion("sarn-bench-files");
    return 0;
  }
  if (argc > 1) {
    std::printf("usage: sarn-bench-files [--help | --version]\n"
                "The longest audio block while a bank is saved and loaded on a disk made %d ms slower.\n",
                kDiskDelayMs);
    return std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
  }
  char folder[] = "/tmp/sarn-bench-files-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  setenv("XDG_CONFIG_HOME", folder, 1);
  const std::string bank = std::string(folder) + "/bank.fxb";

  Sarn sarn(QuietHost);
  AEffect* effect = sarn.GetAEffect();
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  IGraphicsHeadless editor;

  SetFileAccessDelayForTesting(kDiskDelayMs);
  const double quiet = LongestBlockDuring(effect, [] { std::this_thread::sleep_for(std::chrono::milliseconds(2 * kDiskDelayMs)); });
  const double saving = LongestBlockDuring(effect, [&] {
    editor.QueueFile(bank);
    sarn.ExecuteCommand(&editor, Synth::kCommandSaveBank);
  });
  const double loading = LongestBlockDuring(effect, [&] {
    editor.QueueFile(bank);
    sarn.ExecuteCommand(&editor, Synth::kCommandLoadBank);
  });
  SetFileAccessDelayForTesting(0);
  const bool roundTrip = editor.Messages().empty();

  std::printf("longest audio block of %d samples, every file access %d ms slower:\n", kBlock, kDiskDelayMs);
  std::printf("  no file work      %8.3f ms\n", quiet);
  std::printf("  saving a bank     %8.3f ms\n", saving);
  std::printf("  loading the bank  %8.3f ms%s\n", loading, roundTrip ? "" : "  (a message was shown: the file failed)");
  std::remove(bank.c_str());
  std::string command = std::string("rm -rf '") + folder + "'";
  if (std::system(command.c_str()) != 0) return 1;
  return roundTrip ? 0 : 1;
}
