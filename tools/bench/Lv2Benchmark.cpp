// The LV2 module's run call against the VST2 module's processReplacing on the same load, at 44.1 kHz
// in 256-sample blocks. Batches of blocks alternate between the two and each is timed with the
// thread's CPU clock, so that other work on the machine moves both figures alike.
//
//   sarn-bench-lv2 [rounds]      (LV2_PATH must reach the bundle; the VST2 module is the built one)
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "params/IPlugParam.h"
#include "params/ParameterTable.h"
#include "plugin/lv2/Lv2Uris.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tools/render/VstModule.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr int kBatch = 100;
constexpr int kWarmUpBlocks = 200;

struct Load {
  const char* name;
  bool full;
  int keys;
};
constexpr Load kLoads[] = {{"Idle", false, 0}, {"Strings8", false, 8}, {"Full8", true, 8}, {"Full64", true, 64}};

// Every parameter's plain value for a load: the defaults, with everything on for the full load.
std::vector<double> LoadValues(const Load& load, const IPlugParam* params) {
  std::vector<double> v(kNumParams);
  for (int i = 0; i < kNumParams; ++i) v[static_cast<size_t>(i)] = params[i].Default();
  if (!load.full) return v;
  for (int p : {kStringBass, kStringCello, kStringViola, kStringViolin, kSynth8, kSynth4, kSynthAdsrToVca, kBass16,
                kBass8, kChorusSynth, kPhaserString, kPhaserSynth, kPhaserBass, kDelayVibe, kDelayPingPong}) {
    v[static_cast<size_t>(p)] = 1.0;
  }
  v[kVcfLfo] = 0.5;
  v[kVcfAdsr] = 0.5;
  v[kVcfWheel] = 0.5;
  v[kVcfResonance] = 0.6;
  v[kDelayMix] = 0.4;
  v[kDelayFeedback] = 0.5;
  v[kSynthDecay] = 0.5;
  v[kSynthSustain] = 0.6;
  return v;
}

double ThreadCpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

[[noreturn]] void Abort(const std::string& message) {
  std::fprintf(stderr, "sarn-bench-lv2: %s\n", message.c_str());
  std::exit(1);
}

std::vector<PhraseEvent> Keys(int keys, int64_t frame) {
  std::vector<PhraseEvent> notes;
  for (int k = 0; k < keys; ++k) notes.push_back({frame, {0x90, static_cast<uint8_t>(36 + k), 100}});
  return notes;
}

class Vst2Side {
 public:
  Vst2Side(const Load& load, const IPlugParam* params) {
    std::string error;
    if (!module_.Load(SARN_VST_MODULE, error)) Abort(error);
    effect_ = module_.Effect();
    module_.Dispatch(effOpen);
    module_.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    module_.Dispatch(effSetBlockSize, 0, kBlock);
    module_.Dispatch(effMainsChanged, 0, 1);
    const std::vector<double> values = LoadValues(load, params);
    for (int i = 0; i < kNumParams; ++i) {
      char text[64];
      std::snprintf(text, sizeof(text), "%.17g", values[static_cast<size_t>(i)]);
      // Switches take their display text.
      if (params[i].NDisplayTexts() > 0) {
        std::snprintf(text, sizeof(text), "%s", values[static_cast<size_t>(i)] > 0.5 ? "on" : "off");
      }
      module_.Dispatch(effString2Parameter, i, 0, text);
    }
    std::vector<VstMidiEvent> notes(static_cast<size_t>(load.keys));
    std::vector<VstIntPtr> storage(4 + static_cast<size_t>(load.keys), 0);
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = load.keys;
    for (int k = 0; k < load.keys; ++k) {
      VstMidiEvent& n = notes[static_cast<size_t>(k)];
      std::memset(&n, 0, sizeof(n));
      n.type = kVstMidiType;
      n.byteSize = sizeof(VstMidiEvent);
      n.midiData[0] = static_cast<char>(0x90);
      n.midiData[1] = static_cast<char>(36 + k);
      n.midiData[2] = 100;
      list->events[k] = reinterpret_cast<VstEvent*>(&n);
    }
    // One block before the keys, as the LV2 side needs one to take its ports.
    RenderBlock();
    if (load.keys) module_.Dispatch(effProcessEvents, 0, 0, list);
    for (int i = 0; i < kWarmUpBlocks; ++i) RenderBlock();
  }
  void RenderBlock() { effect_->processReplacing(effect_, nullptr, outputs_, kBlock); }
  const float* Left() const { return left_; }

 private:
  VstModule module_;
  AEffect* effect_ = nullptr;
  float left_[kBlock] = {};
  float right_[kBlock] = {};
  float* outputs_[2] = {left_, right_};
};

class Lv2Side {
 public:
  Lv2Side(Lv2World& world, const LilvPlugin* plugin, const Load& load, const IPlugParam* params)
      : instance_(world, plugin, kRate, kBlock) {
    if (!instance_.Valid()) Abort("the LV2 plug-in does not instantiate");
    // Each port first to another value and then to the load's, so that every one is applied.
    const std::vector<double> values = LoadValues(load, params);
    for (int i = 0; i < kNumParams; ++i) {
      const IPlugParam& p = params[i];
      instance_.SetControl(3 + static_cast<uint32_t>(i), static_cast<float>(p.Default() == p.Min() ? p.Max() : p.Min()));
    }
    instance_.RunBlock();
    for (int i = 0; i < kNumParams; ++i) {
      instance_.SetControl(3 + static_cast<uint32_t>(i), static_cast<float>(values[static_cast<size_t>(i)]));
    }
    std::vector<float> l, r;
    instance_.Render(Keys(load.keys, instance_.Frame()), kBlock, l, r);
    for (int i = 0; i < kWarmUpBlocks; ++i) RenderBlock();
  }
  void RenderBlock() { instance_.RunBlock(); }
  const float* Left() const { return instance_.Left(); }

 private:
  Lv2Instance instance_;
};

template <class Side>
double Energy(Side& side) {
  double sum = 0.0;
  for (int b = 0; b < 50; ++b) {
    side.RenderBlock();
    for (int i = 0; i < kBlock; ++i) sum += static_cast<double>(side.Left()[i]) * side.Left()[i];
  }
  return sum;
}

template <class Side>
double TimeBatch(Side& side) {
  const double start = ThreadCpuSeconds();
  for (int i = 0; i < kBatch; ++i) side.RenderBlock();
  return ThreadCpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  IPlugParam params[kNumParams];
  DefineInstrumentParameters(params);
  Lv2World world;
  const LilvPlugin* plugin = world.Plugin(kLv2PluginUri);
  if (!plugin) Abort("the LV2 bundle is not on LV2_PATH");
  std::printf("%-10s %14s %14s %9s\n", "load", "VST2 us/block", "LV2 us/block", "LV2/VST2");
  for (const Load& load : kLoads) {
    Vst2Side vst2(load, params);
    Lv2Side lv2(world, plugin, load, params);
    // Both play the same load: alike in level over 50 blocks (not to the bit, the ports hold floats).
    const double vst2Level = Energy(vst2), lv2Level = Energy(lv2);
    if (load.keys > 0 && !(std::fabs(lv2Level / vst2Level - 1.0) < 0.05)) {
      Abort(std::string("the two modules do not play the same load ") + load.name + ": energy " +
            std::to_string(vst2Level) + " and " + std::to_string(lv2Level));
    }
    double vst2Seconds = 0.0, lv2Seconds = 0.0;
    for (int r = 0; r < rounds; ++r) {
      vst2Seconds += TimeBatch(vst2);
      lv2Seconds += TimeBatch(lv2);
    }
    const double blocks = static_cast<double>(rounds) * kBatch;
    std::printf("%-10s %14.2f %14.2f %+8.1f%%\n", load.name, vst2Seconds / blocks * 1e6, lv2Seconds / blocks * 1e6,
                (lv2Seconds / vst2Seconds - 1.0) * 100.0);
  }
  return 0;
}
