#include "editor/win/IGraphicsWin.h"

#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstring>

#include "editor/EditorFactory.h"

namespace {

struct OwnerSearch {
  const char* className;
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindTopLevelOfClass(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<OwnerSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process) return TRUE;
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, search->className) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

std::string FolderOfModule(HMODULE module) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string text(path, length);
  const size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

}  // namespace

HWND IGraphicsWin::MessageOwner() {
  if (mWindow && IsWindow(mWindow)) {
    HWND outer = mWindow;
    while (HWND parent = GetParent(outer)) outer = parent;
    char name[256] = {};
    GetClassNameA(outer, name, sizeof(name));
    mOwner = outer;
    mOwnerClass = name;
    return outer;
  }
  if (mOwnerClass.empty()) return nullptr;
  OwnerSearch search{mOwnerClass.c_str(), GetCurrentProcessId(), nullptr};
  EnumWindows(FindTopLevelOfClass, reinterpret_cast<LPARAM>(&search));
  mOwner = search.found;
  return mOwner;
}

int IGraphicsWin::ShowMessage(const char* text, const char* caption, int type) {
  return MessageBoxA(MessageOwner(), text ? text : "", caption ? caption : "", static_cast<UINT>(type));
}

std::string IGraphicsWin::FileFilter(const char* extensions) {
  std::string patterns;
  const char* p = extensions ? extensions : "";
  while (*p) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p && *p != ' ') ++p;
    if (p == start) break;
    if (!patterns.empty()) patterns += ';';
    patterns += "*.";
    patterns.append(start, static_cast<size_t>(p - start));
  }
  // Description and pattern, each terminated, then the list's own terminator.
  std::string filter = patterns + '\0' + patterns + '\0' + '\0';
  if (filter.size() > 256) return {};
  return filter;
}

std::string IGraphicsWin::DefaultExtension(const char* extensions) {
  const char* p = extensions ? extensions : "";
  while (*p == ' ') ++p;
  size_t length = 0;
  while (p[length] && p[length] != ' ') ++length;
  return std::string(p, length < 15 ? length : 15);
}

void IGraphicsWin::PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) {
  if (!mWindow) {
    file.clear();
    return;
  }
  char path[MAX_PATH] = {};
  std::strncpy(path, file.c_str(), 255);
  const std::string initialFolder = folder.empty() ? DesktopFolder() : folder;
  const std::string filter = FileFilter(extensions);
  const std::string defaultExtension = DefaultExtension(extensions);

  OPENFILENAMEA dialog;
  std::memset(&dialog, 0, sizeof(dialog));
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = mWindow;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.lpstrDefExt = defaultExtension.c_str();
  BOOL chosen;
  if (action == kFileSave) {
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    chosen = GetSaveFileNameA(&dialog);
  } else {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameA(&dialog);
  }
  if (!chosen) {
    file.clear();
    return;
  }
  char drive[_MAX_DRIVE] = {};
  char directory[_MAX_DIR] = {};
  _splitpath(path, drive, directory, nullptr, nullptr);
  folder = std::string(drive) + directory;
  file = path;
}

bool IGraphicsWin::OpenWebAddress(const char* url, const char* caption, const char* question,
                                  const char* failureText) {
  if (question && question[0] && ShowMessage(question, caption, kMessageYesNo) != kAnswerYes) return false;
  DWORD state = 0;
  if (url && InternetGetConnectedState(&state, 0)) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(mWindow, "open", url, nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;  // values up to 32 are errors
  }
  if (failureText && failureText[0]) ShowMessage(failureText, caption, kMessageOk);
  return false;
}

std::string IGraphicsWin::HostProgramFolder() { return FolderOfModule(nullptr); }

std::string IGraphicsWin::ModuleFolder() {
  HMODULE module = mModuleInstance;
  if (!module) {
    // The module that holds this code, when the plug-in has not handed its instance over yet.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&FolderOfModule), &module);
  }
  return module ? FolderOfModule(module) : std::string();
}

std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height) {
  auto editor = std::make_unique<IGraphicsWin>(plug, width, height);
  // The module that holds this code holds the editor's images.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&CreatePlatformEditor), &module);
  editor->SetModuleInstance(module);
  return editor;
}
