// Finds a program of a loaded module by number or by name, and selects it.
#pragma once

#include <string>
#include <vector>

class VstModule;

// The names of the module's programs, in order, asked with effGetProgramNameIndexed.
std::vector<std::string> ProgramNames(VstModule& module);

// Resolves "12" (a program number) or a name against the names: an exact match first, then one that
// differs only in letter case. Returns the index, or -1 with a message.
int FindProgram(const std::vector<std::string>& names, const std::string& which, std::string& error);

// effSetProgram, checked with effGetProgram.
bool SelectProgram(VstModule& module, int index, std::string& error);
