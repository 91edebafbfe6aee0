// XDG base and user directories.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "editor/UserFolders.h"

namespace {

std::string EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvironmentPath("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid())) {
    if (entry->pw_dir && entry->pw_dir[0] == '/') return entry->pw_dir;
  }
  return {};
}

std::string StripTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A directory from user-dirs.dirs (XDG_DOCUMENTS_DIR="$HOME/Documents"), or fallback under home.
std::string UserDirectory(const char* key, const char* fallback) {
  const std::string home = HomeFolder();
  std::ifstream file(LocalAppDataFolder() + "/user-dirs.dirs");
  const std::string prefix = std::string(key) + "=\"";
  std::string line;
  while (std::getline(file, line)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t end = line.find('"', prefix.size());
    if (end == std::string::npos) break;
    std::string value = line.substr(prefix.size(), end - prefix.size());
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return StripTrailingSlash(value);
    break;
  }
  return home.empty() ? std::string() : home + "/" + fallback;
}

}  // namespace

std::string LocalAppDataFolder() {
  const std::string configured = EnvironmentPath("XDG_CONFIG_HOME");
  if (!configured.empty()) return StripTrailingSlash(configured);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

std::string CommonAppDataFolder() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  if (dirs && dirs[0] == '/') {
    const std::string list(dirs);
    return StripTrailingSlash(list.substr(0, list.find(':')));
  }
  return "/etc/xdg";
}

std::string DocumentsFolder() { return UserDirectory("XDG_DOCUMENTS_DIR", "Documents"); }

std::string DesktopFolder() { return UserDirectory("XDG_DESKTOP_DIR", "Desktop"); }

char PathSeparator() { return '/'; }
