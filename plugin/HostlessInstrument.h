// The instrument's 60 parameters, 64 programs and tagged program state with no host behind them:
// the base for tools that build or read banks and for tests. Every host call does nothing.
#pragma once

#include <cstdint>

#include "plugin/IPlugBase.h"

class HostlessInstrument : public IPlugBase {
 public:
  static constexpr int kPrograms = 64;

  // version: major * 65536 + minor * 256 + fix, as the program files carry it.
  explicit HostlessInstrument(int32_t version);

  bool SaveProgramState(DataChunk& chunk) override;
  int ReadProgramState(const DataChunk& chunk, int position, std::vector<double>& values) const override;

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
