// Any bytes as a program file: no fault, values stay in range, and the program file written
// afterwards loads back.
#include "FuzzPlug.h"
#include "plugin/ProgramFiles.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzPlug plug;
  DecodeProgramFile(plug, data, size);
  FUZZ_CHECK(ParametersInRange(plug));

  std::vector<uint8_t> file;
  FUZZ_CHECK(EncodeProgramFile(plug, file));
  FuzzPlug reread;
  FUZZ_CHECK(DecodeProgramFile(reread, file.data(), file.size()));
  for (int i = 0; i < plug.NParams(); ++i) FUZZ_CHECK(reread.GetParam(i)->Value() == plug.GetParam(i)->Value());
  return 0;
}
