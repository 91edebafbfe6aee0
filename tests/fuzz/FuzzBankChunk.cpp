// Any bytes as a host bank chunk: no fault; refused, it changes nothing; loaded, the instance is on a
// valid program, and the bank serialized afterwards with that program reads back whole, onto the same
// program, and serializes to the same bytes again.
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
  const int end = plug.UnserializeHostBank(chunk, position);
  FUZZ_CHECK(end == -1 || (end >= position && end <= chunk.Size()));
  FUZZ_CHECK(ParametersInRange(plug));
  if (end < 0) {
    FUZZ_CHECK(first.Unchanged());
    return 0;
  }
  const int current = plug.GetCurrentPresetIdx();
  FUZZ_CHECK(current >= 0 && current < plug.NPresets());

  DataChunk once;
  FUZZ_CHECK(plug.SerializeHostBank(once));
  FuzzPlug& reread = second.Fresh();
  FUZZ_CHECK(reread.UnserializeHostBank(once, 0) == once.Size());
  FUZZ_CHECK(reread.GetCurrentPresetIdx() == current);
  DataChunk twice;
  reread.SerializeHostBank(twice);
  FuzzPlug& again = third.Fresh();
  FUZZ_CHECK(again.UnserializeHostBank(twice, 0) == twice.Size());
  DataChunk thrice;
  again.SerializeHostBank(thrice);
  FUZZ_CHECK(thrice.Size() == twice.Size() && std::memcmp(thrice.Data(), twice.Data(), twice.Size()) == 0);
  return 0;
}
