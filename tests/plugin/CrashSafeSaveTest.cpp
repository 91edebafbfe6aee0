// Saving survives what can happen around it: a writer killed at any moment, two writers at the same
// moment, a write that fails half way. Whoever reads the file afterwards finds the old file or the
// new one, never a mixture or a piece.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "TestPlug.h"
#include "plugin/ProgramFiles.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Bytes(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A folder of its own, emptied afterwards.
struct Folder {
  Folder() {
    char name[] = "/tmp/sarn-save-XXXXXX";
    path = mkdtemp(name) ? name : "";
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  // Everything in the folder but the file itself: temporary files left behind.
  std::vector<std::string> Others(const fs::path& file) const {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(path)) {
      if (entry.path() != file) others.push_back(entry.path().filename().string());
    }
    return others;
  }
  fs::path path;
};

// Two plug-ins whose banks differ in every program and in size.
struct TwoBanks {
  TwoBanks() {
    for (int i = 0; i < 64; ++i) {
      first.SetDistinctValues(i);
      first.RecallPreset(i);
      first.ModifyCurrentPreset(("First " + std::to_string(i)).c_str());
      second.SetDistinctValues(i + 5);
      second.RecallPreset(i);
      second.ModifyCurrentPreset(("The second bank's program " + std::to_string(i)).c_str());
    }
    EncodeBankFile(first, firstBytes);
    EncodeBankFile(second, secondBytes);
  }
  TestPlug first;
  TestPlug second;
  std::vector<uint8_t> firstBytes;
  std::vector<uint8_t> secondBytes;
};

// A child process that saves the two banks in turn to path until it is killed.
pid_t StartWriter(TwoBanks& banks, const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    for (unsigned n = 0;; ++n) SaveBankFile(n % 2 ? banks.second : banks.first, path.c_str());
  }
  return pid;
}

void Stop(pid_t pid) {
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

TEST(CrashSafeSave, WriterKilledAtRandomMomentsLeavesTheOldOrTheNewFile) {
  TwoBanks banks;
  Folder folder;
  const fs::path file = folder.path / "bank.fxb";
  ASSERT_TRUE(SaveBankFile(banks.first, file.c_str()));
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> micros(0, 4000);
  int sawFirst = 0;
  int sawSecond = 0;
  for (int round = 0; round < 60; ++round) {
    const pid_t writer = StartWriter(banks, file.string());
    ASSERT_GT(writer, 0);
    usleep(static_cast<useconds_t>(micros(random)));
    Stop(writer);
    const std::string contents = ReadAll(file);
    const bool first = contents == Bytes(banks.firstBytes);
    const bool second = contents == Bytes(banks.secondBytes);
    ASSERT_TRUE(first || second) << "round " << round << ": " << contents.size() << " bytes, neither bank";
    sawFirst += first;
    sawSecond += second;
    // A temporary file of the killed writer may stay behind; it never takes the file's name.
    for (const std::string& other : folder.Others(file)) fs::remove(folder.path / other);
  }
  EXPECT_GT(sawFirst + sawSecond, 0);
  // Both banks turn up over the rounds, so the kills did land between saves and within them.
  std::printf("first bank found %d times, second %d times\n", sawFirst, sawSecond);
}

// Two instances saving to one file at the same moment: every read in between finds a whole bank.
TEST(CrashSafeSave, ConcurrentSavesNeverMixTheirFiles) {
  TwoBanks banks;
  Folder folder;
  const fs::path file = folder.path / "shared.fxb";
  ASSERT_TRUE(SaveBankFile(banks.first, file.c_str()));
  TestPlug& a = banks.first;
  TestPlug& b = banks.second;
  std::vector<pid_t> writers;
  for (TestPlug* plug : {&a, &b}) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (;;) SaveBankFile(*plug, file.c_str());
    }
    writers.push_back(pid);
  }
  int torn = 0;
  int reads = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
  while (std::chrono::steady_clock::now() < end) {
    const std::string contents = ReadAll(file);
    ++reads;
    if (contents != Bytes(banks.firstBytes) && contents != Bytes(banks.secondBytes)) ++torn;
  }
  for (pid_t writer : writers) Stop(writer);
  const std::string last = ReadAll(file);
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_TRUE(last == Bytes(banks.firstBytes) || last == Bytes(banks.secondBytes));
}

// A write that fails half way (the file size limit stands in for a full disk): the old file stays
// whole and no temporary file is left.
TEST(CrashSafeSave, WriteFailingHalfWayKeepsTheOldFile) {
  TwoBanks banks;
  Folder folder;
  const fs::path file = folder.path / "kept.fxb";
  ASSERT_TRUE(SaveBankFile(banks.first, file.c_str()));
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(SaveBankFile(banks.second, file.c_str()) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
  EXPECT_EQ(ReadAll(file), Bytes(banks.firstBytes));
  EXPECT_TRUE(folder.Others(file).empty());
}

}  // namespace
