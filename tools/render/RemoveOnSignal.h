// Removes the file being written when SIGINT, SIGTERM or SIGHUP ends the program, so that an
// interrupted render leaves nothing behind; the signal then ends the program as it would have.
#pragma once

#include <string>

namespace RemoveOnSignal {

// Creates a new file from a mkstemps template (the name is filled in) and marks it for removal, with
// the signals held off in between so that no interruption leaves it behind. The descriptor, or -1
// with errno set.
int CreateArmed(std::string& pathTemplate, int suffixLength);
// The file to remove; replaces any earlier one.
void Arm(const std::string& path);
// Nothing to remove any more.
void Disarm();

}  // namespace RemoveOnSignal
