// sarn-face: renders the instrument's face headless, as the editor draws it, to a PNG.
//   sarn-face [--program N|NAME] [--click X,Y[,right]] ... [--out face.png]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/Sarn.h"
#include "tools/face/FaceSnapshot.h"

namespace {

intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }

int Usage() {
  std::fprintf(stderr, "usage: sarn-face [--program N|NAME] [--click X,Y[,right]] ... [--out face.png]\n");
  return 2;
}

// A program by number (0..63) or by exact name; -1 when there is none.
int FindProgram(const Sarn& sarn, const std::string& text) {
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0') return number >= 0 && number < sarn.NPresets() ? static_cast<int>(number) : -1;
  for (int i = 0; i < sarn.NPresets(); ++i) {
    if (text == sarn.GetPresetName(i)) return i;
  }
  return -1;
}

bool ParseClick(const char* text, FaceClick& click) {
  char kind[16] = "";
  const int fields = std::sscanf(text, "%d,%d,%15s", &click.x, &click.y, kind);
  if (fields < 2) return false;
  if (fields == 3 && std::strcmp(kind, "right") != 0) return false;
  click.right = fields == 3;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program;
  std::string out = "face.png";
  std::vector<FaceClick> clicks;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    if (arg == "--program") {
      program = argv[++i];
    } else if (arg == "--out") {
      out = argv[++i];
    } else if (arg == "--click") {
      FaceClick click;
      if (!ParseClick(argv[++i], click)) return Usage();
      clicks.push_back(click);
    } else {
      return Usage();
    }
  }
  Sarn sarn(SilentHost);
  if (!program.empty()) {
    const int index = FindProgram(sarn, program);
    if (index < 0) {
      std::fprintf(stderr, "sarn-face: no program \"%s\"\n", program.c_str());
      return 1;
    }
    sarn.SelectProgram(index);
  }
  LICE_IBitmap* face = SnapshotFace(sarn, clicks);
  if (!face || !WriteRgbPng(*face, out)) {
    std::fprintf(stderr, "sarn-face: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
