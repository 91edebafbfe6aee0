// --version of the command-line tools: the tool's name and the release it belongs to.
#pragma once

#include <cstdio>
#include <cstring>

#include "resources/Version.h"

inline void PrintToolVersion(const char* tool) { std::printf("%s %s\n", tool, kVersionText); }

// True when argv holds --version before any "--", for tools whose other options another library parses.
inline bool AsksForVersion(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) return true;
  }
  return false;
}
