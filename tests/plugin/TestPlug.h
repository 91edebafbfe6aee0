// A plug-in with the instrument's 60 parameters, the tagged program state and host calls recorded.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "params/ParameterTable.h"
#include "plugin/HostlessInstrument.h"
#include "plugin/ProgramState.h"

class TestPlug : public HostlessInstrument {
 public:
  TestPlug() : HostlessInstrument(0x00010004) {}

  void ApplyParameter(int index) override { applied.push_back(index); }
  void PresetsChanged() override { ++presetsChanged; }

  void BeginParameterEdit(int index) override { beginEdits.push_back(index); }
  void NotifyHostOfParameterChange(int index, double normalized) override {
    automation.emplace_back(index, normalized);
  }
  void EndParameterEdit(int index) override { endEdits.push_back(index); }
  void NotifyHostOfProgramChange() override { ++programChanges; }
  bool SendMidiMessage(const MidiMessage& message) override {
    midiOut.push_back(message);
    return true;
  }

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

  // Everything a load may change: the values, the current program and every program's name, flag
  // and stored state. Equal fingerprints before and after a refused load mean it changed nothing.
  std::string Fingerprint() const {
    std::string text = std::to_string(GetCurrentPresetIdx());
    for (double value : Values()) text += " " + std::to_string(value);
    for (int i = 0; i < NPresets(); ++i) {
      const Preset* preset = GetPreset(i);
      text += "|" + preset->name + (preset->initialized ? "+" : "-");
      text.append(reinterpret_cast<const char*>(preset->state.Data()), static_cast<size_t>(preset->state.Size()));
    }
    return text;
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
