#include "editor/face/FaceLayout.h"

#include "editor/IGraphics.h"
#include "editor/InstrumentHost.h"
#include "editor/face/InstrumentControls.h"
#include "params/ParameterTable.h"

namespace {

enum Image {
  kBack = 101,
  kButtonGray,
  kButtonOrange,
  kButtonSmall,
  kButtonWhite,
  kKeyBlackBass,
  kKeyBlackTop,
  kKeyWhiteBass,
  kKeyWhiteTop,
  kKnob,
  kLearn,
  kLedRed,
  kLedGreen,
  kNext,
  kPrev,
  kSliderRedV,
  kSliderRedH,
  kSliderWhiteV,
  kSliderWhiteH,
  kUnlearn,
};

const FaceImage kImages[] = {
    {kBack, "img/back.png", 1},
    {kButtonGray, "img/button_gray.png", 2},
    {kButtonOrange, "img/button_orange.png", 2},
    {kButtonSmall, "img/button_small.png", 2},
    {kButtonWhite, "img/button_white.png", 2},
    {kKeyBlackBass, "img/key_black_bass.png", 2},
    {kKeyBlackTop, "img/key_black_top.png", 2},
    {kKeyWhiteBass, "img/key_white_bass.png", 2},
    {kKeyWhiteTop, "img/key_white_top.png", 2},
    {kKnob, "img/knob.png", 65},
    {kLearn, "img/learn.png", 2},
    {kLedRed, "img/led_red.png", 2},
    {kLedGreen, "img/led_green.png", 2},
    {kNext, "img/next.png", 2},
    {kPrev, "img/prev.png", 2},
    {kSliderRedV, "img/slider_red_v.png", 65},
    {kSliderRedH, "img/slider_red_h.png", 65},
    {kSliderWhiteV, "img/slider_white_v.png", 65},
    {kSliderWhiteH, "img/slider_white_h.png", 65},
    {kUnlearn, "img/unlearn.png", 2},
};

constexpr int V = IKnobControl::kVertical;
constexpr int H = IKnobControl::kHorizontal;
constexpr FaceControl::Kind Knob = FaceControl::kKnob;
constexpr FaceControl::Kind Lamp = FaceControl::kLamp;
constexpr FaceControl::Kind Button = FaceControl::kButton;

// List indices 7 to 73.
const FaceControl kParameterControls[] = {
    {Knob, kAttack, 44, 100, kSliderWhiteH, H, 2.0},
    {Knob, kRelease, 192, 100, kSliderWhiteH, H, 2.0},
    {Knob, kTone, 336, 96, kKnob, V, 4.0},
    {Lamp, kStringBass, 424, 80, kLedGreen, V, 0},
    {Button, kStringBass, 412, 96, kButtonOrange, V, 0},
    {Lamp, kStringCello, 472, 80, kLedGreen, V, 0},
    {Button, kStringCello, 460, 96, kButtonOrange, V, 0},
    {Lamp, kStringViola, 520, 80, kLedGreen, V, 0},
    {Button, kStringViola, 508, 96, kButtonOrange, V, 0},
    {Lamp, kStringViolin, 568, 80, kLedGreen, V, 0},
    {Button, kStringViolin, 556, 96, kButtonOrange, V, 0},
    {Knob, kMasterVolume, 44, 168, kSliderRedH, H, 2.0},
    {Knob, kLfoSpeed, 192, 168, kSliderRedH, H, 2.0},
    {Knob, kMixStringSynth, 340, 168, kSliderRedH, H, 2.0},
    {Knob, kBassVolume, 488, 168, kSliderRedH, H, 2.0},
    {Lamp, kBassStaccato, 52, 256, kLedRed, V, 0},
    {Button, kBassStaccato, 40, 272, kButtonOrange, V, 0},
    {Lamp, kBass16, 100, 256, kLedRed, V, 0},
    {Button, kBass16, 88, 272, kButtonOrange, V, 0},
    {Lamp, kBass8, 148, 256, kLedRed, V, 0},
    {Button, kBass8, 136, 272, kButtonOrange, V, 0},
    {Lamp, kSynth8, 196, 256, kLedRed, V, 0},
    {Button, kSynth8, 184, 272, kButtonWhite, V, 0},
    {Lamp, kSynth4, 244, 256, kLedRed, V, 0},
    {Button, kSynth4, 232, 272, kButtonWhite, V, 0},
    {Lamp, kChorusSlow, 334, 256, kLedRed, V, 0},
    {Button, kChorusSlow, 322, 272, kButtonGray, V, 0},
    {Lamp, kSynthAdsrToVca, 382, 256, kLedRed, V, 0},
    {Button, kSynthAdsrToVca, 370, 272, kButtonGray, V, 0},
    {Lamp, kChorusSynth, 472, 256, kLedRed, V, 0},
    {Button, kChorusSynth, 460, 272, kButtonOrange, V, 0},
    {Lamp, kHollowWaveform, 520, 256, kLedRed, V, 0},
    {Button, kHollowWaveform, 508, 272, kButtonOrange, V, 0},
    {Lamp, kSingleTrigger, 568, 256, kLedGreen, V, 0},
    {Button, kSingleTrigger, 556, 272, kButtonOrange, V, 0},
    {Knob, kTune, 75, 384, kSliderRedV, V, 2.0},
    {Knob, kVcfWheel, 157, 384, kSliderWhiteV, V, 2.0},
    {Knob, kVcfLfo, 197, 384, kSliderWhiteV, V, 2.0},
    {Knob, kVcfAdsr, 237, 384, kSliderWhiteV, V, 2.0},
    {Knob, kVcfCutoff, 305, 384, kSliderRedV, V, 2.0},
    {Knob, kVcfResonance, 345, 384, kSliderRedV, V, 2.0},
    {Knob, kSynthAttack, 427, 384, kSliderWhiteV, V, 2.0},
    {Knob, kSynthDecay, 467, 384, kSliderWhiteV, V, 2.0},
    {Knob, kSynthSustain, 507, 384, kSliderWhiteV, V, 2.0},
    {Knob, kSynthRelease, 547, 384, kSliderWhiteV, V, 2.0},
    {Knob, kPanString, 640, 96, kKnob, V, 4.0},
    {Knob, kPanSynth, 692, 96, kKnob, V, 4.0},
    {Knob, kPanBass, 668, 157, kKnob, V, 4.0},
    {Knob, kPhaserSpeed, 637, 276, kSliderRedV, V, 2.0},
    {Knob, kPhaserFeedback, 677, 276, kSliderWhiteV, V, 2.0},
    {Lamp, kPhaserString, 738, 276, kLedRed, V, 0},
    {Button, kPhaserString, 710, 268, kButtonSmall, V, 0},
    {Lamp, kPhaserSynth, 738, 316, kLedRed, V, 0},
    {Button, kPhaserSynth, 710, 308, kButtonSmall, V, 0},
    {Lamp, kPhaserBass, 738, 356, kLedRed, V, 0},
    {Button, kPhaserBass, 710, 348, kButtonSmall, V, 0},
    {Knob, kDelayTime, 637, 428, kSliderRedV, V, 2.0},
    {Knob, kDelayFeedback, 677, 428, kSliderWhiteV, V, 2.0},
    {Knob, kDelayMix, 717, 428, kSliderWhiteV, V, 2.0},
    {Lamp, kDelayX2, 666, 548, kLedGreen, V, 0},
    {Button, kDelayX2, 638, 540, kButtonSmall, V, 0},
    {Lamp, kDelaySync, 722, 548, kLedGreen, V, 0},
    {Button, kDelaySync, 694, 540, kButtonSmall, V, 0},
    {Lamp, kDelayVibe, 666, 588, kLedGreen, V, 0},
    {Button, kDelayVibe, 638, 580, kButtonSmall, V, 0},
    {Lamp, kDelayPingPong, 722, 588, kLedGreen, V, 0},
    {Button, kDelayPingPong, 694, 580, kButtonSmall, V, 0},
};

const FaceImage& FindImage(int id) {
  for (const FaceImage& image : kImages) {
    if (image.id == id) return image;
  }
  return kImages[0];
}

bool IsWhiteKey(int k) {
  switch (k % 12) {
    case 0: case 2: case 4: case 5: case 7: case 9: case 11: return true;
    default: return false;
  }
}

}  // namespace

const FaceImage* FaceImages(int& count) {
  count = static_cast<int>(sizeof(kImages) / sizeof(kImages[0]));
  return kImages;
}

const FaceControl* FaceParameterControls(int& count) {
  count = static_cast<int>(sizeof(kParameterControls) / sizeof(kParameterControls[0]));
  return kParameterControls;
}

FaceHandles BuildFace(IGraphics& graphics, EditorHost* plug, InstrumentHost* instrument, const char* versionText,
                      const char* webHost, const char* webAddress) {
  FaceHandles handles;
  graphics.SetSize(kFaceWidth, kFaceHeight);
  for (const FaceImage& image : kImages) {
    if (image.id != kBack) graphics.LoadBitmapStrip(image.id, image.file, image.frames);
  }
  auto strip = [&graphics](int id) {
    const FaceImage& image = FindImage(id);
    return graphics.LoadBitmapStrip(image.id, image.file, image.frames);
  };

  graphics.AddBackground(kBack, "img/back.png");

  TextStyle display;
  display.face = "Arial";
  display.size = 15;
  display.colour = Colour{192, 255, 255, 255};
  display.align = TextStyle::kAlignCentre;
  handles.presetMenu = new IKLPresetMenu(plug, instrument, Rect(399, 24, 423, 40), Rect(449, 24, 641, 40), display);
  graphics.AddControl(handles.presetMenu);
  graphics.AddControl(new IKLUtilityKick(plug, instrument, 375, 21, IKLUtilityKick::kPreviousProgram, strip(kPrev)));
  graphics.AddControl(new IKLUtilityKick(plug, instrument, 425, 21, IKLUtilityKick::kNextProgram, strip(kNext)));
  graphics.AddControl(new IKLOptionMenu(plug, instrument, Rect(645, 22, 693, 42), webHost, webAddress));
  TextStyle version;
  version.face = "Arial";
  version.size = 12;
  version.colour = Colour{192, 255, 255, 255};
  version.align = TextStyle::kAlignRight;
  version.entryBackground = Colour{255, 255, 255, 255};
  version.entryText = Colour{255, 0, 0, 0};
  graphics.AddControl(new ITextControl(plug, Rect(300, 24, 316, 40), version, versionText));

  if (instrument) instrument->ArmLearn(false, false);
  handles.learnSwitch = new IKLSwitchMidiLearn(plug, instrument, 697, 21, strip(kLearn));
  graphics.AddControl(handles.learnSwitch);

  for (const FaceControl& c : kParameterControls) {
    switch (c.kind) {
      case FaceControl::kKnob:
        graphics.AddControl(new IKLKnobControl(plug, c.x, c.y, c.parameter, strip(c.image), c.direction, c.gearing));
        break;
      case FaceControl::kLamp:
        graphics.AddControl(new IKLBitmapControl(plug, c.x, c.y, c.parameter, strip(c.image)));
        break;
      case FaceControl::kButton:
        graphics.AddControl(new IKLUtilityKick(plug, instrument, c.x, c.y, c.parameter, strip(c.image)));
        break;
    }
  }

  int white = 0;
  for (int k = 0; k < kKeyCount; ++k) {
    if (!IsWhiteKey(k)) continue;
    const int image = k < kFirstUpperKey ? kKeyWhiteBass : kKeyWhiteTop;
    graphics.AddControl(new IKLKey(plug, instrument, 40 + 19 * white, 512, kFirstKeyNote + k, strip(image)));
    ++white;
  }
  int x = 54;
  for (int k = 0; k < kKeyCount; ++k) {
    if (IsWhiteKey(k)) continue;
    const int image = k < kFirstUpperKey ? kKeyBlackBass : kKeyBlackTop;
    graphics.AddControl(new IKLKey(plug, instrument, x, 512, kFirstKeyNote + k, strip(image)));
    const int step = k % 12;
    x += (step == 1 || step == 6 || step == 8) ? 19 : 38;
  }
  return handles;
}
