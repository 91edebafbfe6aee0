// The Linux module as a host sees it from outside: what it exports, which libraries it pulls in, and
// whether a host that scans it many times gets all its memory, threads and descriptors back.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "plugin/vst2/VstInterface.h"

namespace {

std::set<std::string> CommandLines(const std::string& command) {
  std::set<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return lines;
  char line[512];
  while (std::fgets(line, sizeof(line), pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (!text.empty()) lines.insert(text);
  }
  pclose(pipe);
  return lines;
}

std::string Joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + " ";
  return text;
}

int CountEntries(const char* folder) {
  DIR* directory = opendir(folder);
  if (!directory) return -1;
  int count = 0;
  while (const dirent* entry = readdir(directory)) count += entry->d_name[0] != '.';
  closedir(directory);
  return count;
}

// Kilobytes mapped into this process, from /proc/self/maps.
long MappedKilobytes() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  long total = 0;
  while (std::getline(maps, line)) {
    unsigned long start = 0, end = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx", &start, &end) == 2) total += static_cast<long>((end - start) / 1024);
  }
  return total;
}

VstIntPtr VST_CALLBACK ScanningHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// What a scanning host does: load, ask the descriptor and a name, close, unload. False when any step
// fails or the module is still mapped afterwards.
bool ScanOnce() {
  void* library = dlopen(SARN_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  using Entry = AEffect*(VST_CALLBACK*)(VstHostCallback);
  const auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
  AEffect* effect = entry ? entry(ScanningHost) : nullptr;
  if (effect) {
    char name[256] = {};
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effGetEffectName, 0, 0, name, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  dlclose(library);
  return effect && !dlopen(SARN_MODULE, RTLD_NOW | RTLD_NOLOAD);
}

TEST(LinuxModule, ExportsOnlyItsEntryPoints) {
  const std::set<std::string> exported =
      CommandLines("nm -D --defined-only '" SARN_MODULE "' | awk '{print $3}'");
  const std::set<std::string> allowed = {"VSTPluginMain", "main", "lv2_descriptor", "lv2ui_descriptor"};
  ASSERT_TRUE(exported.count("VSTPluginMain")) << Joined(exported);
  for (const std::string& name : exported) EXPECT_TRUE(allowed.count(name)) << name;
  // A GNU-unique symbol ('u') would pin the module in memory after dlclose.
  EXPECT_EQ(Joined(CommandLines("nm -D --defined-only '" SARN_MODULE "' | awk '$2 == \"u\" {print $3}'")), "");
}

TEST(LinuxModule, NeedsOnlyWhatDrawingAndSoundNeed) {
  const std::set<std::string> needed = CommandLines(
      "readelf -d '" SARN_MODULE "' | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'");
  const std::set<std::string> expected = {"libX11.so.6",  "libpng16.so.16", "libfreetype.so.6",
                                          "libfontconfig.so.1", "libstdc++.so.6", "libm.so.6",
                                          "libgcc_s.so.1", "libc.so.6", "ld-linux-x86-64.so.2"};
  EXPECT_EQ(Joined(needed), Joined(expected));
}

TEST(LinuxModule, ScannedTwoHundredTimesGivesEverythingBack) {
  // The C library's allocator may take a one-off extra arena while the first scans run; a module
  // that keeps anything grows with every scan. So growth is counted over the second hundred scans.
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(ScanOnce()) << "the module stays mapped after dlclose (scan " << i << ")";
  const long mapped = MappedKilobytes();
  const int threads = CountEntries("/proc/self/task");
  const int descriptors = CountEntries("/proc/self/fd");
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(ScanOnce()) << "scan " << i;
  EXPECT_LE(MappedKilobytes(), mapped + 64);
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
}

}  // namespace
