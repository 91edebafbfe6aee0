// Any bytes as a bank file (chunk or parameter-list form): no fault, values stay in range; refused,
// it changes nothing; loaded, the bank file written afterwards loads back.
#include "FuzzPlug.h"
#include "plugin/ProgramFiles.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ReusedPlug target;
  static ReusedPlug second;
  FuzzPlug& plug = target.Fresh();
  const bool loaded = DecodeBankFile(plug, data, size);
  FUZZ_CHECK(ParametersInRange(plug));
  if (!loaded) {
    FUZZ_CHECK(target.Unchanged());
    return 0;
  }
  for (int i = 0; i < plug.NPresets(); ++i) FUZZ_CHECK(plug.GetPreset(i)->name.size() <= Preset::kMaxNameLength);

  std::vector<uint8_t> file;
  FUZZ_CHECK(EncodeBankFile(plug, file));
  FUZZ_CHECK(DecodeBankFile(second.Fresh(), file.data(), file.size()));
  return 0;
}
