#include "editor/IGraphics.h"

#include "editor/UserFolders.h"

namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != PathSeparator()) folder += PathSeparator();
  return folder;
}

}  // namespace

void IGraphics::ApplyParameterFromPlugin(int, double, bool) {}

void IGraphics::SetControlsFromPlugin(int, double) {}

bool IGraphics::OpenWindow(void*) { return false; }

int IGraphics::ShowMessage(const char*, const char*, int) { return 0; }

void IGraphics::PromptForFile(std::string& file, int, std::string&, const char*) { file.clear(); }

bool IGraphics::OpenWebAddress(const char*, const char*, const char*, const char*) { return false; }

std::string IGraphics::HostProgramFolder() { return {}; }

std::string IGraphics::ModuleFolder() { return {}; }

std::string IGraphics::DesktopFolder() { return WithSeparator(::DesktopFolder()); }

std::string IGraphics::AppDataFolder(bool common) {
  return WithSeparator(common ? CommonAppDataFolder() : LocalAppDataFolder());
}
