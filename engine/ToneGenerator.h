// Divider-organ tone source: twelve free-running 28-bit phase counters at the lowest octave
// (A0..G#1); every key reads its pitch class's counter shifted up by its octave, so all octaves
// of a pitch class are phase-locked. Samples come from band-limited tables chosen per key.
#pragma once

#include <cstdint>
#include <vector>

// Counter (note - 21) mod 12 and octave shift floor((note - 21) / 12) of every MIDI note, as
// constant tables: the voice loop reads them for every key on every sample.
struct KeyMapTables {
  int8_t counter[128];
  int8_t shift[128];
};
constexpr KeyMapTables MakeKeyMapTables() {
  KeyMapTables t{};
  for (int n = 0; n < 128; ++n) {
    t.counter[n] = static_cast<int8_t>((n + 3) % 12);
    t.shift[n] = static_cast<int8_t>((n + 3) / 12 - 2);
  }
  return t;
}
inline constexpr KeyMapTables kKeyMap = MakeKeyMapTables();

class ToneGenerator {
 public:
  static constexpr int kNumCounters = 12;
  static constexpr int kNumTables = 22;
  static constexpr int kTableLength = 4096;
  static constexpr uint32_t kPhaseMask = 0x0FFFFFFF;

  ToneGenerator();
  ToneGenerator(const ToneGenerator&) = delete;
  ToneGenerator& operator=(const ToneGenerator&) = delete;

  // Takes the shared wave tables on first use; rebuilds the rate tables when the rate changes.
  void SetSampleRate(double rate);
  void SetTune(double tune);  // -1..1, +-64 pitch units (half a semitone)
  void SetHollow(bool hollow) { hollow_ = hollow; }

  struct Pair {
    double first;
    double second;
  };
  // 8' (the key) and 4' (an octave up) samples of a voice key.
  Pair VoiceSamples(int key) const {
    const uint32_t c = CounterOf(key);
    return {Sample(key, c, hollow_), key + 12 < 128 ? Sample(key + 12, c, hollow_) : 0.0};
  }
  // 16' (an octave down, always the normal wave) and 8' samples of the bass key.
  Pair BassSamples(int key) const {
    const uint32_t c = CounterOf(key);
    return {key - 12 >= 0 ? Sample(key - 12, c, false) : 0.0, Sample(key, c, hollow_)};
  }

  // Where a voice key reads its two footages, resolved once per note instead of per sample. A silent
  // footage reads the all-zero table after the wave tables, so the voice loop needs no test.
  // The 4' phase is the counter shifted by the key's octave plus one; the 8' phase is the same
  // value shifted back by one (the bit that falls out lies above the 28-bit phase anyway).
  static constexpr int kSilentOffset = kNumTables * kTableLength;
  struct VoiceTone {
    int counter = 0;
    uint32_t octave4 = 1;  // 2 to the 4' footage's octave shift: multiplying shifts (modulo 2^32)
    int offset8 = kSilentOffset, offset4 = kSilentOffset;  // start of the chosen table within a wave set
    // Table positions of the 8' and 4' samples for a counter value.
    uint32_t Index8(uint32_t c) const { return ((c * octave4) >> 17) & (kTableLength - 1); }
    uint32_t Index4(uint32_t c) const { return ((c * octave4) >> 16) & (kTableLength - 1); }
  };
  VoiceTone PrepareVoice(int key) const {
    VoiceTone t;
    if (key < 0 || key > 127) return t;
    t.counter = kKeyMap.counter[key];
    const int shift8 = kKeyMap.shift[key];
    const int shift4 = shift8 + 1 > 0 ? shift8 + 1 : 0;
    t.octave4 = uint32_t{1} << shift4;
    if (shift8 >= 0) t.offset8 = tableChoice_[key] * kTableLength;
    if (key + 12 < 128 && kKeyMap.shift[key + 12] >= 0) t.offset4 = tableChoice_[key + 12] * kTableLength;
    return t;
  }
  // Same result as VoiceSamples(key) for the key the tone was prepared for.
  Pair VoiceSamples(const VoiceTone& t) const {
    const double* set = WaveSet();
    if (!set) return {0.0, 0.0};
    const uint32_t c = counters_[t.counter];
    return {set[t.offset8 + t.Index8(c)], set[t.offset4 + t.Index4(c)]};
  }
  // The wave set the voices read now (hollow or normal); null until the first sample rate.
  const double* WaveSet() const { return hollow_ ? hollowTables_ : normalTables_; }
  const uint32_t* Counters() const { return counters_; }

  void AdvanceCounters() {
    for (int k = 0; k < kNumCounters; ++k) counters_[k] = (counters_[k] + increments_[k]) & kPhaseMask;
  }
  // The same as `samples` calls of AdvanceCounters: the sums wrap modulo 2^32, a multiple of the
  // 28-bit phase range.
  void AdvanceCounters(int samples) {
    const uint32_t n = static_cast<uint32_t>(samples);
    for (int k = 0; k < kNumCounters; ++k) counters_[k] = (counters_[k] + increments_[k] * n) & kPhaseMask;
  }

  // Inspection, for tests and the benchmark.
  uint32_t Counter(int k) const { return counters_[k]; }
  uint32_t Increment(int k) const { return increments_[k]; }
  int IncrementTableEntry(int pitch) const { return incrementTable_[pitch]; }
  int TableChoice(int note) const { return tableChoice_[note]; }
  int BaseIndex() const { return baseIndex_; }
  bool Hollow() const { return hollow_; }
  double SampleRate() const { return sampleRate_; }

  // The shared wave tables (normal or hollow set); the normal set is fixed at build time.
  static const double* WaveTable(int table, bool hollow);
  static int HarmonicCount(int table);
  // Counter number (0..11) and octave shift of a MIDI note; a negative shift is silent.
  static int CounterIndex(int note) { return kKeyMap.counter[note]; }
  static int OctaveShift(int note) { return kKeyMap.shift[note]; }

 private:
  uint32_t CounterOf(int key) const { return (key >= 0 && key < 128) ? counters_[kKeyMap.counter[key]] : 0u; }
  double Sample(int note, uint32_t counter, bool hollow) const {
    if (note < 0 || note > 127 || !normalTables_) return 0.0;
    const int shift = kKeyMap.shift[note];
    if (shift < 0) return 0.0;
    const uint32_t phase = (counter << shift) & kPhaseMask;
    const double* table = (hollow ? hollowTables_ : normalTables_) + tableChoice_[note] * kTableLength;
    return table[phase >> 16];
  }
  void UpdateIncrements();

  uint32_t counters_[kNumCounters] = {};
  uint32_t increments_[kNumCounters] = {};
  bool hollow_ = false;
  double sampleRate_ = 1.0;
  double tune_ = 0.0;
  int baseIndex_ = 2688;
  const double* normalTables_ = nullptr;  // kNumTables consecutive tables
  const double* hollowTables_ = nullptr;
  // Rate-dependent tables belong to the instance, so instances at different rates don't collide.
  std::vector<int32_t> incrementTable_;
  int32_t tableChoice_[128] = {};
};
