// Any bytes as the in-memory factory bank: no fault, values stay in range, and a refused image
// changes nothing.
#include "FuzzPlug.h"
#include "plugin/ProgramFiles.h"

#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  static ReusedPlug target;
  FuzzPlug& plug = target.Fresh();
  const bool loaded = LoadBankImage(plug, data, static_cast<int>(size));
  FUZZ_CHECK(!loaded || size >= 160);
  FUZZ_CHECK(ParametersInRange(plug));
  FUZZ_CHECK(loaded || target.Unchanged());
  return 0;
}
