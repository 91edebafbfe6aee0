#include <gtest/gtest.h>

#include "FakeHost.h"
#include "TestStrips.h"
#include "editor/StandardControls.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "raster/Bitmap.h"

namespace {

TEST(StandardControls, FrameSelection) {
  struct Row {
    int frames;
    double value;
    int frame;
  };
  const Row rows[] = {
      {1, 0.0, 1},  {1, 0.0078, 1}, {1, 0.5, 1},  {1, 1.0, 1},  {1, 1.2, 1},   {1, -0.1, 1},
      {2, 0.0, 1},  {2, 0.0078, 1}, {2, 0.5, 2},  {2, 1.0, 2},  {2, 1.2, 2},   {2, -0.1, 1},
      {65, 0.0, 1}, {65, 0.0078, 1}, {65, 0.0079, 2}, {65, 0.5, 33}, {65, 1.0, 65}, {65, 1.2, 65}, {65, -0.1, 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FrameForValue(row.value, row.frames), row.frame) << row.frames << " frames at " << row.value;
  }
}

TEST(StandardControls, FirstPluginValueFixesTheDoubleClickValueWithoutRedraw) {
  FakeHost host;
  IBitmapControl lamp(&host, 0, 0, 1, MakeStrip(8, 8, 2));
  lamp.MarkClean();
  lamp.SetValueFromPlugin(1.0);
  EXPECT_FALSE(lamp.NeedsRedraw());
  EXPECT_EQ(lamp.DoubleClickValue(), 1.0);
  lamp.SetValueFromPlugin(0.0);
  EXPECT_TRUE(lamp.NeedsRedraw());
  EXPECT_EQ(lamp.DoubleClickValue(), 1.0);
  // A double click restores the first value and sets the parameter.
  lamp.MouseDoubleClick(0, 0, MouseMods());
  EXPECT_EQ(lamp.Value(), 1.0);
  ASSERT_EQ(host.calls.size(), 1u);
  EXPECT_EQ(host.calls[0].what, 's');
  EXPECT_EQ(host.calls[0].value, 1.0);
}

TEST(StandardControls, ValuesAreClampedOnlyWhenMarkedDirty) {
  FakeHost host;
  IBitmapControl lamp(&host, 0, 0, 1, MakeStrip(8, 8, 2));
  lamp.SetValueFromPlugin(0.5);
  lamp.SetValueFromPlugin(1.7);  // stored as given, then clamped by the redraw mark
  EXPECT_EQ(lamp.Value(), 1.0);
  lamp.SetValue(-3.0);
  EXPECT_EQ(lamp.Value(), -3.0);
  lamp.MarkDirty(false);
  EXPECT_EQ(lamp.Value(), 0.0);
  EXPECT_TRUE(host.calls.empty());
}

TEST(StandardControls, SwitchSteppingWraps) {
  FakeHost host;
  ISwitchControl single(&host, 0, 0, 0, MakeStrip(8, 8, 1));
  single.MouseDown(0, 0, MouseMods());
  EXPECT_EQ(single.Value(), 1.0);
  single.MouseDown(0, 0, MouseMods());
  EXPECT_EQ(single.Value(), 0.0);  // 2 exceeds 1.001

  ISwitchControl three(&host, 0, 0, 0, MakeStrip(8, 8, 3));
  const double expected[] = {0.5, 1.0, 0.0, 0.5};
  for (double value : expected) {
    three.MouseDown(0, 0, MouseMods());
    EXPECT_EQ(three.Value(), value);
  }
  ASSERT_EQ(host.calls.size(), 6u);
  EXPECT_EQ(host.calls[5].value, 0.5);
}

TEST(StandardControls, DragAndWheelAdjustment) {
  struct Row {
    int direction;
    int width, height;
    double gearing;
    int dx, dy;
    bool fine;
    double change;
  };
  const Row rows[] = {
      {IKnobControl::kVertical, 10, 96, 2.0, 0, -1, false, 1.0 / 192},     // one pixel up
      {IKnobControl::kVertical, 10, 96, 2.0, 0, -1, true, 1.0 / 1920},     // with shift
      {IKnobControl::kVertical, 10, 96, 2.0, 0, 3, false, -3.0 / 192},     // down lowers
      {IKnobControl::kHorizontal, 96, 10, 2.0, 5, -40, false, 5.0 / 192},  // only dx counts
      {IKnobControl::kVertical, 32, 32, 4.0, 0, -2, false, 2.0 / 128},
  };
  for (const Row& row : rows) {
    FakeHost host;
    IKnobMultiControl knob(&host, 0, 0, 2, MakeStrip(row.width, row.height, 65), row.direction, row.gearing);
    knob.SetValueFromPlugin(0.5);
    MouseMods mods;
    mods.left = true;
    mods.shift = row.fine;
    knob.MouseDrag(0, 0, row.dx, row.dy, mods);
    EXPECT_NEAR(knob.Value() - 0.5, row.change, 1e-15) << row.width << "x" << row.height;
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].index, 2);
  }
  FakeHost host;
  IKnobMultiControl knob(&host, 0, 0, 2, MakeStrip(32, 32, 65), IKnobControl::kVertical, 4.0);
  knob.SetValueFromPlugin(0.5);
  knob.MouseWheel(0, 0, MouseMods(), 1);
  EXPECT_NEAR(knob.Value(), 0.51, 1e-15);
  MouseMods control;
  control.control = true;
  knob.MouseWheel(0, 0, control, -3);
  EXPECT_NEAR(knob.Value(), 0.507, 1e-15);
  knob.MouseWheel(0, 0, MouseMods(), 1000000);  // a huge wheel delta ends at the top
  EXPECT_EQ(knob.Value(), 1.0);
}

TEST(StandardControls, GreyedControlIsDrawnAtAQuarterAndIgnoresTheMouse) {
  FakeHost host;
  IGraphicsHeadless graphics(&host, 40, 40);
  graphics.AttachToPlugin(4);
  graphics.AddControl(new IBitmapControl(&host, 0, 0, -1, MakeStrip(40, 40, 1), Blend::kCopy));
  // White, half transparent, over the background.
  BitmapStrip white = MakeStrip(8, 8, 2);
  FillBitmapRect(white.bitmap, 0, 0, 8, 16, LICE_RGBA(255, 255, 255, 127), 1.0f, kBlitCopy);
  IControl* lamp = graphics.AddControl(new IBitmapControl(&host, 4, 4, 1, white));
  lamp->SetGreyed(true);
  graphics.PaintAll();
  // Background (10, 254, 7); h = 64 * 128 / 256 = 32, so each channel moves 32/256 of the way to white.
  const LICE_pixel drawn = PixelAt(graphics.Surface(), 5, 5);
  EXPECT_EQ(LICE_GETR(drawn), 41);
  EXPECT_EQ(LICE_GETG(drawn), 255);
  EXPECT_EQ(LICE_GETB(drawn), 38);
  EXPECT_EQ(PixelAt(graphics.Surface(), 20, 20), FrameColour(1));
  EXPECT_EQ(graphics.FindControl(5, 5), 0);  // the press reaches the background instead
  graphics.MouseDown(5, 5, MouseMods{true});
  graphics.MouseUp(5, 5, MouseMods{true});
  EXPECT_TRUE(host.calls.empty());
}

TEST(StandardControls, TextControlsLinkedToAKnobShowValueAndName) {
  FakeHost host;
  host.values[2] = 6.0;
  IKnobMultiControl knob(&host, 0, 0, 2, MakeStrip(32, 32, 65), IKnobControl::kVertical, 4.0);
  ITextControl value(&host, Rect(0, 40, 60, 52), TextStyle(), "");
  ITextControl name(&host, Rect(0, 52, 60, 64), TextStyle(), "");
  knob.LinkValueText(&value);
  knob.LinkNameText(&name);
  knob.MouseWheel(0, 0, MouseMods(), 1);
  EXPECT_EQ(value.Text(), "6.000000 dB");
  EXPECT_EQ(name.Text(), "P2");
}

}  // namespace
