// Folders the Linux window layers report: of the running program and of the module holding this code.
#pragma once

#include <string>

// The folder part of a path, ending in '/'; empty when the path has no '/'.
std::string FolderWithSeparator(const std::string& path);

// The running program's folder (the host's), ending in '/'; empty when unknown.
std::string RunningProgramFolder();

// The folder of the module that holds this code (the plug-in's .so, or the program it is linked
// into), ending in '/'; empty when unknown.
std::string ThisModuleFolder();
