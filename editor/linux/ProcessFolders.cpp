#include "editor/linux/ProcessFolders.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

std::string FolderWithSeparator(const std::string& path) {
  const size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string RunningProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return {};
  return FolderWithSeparator(std::string(path, static_cast<size_t>(length)));
}

std::string ThisModuleFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&ThisModuleFolder), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return {};
  return FolderWithSeparator(resolved);
}
