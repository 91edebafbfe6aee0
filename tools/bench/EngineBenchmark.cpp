// Engine speed: seconds of audio rendered per CPU second (one core), and the memory one engine
// instance allocates. Run: out/linux/sarn-bench-engine
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "engine/Engine.h"
#include "params/IPlugParam.h"
#include "params/ParameterChange.h"
#include "params/ParameterTable.h"
#include "tools/ToolVersion.h"

// Counts every byte handed out by operator new, to report what one instance allocates.
static std::atomic<size_t> gAllocatedBytes{0};

void* operator new(size_t size) {
  gAllocatedBytes += size;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC cannot see that the replaced operator new above uses malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

constexpr int kBlock = 256;

struct Instrument {
  explicit Instrument(double rate) {
    DefineInstrumentParameters(params);
    engine = std::make_unique<Engine>();
    engine->Reset(rate, kBlock);
    ApplyAll();
  }
  void ApplyAll() {
    for (int i = 0; i < kNumParams; ++i) ApplyParameterToEngine(*engine, params, i);
  }
  void SetPlain(int index, double v) {
    params[index].SetPlainClamped(v);
    ApplyParameterToEngine(*engine, params, index);
  }
  // Everything on: four string registers, synth 8' and 4' with ADSR to VCA and filter
  // modulation, bass 16' and 8', all phaser sends, delay with vibe and ping-pong.
  void FullLoad() {
    for (int p : {kStringBass, kStringCello, kStringViola, kStringViolin, kSynth8, kSynth4, kSynthAdsrToVca,
                  kBass16, kBass8, kChorusSynth, kPhaserString, kPhaserSynth, kPhaserBass, kDelayVibe,
                  kDelayPingPong}) {
      SetPlain(p, 1);
    }
    SetPlain(kVcfLfo, 0.5);
    SetPlain(kVcfAdsr, 0.5);
    SetPlain(kVcfWheel, 0.5);
    SetPlain(kVcfResonance, 0.6);
    SetPlain(kDelayMix, 0.4);
    SetPlain(kDelayFeedback, 0.5);
    SetPlain(kSynthDecay, 0.5);
    SetPlain(kSynthSustain, 0.6);
  }
  void Hold(int keys) {
    for (int k = 0; k < keys; ++k) engine->NoteOn(36 + k);
  }

  IPlugParam params[kNumParams];
  std::unique_ptr<Engine> engine;
};

void Render(benchmark::State& state, Instrument& inst, double rate) {
  std::vector<double> left(kBlock), right(kBlock);
  for (int i = 0; i < 200; ++i) inst.engine->RenderBlock(left.data(), right.data(), kBlock);  // warm up
  for (auto _ : state) {
    inst.engine->RenderBlock(left.data(), right.data(), kBlock);
    benchmark::DoNotOptimize(left.data());
  }
  // Seconds of audio per second of (one core's) time: the real-time factor.
  state.counters["realtime_factor"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / rate, benchmark::Counter::kIsRate);
}

void BM_Idle(benchmark::State& state) {
  Instrument inst(44100);
  Render(state, inst, 44100);
}

void BM_StringsEightKeys(benchmark::State& state) {
  Instrument inst(44100);
  inst.Hold(8);
  Render(state, inst, 44100);
}

// Idle again after playing: the full-load chord held for half a second, released, and 10 s of
// silence for the echo to die away before the measurement.
void BM_IdleAfterFullLoad(benchmark::State& state) {
  Instrument inst(44100);
  inst.FullLoad();
  inst.Hold(64);
  std::vector<double> left(kBlock), right(kBlock);
  for (int i = 0; i < 44100 / 2 / kBlock; ++i) inst.engine->RenderBlock(left.data(), right.data(), kBlock);
  for (int k = 0; k < 64; ++k) inst.engine->NoteOff(36 + k);
  for (int i = 0; i < 10 * 44100 / kBlock; ++i) inst.engine->RenderBlock(left.data(), right.data(), kBlock);
  const int before = inst.engine->SilentChunks();
  Render(state, inst, 44100);
  // About 6.8 when the idle path took every chunk (a block is cut into 6 or 7), 0 when it never engaged.
  state.counters["idle_chunks_per_block"] =
      static_cast<double>(inst.engine->SilentChunks() - before) / static_cast<double>(state.iterations() + 200);
}

void BM_FullLoad(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(1));
  Instrument inst(rate);
  state.counters["voices_per_instruction"] = inst.engine->AllowAvx2(state.range(2) != 0);
  inst.FullLoad();
  inst.Hold(static_cast<int>(state.range(0)));
  Render(state, inst, rate);
}

}  // namespace

BENCHMARK(BM_Idle)->MinTime(1.0);
BENCHMARK(BM_IdleAfterFullLoad)->MinTime(1.0);
BENCHMARK(BM_StringsEightKeys)->MinTime(1.0);
// The 63/64-key pair gives the cost of one more voice.
// Keys held, sample rate, whether the voice loop may use AVX2.
BENCHMARK(BM_FullLoad)
    ->Args({63, 44100, 1})
    ->Args({64, 44100, 1})
    ->Args({64, 96000, 1})
    ->Args({64, 44100, 0})
    ->MinTime(1.0);

int main(int argc, char** argv) {
  // The benchmark library answers --help; --version is ours.
  if (AsksForVersion(argc, argv)) {
    PrintToolVersion("sarn-bench-engine");
    return 0;
  }
  const size_t before = gAllocatedBytes;
  { Instrument inst(44100); }
  std::printf("one engine instance with its parameters allocates %zu bytes at 44100 Hz\n",
              static_cast<size_t>(gAllocatedBytes - before));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
