// The INI file in the text format of the Windows profile functions. Every write reads the current
// file, changes the one section or key, writes the whole text to a temporary file in the same
// folder, flushes it to disk and renames it over the old one: a reader sees either the old or the
// new file, and a failed write (disk full, read-only folder) leaves the old file as it was.
// Writers from several instances take turns through a lock on the file itself, so one instance's
// change is not lost when another writes at the same moment.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "plugin/FileAccess.h"
#include "plugin/FileDescriptor.h"
#include "shell/ProfileFile.h"

namespace {

// A settings file is a few kilobytes; anything this large is not ours to rewrite.
constexpr off_t kLargestFile = 8 * 1024 * 1024;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// What one line of the file is. Lines that are neither (comments, blank lines, text without '=')
// are carried through unchanged.
struct LineMeaning {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;
  std::string_view value;
};

LineMeaning Classify(std::string_view line) {
  LineMeaning meaning;
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';') return meaning;
  if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return meaning;
    meaning.kind = LineMeaning::kSection;
    meaning.name = Trim(text.substr(1, close - 1));
    return meaning;
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return meaning;
  meaning.name = Trim(text.substr(0, equals));
  if (meaning.name.empty()) return meaning;
  meaning.kind = LineMeaning::kKey;
  meaning.value = Trim(text.substr(equals + 1));
  // The profile functions drop one pair of enclosing quotes from a value.
  const std::string_view& v = meaning.value;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    meaning.value = v.substr(1, v.size() - 2);
  }
  return meaning;
}

// The file as a list of lines, each kept with whatever it had (including a '\r' before the '\n').
class IniText {
 public:
  explicit IniText(const std::string& content) {
    size_t start = 0;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      mByteOrderMark = content.substr(0, 3);
      start = 3;
    }
    while (start < content.size()) {
      size_t end = content.find('\n', start);
      if (end == std::string::npos) end = content.size();
      mLines.emplace_back(content, start, end - start);
      start = end + 1;
    }
  }

  std::string Text() const {
    std::string text = mByteOrderMark;
    for (const std::string& line : mLines) {
      text += line;
      text += '\n';
    }
    return text;
  }

  std::optional<std::string> Value(const char* section, const char* key) const {
    const auto range = FindSection(section);
    if (!range) return std::nullopt;
    const auto line = FindKey(*range, key);
    if (!line) return std::nullopt;
    return std::string(Classify(mLines[*line]).value);
  }

  void SetValue(const char* section, const char* key, const char* value) {
    const auto range = FindSection(section);
    if (!range) {
      AddLine(mLines.size(), std::string("[") + section + "]");
      AddLine(mLines.size(), std::string(key) + "=" + value);
      return;
    }
    if (const auto line = FindKey(*range, key)) {
      // Keep the key as the file spells it; only the value changes.
      const bool carriageReturn = EndsWithCarriageReturn(mLines[*line]);
      mLines[*line] = std::string(Classify(mLines[*line]).name) + "=" + value + (carriageReturn ? "\r" : "");
      return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays there.
    size_t at = range->end;
    while (at > range->header + 1 && Trim(mLines[at - 1]).empty()) --at;
    AddLine(at, std::string(key) + "=" + value);
  }

  void EmptySection(const char* section) {
    const auto range = FindSection(section);
    if (!range) {
      AddLine(mLines.size(), std::string("[") + section + "]");
      return;
    }
    for (size_t i = range->end; i > range->header + 1; --i) {
      if (Classify(mLines[i - 1]).kind == LineMeaning::kKey) mLines.erase(mLines.begin() + (i - 1));
    }
  }

 private:
  struct Range {
    size_t header;  // line of the section's header
    size_t end;     // next section's header, or the end of the file
  };

  std::optional<Range> FindSection(const char* section) const {
    for (size_t i = 0; i < mLines.size(); ++i) {
      const LineMeaning meaning = Classify(mLines[i]);
      if (meaning.kind != LineMeaning::kSection || !EqualIgnoringCase(meaning.name, section)) continue;
      size_t end = i + 1;
      while (end < mLines.size() && Classify(mLines[end]).kind != LineMeaning::kSection) ++end;
      return Range{i, end};
    }
    return std::nullopt;
  }

  std::optional<size_t> FindKey(const Range& range, const char* key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
      const LineMeaning meaning = Classify(mLines[i]);
      if (meaning.kind == LineMeaning::kKey && EqualIgnoringCase(meaning.name, key)) return i;
    }
    return std::nullopt;
  }

  static bool EndsWithCarriageReturn(const std::string& line) { return !line.empty() && line.back() == '\r'; }

  // A new line ends like the line before it, so a file written with "\r\n" keeps them.
  void AddLine(size_t at, std::string line) {
    if (at > 0 && EndsWithCarriageReturn(mLines[at - 1])) line += '\r';
    mLines.insert(mLines.begin() + at, std::move(line));
  }

  std::string mByteOrderMark;
  std::vector<std::string> mLines;
};

// The whole content of an open regular file; nothing when it cannot be read or is too large.
std::optional<std::string> ReadContent(int fd) {
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestFile) return std::nullopt;
  std::string content;
  char chunk[4096];
  for (;;) {
    const ssize_t count = pread(fd, chunk, sizeof chunk, static_cast<off_t>(content.size()));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) return content;
    content.append(chunk, static_cast<size_t>(count));
    if (static_cast<off_t>(content.size()) > kLargestFile) return std::nullopt;
  }
}

// Opens the file now at path (creating it empty when missing) and locks it for writing. A writer
// that replaced the file while we waited leaves us holding the old one, so compare and retry.
bool LockCurrentFile(const std::string& path, FileDescriptor& file) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    file.Reset(open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
    if (file.Get() < 0) return false;
    struct stat opened;
    if (fstat(file.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return false;
    int locked;
    do {
      locked = flock(file.Get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    // A file system without locks still gets the atomic replacement.
    if (locked != 0) return true;
    struct stat current;
    if (stat(path.c_str(), &current) == 0 && current.st_dev == opened.st_dev && current.st_ino == opened.st_ino) {
      return true;
    }
  }
  return false;
}

template <typename Change>
bool UpdateFile(const std::string& path, Change change) {
  if (path.empty()) return false;
  try {
    FileDescriptor file;
    if (!LockCurrentFile(path, file)) return false;
    const std::optional<std::string> content = ReadContent(file.Get());
    if (!content) return false;
    IniText ini(*content);
    change(ini);
    const std::string text = ini.Text();
    // The lock goes with the old file when file closes.
    return ReplaceFileContents(path.c_str(), reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                               ReplacedFileAccess::kKeepOld);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

std::string ProfileFile::ReadString(const char* section, const char* key, const char* fallback,
                                    size_t bufferSize) const {
  if (!fallback) fallback = "";
  try {
    if (!mPath.empty()) {
      FileDescriptor file(open(mPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
      if (file.Get() >= 0) {
        if (const std::optional<std::string> content = ReadContent(file.Get())) {
          if (const std::optional<std::string> value = IniText(*content).Value(section, key)) {
            return CutToBuffer(*value, bufferSize);
          }
        }
      }
    }
    return CutToBuffer(fallback, bufferSize);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool ProfileFile::WriteString(const char* section, const char* key, const char* value) {
  if (!FitsOnOneLine(section) || !FitsOnOneLine(key) || !FitsOnOneLine(value)) return false;
  return UpdateFile(mPath, [&](IniText& ini) { ini.SetValue(section, key, value); });
}

bool ProfileFile::EmptySection(const char* section) {
  if (!FitsOnOneLine(section)) return false;
  return UpdateFile(mPath, [&](IniText& ini) { ini.EmptySection(section); });
}

bool ProfileFile::Exists() const {
  struct stat status;
  return !mPath.empty() && stat(mPath.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool ProfileFile::CreateIfMissing() const {
  if (mPath.empty()) return false;
  if (Exists()) return true;
  FileDescriptor file(open(mPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
  return file.Get() >= 0;
}

// Makes every missing folder of the path, as a fresh account has no ~/.config yet; the folders it makes
// are the user's own (0700), as the XDG base directories ask.
bool ProfileFile::CreateFolder(const std::string& path) {
  if (path.empty()) return false;
  bool made = false;
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string folder = path.substr(0, end);
    made = mkdir(folder.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) return false;
    if (end == std::string::npos) return made;
  }
}
