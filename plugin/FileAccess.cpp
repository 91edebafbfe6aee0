#include "plugin/FileAccess.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "plugin/FileDescriptor.h"
#endif

namespace {

// Distinguishes the temporary files of several saves of one process running at the same time.
std::atomic<unsigned> gTemporaryCount{0};

std::atomic<int> gDelayMilliseconds{0};

void SimulateSlowDisk() {
  const int delay = gDelayMilliseconds.load(std::memory_order_relaxed);
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
}

}  // namespace

void SetFileAccessDelayForTesting(int milliseconds) { gDelayMilliseconds = milliseconds; }

#ifdef _WIN32

namespace {

// UTF-8 to UTF-16. Text that is not valid UTF-8 is taken in the ANSI code page, the way callers that
// still hand over ANSI text mean it.
std::wstring Widen(const char* text) {
  for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
    const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int length = MultiByteToWideChar(codePage, flags, text, -1, nullptr, 0);
    if (length <= 0) continue;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, flags, text, -1, &wide[0], length) != length) continue;
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
  }
  return {};
}

// The absolute path in the "\\?\" form, which the wide-character functions accept up to 32767
// characters instead of MAX_PATH.
std::wstring LongPath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return {};
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
  if (written == 0 || written >= length) return {};
  full.resize(written);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : mHandle(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return mHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return mHandle; }
  bool Close() {
    const bool closed = !Valid() || CloseHandle(mHandle) != FALSE;
    mHandle = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE mHandle;
};

}  // namespace

bool ReplaceFileContents(const char* path, const uint8_t* data, size_t size, ReplacedFileAccess) {
  if (!path || !path[0] || (!data && size > 0)) return false;
  SimulateSlowDisk();
  const std::wstring target = LongPath(Widen(path));
  const size_t slash = target.find_last_of(L'\\');
  if (target.empty() || slash == std::wstring::npos) return false;
  // A short name in the same folder: the rename stays on one volume, and the name adds nothing to
  // a file name that is already as long as names may be.
  std::wstring temporary;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    const unsigned count = gTemporaryCount.fetch_add(1) ^ static_cast<unsigned>(GetTickCount());
    temporary = target.substr(0, slash + 1) + L"~sarn" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(count) + L".tmp";
    created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  Handle file(created);
  if (!file.Valid()) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    const DWORD chunk = static_cast<DWORD>(size - done < (1u << 30) ? size - done : (1u << 30));
    DWORD written = 0;
    ok = WriteFile(file.Get(), data + done, chunk, &written, nullptr) != FALSE && written == chunk;
    done += written;
  }
  ok = ok && FlushFileBuffers(file.Get()) != FALSE;
  ok = file.Close() && ok;
  ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

bool ReadFileContents(const char* path, std::vector<uint8_t>& bytes, size_t maxSize) {
  if (!path || !path[0]) return false;
  SimulateSlowDisk();
  const std::wstring wide = LongPath(Widen(path));
  if (wide.empty()) return false;
  Handle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > maxSize) {
    return false;
  }
  bytes.resize(static_cast<size_t>(size.QuadPart));
  for (size_t done = 0; done < bytes.size();) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(bytes.size() - done < (1u << 30) ? bytes.size() - done : (1u << 30));
    if (!ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) return false;
    done += read;
  }
  return true;
}

#else

bool FileDescriptor::Close() {
  const bool closed = mFd < 0 || close(mFd) == 0;
  mFd = -1;
  return closed;
}

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t count = write(fd, data + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

}  // namespace

bool ReplaceFileContents(const char* path, const uint8_t* data, size_t size, ReplacedFileAccess access) {
  if (!path || !path[0] || (!data && size > 0)) return false;
  SimulateSlowDisk();
  const std::string target = path;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  // A short hidden name in the same folder, created exclusively: the rename stays on one file system,
  // and two saves at the same moment never share a temporary file. Mode 0666 less the umask, as for
  // any new file.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    temporary = folder + "/.sarn-" + std::to_string(getpid()) + "-" +
                std::to_string(gTemporaryCount.fetch_add(1) ^ static_cast<unsigned>(now)) + ".tmp";
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  FileDescriptor file(fd);
  struct stat old;
  if (access == ReplacedFileAccess::kKeepOld && stat(path, &old) == 0) {
    fchmod(file.Get(), old.st_mode & 07777);  // best effort: the file stays ours to read either way
  }
  bool ok = WriteAll(file.Get(), data, size) && fsync(file.Get()) == 0;
  ok = file.Close() && ok;
  ok = ok && rename(temporary.c_str(), path) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder; a failure here does not undo the save.
  FileDescriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) fsync(directory.Get());
  return true;
}

bool ReadFileContents(const char* path, std::vector<uint8_t>& bytes, size_t maxSize) {
  if (!path || !path[0]) return false;
  SimulateSlowDisk();
  FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
  struct stat status;
  if (file.Get() < 0 || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0 ||
      static_cast<unsigned long long>(status.st_size) > maxSize) {
    return false;
  }
  bytes.resize(static_cast<size_t>(status.st_size));
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t count = read(file.Get(), bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

#endif
