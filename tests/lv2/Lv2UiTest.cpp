// The LV2 UI as a host embeds it: found through lilv, its module's UI descriptor instantiated with a
// parent window on an Xvfb of the test's own, instance access, touch and idle calls. The face must
// equal the headless face; a slider drag must reach the host as touch begin, port writes and touch
// end; a host change must reach the face; a key of the on-screen keyboard must sound.
// GoogleTest and the LV2 headers before Xlib, whose macros (None, Bool) would clash with their names.
#include <gtest/gtest.h>
#include "tests/lv2/Lv2TestHost.h"
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
// clang-format on
#include <dlfcn.h>
#include <fcntl.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/face/FaceLayout.h"
#include "editor/face/InstrumentControls.h"
#include "params/ParameterTable.h"
#include "plugin/lv2/Lv2Uris.h"
#include "raster/Bitmap.h"
#include "shell/Sarn.h"
#include "tests/window/x11/XvfbEnvironment.h"
#include "tools/face/FaceSnapshot.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kX = 30;  // where the host window sits on the screen
constexpr int kY = 40;
constexpr int kWidth = kFaceWidth;
constexpr int kHeight = kFaceHeight;


// What the UI tells the host, in order.
struct HostEvent {
  enum Kind { kTouchBegin, kWrite, kTouchEnd } kind;
  uint32_t port;
  float value;
};

struct UiHost {
  std::vector<HostEvent> events;
  int width = 0, height = 0;
  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (format != 0 || size != sizeof(float)) return;
    static_cast<UiHost*>(controller)->events.push_back({HostEvent::kWrite, port, *static_cast<const float*>(buffer)});
  }
  static void Touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    static_cast<UiHost*>(handle)->events.push_back({grabbed ? HostEvent::kTouchBegin : HostEvent::kTouchEnd, port, 0});
  }
  static int Resize(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<UiHost*>(handle)->width = width;
    static_cast<UiHost*>(handle)->height = height;
    return 0;
  }
};

class Lv2UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::string folder = "/tmp/sarn-lv2-ui-XXXXXX";
    static const bool linked = [] {
      if (!mkdtemp(&folder[0])) return false;
      std::atexit([] {
        unlink((folder + "/sarn.lv2").c_str());
        rmdir(folder.c_str());
      });
      return symlink(SARN_LV2_BUNDLE, (folder + "/sarn.lv2").c_str()) == 0;
    }();
    ASSERT_TRUE(linked);
    setenv("LV2_PATH", folder.c_str(), 1);
    world = std::make_unique<Lv2World>();
    plugin = world->Plugin(kLv2PluginUri);
    ASSERT_NE(plugin, nullptr);
    instance = std::make_unique<Lv2Instance>(*world, plugin, 44100.0, 256);
    ASSERT_TRUE(instance->Valid());
    std::vector<float> l, r;
    instance->Render({}, 256, l, r);

    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    reference = std::make_unique<Sarn>(nullptr);
    reference->LoadFactoryBank();
  }

  void TearDown() override {
    CloseUi();
    instance.reset();
    world.reset();
    if (display) XCloseDisplay(display);
  }

  // Opens the UI as a host does: the UI's module from its binary URI, embedded in a new window.
  bool OpenUi() {
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    const std::string uiUri = lilv_node_as_uri(lilv_ui_get_uri(ui));
    lilv_uis_free(uis);
    module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    lilv_free(path);
    if (!module) return false;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
    if (!entry || !(descriptor = entry(0)) || uiUri != descriptor->URI) return false;

    // The host's window has a visual other than the screen's default when the server has one, as
    // GTK 3's plugs have, which suil gives X11 UIs.
    XVisualInfo wanted{};
    wanted.screen = DefaultScreen(display);
    wanted.depth = 24;
    wanted.c_class = TrueColor;
    int count = 0;
    XVisualInfo* visuals =
        XGetVisualInfo(display, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &count);
    Visual* visual = DefaultVisual(display, wanted.screen);
    for (int i = 0; i < count; ++i) {
      if (visuals[i].visual != visual) {
        visual = visuals[i].visual;
        break;
      }
    }
    if (visuals) XFree(visuals);
    XSetWindowAttributes set{};
    set.colormap = XCreateColormap(display, DefaultRootWindow(display), visual, AllocNone);
    set.border_pixel = 0;
    set.background_pixel = 0;
    window = XCreateWindow(display, DefaultRootWindow(display), kX, kY, kWidth, kHeight, 0, 24, InputOutput, visual,
                           CWColormap | CWBorderPixel | CWBackPixel, &set);
    XMapWindow(display, window);
    XSync(display, False);
    touch = {&host, UiHost::Touch};
    resize = {&host, UiHost::Resize};
    parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(window))};
    instanceFeature = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance->Instance())};
    touchFeature = {LV2_UI__touch, &touch};
    resizeFeature = {LV2_UI__resize, &resize};
    mapFeature = {LV2_URID__map, world->Uris().MapFeature()};
    const LV2_Feature* features[] = {&parentFeature, &instanceFeature, &touchFeature, &resizeFeature, &mapFeature,
                                     nullptr};
    LV2UI_Widget widget = nullptr;
    handle = descriptor->instantiate(descriptor, kLv2PluginUri, SARN_LV2_BUNDLE, UiHost::Write, &host, &widget,
                                     features);
    if (!handle || !widget) return false;
    idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    // Hosts tell a new UI every port's value.
    for (uint32_t p = 3; p < 63; ++p) {
      const float value = instance->Control(p);
      descriptor->port_event(handle, p, sizeof(float), 0, &value);
    }
    return idle != nullptr;
  }

  void CloseUi() {
    if (handle) descriptor->cleanup(handle);
    handle = nullptr;
  }

  // Idle calls and runs of the plug-in, as a host makes them, until done() or the time is up.
  bool Until(const std::function<bool()>& done, int milliseconds = 3000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      EXPECT_EQ(idle->idle(handle), 0);
      // The host passes the UI's writes to the ports before the next run.
      for (const HostEvent& e : host.events) {
        if (e.kind == HostEvent::kWrite) instance->SetControl(e.port, e.value);
      }
      instance->RunBlock();
      XSync(display, False);
      if (done()) return true;
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void Settle(int milliseconds) {
    Until([] { return false; }, milliseconds);
  }

  int Differences(LICE_IBitmap& face, const Rect& area) {
    XImage* image = XGetImage(display, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!image) return kWidth * kHeight;
    int differ = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        differ += (XGetPixel(image, x, y) & 0xFFFFFF) != (face.Row(y)[x] & 0xFFFFFF);
      }
    }
    XDestroyImage(image);
    return differ;
  }

  IControl* ReferenceControl(int parameter) {
    IGraphics* g = reference->Graphics();
    for (int i = 0; i < g->NControls(); ++i) {
      if (g->GetControl(i)->ParameterIndex() == parameter) return g->GetControl(i);
    }
    return nullptr;
  }
  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
    Settle(30);
  }
  void Button(bool down) {
    XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
    XFlush(display);
    Settle(30);
  }

  std::unique_ptr<Lv2World> world;
  const LilvPlugin* plugin = nullptr;
  std::unique_ptr<Lv2Instance> instance;
  std::unique_ptr<Sarn> reference;
  Display* display = nullptr;
  Window window = 0;
  void* module = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  LV2UI_Handle handle = nullptr;
  const LV2UI_Idle_Interface* idle = nullptr;
  UiHost host;
  LV2UI_Touch touch{};
  LV2UI_Resize resize{};
  LV2_Feature parentFeature{}, instanceFeature{}, touchFeature{}, resizeFeature{}, mapFeature{};
};

TEST_F(Lv2UiTest, ShowsTheFaceAndTellsTheHostWhatTheEditorDoes) {
  ASSERT_TRUE(OpenUi());
  EXPECT_EQ(host.width, kWidth);
  EXPECT_EQ(host.height, kHeight);

  // The face of the first factory program, as the headless layer draws it.
  LICE_IBitmap* face = SnapshotFace(*reference, {});
  ASSERT_NE(face, nullptr);
  const Rect whole{0, 0, kWidth, kHeight};
  Until([&] { return Differences(*face, whole) == 0; });
  EXPECT_EQ(Differences(*face, whole), 0);

  // The host learns the program's values where they differ from the ports' defaults, without a gesture.
  bool volumeWritten = false, touched = false;
  for (const HostEvent& e : host.events) {
    if (e.kind == HostEvent::kWrite && e.port == 3 + kMasterVolume) volumeWritten = e.value == 0.23f;
    if (e.kind != HostEvent::kWrite) touched = true;
  }
  EXPECT_TRUE(volumeWritten);
  EXPECT_FALSE(touched);
  host.events.clear();

  // A slider dragged 40 pixels up: touch begin, writes, touch end, all for its port.
  const uint32_t cutoffPort = 3 + kVcfCutoff;
  IControl* cutoff = ReferenceControl(kVcfCutoff);
  ASSERT_NE(cutoff, nullptr);
  const Rect r = cutoff->DrawRect();
  const int cx = kX + (r.left + r.right) / 2, cy = kY + (r.top + r.bottom) / 2;
  const float before = instance->Control(cutoffPort);
  MoveTo(cx, cy);
  Button(true);
  for (int step = 1; step <= 4; ++step) MoveTo(cx, cy - 10 * step);
  Button(false);
  ASSERT_TRUE(Until([&] { return !host.events.empty() && host.events.back().kind == HostEvent::kTouchEnd; }));
  ASSERT_GE(host.events.size(), 3u);
  EXPECT_EQ(host.events.front().kind, HostEvent::kTouchBegin);
  int writes = 0;
  for (const HostEvent& e : host.events) {
    EXPECT_EQ(e.port, cutoffPort);
    writes += e.kind == HostEvent::kWrite;
  }
  EXPECT_GE(writes, 1);
  EXPECT_GT(instance->Control(cutoffPort), before + 0.05f);

  // A host change reaches the face: the tone knob is drawn anew, nothing else.
  IControl* tone = ReferenceControl(kTone);
  ASSERT_NE(tone, nullptr);
  face = SnapshotFace(*reference, {});
  const Rect toneArea = tone->DrawRect();
  const int toneBefore = Differences(*face, toneArea);
  const float toneValue = 17000.0f;
  descriptor->port_event(handle, 3 + kTone, sizeof(float), 0, &toneValue);
  EXPECT_TRUE(Until([&] { return Differences(*face, toneArea) > toneBefore; }));

  // A key of the on-screen keyboard sounds while it is held.
  int key = -1;
  IGraphics* g = reference->Graphics();
  for (int i = 0, keys = 0; i < g->NControls() && key < 0; ++i) {
    if (dynamic_cast<IKLKey*>(g->GetControl(i)) && keys++ == 20) key = i;
  }
  ASSERT_GE(key, 0);
  const Rect k = g->GetControl(key)->DrawRect();
  MoveTo(kX + (k.left + k.right) / 2, kY + k.bottom - 10);
  Button(true);
  float peak = 0.0f;
  EXPECT_TRUE(Until([&] {
    for (int i = 0; i < 256; ++i) peak = std::max(peak, std::fabs(instance->Left()[i]));
    return peak > 1e-3f;
  })) << peak;
  Button(false);

  // The UI closed in the middle of a drag: the host still gets the gesture's end.
  host.events.clear();
  MoveTo(cx, cy);
  Button(true);
  MoveTo(cx, cy - 20);
  ASSERT_TRUE(Until([&] { return !host.events.empty(); }));
  EXPECT_EQ(host.events.front().kind, HostEvent::kTouchBegin);
  CloseUi();
  ASSERT_FALSE(host.events.empty());
  EXPECT_EQ(host.events.back().kind, HostEvent::kTouchEnd);
  EXPECT_EQ(host.events.back().port, cutoffPort);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new XvfbEnvironment("1280x800x24"));
  return RUN_ALL_TESTS();
}
