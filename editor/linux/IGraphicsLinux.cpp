#include "editor/linux/IGraphicsLinux.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>


namespace {

std::string FolderWithSeparator(const std::string& path) {
  const size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

void IGraphicsLinux::ClearRecords() {
  mMessages.clear();
  mFilePrompts.clear();
  mOpenedAddresses.clear();
}

int IGraphicsLinux::ShowMessage(const char* text, const char* caption, int type) {
  mMessages.push_back({text ? text : "", caption ? caption : "", type});
  int answer;
  if (!mAnswers.empty()) {
    answer = mAnswers.front();
    mAnswers.pop_front();
  } else {
    answer = (type & 0xF) == kMessageYesNo ? kAnswerNo : kAnswerOk;
  }
  return answer;
}

void IGraphicsLinux::PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) {
  mFilePrompts.push_back({file, action, folder, extensions ? extensions : ""});
  if (mFiles.empty()) {
    file.clear();
    return;
  }
  file = mFiles.front();
  mFiles.pop_front();
  if (file.empty()) return;
  const size_t cut = file.rfind('/');
  folder = cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
}

bool IGraphicsLinux::OpenWebAddress(const char* url, const char* caption, const char* question,
                                    const char* failureText) {
  if (question && question[0] && ShowMessage(question, caption, kMessageYesNo) != kAnswerYes) return false;
  if (url && mWebAvailable) {
    mOpenedAddresses.push_back(url);
    return true;
  }
  if (failureText && failureText[0]) ShowMessage(failureText, caption, kMessageOk);
  return false;
}

std::string IGraphicsLinux::HostProgramFolder() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return {};
  return FolderWithSeparator(std::string(path, static_cast<size_t>(length)));
}

std::string IGraphicsLinux::ModuleFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&FolderWithSeparator), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return {};
  return FolderWithSeparator(resolved);
}
