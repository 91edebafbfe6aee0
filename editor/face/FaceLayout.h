// The instrument's face: its size and its 123 controls in drawing order, built once into the editor.
#pragma once

class EditorHost;
class IGraphics;
class IKLPresetMenu;
class IKLSwitchMidiLearn;
class InstrumentHost;

// One parameter control of the face, as the layout table lists it.
struct FaceControl {
  enum Kind { kKnob, kLamp, kButton };
  Kind kind;
  int parameter;
  int x, y;
  int image;  // resource identifier
  int direction;
  double gearing;
};

struct FaceImage {
  int id;
  const char* file;
  int frames;
};

// The editor's size in pixels; the artwork generator reads these two lines too.
constexpr int kFaceWidth = 772;
constexpr int kFaceHeight = 620;
constexpr int kFaceControls = 123;
constexpr int kFirstKeyNote = 36;
constexpr int kKeyCount = 49;
constexpr int kFirstUpperKey = 20;  // keys 0..19 (notes 36..55) use the bass-range images

// The images 101..120 and the 67 parameter controls (list indices 7..73) in list order.
const FaceImage* FaceImages(int& count);
const FaceControl* FaceParameterControls(int& count);

// What the plug-in keeps of the face it built.
struct FaceHandles {
  IKLPresetMenu* presetMenu = nullptr;
  IKLSwitchMidiLearn* learnSwitch = nullptr;
};

// Builds the face into graphics, in order: size, images, background, header controls, the learn switch,
// parameter controls, white keys, black keys. Run before any window opens.
FaceHandles BuildFace(IGraphics& graphics, EditorHost* plug, InstrumentHost* instrument, const char* versionText,
                      const char* webHost, const char* webAddress);
