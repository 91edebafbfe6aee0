#include "tools/render/ProgramSelect.h"

#include <cctype>
#include <cstring>

#include "tools/render/VstModule.h"

namespace {

bool IsNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ProgramNames(VstModule& module) {
  std::vector<std::string> names;
  const AEffect* effect = module.Effect();
  if (!effect) return names;
  // Plug-ins write more than the published 24 characters; the buffer leaves them room.
  for (int i = 0; i < effect->numPrograms && i < 4096; ++i) {
    char name[256];
    std::memset(name, 0, sizeof(name));
    module.Dispatch(effGetProgramNameIndexed, i, 0, name);
    name[sizeof(name) - 1] = 0;
    names.emplace_back(name);
  }
  return names;
}

int FindProgram(const std::vector<std::string>& names, const std::string& which, std::string& error) {
  const int count = static_cast<int>(names.size());
  if (IsNumber(which)) {
    const int index = std::stoi(which);
    if (index < count) return index;
    error = "program " + which + " does not exist (the module has " + std::to_string(count) + " programs, 0 to " +
            std::to_string(count - 1) + ")";
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    if (names[static_cast<size_t>(i)] == which) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (SameIgnoringCase(names[static_cast<size_t>(i)], which)) return i;
  }
  error = "no program is named \"" + which + "\" (--list-programs shows the names)";
  return -1;
}

bool SelectProgram(VstModule& module, int index, std::string& error) {
  module.Dispatch(effSetProgram, 0, index);
  const VstIntPtr now = module.Dispatch(effGetProgram);
  if (now != index) {
    error = "the module did not switch to program " + std::to_string(index) + " (it reports " + std::to_string(now) + ")";
    return false;
  }
  return true;
}
