#include "plugin/HostlessInstrument.h"

#include "params/ParameterTable.h"
#include "plugin/ProgramState.h"

HostlessInstrument::HostlessInstrument(int32_t version)
    : IPlugBase("0-2", kNumParams, kPrograms, "Sarn", "", "Kelmor Music", FourCharCode('s', 'a', 'r', 'n'), version,
                true, true) {
  DefineInstrumentParameters(GetParam(0));
}

bool HostlessInstrument::SaveProgramState(DataChunk& chunk) { return SaveTaggedProgramState(*this, chunk); }

int HostlessInstrument::ReadProgramState(const DataChunk& chunk, int position, std::vector<double>& values) const {
  return ReadTaggedProgramState(*this, chunk, position, values);
}
