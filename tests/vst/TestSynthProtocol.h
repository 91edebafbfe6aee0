// What the test plug-in reports to the test host. The plug-in has the instrument's identity and 60
// parameters; its left output carries a click (1.0) at the sample of every note-on, its right output
// starts each rendered piece with the readings below (zero elsewhere). MIDI controls what it asks of
// the host: every message is passed back as MIDI thru; controller kCcAutomate runs an edit gesture on
// parameter 0, kCcLatency sets the latency, a program change selects the program and tells the host,
// SysEx is echoed.
#pragma once

enum TestSynthReading : int {
  kReadTempo,
  kReadSamplePosition,
  kReadTimeSigNumerator,
  kReadTimeSigDenominator,
  kReadOffline,
  kReadHostCode,
  kReadHostVersion,
  kReadInfoTempo,
  kReadInfoSamplePosition,
  kReadInfoQuarterNote,
  kReadInfoLastBar,
  kReadInfoCycleStart,
  kReadInfoCycleEnd,
  kReadInfoNumerator,
  kReadInfoDenominator,
  kReadInfoRunning,
  kReadInfoCycleActive,
  kReadNonFiniteApplied,  // parameter values that reached ApplyParameter as NaN or infinity
  kReadSampleRate,        // the rate at the last Reset
  kReadBlockSize,
  kReadEditorUpdates,     // ApplyParameterFromPlugin calls on the editor
  kReadEditorOpened,
  kReadEditorClosed,
  kReadResets,
  kReadActivations,
  kReadPieceFrames,       // frames of this RenderBlock call
  kReadMaxPieceFrames,    // largest RenderBlock call so far
  kReadingCount
};

constexpr int kCcAutomate = 21;
constexpr int kCcLatency = 22;
constexpr int kTestEditorWidth = 772;
constexpr int kTestEditorHeight = 620;
