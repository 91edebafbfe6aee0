// The instrument's tagged program state: "Sarn_1.0.0", the current program's index and name, then
// the parameter block. The instrument's SaveProgramState/LoadProgramState overrides call these.
#pragma once

#include "plugin/DataChunk.h"

class IPlugBase;

constexpr char kProgramStateTag[] = "Sarn_1.0.0";
constexpr int kProgramStateTagSize = 10;  // stored without terminator

// Appends tag, current preset index (32-bit), current preset name (string) and the plain values as
// doubles: 10 + 4 + 4 + name length + 8 * parameters bytes. True when the chunk is not empty.
bool SaveTaggedProgramState(IPlugBase& plug, DataChunk& chunk);

// Reads a tagged state, or a bare parameter block when the tag is absent. Index and name are skipped,
// not applied. Values are limited to their ranges; the first value that does not fit reads as 0.0 and
// ends the read; every parameter is applied afterwards. Returns the next position or -1.
// The caller holds the plug-in lock.
int LoadTaggedProgramState(IPlugBase& plug, const DataChunk& chunk, int position);
