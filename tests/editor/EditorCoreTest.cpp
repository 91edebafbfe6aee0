#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "FakeHost.h"
#include "TestStrips.h"
#include "editor/StandardControls.h"
#include "editor/headless/IGraphicsHeadless.h"

namespace {

// A control that records what reaches it.
class Probe : public IControl {
 public:
  Probe(EditorHost* plug, const Rect& rect, int parameter = -1) : IControl(plug, rect, parameter) {}
  void MouseDown(int, int, const MouseMods&) override { events += 'd'; }
  void MouseUp(int, int, const MouseMods&) override { events += 'u'; }
  void MouseWheel(int, int, const MouseMods&, int steps) override { wheel += steps; }
  bool Draw(IGraphics&) override {
    ++draws;
    return true;
  }
  std::string events;
  int wheel = 0;
  int draws = 0;
};

struct Face {
  FakeHost host;
  IGraphicsHeadless graphics{&host, 100, 80};
  Face() {
    host.parameters[1].minimum = -12.0;
    host.parameters[1].maximum = 12.0;
    host.parameters[2].maximum = 2.0;
    host.parameters[2].shape = 2.0;
    graphics.AttachToPlugin(4);
    graphics.AddControl(new IBitmapControl(&host, 0, 0, -1, MakeStrip(100, 80, 1), Blend::kCopy));
  }
  Probe* Add(const Rect& rect, int parameter = -1) {
    return static_cast<Probe*>(graphics.AddControl(new Probe(&host, rect, parameter)));
  }
  void CleanAll() {
    for (int i = 0; i < graphics.NControls(); ++i) graphics.GetControl(i)->MarkClean();
  }
};

TEST(EditorCore, TheTwentyFirstQuietTickRunsTheIdleHookOnce) {
  Face face;
  face.Add(Rect(10, 10, 20, 20));
  Rect area;
  EXPECT_TRUE(face.graphics.CollectDirtyArea(area));  // new controls start dirty
  face.CleanAll();
  for (int tick = 1; tick <= 20; ++tick) EXPECT_FALSE(face.graphics.CollectDirtyArea(area));
  EXPECT_EQ(face.host.idles, 0);
  face.graphics.CollectDirtyArea(area);
  EXPECT_EQ(face.host.idles, 1);
  for (int tick = 1; tick <= 20; ++tick) face.graphics.CollectDirtyArea(area);
  EXPECT_EQ(face.host.idles, 1);
  face.graphics.GetControl(1)->MarkDirty(false);  // a dirty tick starts the count again
  face.graphics.CollectDirtyArea(area);
  face.CleanAll();
  for (int tick = 1; tick <= 21; ++tick) face.graphics.CollectDirtyArea(area);
  EXPECT_EQ(face.host.idles, 2);
}

TEST(EditorCore, DirtyAreaIsTheUnionOfDirtyControls) {
  Face face;
  face.Add(Rect(0, 0, 10, 10));
  face.Add(Rect(20, 30, 25, 40));
  face.Add(Rect(50, 50, 60, 60));
  face.CleanAll();
  face.graphics.GetControl(1)->MarkDirty(false);
  face.graphics.GetControl(2)->MarkDirty(false);
  Rect area;
  ASSERT_TRUE(face.graphics.CollectDirtyArea(area));
  EXPECT_EQ(area, Rect(0, 0, 25, 40));
}

TEST(EditorCore, PaintDrawsOnlyWhatOverlapsButCleansEverything) {
  Face face;
  Probe* inside = face.Add(Rect(0, 0, 10, 10));
  Probe* outside = face.Add(Rect(50, 50, 60, 60));
  Probe* hidden = face.Add(Rect(0, 0, 10, 10));
  hidden->SetHidden(true);
  face.graphics.PaintArea(Rect(0, 0, 20, 20));
  EXPECT_EQ(inside->draws, 1);
  EXPECT_EQ(outside->draws, 0);
  EXPECT_EQ(hidden->draws, 0);
  EXPECT_FALSE(outside->NeedsRedraw());
  EXPECT_TRUE(hidden->NeedsRedraw());  // a redraw was pending: dirty for one more pass
  ASSERT_EQ(face.graphics.CopiedAreas().size(), 1u);
  EXPECT_EQ(face.graphics.CopiedAreas()[0], Rect(0, 0, 20, 20));
}

TEST(EditorCore, PressOnTheBackgroundCapturesItWithoutAGesture) {
  Face face;
  Probe* control = face.Add(Rect(10, 10, 20, 20), 1);
  face.graphics.MouseDown(50, 50, MouseMods{true});
  EXPECT_EQ(face.graphics.CapturedControl(), 0);
  face.graphics.MouseUp(15, 15, MouseMods{true});  // released over the control: still the background's
  EXPECT_EQ(control->events, "");
  EXPECT_TRUE(face.host.calls.empty());
  // A press on the control is a gesture: begin, then the release and end.
  face.graphics.MouseDown(15, 15, MouseMods{true});
  face.graphics.MouseUp(70, 70, MouseMods{true});
  EXPECT_EQ(control->events, "du");
  ASSERT_EQ(face.host.calls.size(), 2u);
  EXPECT_EQ(face.host.calls[0].what, 'b');
  EXPECT_EQ(face.host.calls[1].what, 'e');
}

TEST(EditorCore, TheLaterOfTwoOverlappingControlsIsHit) {
  Face face;
  face.Add(Rect(10, 10, 40, 40));
  face.Add(Rect(30, 10, 50, 30));
  EXPECT_EQ(face.graphics.FindControl(35, 15), 2);
  EXPECT_EQ(face.graphics.FindControl(35, 35), 1);
  EXPECT_EQ(face.graphics.FindControl(45, 35), 0);
  EXPECT_EQ(face.graphics.FindControl(-5, 500), -1);
}

TEST(EditorCore, WheelNotchesAreWholeSteps) {
  const int rows[][2] = {{119, 0}, {-119, 0}, {120, 1}, {239, 1}, {-240, -2}, {1200000, 10000}};
  for (const auto& row : rows) EXPECT_EQ(IGraphics::WheelSteps(row[0]), row[1]) << row[0];
  Face face;
  Probe* control = face.Add(Rect(10, 10, 20, 20));
  face.graphics.Wheel(15, 15, 119);
  EXPECT_EQ(control->wheel, 0);
  face.graphics.Wheel(15, 15, -360);
  EXPECT_EQ(control->wheel, -3);
}

TEST(EditorCore, PlainValuesArriveNormalizedAtTheNextTick) {
  Face face;
  Probe* a = face.Add(Rect(0, 0, 10, 10), 1);
  Probe* b = face.Add(Rect(0, 0, 10, 10), 2);
  Probe* alsoB = face.Add(Rect(20, 0, 30, 10), 2);
  struct Row {
    int index;
    double plain;
    double normalized;
  };
  const Row rows[] = {{1, 6.0, 0.75}, {1, -40.0, 0.0}, {1, 40.0, 1.0}, {2, 0.5, 0.5}, {2, 2.0, 1.0}, {2, 1.28, 0.8}};
  for (const Row& row : rows) {
    face.graphics.ApplyParameterFromPlugin(row.index, row.plain, false);
    Rect area;
    face.graphics.CollectDirtyArea(area);
    const IControl* control = row.index == 1 ? static_cast<IControl*>(a) : b;
    EXPECT_NEAR(control->Value(), row.normalized, 1e-12) << row.index << " " << row.plain;
  }
  EXPECT_EQ(alsoB->Value(), b->Value());
  face.graphics.ApplyParameterFromPlugin(3, 0.4, true);  // no control: nothing happens
  face.graphics.ApplyParameterFromPlugin(99, 0.4, true);
  face.graphics.ApplyParameterFromPlugin(-1, 0.4, true);
  EXPECT_TRUE(face.host.calls.empty());  // nothing goes back to the plug-in
}

// Host and audio threads push values while the editor's thread draws: every value the face shows is
// one that was sent, and the last one sent is shown after the next tick.
TEST(EditorCore, ValuesPushedFromOtherThreadsNeverTear) {
  Face face;
  std::vector<Probe*> controls;
  for (int i = 0; i < 4; ++i) controls.push_back(face.Add(Rect(i * 10, 0, i * 10 + 10, 10), i));
  std::atomic<bool> stop{false};
  std::vector<std::thread> senders;
  const double sent[] = {0.1, 0.3333333333333333, 0.7071067811865476, 0.9};
  for (int t = 0; t < 3; ++t) {
    senders.emplace_back([&, t] {
      for (int n = 0; n < 200000 && !stop; ++n) face.graphics.ApplyParameterFromPlugin(n % 4, sent[(n + t) % 4], true);
    });
  }
  int torn = 0;
  for (int tick = 0; tick < 2000; ++tick) {
    face.graphics.Tick();
    for (Probe* control : controls) {
      const double v = control->Value();
      if (v != 0.0 && v != sent[0] && v != sent[1] && v != sent[2] && v != sent[3]) ++torn;
    }
  }
  stop = true;
  for (std::thread& sender : senders) sender.join();
  EXPECT_EQ(torn, 0);
  face.graphics.ApplyParameterFromPlugin(2, 0.625, true);
  face.graphics.Tick();
  EXPECT_EQ(controls[2]->Value(), 0.625);
}

TEST(EditorCore, ImagesAreDecodedOncePerProcess) {
  // Counts decodes; the cache is process-wide, so a second editor asks for nothing.
  struct Counting : IGraphicsHeadless {
    using IGraphicsHeadless::IGraphicsHeadless;
    std::unique_ptr<LICE_MemBitmap> LoadImageResource(int, const char*) override {
      ++decodes;
      return std::make_unique<LICE_MemBitmap>(10, 40);
    }
    int decodes = 0;
  };
  Counting first(nullptr, 10, 10);
  Counting second(nullptr, 10, 10);
  const BitmapStrip a = first.LoadBitmapStrip(9001, "x.png", 4);
  const BitmapStrip b = second.LoadBitmapStrip(9001, "x.png", 4);
  EXPECT_EQ(first.decodes + second.decodes, 1);
  EXPECT_EQ(a.bitmap, b.bitmap);
  EXPECT_EQ(b.FrameHeight(), 10);
}

TEST(EditorCore, FontsAreSharedAndAnUnknownFaceDrawsNothing) {
  IGraphicsHeadless graphics(nullptr, 100, 30);
  graphics.AttachToPlugin(0);
  TextStyle style;
  style.face = "Arial";
  style.size = 15;
  style.colour = Colour{192, 255, 255, 255};
  TextStyle again = style;
  const int before = IGraphics::FontsCreated();
  EXPECT_TRUE(graphics.DrawTextIn(style, "Init", Rect(0, 0, 100, 20)));
  EXPECT_TRUE(graphics.DrawTextIn(again, "Init", Rect(0, 0, 100, 20)));
  EXPECT_EQ(IGraphics::FontsCreated(), before + 1);
  TextStyle unknown = style;
  unknown.face = "No Such Face At All";
  unknown.cachedFont = nullptr;
  EXPECT_FALSE(graphics.DrawTextIn(unknown, "Init", Rect(0, 0, 100, 20)));
  EXPECT_TRUE(graphics.DrawTextIn(unknown, "", Rect(0, 0, 100, 20)));  // empty text: nothing to draw
}

TEST(EditorCore, BadSizesAndEventsOutsideDoNoHarm) {
  Face face;
  face.graphics.AddBackground(4242, "img/missing.png");  // cannot be decoded: drawn as nothing
  face.graphics.AddControl(new IKnobMultiControl(&face.host, 5, 5, 1, face.graphics.LoadBitmapStrip(4243, "k.png", 65),
                                                 IKnobControl::kVertical, 2.0));
  face.Add(Rect(10, 10, 20, 20), 1);
  face.graphics.PaintAll();
  face.graphics.MouseDown(-100, 5000, MouseMods{true});
  face.graphics.MouseMove(-200, -200, MouseMods{true});
  face.graphics.MouseUp(99999, -1, MouseMods{true});
  face.graphics.Wheel(-1, -1, 2147483647);
  EXPECT_FALSE(face.graphics.Key(3));
  face.graphics.SetSize(0, 0);
  EXPECT_EQ(face.graphics.NControls(), 0);
  EXPECT_EQ(face.host.resizes, 1);
  face.graphics.SetSize(-5, -7);
  face.graphics.PaintAll();
  EXPECT_EQ(face.graphics.Tick(), Rect());
  EXPECT_TRUE(face.host.calls.empty());
}

}  // namespace

TEST(EditorCore, FileExtensionListsSplitAtSpaces) {
  using List = std::vector<std::string>;
  EXPECT_EQ(IGraphics::FileExtensions("fxp"), List({"fxp"}));
  EXPECT_EQ(IGraphics::FileExtensions("fxp fxb"), List({"fxp", "fxb"}));
  EXPECT_EQ(IGraphics::FileExtensions("  fxp   fxb  "), List({"fxp", "fxb"}));
  EXPECT_EQ(IGraphics::FileExtensions(" "), List());
  EXPECT_EQ(IGraphics::FileExtensions(nullptr), List());
}

TEST(EditorCore, TwoQuickLeftPressesInOnePlaceAreADoubleClick) {
  struct Press {
    unsigned long time;
    int x;
    int y;
    bool left;
    bool doubleClick;
  };
  const Press presses[] = {
      {1000, 10, 10, true, false},  {1500, 14, 6, true, true},    // 500 ms and 4 pixels away: the limit
      {1600, 14, 6, true, false},   {1700, 14, 6, false, false},  // a right press between breaks the pair
      {1800, 14, 6, true, false},   {2301, 14, 6, true, false},   // 501 ms: too late, but starts a pair
      {2400, 19, 6, true, false},   {2500, 19, 6, true, true},    // 5 pixels: too far
      {~0ul - 100, 0, 0, true, false}, {200, 0, 0, true, true},   // the clock wraps
  };
  DoubleClickRule rule;
  for (const Press& p : presses) EXPECT_EQ(rule.Press(p.time, p.x, p.y, p.left), p.doubleClick) << p.time;
  rule.Press(5000, 0, 0, true);
  rule.Forget();
  EXPECT_FALSE(rule.Press(5100, 0, 0, true));
}
