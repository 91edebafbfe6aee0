#include "editor/IGraphics.h"

void IGraphics::ApplyParameterFromPlugin(int, double, bool) {}

void IGraphics::SetControlsFromPlugin(int, double) {}

bool IGraphics::OpenWindow(void*) { return false; }

int IGraphics::ShowMessage(const char*, const char*, int) { return 0; }

void IGraphics::PromptForFile(std::string& file, int, std::string&, const char*) { file.clear(); }

bool IGraphics::OpenWebAddress(const char*, const char*, const char*, const char*) { return false; }

std::string IGraphics::HostProgramFolder() { return {}; }

std::string IGraphics::ModuleFolder() { return {}; }

std::string IGraphics::DesktopFolder() { return {}; }

std::string IGraphics::AppDataFolder(bool) { return {}; }
