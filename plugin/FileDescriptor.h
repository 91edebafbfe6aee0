// Owns a POSIX file descriptor and closes it when it goes. Defined for the POSIX builds only.
#pragma once

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : mFd(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return mFd; }
  // Closes the descriptor held, if any, and takes fd.
  void Reset(int fd = -1) {
    Close();
    mFd = fd;
  }
  // False when close reports an error: a write that reached no disk can show only here.
  bool Close();

 private:
  int mFd;
};
