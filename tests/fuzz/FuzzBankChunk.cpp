// Any bytes as a host bank chunk: no fault; refused, it changes nothing; loaded, the bank serialized
// afterwards reads back whole and serializes to the same bytes again.
#include "FuzzPlug.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  static ReusedPlug first;
  static ReusedPlug second;
  static ReusedPlug third;
  DataChunk chunk;
  chunk.Assign(data, static_cast<int>(size));
  FuzzPlug& plug = first.Fresh();
  int position = 0;
  IPlugBase::ReadChunkHeader(chunk, position);
  const int end = plug.UnserializePresets(chunk, position);
  FUZZ_CHECK(end == -1 || (end >= position && end <= chunk.Size()));
  FUZZ_CHECK(ParametersInRange(plug));
  if (end < 0) {
    FUZZ_CHECK(first.Unchanged());
    return 0;
  }

  DataChunk once;
  FUZZ_CHECK(plug.SerializePresets(once));
  FuzzPlug& reread = second.Fresh();
  FUZZ_CHECK(reread.UnserializePresets(once, 0) == once.Size());
  DataChunk twice;
  reread.SerializePresets(twice);
  FuzzPlug& again = third.Fresh();
  FUZZ_CHECK(again.UnserializePresets(twice, 0) == twice.Size());
  DataChunk thrice;
  again.SerializePresets(thrice);
  FUZZ_CHECK(thrice.Size() == twice.Size() && std::memcmp(thrice.Data(), twice.Data(), twice.Size()) == 0);
  return 0;
}
