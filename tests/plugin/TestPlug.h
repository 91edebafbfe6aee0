// A plug-in with the instrument's 60 parameters, the tagged program state and host calls recorded.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "params/ParameterTable.h"
#include "plugin/IPlugBase.h"
#include "plugin/ProgramState.h"

class TestPlug : public IPlugBase {
 public:
  TestPlug()
      : IPlugBase("0-2", kNumParams, 64, "Sarn", "", "Kelmor Music", FourCharCode('s', 'a', 'r', 'n'), 0x00010004,
                  true, true) {
    DefineInstrumentParameters(GetParam(0));
  }

  void ApplyParameter(int index) override { applied.push_back(index); }
  bool SaveProgramState(DataChunk& chunk) override { return SaveTaggedProgramState(*this, chunk); }
  int LoadProgramState(const DataChunk& chunk, int position) override {
    return LoadTaggedProgramState(*this, chunk, position);
  }
  void PresetsChanged() override { ++presetsChanged; }

  void BeginParameterEdit(int index) override { beginEdits.push_back(index); }
  void NotifyHostOfParameterChange(int index, double normalized) override {
    automation.emplace_back(index, normalized);
  }
  void EndParameterEdit(int index) override { endEdits.push_back(index); }
  void NotifyHostOfProgramChange() override { ++programChanges; }
  bool IsRenderingOffline() override { return false; }
  int64_t GetSamplePosition() override { return 0; }
  double GetTempo() override { return 120.0; }
  void GetTimeSignature(int& numerator, int& denominator) override { numerator = denominator = 4; }
  void GetTransportInfo(TimeInfo&) override {}
  int GetHost() override { return 0; }
  void ResizeEditor() override {}
  void HostSpecificInit() override {}
  bool SendMidiMessage(const MidiMessage& message) override {
    midiOut.push_back(message);
    return true;
  }
  bool SendSysEx(const SysExMessage&) override { return true; }

  // Sets every parameter to a distinct in-range value derived from seed.
  void SetDistinctValues(int seed) {
    for (int i = 0; i < NParams(); ++i) {
      GetParam(i)->SetFromNormalized(((i * 7 + seed * 13) % 97) / 96.0);
    }
  }
  std::vector<double> Values() const {
    std::vector<double> values;
    for (int i = 0; i < NParams(); ++i) values.push_back(GetParam(i)->Value());
    return values;
  }

  std::vector<int> applied;
  std::vector<int> beginEdits;
  std::vector<int> endEdits;
  std::vector<std::pair<int, double>> automation;
  std::vector<MidiMessage> midiOut;
  int programChanges = 0;
  int presetsChanged = 0;
};

// Little-endian and big-endian field readers for checking byte layouts.
inline uint32_t LE32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t BE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
inline std::string Text(const uint8_t* p, size_t n) {
  return std::string(reinterpret_cast<const char*>(p), n);
}
