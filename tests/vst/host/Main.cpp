// The VST2 test host's command line:
//
//   vst_test_host <module> --model click|sarn      run the checks on the module
//   vst_test_host <module> --render <file>          write a fixed render for comparison
//   vst_test_host --compare <file> <file> [<file>]  compare renders of different builds
//
// "click" is the test plug-in (tests/vst/TestSynth.cpp), whose output reports what it received;
// "sarn" is the instrument. GoogleTest's own options (--gtest_filter and so on) may come first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/vst/host/Renders.h"
#include "tests/vst/host/VstTestHost.h"

namespace {

int Usage() {
  std::printf("usage: vst_test_host <module> --model click|sarn\n"
              "       vst_test_host <module> --render <file>\n"
              "       vst_test_host --compare <file> <file> [<file>]\n");
  return 2;
}

// The checks of a module run without the render suites, which need files; a filter given on the
// command line narrows the checks further.
void RunModuleChecksOnly() {
  const char* renderSuites = "FixedRender.*:RenderComparison.*";
  std::string filter = GTEST_FLAG_GET(filter);
  filter += (filter.find('-') == std::string::npos ? "-" : ":");
  GTEST_FLAG_SET(filter, filter + renderSuites);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  testing::InitGoogleTest(&argc, argv);
  if (argc >= 4 && std::strcmp(argv[1], "--compare") == 0) {
    SetComparedRenders(std::vector<std::string>(argv + 2, argv + argc));
    GTEST_FLAG_SET(filter, "RenderComparison.*");
    return RUN_ALL_TESTS();
  }
  if (argc != 4) return Usage();
  if (std::strcmp(argv[2], "--render") == 0) {
    SetRenderOutput(argv[3]);
    GTEST_FLAG_SET(filter, "FixedRender.*");
  } else if (std::strcmp(argv[2], "--model") == 0) {
    const bool click = std::strcmp(argv[3], "click") == 0;
    if (!click && std::strcmp(argv[3], "sarn") != 0) return Usage();
    SetClickModel(click);
    RunModuleChecksOnly();
  } else {
    return Usage();
  }
  if (!TestModule().Load(argv[1])) {
    std::printf("cannot load %s or find VSTPluginMain\n", argv[1]);
    return 1;
  }
  return RUN_ALL_TESTS();
}
