#include "plugin/ProgramState.h"

#include <cstring>
#include <string>

#include "plugin/IPlugBase.h"

bool SaveTaggedProgramState(IPlugBase& plug, DataChunk& chunk) {
  chunk.PutBytes(kProgramStateTag, kProgramStateTagSize);
  chunk.PutInt(plug.GetCurrentPresetIdx());
  chunk.PutString(plug.GetPresetName(plug.GetCurrentPresetIdx()));
  plug.SerializeParams(chunk);
  return !chunk.IsEmpty();
}

int ReadTaggedProgramState(const IPlugBase& plug, const DataChunk& chunk, int position, std::vector<double>& values) {
  char tag[kProgramStateTagSize];
  const int afterTag = chunk.GetBytes(tag, kProgramStateTagSize, position);
  if (afterTag >= 0 && std::memcmp(tag, kProgramStateTag, kProgramStateTagSize) == 0) {
    int32_t presetIndex = 0;
    std::string name;
    position = chunk.GetInt(presetIndex, afterTag);
    if (position >= 0) position = chunk.GetString(name, position);
    if (position < 0) return -1;
  }
  return plug.ReadParamBlock(chunk, position, values);
}
