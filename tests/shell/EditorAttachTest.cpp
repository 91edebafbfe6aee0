// The editor attached to a plug-in, seen through the VST2 descriptor as a host sees it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editor/StandardControls.h"
#include "editor/face/FaceLayout.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "params/ParameterTable.h"
#include "plugin/vst2/IPlugVST.h"
#include "raster/Bitmap.h"
#include "shell/GraphicsEditor.h"

namespace {

std::vector<int>* gOpcodes = nullptr;

intptr_t Recorder(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  if (gOpcodes && (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)) {
    gOpcodes->push_back(opcode);
  }
  return 0;
}

std::unique_ptr<IGraphics> MakeHeadless(EditorHost* host, int width, int height) {
  return std::make_unique<IGraphicsHeadless>(host, width, height);
}

class EditedPlug : public IPlugVST {
 public:
  EditedPlug() : IPlugVST(Recorder, "0-2", kNumParams, 4, "Sarn", "", "Kelmor Music", 1, 0x10004, true, true) {
    DefineInstrumentParameters(GetParam(0));
    auto* attached = new GraphicsEditor(*this, kFaceWidth, kFaceHeight, MakeHeadless);
    editor = static_cast<IGraphicsHeadless*>(&attached->Graphics());
    host = &attached->Host();
    AttachEditor(attached);
  }
  IGraphicsHeadless* editor;
  EditorHost* host;
};

TEST(EditorAttach, ASliderGestureReachesTheHostAsBeginAutomateEnd) {
  std::vector<int> opcodes;
  gOpcodes = &opcodes;
  EditedPlug plug;
  AEffect* effect = plug.GetAEffect();
  // The headless layer has no window: hosts are not promised an editor, but its size is known.
  EXPECT_EQ(effect->flags & effFlagsHasEditor, 0);
  ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
  EXPECT_EQ(rect->right - rect->left, kFaceWidth);
  EXPECT_EQ(rect->bottom - rect->top, kFaceHeight);
  EXPECT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f), 0);

  LICE_MemBitmap image(10, 96 * 65);
  BitmapStrip strip;
  strip.bitmap = &image;
  strip.width = 10;
  strip.height = 96 * 65;
  strip.frames = 65;
  plug.editor->AddControl(new IKnobMultiControl(plug.host, 75, 384, kTune, strip, IKnobControl::kVertical, 2.0));
  plug.editor->Tick();
  const double before = plug.GetParam(kTune)->Value();

  MouseMods left;
  left.left = true;
  plug.editor->MouseDown(80, 400, left);
  plug.editor->MouseMove(80, 380, left);  // 20 pixels up
  plug.editor->MouseUp(80, 380, left);
  EXPECT_GT(plug.GetParam(kTune)->Value(), before);
  // The host hears of it on its own thread, when it next calls effEditIdle.
  EXPECT_TRUE(opcodes.empty());
  effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(opcodes, (std::vector<int>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));

  // A host change moves the control at the next tick.
  opcodes.clear();
  effect->setParameter(effect, kTune, 0.0f);
  plug.editor->Tick();
  EXPECT_EQ(plug.editor->GetControl(0)->Value(), 0.0);
  EXPECT_TRUE(opcodes.empty());
  gOpcodes = nullptr;
}

}  // namespace
