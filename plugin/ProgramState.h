// The instrument's tagged program state: "Sarn_1.0.0", the current program's index and name, then
// the parameter block. The instrument's SaveProgramState/ReadProgramState overrides call these.
#pragma once

#include <vector>

#include "plugin/DataChunk.h"

class IPlugBase;

constexpr char kProgramStateTag[] = "Sarn_1.0.0";
constexpr int kProgramStateTagSize = 10;  // stored without terminator

// Appends tag, current preset index (32-bit), current preset name (string) and the plain values as
// doubles: 10 + 4 + 4 + name length + 8 * parameters bytes. True when the chunk is not empty.
bool SaveTaggedProgramState(IPlugBase& plug, DataChunk& chunk);

// Reads a tagged state, or a bare parameter block when the tag is absent, into values (one per
// parameter) without changing anything. Index and name are skipped, not applied. Returns the next
// position, or -1 when any part of the state does not fit.
int ReadTaggedProgramState(const IPlugBase& plug, const DataChunk& chunk, int position, std::vector<double>& values);
