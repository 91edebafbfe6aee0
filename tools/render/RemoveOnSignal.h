// Removes the file being written when SIGINT, SIGTERM or SIGHUP ends the program, so that an
// interrupted render leaves nothing behind; the signal then ends the program as it would have.
#pragma once

#include <string>

namespace RemoveOnSignal {

// The file to remove; replaces any earlier one.
void Arm(const std::string& path);
// Nothing to remove any more.
void Disarm();

}  // namespace RemoveOnSignal
