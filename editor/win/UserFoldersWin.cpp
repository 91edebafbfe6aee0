// Shell folder queries.
#include <windows.h>
#include <shlobj.h>

#include "editor/UserFolders.h"

namespace {

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return {};
  return path;
}

}  // namespace

std::string LocalAppDataFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA); }

std::string CommonAppDataFolder() { return ShellFolder(CSIDL_COMMON_APPDATA); }

std::string DocumentsFolder() { return ShellFolder(CSIDL_PERSONAL); }

std::string DesktopFolder() { return ShellFolder(CSIDL_DESKTOPDIRECTORY); }

char PathSeparator() { return '\\'; }
