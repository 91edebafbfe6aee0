#include "params/ParameterChange.h"

#include "engine/Engine.h"
#include "params/DisplayFunctions.h"
#include "params/IPlugParam.h"
#include "params/ParameterTable.h"

namespace {

// VCF modulation sources move the cutoff by up to 8080 pitch units (63.125 semitones).
constexpr double kVcfModulationRange = 8080.0;

}  // namespace

void ApplyParameterToEngine(Engine& engine, IPlugParam* params, int index) {
  if (!params || index < 0 || index >= kNumParams) return;
  const double v = params[index].Value();
  const double n = params[index].ToNormalized(v);
  const bool on = n >= 0.5;
  Engine::Settings& s = engine.GetSettings();

  switch (index) {
    case kMasterVolume: s.masterVolume = v; engine.UpdateSectionGains(); break;
    case kTune: engine.Tones().SetTune(v); break;
    case kTone: engine.SetTone(v); break;
    case kAttack: engine.SetStringAttack(n * 0.8); break;
    case kRelease: engine.SetRelease(v); break;
    case kStringBass: s.stringBass = on; break;
    case kStringCello: s.stringCello = on; break;
    case kStringViola: s.stringViola = on; break;
    case kStringViolin: s.stringViolin = on; break;
    case kLfoSpeed: engine.SetLfoSpeed(v); break;
    case kMixStringSynth: s.mix = v; engine.UpdateSectionGains(); break;
    case kBassVolume: s.bassVolume = v; break;
    case kBassStaccato: engine.SetStaccato(on); break;
    case kBass16: s.bass16 = on; break;
    case kBass8: s.bass8 = on; break;
    case kSynth8: s.synth8 = on; break;
    case kSynth4: s.synth4 = on; break;
    case kChorusSynth: s.chorusSynth = on; break;
    case kHollowWaveform: engine.Tones().SetHollow(on); break;
    case kSingleTrigger: s.singleTrigger = on; break;
    case kVcfWheel: s.vcfWheelAmount = v * kVcfModulationRange; break;
    case kVcfLfo: s.vcfLfoAmount = v * kVcfModulationRange; break;
    case kVcfAdsr: s.vcfAdsrAmount = v * kVcfModulationRange; break;
    case kVcfCutoff: engine.Ladder().SetCutoffParameter(v); break;
    case kVcfResonance: engine.Ladder().SetResonanceParameter(v); break;
    case kSynthAttack: engine.SynthEnvelope().SetAttack(v); break;
    case kSynthDecay: engine.SynthEnvelope().SetDecay(v); break;
    case kSynthSustain: engine.SynthEnvelope().SetSustainLevel(v); break;
    case kSynthRelease: engine.SynthEnvelope().SetRelease(v); break;
    case kPanString: s.panString = v; engine.UpdateSectionGains(); break;
    case kPanSynth: s.panSynth = v; engine.UpdateSectionGains(); break;
    case kPanBass: s.panBass = v; engine.UpdateSectionGains(); break;
    case kPhaserSpeed: engine.GetPhaser().SetSpeed(v); break;
    case kPhaserFeedback: engine.GetPhaser().SetFeedback(v); break;
    case kPhaserString: s.phaserString = on; break;
    case kPhaserSynth: s.phaserSynth = on; break;
    case kPhaserBass: s.phaserBass = on; break;
    case kDelayTime: s.delayTime = v; break;
    case kDelayFeedback: engine.Delay().SetFeedback(v); break;
    case kDelayMix: engine.Delay().SetMix(v); break;
    case kDelayX2: engine.Delay().SetX2(on); break;
    case kDelaySync:
      engine.Delay().SetSync(on);
      params[kDelayTime].SetDisplayFunction(on ? ShowNoteValue : nullptr);
      break;
    case kDelayVibe: engine.Delay().SetVibe(on); break;
    case kDelayPingPong: engine.Delay().SetPingPong(on); break;
    case kChorusSlow: s.chorusSlow = on; engine.UpdateChorusRates(); break;
    case kSynthAdsrToVca: s.adsrToVca = on; break;
    case kChorus1SpeedFast:
    case kChorus2SpeedFast:
    case kChorus3SpeedFast:
      s.fastSpeed[index - kChorus1SpeedFast] = v;
      engine.UpdateChorusRates();
      break;
    case kChorus1DepthFast:
    case kChorus2DepthFast:
    case kChorus3DepthFast:
      s.fastDepth[index - kChorus1DepthFast] = n * 0.1;
      engine.UpdateChorusRates();
      break;
    case kChorus1SpeedSlow:
    case kChorus2SpeedSlow:
    case kChorus3SpeedSlow:
      s.slowSpeed[index - kChorus1SpeedSlow] = v;
      engine.UpdateChorusRates();
      break;
    case kChorus1DepthSlow:
    case kChorus2DepthSlow:
    case kChorus3DepthSlow:
      s.slowDepth[index - kChorus1DepthSlow] = n * 0.1;
      engine.UpdateChorusRates();
      break;
    case kDelayVibeSpeed: engine.Delay().SetVibeSpeed(v); break;
    case kDelayVibeDepth: engine.Delay().SetVibeDepth(v); break;
    default: break;
  }
}
