// A host-less plug-in with the instrument's 60 parameters and the tagged program state: the factory
// bank is built over it. Its version, 1.0.0, is the one the factory bank file carries (10000).
#pragma once

#include "params/ParameterTable.h"
#include "plugin/IPlugBase.h"
#include "plugin/ProgramState.h"

class FactoryBankPlug : public IPlugBase {
 public:
  FactoryBankPlug()
      : IPlugBase("0-2", kNumParams, 64, "Sarn", "", "Kelmor Music", FourCharCode('s', 'a', 'r', 'n'), 0x00010000,
                  true, true) {
    DefineInstrumentParameters(GetParam(0));
  }

  void ApplyParameter(int) override {}
  bool SaveProgramState(DataChunk& chunk) override { return SaveTaggedProgramState(*this, chunk); }
  int LoadProgramState(const DataChunk& chunk, int position) override {
    return LoadTaggedProgramState(*this, chunk, position);
  }

  void BeginParameterEdit(int) override {}
  void NotifyHostOfParameterChange(int, double) override {}
  void EndParameterEdit(int) override {}
  void NotifyHostOfProgramChange() override {}
  bool IsRenderingOffline() override { return true; }
  int64_t GetSamplePosition() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSignature(int& numerator, int& denominator) override { numerator = denominator = 4; }
  void GetTransportInfo(TimeInfo&) override {}
  int GetHost() override { return 0; }
  void ResizeEditor() override {}
  void HostSpecificInit() override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }
  bool SendSysEx(const SysExMessage&) override { return false; }
};
