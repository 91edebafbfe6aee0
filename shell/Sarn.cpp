#include "shell/Sarn.h"

#include "editor/face/InstrumentControls.h"
#include "params/ParameterChange.h"
#include "params/ParameterTable.h"
#include "plugin/ProgramFiles.h"
#include "plugin/ProgramState.h"
#include "plugin/vst2/PluginFactory.h"
#include "shell/GraphicsEditor.h"
#include "shell/VersionCheck.h"
#include "raster/CachedFont.h"
#include "raster/PngDecoder.h"
#include "resources/FaceImages.h"
#include "resources/FactoryBank.h"
#include "resources/FallbackFont.h"
#include "resources/Version.h"

namespace {

// The face's images are built into the module; the editor finds them by resource identifier.
void RegisterFaceImages() {
  int count = 0;
  const EmbeddedImage* images = FaceImageData(count);
  for (int i = 0; i < count; ++i) RegisterEmbeddedPng(images[i].id, images[i].data, images[i].size);
}

// Text stays visible on a system without the font families the face asks for.
void RegisterFallbackFont() {
  size_t size = 0;
  const unsigned char* data = FallbackFontData(size);
  LICE_SetFallbackFont(data, size);
}

}  // namespace

Sarn::Sarn(VstHostCallback host) : Synth(host, kNumParams, kNumPrograms) {
  mEngine.SetHost(this);
  ReadConfiguration();
  DefineParameters();
  auto* editor = new GraphicsEditor(*this, kFaceWidth, kFaceHeight);
  mGraphics = &editor->Graphics();
  AttachEditor(editor);
  mGraphics->SetUserScale(Settings().EditorSize());
  RegisterFaceImages();
  RegisterFallbackFont();
  mFace = BuildFace(*mGraphics, &editor->Host(), this, kFaceVersionText, SARN_MAKER_WEB_HOST, SARN_MAKER_WEB_ADDRESS);
  ApplyAllParameters();
  LoadStartupPrograms();
}

void Sarn::DefineParameters() { DefineInstrumentParameters(GetParam(0)); }

bool Sarn::LoadFactoryBank() {
  LockGuard lock(Mutex());
  return LoadBankImage(*this, FactoryBankData(), static_cast<int>(FactoryBankSize()));
}

void Sarn::InitProgram() {
  LockGuard lock(Mutex());
  if (PluginEditor* editor = GetGUI()) {
    for (int i = 0; i < NParams(); ++i) {
      const IPlugParam* param = GetParam(i);
      editor->ApplyParameterFromPlugin(i, param->ToNormalized(param->Default()), true);
    }
  }
  Synth::InitProgram();
}

void Sarn::Reset() {
  Synth::Reset();
  LockGuard lock(Mutex());
  if (mEngine.Reset(GetSampleRate(), GetBlockSize())) ApplyAllParameters();
}

void Sarn::ApplyParameter(int index) {
  CaptureLearnParameter(index);
  ApplyParameterToEngine(mEngine, GetParam(0), index);
}

void Sarn::RenderBlock(double**, double** outputs, int frames) {
  if (!outputs) return;
  mEngine.RenderBlock(outputs[0], outputs[1], frames);
}

void Sarn::HandleMidiMessage(const MidiMessage& message) { mEngine.HandleMidiMessage(message); }

bool Sarn::SaveProgramState(DataChunk& chunk) { return SaveTaggedProgramState(*this, chunk); }

int Sarn::ReadProgramState(const DataChunk& chunk, int position, std::vector<double>& values) const {
  return ReadTaggedProgramState(*this, chunk, position, values);
}

void Sarn::AllNotesOff() {
  LockGuard lock(Mutex());
  mEngine.AllNotesOff();
}

void Sarn::PlayNote(int key, bool on) {
  LockGuard lock(Mutex());
  if (on) {
    mEngine.NoteOn(key);
  } else {
    mEngine.NoteOff(key);
  }
}

bool Sarn::IsKeyHeld(int key) const {
  LockGuard lock(Mutex());
  return mEngine.IsKeyHeld(key);
}

void Sarn::Idle() {
  bool changed;
  {
    LockGuard lock(Mutex());
    changed = mEngine.TakeKeyboardDisplayFlag();
  }
  IGraphics* editor = mGraphics;
  if (!changed || !editor || !editor->IsWindowOpen()) return;
  const int firstKey = kFaceControls - kKeyCount;
  for (int i = firstKey; i < editor->NControls(); ++i) editor->GetControl(i)->RequestRedraw();
}

void Sarn::RedrawParameterControls() {
  Synth::RedrawParameterControls();
  if (mFace.presetMenu) mFace.presetMenu->RequestRedraw();
}

void Sarn::LearnEnded() {
  if (mFace.learnSwitch) mFace.learnSwitch->LearnEnded();
}

IPlugVST* CreatePluginInstance(VstHostCallback master) { return new Sarn(master); }
