// Any bytes as the in-memory factory bank: no fault, values stay in range.
#include "FuzzPlug.h"
#include "plugin/ProgramFiles.h"

#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT_MAX) return 0;
  FuzzPlug plug;
  const bool loaded = LoadBankImage(plug, data, static_cast<int>(size));
  FUZZ_CHECK(!loaded || size >= 160);
  FUZZ_CHECK(ParametersInRange(plug));
  return 0;
}
