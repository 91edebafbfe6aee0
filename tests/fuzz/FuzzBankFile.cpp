// Any bytes as a bank file (chunk or parameter-list form): no fault, values stay in range, and the
// bank file written afterwards loads back.
#include "FuzzPlug.h"
#include "plugin/ProgramFiles.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzPlug plug;
  DecodeBankFile(plug, data, size);
  FUZZ_CHECK(ParametersInRange(plug));
  for (int i = 0; i < plug.NPresets(); ++i) FUZZ_CHECK(plug.GetPreset(i)->name.size() <= Preset::kMaxNameLength);

  std::vector<uint8_t> file;
  FUZZ_CHECK(EncodeBankFile(plug, file));
  FuzzPlug reread;
  FUZZ_CHECK(DecodeBankFile(reread, file.data(), file.size()));
  return 0;
}
