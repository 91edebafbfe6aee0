// The plug-in the fuzz targets load into: the instrument's 60 parameters, the tagged program state,
// 64 programs initialized as the entry point leaves them, host calls ignored. Building one costs far
// more than loading an input, so each target builds its instances once (ReusedPlug) and puts them
// back to their starting state before an input whenever the last one changed them.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "params/ParameterTable.h"
#include "plugin/HostlessInstrument.h"
#include "plugin/ProgramState.h"
#include "tests/fuzz/FuzzCheck.h"

class FuzzPlug : public HostlessInstrument {
 public:
  FuzzPlug() : HostlessInstrument(0x00010004) { FillEmptyPresets(kPrograms); }
};

// A FuzzPlug built once per process. Fresh() returns it in its starting state; Unchanged() tells
// whether it still is, comparing everything a load may change: the values, the current program and
// every program's name, flag and stored state. A plug-in found unchanged needs no restoring.
class ReusedPlug {
 public:
  ReusedPlug() {
    for (int i = 0; i < mPlug.NPresets(); ++i) mPresets.push_back(*mPlug.GetPreset(i));
    for (int i = 0; i < mPlug.NParams(); ++i) mValues.push_back(mPlug.GetParam(i)->Value());
    mCurrent = mPlug.GetCurrentPresetIdx();
  }

  FuzzPlug& Fresh() {
    if (mTouched) {
      for (int i = 0; i < mPlug.NPresets(); ++i) *mPlug.GetPreset(i) = mPresets[static_cast<size_t>(i)];
      mPlug.RecallPreset(mCurrent);
      for (int i = 0; i < mPlug.NParams(); ++i) mPlug.GetParam(i)->SetPlainClamped(mValues[static_cast<size_t>(i)]);
    }
    mTouched = true;
    return mPlug;
  }

  bool Unchanged() {
    if (mPlug.GetCurrentPresetIdx() != mCurrent) return false;
    for (int i = 0; i < mPlug.NParams(); ++i) {
      if (mPlug.GetParam(i)->Value() != mValues[static_cast<size_t>(i)]) return false;
    }
    for (int i = 0; i < mPlug.NPresets(); ++i) {
      const Preset& now = *mPlug.GetPreset(i);
      const Preset& start = mPresets[static_cast<size_t>(i)];
      if (now.initialized != start.initialized || now.name != start.name || now.state.Size() != start.state.Size() ||
          std::memcmp(now.state.Data(), start.state.Data(), static_cast<size_t>(start.state.Size())) != 0) {
        return false;
      }
    }
    mTouched = false;
    return true;
  }

 private:
  FuzzPlug mPlug;
  std::vector<Preset> mPresets;
  std::vector<double> mValues;
  int mCurrent = 0;
  bool mTouched = false;
};

// Every parameter within its range and not NaN: what any load, good or bad, must leave behind.
inline bool ParametersInRange(const IPlugBase& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const IPlugParam* p = plug.GetParam(i);
    if (!(p->Value() >= p->Min() && p->Value() <= p->Max())) return false;
  }
  return true;
}

