#include "tools/render/OutputPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool CheckOutputPath(const std::string& path, const std::vector<std::string>& inputs, std::string& error) {
  if (path == "-") return true;
  struct stat output;
  if (lstat(path.c_str(), &output) == 0) {
    if (!S_ISREG(output.st_mode)) {
      error = "will not write " + path + ": it is " + KindOf(output.st_mode) + ", and only regular files are written";
      return false;
    }
    for (const std::string& input : inputs) {
      struct stat in;
      if (stat(input.c_str(), &in) == 0 && in.st_dev == output.st_dev && in.st_ino == output.st_ino) {
        error = "will not write " + path + ": it is the input " + input;
        return false;
      }
    }
  } else if (errno != ENOENT) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  const std::string folder = FolderOf(path);
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    error = "cannot write " + path + ": folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
