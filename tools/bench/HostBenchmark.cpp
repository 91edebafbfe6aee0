// Host-interface overhead: the cost of the process call through a loaded module's AEffect
// (processReplacing, single precision, with its float conversions, lock and host calls) against the
// engine's own RenderBlock on the same load, at 44.1 kHz in 256-sample blocks.
//
//   out/linux/sarn-bench-host [--module=PATH] [benchmark options]
//
// The module defaults to Sarn.so beside this executable. The Overhead cases alternate the engine and
// the process call in batches and time each with the thread's CPU clock, so that other work on the
// machine moves both figures alike; their counters give microseconds per block and the overhead in
// percent of the engine's time. They run twice: through the loaded module, whose copy of the engine
// code sits at other addresses than the benchmark's (which alone moves its speed by several percent
// either way), and through an instance created in this process from the same code as the engine
// side, which leaves only the host interface as the difference.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "params/IPlugParam.h"
#include "params/ParameterChange.h"
#include "params/ParameterTable.h"
#include "plugin/vst2/IPlugVST.h"
#include "plugin/vst2/PluginFactory.h"
#include "tools/ToolVersion.h"
#include "tools/render/VstModule.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr int kWarmUpBlocks = 200;

std::string gModulePath;

// The loads, as in the engine benchmark: parameters as plain values, then held keys 36 upwards.
struct Load {
  const char* name;
  bool full;
  int keys;
};
// Idle shows the fixed cost per block, where the engine has almost nothing to do.
constexpr Load kLoads[] = {{"Idle", false, 0}, {"Strings8", false, 8}, {"Full8", true, 8}, {"Full64", true, 64}};

// Everything on: four string registers, synth 8' and 4' with ADSR to VCA and filter modulation,
// bass 16' and 8', all phaser sends, delay with vibe and ping-pong.
template <typename SetPlain>
void ApplyFullLoad(SetPlain set) {
  for (int p : {kStringBass, kStringCello, kStringViola, kStringViolin, kSynth8, kSynth4, kSynthAdsrToVca, kBass16,
                kBass8, kChorusSynth, kPhaserString, kPhaserSynth, kPhaserBass, kDelayVibe, kDelayPingPong}) {
    set(p, 1);
  }
  set(kVcfLfo, 0.5);
  set(kVcfAdsr, 0.5);
  set(kVcfWheel, 0.5);
  set(kVcfResonance, 0.6);
  set(kDelayMix, 0.4);
  set(kDelayFeedback, 0.5);
  set(kSynthDecay, 0.5);
  set(kSynthSustain, 0.6);
}

// The engine alone, driven as the engine benchmark drives it.
class EngineSide {
 public:
  explicit EngineSide(const Load& load) : engine_(std::make_unique<Engine>()) {
    DefineInstrumentParameters(params_);
    engine_->Reset(kRate, kBlock);
    for (int i = 0; i < kNumParams; ++i) ApplyParameterToEngine(*engine_, params_, i);
    if (load.full) {
      ApplyFullLoad([this](int index, double v) {
        params_[index].SetPlainClamped(v);
        ApplyParameterToEngine(*engine_, params_, index);
      });
    }
    for (int k = 0; k < load.keys; ++k) engine_->NoteOn(36 + k);
    for (int i = 0; i < kWarmUpBlocks; ++i) RenderBlock();
  }
  void RenderBlock() { engine_->RenderBlock(left_, right_, kBlock); }
  const double* Left() const { return left_; }

 private:
  IPlugParam params_[kNumParams];
  std::unique_ptr<Engine> engine_;
  double left_[kBlock];
  double right_[kBlock];
};

// The entry point's work, for an instance in this process.
AEffect* VST_CALLBACK InProcessEntry(VstHostCallback host) {
  IPlugVST* plug = CreatePluginInstance(host);
  if (!plug) return nullptr;
  plug->FillEmptyPresets(plug->NPresets());
  return plug->GetAEffect();
}

// The instrument, from its module or created in this process, driven through the AEffect as a host
// drives it.
class PluginSide {
 public:
  PluginSide(const Load& load, bool inProcess) {
    std::string error;
    const bool created = inProcess ? module_.Create(InProcessEntry, "the in-process instance", error)
                                   : module_.Load(gModulePath, error);
    if (!created) Abort(error);
    effect_ = module_.Effect();
    if (effect_->numOutputs != 2 || !effect_->processReplacing) Abort("the module is not a stereo instrument");
    module_.Transport().sampleRate = kRate;
    module_.Transport().blockSize = kBlock;
    module_.Dispatch(effOpen);
    module_.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    module_.Dispatch(effSetBlockSize, 0, kBlock);
    module_.Dispatch(effMainsChanged, 0, 1);

    // The module starts with its factory program; every parameter goes back to its default first.
    DefineInstrumentParameters(params_);
    for (int i = 0; i < kNumParams; ++i) SetPlain(i, params_[i].Default());
    if (load.full) ApplyFullLoad([this](int index, double v) { SetPlain(index, v); });
    HoldKeys(load.keys);
    for (int i = 0; i < kWarmUpBlocks; ++i) RenderBlock();
  }
  ~PluginSide() { module_.Dispatch(effMainsChanged, 0, 0); }

  void RenderBlock() { effect_->processReplacing(effect_, inputs_, outputs_, kBlock); }
  const float* Left() const { return left_; }

 private:
  static void Abort(const std::string& message) {
    std::fprintf(stderr, "sarn-bench-host: %s\n", message.c_str());
    std::exit(1);
  }

  // The plain value exactly, through effString2Parameter, by its display text for switches and lists.
  void SetPlain(int index, double v) {
    char text[64];
    const char* displayText = nullptr;
    for (int i = 0; i < params_[index].NDisplayTexts(); ++i) {
      const IPlugParam::DisplayText* entry = params_[index].DisplayTextAt(i);
      if (entry && entry->value == v) displayText = entry->text;
    }
    if (displayText) {
      std::snprintf(text, sizeof(text), "%s", displayText);
    } else {
      std::snprintf(text, sizeof(text), "%.17g", v);
    }
    module_.Dispatch(effString2Parameter, index, 0, text);
    const float expected = static_cast<float>(params_[index].ToNormalized(v));
    if (std::fabs(effect_->getParameter(effect_, index) - expected) > 1e-6f) {
      Abort("parameter " + std::to_string(index) + " did not take the value " + text);
    }
  }

  void HoldKeys(int keys) {
    std::vector<VstMidiEvent> notes(static_cast<size_t>(keys));
    std::vector<VstEvent*> pointers(static_cast<size_t>(keys) + 2, nullptr);
    for (int k = 0; k < keys; ++k) {
      VstMidiEvent& note = notes[static_cast<size_t>(k)];
      std::memset(&note, 0, sizeof(note));
      note.type = kVstMidiType;
      note.byteSize = sizeof(VstMidiEvent);
      note.midiData[0] = static_cast<char>(0x90);
      note.midiData[1] = static_cast<char>(36 + k);
      note.midiData[2] = 100;
      pointers[static_cast<size_t>(k)] = reinterpret_cast<VstEvent*>(&note);
    }
    // VstEvents is a header followed by the pointer array; build it in pointer-aligned storage.
    std::vector<VstIntPtr> storage(2 + pointers.size(), 0);
    VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = keys;
    std::memcpy(list->events, pointers.data(), pointers.size() * sizeof(VstEvent*));
    module_.Dispatch(effProcessEvents, 0, 0, list);
  }

  VstModule module_;
  AEffect* effect_ = nullptr;
  IPlugParam params_[kNumParams];
  float left_[kBlock] = {};
  float right_[kBlock] = {};
  float* outputs_[2] = {left_, right_};
  float* inputs_[1] = {nullptr};
};

double ThreadCpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void SetRealTimeFactor(benchmark::State& state) {
  state.counters["realtime_factor"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void BM_Engine(benchmark::State& state, const Load& load) {
  EngineSide engine(load);
  for (auto _ : state) {
    engine.RenderBlock();
    benchmark::DoNotOptimize(engine.Left());
  }
  SetRealTimeFactor(state);
}

void BM_ProcessReplacing(benchmark::State& state, const Load& load) {
  PluginSide plugin(load, false);
  for (auto _ : state) {
    plugin.RenderBlock();
    benchmark::DoNotOptimize(plugin.Left());
  }
  SetRealTimeFactor(state);
}

double MeanSquare(const double* engine, const float* plugin, bool fromPlugin) {
  double sum = 0.0;
  for (int i = 0; i < kBlock; ++i) {
    const double v = fromPlugin ? plugin[i] : engine[i];
    sum += v * v;
  }
  return sum / kBlock;
}

// Both sides must play the same load: the same level over a second of audio after the warm-up.
void CheckSameLoad(EngineSide& engine, PluginSide& plugin, const Load& load) {
  double engineLevel = 0.0, pluginLevel = 0.0;
  for (int i = 0; i < static_cast<int>(kRate) / kBlock; ++i) {
    engine.RenderBlock();
    plugin.RenderBlock();
    engineLevel += MeanSquare(engine.Left(), plugin.Left(), false);
    pluginLevel += MeanSquare(engine.Left(), plugin.Left(), true);
  }
  static std::string reported;
  if (reported.find(load.name) == std::string::npos) {
    reported += std::string(load.name) + " ";
    std::printf("%s: left-channel level over one second: engine %.6g, module %.6g\n", load.name,
                std::sqrt(engineLevel), std::sqrt(pluginLevel));
  }
  if (load.keys > 0 && !(engineLevel > 0.0)) {
    std::fprintf(stderr, "sarn-bench-host: no sound from the engine under load %s\n", load.name);
    std::exit(1);
  }
  if (std::fabs(pluginLevel - engineLevel) > 0.01 * engineLevel) {
    std::fprintf(stderr, "sarn-bench-host: the module does not play the engine's load\n");
    std::exit(1);
  }
}

double Median(std::vector<double>& values) {
  if (values.empty()) return 0.0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

// One iteration: a batch of blocks through the engine, then the same number through the module.
// Besides the means, the medians of the batch times are reported: a batch during which another
// process took the core is slow, and the median is not moved by such outliers.
void BM_Overhead(benchmark::State& state, const Load& load, bool inProcess) {
  constexpr int kBatch = 8;
  EngineSide engine(load);
  PluginSide plugin(load, inProcess);
  CheckSameLoad(engine, plugin, load);
  std::vector<double> engineBatches, processBatches;
  engineBatches.reserve(1 << 18);
  processBatches.reserve(1 << 18);
  double engineSeconds = 0.0, processSeconds = 0.0;
  for (auto _ : state) {
    const double t0 = ThreadCpuSeconds();
    for (int i = 0; i < kBatch; ++i) engine.RenderBlock();
    benchmark::DoNotOptimize(engine.Left());
    const double t1 = ThreadCpuSeconds();
    for (int i = 0; i < kBatch; ++i) plugin.RenderBlock();
    benchmark::DoNotOptimize(plugin.Left());
    const double t2 = ThreadCpuSeconds();
    engineSeconds += t1 - t0;
    processSeconds += t2 - t1;
    if (engineBatches.size() < engineBatches.capacity()) {
      engineBatches.push_back(t1 - t0);
      processBatches.push_back(t2 - t1);
    }
  }
  const double blocks = static_cast<double>(state.iterations()) * kBatch;
  state.counters["engine_us"] = engineSeconds / blocks * 1e6;
  state.counters["process_us"] = processSeconds / blocks * 1e6;
  state.counters["overhead_pct"] = engineSeconds > 0.0 ? 100.0 * (processSeconds - engineSeconds) / engineSeconds : 0.0;
  const double engineMedian = Median(engineBatches) / kBatch;
  const double processMedian = Median(processBatches) / kBatch;
  state.counters["engine_med_us"] = engineMedian * 1e6;
  state.counters["process_med_us"] = processMedian * 1e6;
  state.counters["overhead_med_pct"] = engineMedian > 0.0 ? 100.0 * (processMedian - engineMedian) / engineMedian : 0.0;
}


}  // namespace

int main(int argc, char** argv) {
  // The benchmark library answers --help; --version is ours.
  if (AsksForVersion(argc, argv)) {
    PrintToolVersion("sarn-bench-host");
    return 0;
  }
  // --module=PATH is ours; everything else goes to the benchmark library.
  gModulePath = ModuleBesideExecutable();
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strncmp(argv[i], "--module=", 9) == 0) {
      gModulePath = argv[i] + 9;
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());
  std::printf("module: %s\n", gModulePath.c_str());

  for (const Load& load : kLoads) {
    benchmark::RegisterBenchmark((std::string("BM_Engine/") + load.name).c_str(), BM_Engine, load)->MinTime(1.0);
    benchmark::RegisterBenchmark((std::string("BM_ProcessReplacing/") + load.name).c_str(), BM_ProcessReplacing, load)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark((std::string("BM_Overhead/") + load.name + "/module").c_str(), BM_Overhead, load,
                                 false)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark((std::string("BM_Overhead/") + load.name + "/in_process").c_str(), BM_Overhead,
                                 load, true)
        ->MinTime(2.0);
  }
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
