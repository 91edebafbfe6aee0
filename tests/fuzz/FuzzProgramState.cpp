// Any bytes as a program state: no fault, values stay in range; refused, it changes nothing; loaded,
// the state saved afterwards loads back whole to the same values.
#include "FuzzPlug.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  static ReusedPlug target;
  static ReusedPlug second;
  DataChunk chunk;
  chunk.Assign(data, static_cast<int>(size));
  FuzzPlug& plug = target.Fresh();
  const int position = plug.LoadProgramState(chunk, 0);
  FUZZ_CHECK(position == -1 || (position > 0 && position <= chunk.Size()));
  FUZZ_CHECK(ParametersInRange(plug));
  if (position < 0) {
    FUZZ_CHECK(target.Unchanged());
    return 0;
  }

  DataChunk saved;
  FUZZ_CHECK(plug.SaveProgramState(saved));
  FuzzPlug& reread = second.Fresh();
  FUZZ_CHECK(reread.LoadProgramState(saved, 0) == saved.Size());
  for (int i = 0; i < plug.NParams(); ++i) FUZZ_CHECK(reread.GetParam(i)->Value() == plug.GetParam(i)->Value());
  return 0;
}
