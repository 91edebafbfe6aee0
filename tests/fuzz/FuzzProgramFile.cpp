// Any bytes as a program file: no fault, values stay in range; refused, it changes nothing; loaded,
// the program file written afterwards loads back to the same values.
#include "FuzzPlug.h"
#include "plugin/ProgramFiles.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ReusedPlug target;
  static ReusedPlug second;
  FuzzPlug& plug = target.Fresh();
  const bool loaded = DecodeProgramFile(plug, data, size);
  FUZZ_CHECK(ParametersInRange(plug));
  if (!loaded) {
    FUZZ_CHECK(target.Unchanged());
    return 0;
  }

  std::vector<uint8_t> file;
  FUZZ_CHECK(EncodeProgramFile(plug, file));
  FuzzPlug& reread = second.Fresh();
  FUZZ_CHECK(DecodeProgramFile(reread, file.data(), file.size()));
  for (int i = 0; i < plug.NParams(); ++i) FUZZ_CHECK(reread.GetParam(i)->Value() == plug.GetParam(i)->Value());
  return 0;
}
