// sarn-make-bank TABLE OUTPUT: builds the factory bank file from the readable program table.
//
// Table layout: "[Program Name]" starts a program; each following "Parameter Name = value" line sets
// one parameter to a plain value in its own units ("on"/"off" for switches); everything else keeps its
// default. Blank lines and lines starting with '#' are ignored. Exactly 64 programs are required.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "plugin/ProgramFiles.h"
#include "tools/FactoryBankPlug.h"
#include "tools/ToolVersion.h"

namespace {

struct ProgramEntry {
  std::string name;
  std::vector<std::pair<int, double>> values;  // parameter index, plain value
};

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

int FindParameter(const FactoryBankPlug& plug, const std::string& name) {
  for (int i = 0; i < plug.NParams(); ++i) {
    if (name == plug.GetParam(i)->Name()) return i;
  }
  return -1;
}

// A plain value for param from text; false when it is not a number in range ("on"/"off" for switches).
bool ParseValue(const IPlugParam& param, const std::string& text, double& value) {
  if (param.Kind() == IPlugParam::kBoolean) {
    if (text == "on") value = 1.0;
    else if (text == "off") value = 0.0;
    else return false;
    return true;
  }
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
  return value >= param.Min() && value <= param.Max();
}

bool ReadTable(const char* path, const FactoryBankPlug& plug, std::vector<ProgramEntry>& programs) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open\n", path);
    return false;
  }
  std::string line;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    if (text.front() == '[') {
      if (text.back() != ']' || text.size() < 3) {
        std::fprintf(stderr, "%s:%d: program name must be written [Name]\n", path, lineNumber);
        return false;
      }
      const std::string name = text.substr(1, text.size() - 2);
      if (name.size() > Preset::kMaxNameLength) {
        std::fprintf(stderr, "%s:%d: program name longer than %d characters\n", path, lineNumber,
                     Preset::kMaxNameLength);
        return false;
      }
      programs.push_back({name, {}});
      continue;
    }
    const size_t equals = text.rfind('=');
    if (equals == std::string::npos) {
      std::fprintf(stderr, "%s:%d: expected \"Parameter Name = value\"\n", path, lineNumber);
      return false;
    }
    if (programs.empty()) {
      std::fprintf(stderr, "%s:%d: parameter line before the first [Program Name]\n", path, lineNumber);
      return false;
    }
    const std::string name = Trim(text.substr(0, equals));
    const std::string valueText = Trim(text.substr(equals + 1));
    const int index = FindParameter(plug, name);
    if (index < 0) {
      std::fprintf(stderr, "%s:%d: unknown parameter \"%s\"\n", path, lineNumber, name.c_str());
      return false;
    }
    const IPlugParam& param = *plug.GetParam(index);
    double value = 0.0;
    if (!ParseValue(param, valueText, value)) {
      if (param.Kind() == IPlugParam::kBoolean) {
        std::fprintf(stderr, "%s:%d: \"%s\" takes on or off, not \"%s\"\n", path, lineNumber, name.c_str(),
                     valueText.c_str());
      } else {
        std::fprintf(stderr, "%s:%d: \"%s\" takes a number from %g to %g, not \"%s\"\n", path, lineNumber,
                     name.c_str(), param.Min(), param.Max(), valueText.c_str());
      }
      return false;
    }
    for (const auto& earlier : programs.back().values) {
      if (earlier.first == index) {
        std::fprintf(stderr, "%s:%d: \"%s\" is set twice in \"%s\"\n", path, lineNumber, name.c_str(),
                     programs.back().name.c_str());
        return false;
      }
    }
    programs.back().values.emplace_back(index, value);
  }
  if (static_cast<int>(programs.size()) != plug.NPresets()) {
    std::fprintf(stderr, "%s: %d programs, the bank needs %d\n", path, static_cast<int>(programs.size()),
                 plug.NPresets());
    return false;
  }
  return true;
}

// Fills the programs in order; each one is created from the table's values while it is current.
bool BuildBank(FactoryBankPlug& plug, const std::vector<ProgramEntry>& programs) {
  for (int i = 0; i < plug.NPresets(); ++i) {
    const ProgramEntry& program = programs[static_cast<size_t>(i)];
    for (int p = 0; p < plug.NParams(); ++p) plug.GetParam(p)->SetPlainClamped(plug.GetParam(p)->Default());
    for (const auto& value : program.values) plug.GetParam(value.first)->SetPlainClamped(value.second);
    if (!plug.RecallPreset(i)) return false;  // creates program i from the values just set
    plug.GetPreset(i)->SetName(program.name);
    plug.ModifyCurrentPreset();
  }
  return plug.RecallPreset(0);
}

}  // namespace

int main(int argc, char** argv) {
  const char kUsage[] =
      "usage: sarn-make-bank TABLE OUTPUT.fxb\n"
      "\n"
      "Builds the factory bank file from the readable program table: \"[Program Name]\" starts a\n"
      "program, \"Parameter Name = value\" lines set its parameters; exactly 64 programs.\n"
      "\n"
      "  --version   print the version\n"
      "  --help      print this help\n";
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    PrintToolVersion("sarn-make-bank");
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      std::fprintf(stderr, "sarn-make-bank: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (argc != 3) {
    std::fprintf(stderr, "sarn-make-bank: needs a table and an output file\n%s", kUsage);
    return 2;
  }
  FactoryBankPlug plug;
  std::vector<ProgramEntry> programs;
  if (!ReadTable(argv[1], plug, programs)) return 1;
  // Loading a bank stores every program again, tagged with the current program's index and name; the
  // file is written in that form, so loading the factory bank and saving it gives the same programs.
  std::vector<uint8_t> built, bytes;
  if (!BuildBank(plug, programs) || !EncodeBankFile(plug, built) ||
      !DecodeBankFile(plug, built.data(), built.size()) || !EncodeBankFile(plug, bytes)) {
    std::fprintf(stderr, "%s: cannot build the bank\n", argv[0]);
    return 1;
  }
  // Written next to the target and renamed over it: several build trees may regenerate the same file.
  const std::string temporary = std::string(argv[2]) + ".tmp";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out || std::rename(temporary.c_str(), argv[2]) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "%s: cannot write\n", argv[2]);
    return 1;
  }
  return 0;
}
