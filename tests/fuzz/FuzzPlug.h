// The plug-in the fuzz targets load into: the instrument's 60 parameters, the tagged program state,
// 64 programs initialized as the entry point leaves them, host calls ignored.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "params/ParameterTable.h"
#include "plugin/IPlugBase.h"
#include "plugin/ProgramState.h"

class FuzzPlug : public IPlugBase {
 public:
  FuzzPlug()
      : IPlugBase("0-2", kNumParams, 64, "Sarn", "", "Kelmor Music", FourCharCode('s', 'a', 'r', 'n'), 0x00010004,
                  true, true) {
    DefineInstrumentParameters(GetParam(0));
    FillEmptyPresets(64);
  }

  bool SaveProgramState(DataChunk& chunk) override { return SaveTaggedProgramState(*this, chunk); }
  int LoadProgramState(const DataChunk& chunk, int position) override {
    return LoadTaggedProgramState(*this, chunk, position);
  }
  void BeginParameterEdit(int) override {}
  void NotifyHostOfParameterChange(int, double) override {}
  void EndParameterEdit(int) override {}
  void NotifyHostOfProgramChange() override {}
  bool IsRenderingOffline() override { return false; }
  int64_t GetSamplePosition() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSignature(int& numerator, int& denominator) override { numerator = denominator = 4; }
  void GetTransportInfo(TimeInfo&) override {}
  int GetHost() override { return 0; }
  void ResizeEditor() override {}
  void HostSpecificInit() override {}
  bool SendMidiMessage(const MidiMessage&) override { return true; }
  bool SendSysEx(const SysExMessage&) override { return true; }
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
