// The plug-in the fuzz targets load into: the instrument's 60 parameters, the tagged program state,
// 64 programs initialized as the entry point leaves them, host calls ignored.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "params/ParameterTable.h"
#include "plugin/HostlessInstrument.h"
#include "plugin/ProgramState.h"

class FuzzPlug : public HostlessInstrument {
 public:
  FuzzPlug() : HostlessInstrument(0x00010004) { FillEmptyPresets(kPrograms); }
};

// Every parameter within its range and not NaN: what any load, good or bad, must leave behind.
inline bool ParametersInRange(const IPlugBase& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const IPlugParam* p = plug.GetParam(i);
    if (!(p->Value() >= p->Min() && p->Value() <= p->Max())) return false;
  }
  return true;
}

#define FUZZ_CHECK(condition)                                                   \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                             \
    }                                                                           \
  } while (0)
