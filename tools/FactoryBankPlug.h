// A host-less plug-in with the instrument's 60 parameters and the tagged program state: the factory
// bank is built over it. Its version, 1.0.0, is the one the factory bank file carries (10000).
#pragma once

#include "params/ParameterTable.h"
#include "plugin/HostlessInstrument.h"
#include "plugin/ProgramState.h"

class FactoryBankPlug : public HostlessInstrument {
 public:
  FactoryBankPlug() : HostlessInstrument(0x00010000) {}

  void ApplyParameter(int) override {}
};
