// One INI file read and written key by key, with the semantics of the Windows profile-file functions:
// section and key names match regardless of case, values are plain text without quotes, sections
// and keys are created as needed, and everything else in the file is left as it was. Windows uses
// the system's profile functions; Linux has its own implementation of the same text format, which
// replaces the file atomically so that a reader never sees a half-written file.
#pragma once

#include <cstddef>
#include <string>

class ProfileFile {
 public:
  explicit ProfileFile(std::string path) : mPath(std::move(path)) {}

  const std::string& Path() const { return mPath; }

  // The value of key in section, or fallback when the key is absent; cut to bufferSize - 1
  // characters, as a read into a buffer of bufferSize characters would be.
  std::string ReadString(const char* section, const char* key, const char* fallback,
                         size_t bufferSize) const;
  // Sets key in section to value, creating the file, the section and the key as needed.
  bool WriteString(const char* section, const char* key, const char* value);
  // Removes every key of section; the section itself stays (and is created when missing).
  bool EmptySection(const char* section);

  // Whether the file exists as a regular file.
  bool Exists() const;
  // Creates the file empty when it is missing; true when it exists afterwards. Never truncates an
  // existing file, so an instance starting at the same moment cannot wipe what another just wrote.
  bool CreateIfMissing() const;
  // Creates the folder, on Linux with any missing parents (a fresh account has no ~/.config yet);
  // false when it could not be created (including when it exists).
  static bool CreateFolder(const std::string& path);

  // A value or name containing a line break would split its line and corrupt the file.
  static bool FitsOnOneLine(const char* text) {
    for (const char* c = text; *c; ++c) {
      if (*c == '\n' || *c == '\r') return false;
    }
    return true;
  }
  // Cuts text the way a bounded read does: at most bufferSize - 1 characters.
  static std::string CutToBuffer(std::string text, size_t bufferSize) {
    if (bufferSize == 0) return {};
    if (text.size() > bufferSize - 1) text.resize(bufferSize - 1);
    return text;
  }

 private:
  std::string mPath;
};
