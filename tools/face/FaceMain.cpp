// sarn-face: renders the instrument's face headless, as the editor draws it, to a PNG.
//   sarn-face [--program N|NAME] [--scale 1|1.5|2] [--click X,Y[,right]] ... [--out face.png]
#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "editor/DisplayScale.h"
#include "editor/IGraphics.h"
#include "editor/face/FaceLayout.h"
#include "shell/Sarn.h"
#include "tools/ToolVersion.h"
#include "tools/face/FaceSnapshot.h"

namespace {

intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }

const char kUsageFormat[] =
    "usage: sarn-face [--program N|NAME] [--scale 1|1.5|2] [--click X,Y[,right]] ... [--out face.png]\n"
    "\n"
    "Renders the instrument's face headless, as the editor draws it, to a PNG.\n"
    "\n"
    "  -p, --program P     program number (0 = first) or exact name to show\n"
    "  -s, --scale S       draw at 1 (100 %%, the default), 1.5 or 2 times the size\n"
    "  -c, --click X,Y     press and release there first (\",right\": the right button);\n"
    "                      the face is %d x %d, X and Y count from 0 at the top left\n"
    "  -o, --out FILE      PNG file to write (default face.png)\n"
    "  -V, --version       print the version\n"
    "  -h, --help          print this help\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "sarn-face: %s\nTry 'sarn-face --help' for more information.\n", message.c_str());
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

bool ParseCoordinate(const std::string& text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < -100000 || value > 100000) return false;
  out = static_cast<int>(value);
  return true;
}

// "1", "1.5" or "2" as a percentage; 0 for anything else.
int ParseScale(const std::string& text) {
  if (text == "1") return DisplayScale::kNormal;
  if (text == "1.5") return DisplayScale::kLarge;
  if (text == "2") return DisplayScale::kLargest;
  return 0;
}

// "X,Y" or "X,Y,right" inside the face; false with the reason otherwise.
bool ParseClick(const std::string& text, FaceClick& click, std::string& error) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == ',') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  const bool right = parts.size() == 3 && parts[2] == "right";
  if ((parts.size() != 2 && !right) || !ParseCoordinate(parts[0], click.x) || !ParseCoordinate(parts[1], click.y)) {
    error = "a click is X,Y or X,Y,right, not \"" + text + "\"";
    return false;
  }
  if (click.x < 0 || click.y < 0 || click.x >= kFaceWidth || click.y >= kFaceHeight) {
    error = "click " + text + " is outside the face (" + std::to_string(kFaceWidth) + " x " +
            std::to_string(kFaceHeight) + ")";
    return false;
  }
  click.right = right;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {
      {"program", required_argument, nullptr, 'p'}, {"click", required_argument, nullptr, 'c'},
      {"out", required_argument, nullptr, 'o'},     {"scale", required_argument, nullptr, 's'},
      {"version", no_argument, nullptr, 'V'},
      {"help", no_argument, nullptr, 'h'},          {nullptr, 0, nullptr, 0},
  };
  std::string program;
  std::string out = "face.png";
  int scale = DisplayScale::kNormal;
  std::vector<FaceClick> clicks;
  opterr = 0;
  int code;
  while ((code = getopt_long(argc, argv, ":p:c:o:s:Vh", kOptions, nullptr)) != -1) {
    const std::string given = optind > 0 && optind <= argc ? argv[optind - 1] : "";
    std::string name = given.compare(0, 2, "--") == 0 ? given.substr(0, given.find('='))
                                                     : std::string("-") + static_cast<char>(optopt);
    for (const option* o = kOptions; name.size() > 2 && optopt && o->name; ++o) {
      if (o->val == optopt) name = std::string("--") + o->name;  // a prefix named in full
    }
    std::string error;
    FaceClick click;
    switch (code) {
      case 'p':
        program = optarg;
        break;
      case 'o':
        out = optarg;
        if (out.empty()) return UsageError("the output path is empty");
        break;
      case 's':
        scale = ParseScale(optarg);
        if (scale == 0) return UsageError(std::string("the scale is 1, 1.5 or 2, not \"") + optarg + "\"");
        break;
      case 'c':
        if (!ParseClick(optarg, click, error)) return UsageError(error);
        clicks.push_back(click);
        break;
      case 'V':
        PrintToolVersion("sarn-face");
        return 0;
      case 'h':
        std::printf(kUsageFormat, kFaceWidth, kFaceHeight);
        return 0;
      case ':':
        return UsageError("option " + name + " needs a value");
      default:
        return UsageError("unknown or ambiguous option " + name);
    }
  }
  if (optind < argc) return UsageError(std::string("unexpected argument \"") + argv[optind] + "\"");
  Sarn sarn(SilentHost);
  if (!program.empty()) {
    const int index = FindProgram(sarn, program);
    if (index < 0) {
      std::fprintf(stderr, "sarn-face: no program \"%s\"\n", program.c_str());
      return 1;
    }
    sarn.SelectProgram(index);
  }
  if (sarn.Graphics()) sarn.Graphics()->SetUserScale(scale);
  LICE_IBitmap* face = SnapshotFace(sarn, clicks);
  if (!face || !WriteRgbPng(*face, out)) {
    std::fprintf(stderr, "sarn-face: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
