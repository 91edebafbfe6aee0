// The test plug-in: the instrument's identity and parameters over IPlugVST, with a checkable output.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "params/ParameterTable.h"
#include "plugin/vst2/IPlugVST.h"
#include "plugin/vst2/PluginFactory.h"
#include "tests/vst/TestSynthProtocol.h"

namespace {

// Stands in for the editor: counts what the binding asks of it; a window opens for any parent.
class TestEditor final : public PluginEditor {
 public:
  void AttachToPlugin(int) override {}
  void ApplyParameterFromPlugin(int, double, bool) override { ++updates; }
  void DropPendingValue(int) override {}
  bool HasWindow() const override { return true; }
  int WindowWidth() const override { return kTestEditorWidth; }
  int WindowHeight() const override { return kTestEditorHeight; }
  void SetHostScale(double) override {}
  bool OpenWindow(void* parent) override { return parent != nullptr; }
  void CloseWindow() override {}
  void CloseAllWindows() override {}
  void* NativeWindow() const override { return nullptr; }

  int updates = 0;
};

class TestSynth final : public IPlugVST {
 public:
  explicit TestSynth(VstHostCallback master)
      : IPlugVST(master, "0-2", kNumParams, 64, "Sarn", "", "Kelmor Music", FourCharCode('s', 'a', 'r', 'n'),
                 0x00010004, true, true) {
    DefineInstrumentParameters(GetParam(0));
    mEditor = new TestEditor;
    AttachEditor(mEditor);
  }

  void Reset() override {
    LockGuard lock(Mutex());
    ++mResets;
    mResetRate = GetSampleRate();
  }

  void Activate(bool on) override {
    if (on) ++mActivations;
  }

  void ApplyParameter(int index) override {
    const IPlugParam* param = GetParam(index);
    if (param && !std::isfinite(param->Value())) ++mNonFinite;
  }

  void EditorOpened() override { ++mOpened; }
  void EditorClosed() override { ++mClosed; }

  void HandleMidiMessage(const MidiMessage& message) override {
    IPlugBase::HandleMidiMessage(message);
    switch (message.StatusNibble()) {
      case 0x9:
        if (message.data2 > 0 && mPendingCount < kMaxPending) mPending[mPendingCount++] = message.offset;
        break;
      case 0xB:
        if (message.data1 == kCcAutomate) {
          BeginParameterEdit(0);
          SetParameterFromEditor(0, message.data2 / 127.0);
          EndParameterEdit(0);
        } else if (message.data1 == kCcLatency) {
          SetLatency(message.data2);
        }
        break;
      case 0xC:
        if (RecallPreset(message.data1)) NotifyHostOfProgramChange();
        break;
      default:
        break;
    }
  }

  void HandleSysEx(const SysExMessage& message) override { SendSysEx(message); }

  bool GetMidiKeyName(int key, char* text) override {
    if (key < 0 || key > 127) return false;
    std::snprintf(text, 64, "Key %d", key);
    return true;
  }

  void RenderBlock(double**, double** outputs, int frames) override {
    double* left = outputs[0];
    double* right = outputs[1];
    std::fill(left, left + frames, 0.0);
    std::fill(right, right + frames, 0.0);
    // Clicks due in this piece sound; later ones move on by the piece length.
    int kept = 0;
    for (int i = 0; i < mPendingCount; ++i) {
      const int offset = std::max(mPending[i], 0);
      if (offset < frames) {
        left[offset] = 1.0;
      } else {
        mPending[kept++] = offset - frames;
      }
    }
    mPendingCount = kept;
    mMaxPiece = std::max(mMaxPiece, frames);
    if (frames >= kReadingCount) WriteReadings(right, frames);
  }

 private:
  void WriteReadings(double* out, int frames) {
    out[kReadTempo] = GetTempo();
    out[kReadSamplePosition] = static_cast<double>(GetSamplePosition());
    int numerator = -1;
    int denominator = -1;
    GetTimeSignature(numerator, denominator);
    out[kReadTimeSigNumerator] = numerator;
    out[kReadTimeSigDenominator] = denominator;
    out[kReadOffline] = IsRenderingOffline() ? 1.0 : 0.0;
    out[kReadHostCode] = GetHost();
    out[kReadHostVersion] = GetHostVersion();
    TimeInfo info;
    GetTransportInfo(info);
    out[kReadInfoTempo] = info.tempo;
    out[kReadInfoSamplePosition] = info.samplePosition;
    out[kReadInfoQuarterNote] = info.quarterNotePosition;
    out[kReadInfoLastBar] = info.lastBarPosition;
    out[kReadInfoCycleStart] = info.cycleStart;
    out[kReadInfoCycleEnd] = info.cycleEnd;
    out[kReadInfoNumerator] = info.numerator;
    out[kReadInfoDenominator] = info.denominator;
    out[kReadInfoRunning] = info.transportRunning ? 1.0 : 0.0;
    out[kReadInfoCycleActive] = info.cycleActive ? 1.0 : 0.0;
    out[kReadNonFiniteApplied] = mNonFinite;
    out[kReadSampleRate] = mResetRate;
    out[kReadBlockSize] = GetBlockSize();
    out[kReadEditorUpdates] = mEditor->updates;
    out[kReadEditorOpened] = mOpened;
    out[kReadEditorClosed] = mClosed;
    out[kReadResets] = mResets;
    out[kReadActivations] = mActivations;
    out[kReadPieceFrames] = frames;
    out[kReadMaxPieceFrames] = mMaxPiece;
  }

  static constexpr int kMaxPending = 256;
  int mPending[kMaxPending] = {};
  int mPendingCount = 0;
  TestEditor* mEditor = nullptr;  // owned by the plug-in base
  int mNonFinite = 0;
  double mResetRate = 0.0;
  int mOpened = 0;
  int mClosed = 0;
  int mResets = 0;
  int mActivations = 0;
  int mMaxPiece = 0;
};

}  // namespace

IPlugVST* CreatePluginInstance(VstHostCallback master) {
  return new TestSynth(master);
}
