// A long, busy render that touches every part of the engine: each section alone and together,
// notes and controllers at odd offsets, parameters moved mid-render, odd block sizes, voice
// stealing, and silent stretches long enough for every line to fall silent before the next note.
// Used to prove that faster rendering paths produce the same samples as the full path.
#pragma once

#include "tests/instrument/InstrumentFixture.h"

// The host's tempo changes now and then, so the delay's synced time moves too.
class ScenarioHost : public EngineHost {
 public:
  void QueryTransport(TimeInfo& info) override { info.tempo = tempo; }
  double tempo = 120.0;
};

class RenderScenario {
 public:
  explicit RenderScenario(TestInstrument& inst) : inst_(inst) { inst_.engine.SetHost(&host_); }
  ~RenderScenario() { inst_.engine.SetHost(nullptr); }

  void Run() {
    // Untouched instrument: nothing sounds.
    Blocks(0.5);

    // Strings with the low registers and the bass voice, through chorus and delay.
    On(kStringViolin);
    On(kStringBass);
    On(kStringCello);
    On(kBass16);
    inst_.SetPlain(kDelayMix, 0.3);
    Midi(17, 0x90, 48, 100);
    Midi(17, 0x90, 55, 90);
    Midi(100, 0x91, 60, 80);
    Midi(200, 0x92, 64, 70);
    Block(256);
    Midi(3, 0x90, 67, 100);
    Midi(90, 0xB0, 1, 100);   // modulation wheel
    Midi(91, 0xB0, 64, 127);  // sustain pedal down
    Blocks(0.4);
    Midi(10, 0x80, 60, 0);
    Midi(0, 0x90, 64, 0);  // note on with velocity 0 releases
    Midi(120, 0x90, 43, 64);
    Blocks(0.3);
    Midi(5, 0xB0, 64, 0);
    inst_.SetPlain(kTone, 12000);
    inst_.SetPlain(kBassStaccato, 1);
    Blocks(0.3);

    // Everything released and the echo stops feeding back: the whole engine falls silent.
    inst_.SetPlain(kDelayFeedback, 0.0);
    Midi(0, 0xB0, 123, 0);
    Blocks(4.0);
    // A note out of silence, in an odd block size.
    Midi(5, 0x90, 52, 100);
    BlocksOf(0.5, 100);
    Midi(0, 0x80, 52, 0);
    Blocks(4.0);

    // Everything on: synth with filter modulation, phaser on every section, synced ping-pong echo.
    for (int p : {kSynth8, kSynth4, kChorusSynth, kPhaserString, kPhaserSynth, kPhaserBass, kDelayPingPong,
                  kDelaySync, kBass8, kHollowWaveform}) {
      On(p);
    }
    inst_.SetPlain(kVcfLfo, 0.4);
    inst_.SetPlain(kVcfAdsr, 0.6);
    inst_.SetPlain(kVcfWheel, 0.5);
    inst_.SetPlain(kVcfResonance, 0.7);
    inst_.SetPlain(kDelayFeedback, 0.6);
    inst_.SetPlain(kSynthDecay, 0.4);
    inst_.SetPlain(kSynthSustain, 0.5);
    for (int k = 30; k < 100; ++k) Midi((k * 7) % 256, 0x90, k, 100);  // more keys than voices
    BlocksOf(0.3, 37);
    inst_.SetPlain(kVcfCutoff, 0.2);
    inst_.SetPlain(kTune, 0.37);
    inst_.SetPlain(kChorusSlow, 1);
    host_.tempo = 97.0;
    BlocksOf(0.3, 1);
    for (int k = 30; k < 100; k += 3) Midi(k % 200, 0x80, k, 0);
    Midi(33, 0xB0, 1, 20);
    inst_.SetPlain(kRelease, 0.6);
    inst_.SetPlain(kPhaserFeedback, 0.8);
    inst_.SetPlain(kSingleTrigger, 1);
    BlocksOf(0.3, 513);
    inst_.SetPlain(kPhaserString, 0);
    inst_.SetPlain(kDelayX2, 1);
    inst_.SetPlain(kDelaySync, 0);
    Midi(50, 0x90, 40, 100);
    Midi(60, 0x90, 72, 100);
    Blocks(0.4);

    // Released again: the synth filter, the phaser and the echo die away and settle to exact zero.
    Midi(0, 0xB0, 120, 0);
    Blocks(1.5);
    Midi(30, 0x90, 61, 100);
    Blocks(0.5);
    // Every voice sounding, then single keys let go with a short release: voices end one at a time
    // while the others of their group of four play on.
    inst_.SetPlain(kRelease, 0.05);
    for (int k = 36; k < 100; ++k) Midi(k % 256, 0x90, k, 100);
    Blocks(0.2);
    for (int k = 40; k < 100; k += 7) Midi((k * 5) % 256, 0x80, k, 0);
    Blocks(0.3);
    Midi(0, 0xB0, 123, 0);
    Blocks(0.3);
  }

 private:
  void On(int index) { inst_.SetPlain(index, 1); }
  void Midi(int offset, int status, int data1, int data2) { inst_.Midi(offset, status, data1, data2); }
  void Block(int frames) { inst_.Render(frames, frames); }
  void BlocksOf(double seconds, int block) {
    inst_.Render(static_cast<int>(seconds * inst_.engine.SampleRate()), block);
  }
  void Blocks(double seconds) { BlocksOf(seconds, 256); }

  TestInstrument& inst_;
  ScenarioHost host_;
};
