// Any bytes as a host bank chunk: no fault, and the bank serialized afterwards reads back whole and
// serializes to the same bytes again.
#include "FuzzPlug.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  DataChunk chunk;
  chunk.Assign(data, static_cast<int>(size));
  FuzzPlug plug;
  int position = 0;
  IPlugBase::ReadChunkHeader(chunk, position);
  const int end = plug.UnserializePresets(chunk, position);
  FUZZ_CHECK(end == -1 || (end >= position && end <= chunk.Size()));
  FUZZ_CHECK(ParametersInRange(plug));

  DataChunk once;
  FUZZ_CHECK(plug.SerializePresets(once));
  FuzzPlug second;
  FUZZ_CHECK(second.UnserializePresets(once, 0) == once.Size());
  DataChunk twice;
  second.SerializePresets(twice);
  FuzzPlug third;
  FUZZ_CHECK(third.UnserializePresets(twice, 0) == twice.Size());
  DataChunk thrice;
  third.SerializePresets(thrice);
  FUZZ_CHECK(thrice.Size() == twice.Size() && std::memcmp(thrice.Data(), twice.Data(), twice.Size()) == 0);
  return 0;
}
