// Decides, before anything is rendered, whether a path may take the rendered file: only a regular
// file (or a new name) in a folder that can be written, and never one of the program's inputs, also
// when reached through another name. "-" stands for standard output and is always allowed.
#pragma once

#include <string>
#include <vector>

// False with a message naming the path and the reason when the path must not be written.
bool CheckOutputPath(const std::string& path, const std::vector<std::string>& inputs, std::string& error);
