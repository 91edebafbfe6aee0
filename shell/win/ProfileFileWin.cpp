// The INI file through the Windows profile-file functions.
#include <windows.h>

#include <new>
#include <vector>

#include "shell/ProfileFile.h"

namespace {

// Reads longer than this are not needed by anything the shell stores.
constexpr size_t kLargestRead = 64 * 1024;

bool Writable(const std::string& path, const char* section, const char* key, const char* value) {
  return !path.empty() && ProfileFile::FitsOnOneLine(section) && ProfileFile::FitsOnOneLine(key) &&
         ProfileFile::FitsOnOneLine(value);
}

}  // namespace

std::string ProfileFile::ReadString(const char* section, const char* key, const char* fallback,
                                    size_t bufferSize) const {
  if (bufferSize > kLargestRead) bufferSize = kLargestRead;
  // An empty path would make the profile functions fall back to a file in the Windows folder.
  if (!fallback) fallback = "";
  if (mPath.empty() || bufferSize == 0) return CutToBuffer(fallback, bufferSize);
  try {
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer.data(),
                                                  static_cast<DWORD>(bufferSize), mPath.c_str());
    return std::string(buffer.data(), length < bufferSize ? length : bufferSize - 1);
  } catch (const std::bad_alloc&) {
    return CutToBuffer(fallback, bufferSize);
  }
}

bool ProfileFile::WriteString(const char* section, const char* key, const char* value) {
  if (!Writable(mPath, section, key, value)) return false;
  return WritePrivateProfileStringA(section, key, value, mPath.c_str()) != FALSE;
}

bool ProfileFile::EmptySection(const char* section) {
  if (!Writable(mPath, section, "", "")) return false;
  // The key list is double-null-terminated; an empty list is two terminators.
  static const char kNoKeys[2] = {'\0', '\0'};
  return WritePrivateProfileSectionA(section, kNoKeys, mPath.c_str()) != FALSE;
}

bool ProfileFile::Exists() const {
  if (mPath.empty()) return false;
  const DWORD attributes = GetFileAttributesA(mPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ProfileFile::CreateIfMissing() const {
  if (mPath.empty()) return false;
  if (Exists()) return true;
  const HANDLE file = CreateFileA(mPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool ProfileFile::CreateFolder(const std::string& path) {
  return !path.empty() && CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}
