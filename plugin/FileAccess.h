// Whole-file reads and crash-safe whole-file writes for program and bank files. Paths are UTF-8
// everywhere in the plug-in; on Windows they are turned into UTF-16 for the wide-character file
// functions, so that any name the file dialog returns works whatever the system's code page, and
// into the long-path form, so that the temporary file beside a path near the length limit fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Who may use the file that ReplaceFileContents writes. On Windows the new file always gets the
// folder's default access.
enum class ReplacedFileAccess {
  kNewFile,  // as any new file: 0666 less the umask
  kKeepOld,  // the permission bits of the file replaced, when there is one
};

// Replaces the file at path with size bytes: written to a new temporary file in the same folder,
// flushed to the disk, then renamed over path in one step. A reader, or the next start after a crash
// or power loss at any moment, finds either the old file or the new one, never a torn one; when
// anything fails the old file stays as it was and the temporary file is removed.
bool ReplaceFileContents(const char* path, const uint8_t* data, size_t size,
                         ReplacedFileAccess access = ReplacedFileAccess::kNewFile);

// The whole file at path; false when it cannot be opened or read, or is larger than maxSize bytes.
bool ReadFileContents(const char* path, std::vector<uint8_t>& bytes, size_t maxSize);

// For benchmarks and tests: every read and write of a whole file takes this much longer, as on a slow
// network folder or a drive that has to spin up. 0 (the default) adds nothing.
void SetFileAccessDelayForTesting(int milliseconds);
