// The Linux module's editor in a real X server: a host of ours makes a top-level window on an Xvfb of
// the test's own, loads the module, opens the editor through the VST2 entry point, calls effEditIdle
// as hosts do, and drives it with real input through XTest. The face the module shows is compared
// with the headless face of an instrument built in this process, whose controls also tell where to
// click.
// GoogleTest before Xlib, whose macros (None, Bool) would clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on
#include <dirent.h>
#include <fontconfig/fontconfig.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/face/FaceLayout.h"
#include "editor/face/InstrumentControls.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "plugin/vst2/VstInterface.h"
#include "raster/Bitmap.h"
#include "shell/Sarn.h"
#include "tests/window/x11/XvfbEnvironment.h"
#include "tools/face/FaceSnapshot.h"

namespace {

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------- what the host is told

struct HostCall {
  int opcode;
  int index;
  float value;
};

std::mutex gCallsLock;
std::vector<HostCall> gCalls;

// A host that holds a lock of its own around every call into the plug-in and takes it again, after a
// millisecond of work, when the plug-in tells it of an edit, as some hosts do.
std::atomic<bool> gHostLocks{false};
std::recursive_mutex gHostLock;
std::atomic<std::thread::id> gHostThread;
std::atomic<int> gCallsOffHostThread{0};

VstIntPtr VST_CALLBACK Host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit ||
      opcode == audioMasterUpdateDisplay) {
    std::unique_lock<std::recursive_mutex> host(gHostLock, std::defer_lock);
    if (gHostLocks) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      host.lock();
      if (std::this_thread::get_id() != gHostThread.load()) ++gCallsOffHostThread;
    }
    if (opcode == audioMasterUpdateDisplay) return 0;
    std::lock_guard<std::mutex> hold(gCallsLock);
    gCalls.push_back({opcode, index, opt});
  }
  return 0;
}

std::vector<HostCall> TakeCalls() {
  std::lock_guard<std::mutex> hold(gCallsLock);
  std::vector<HostCall> calls;
  calls.swap(gCalls);
  return calls;
}

// ---------------------------------------------------------------- the module

struct Module {
  void* handle = nullptr;
  AEffect* (*entry)(VstHostCallback) = nullptr;
  Module() {
    handle = dlopen(SARN_X11_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (handle) entry = reinterpret_cast<AEffect* (*)(VstHostCallback)>(dlsym(handle, "VSTPluginMain"));
  }
};

Module& TheModule() {
  static Module module;  // stays loaded: the process's exit unloads it
  return module;
}

struct Plug {
  AEffect* effect = nullptr;
  Plug() {
    Module& m = TheModule();
    if (!m.entry) return;
    effect = m.entry(Host);
    if (!effect) return;
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(effSetBlockSize, 0, 512);
    Dispatch(effMainsChanged, 0, 1);
  }
  ~Plug() {
    if (effect) Dispatch(effClose);
  }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
    std::unique_lock<std::recursive_mutex> host(gHostLock, std::defer_lock);
    if (gHostLocks) host.lock();
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  float Get(int index) { return effect->getParameter(effect, index); }
  std::string ProgramName() {
    char name[64] = {};
    Dispatch(effGetProgramName, 0, 0, name);
    return name;
  }
  // The peak of one block of the instrument's output.
  float Peak(int frames = 4096) {
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, frames);
    float peak = 0.0f;
    for (size_t i = 0; i < left.size(); ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    return peak;
  }
};

// ---------------------------------------------------------------- the host's windows and input

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

int Threads() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

struct Shown {
  Window window;
  int x, y, width, height;
  bool overrideRedirect;
};

// What a window showed, as 0xRRGGBB values row by row; kept in a file to pass between processes.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
  bool Save(const std::string& path) const {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(&width), sizeof(width));
    file.write(reinterpret_cast<const char*>(&height), sizeof(height));
    file.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 4));
    return static_cast<bool>(file);
  }
  bool Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(&width), sizeof(width)) ||
        !file.read(reinterpret_cast<char*>(&height), sizeof(height)) || width <= 0 || height <= 0 ||
        width > 4096 || height > 4096) {
      return false;
    }
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    return static_cast<bool>(file.read(reinterpret_cast<char*>(pixels.data()),
                                       static_cast<std::streamsize>(pixels.size() * 4)));
  }
};

// Pixels of the rectangle that are light, as the face's texts are on their dark fields.
int LightPixels(const Picture& picture, const Rect& r) {
  int light = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const uint32_t p = picture.At(x, y);
      light += ((p >> 16) & 0xFF) >= 160 && ((p >> 8) & 0xFF) >= 160 && (p & 0xFF) >= 160;
    }
  }
  return light;
}

// Pixels inside the 1-pixel frame that differ from the colour of the top-left one, the background.
int InkInsideFrame(const Picture& picture) {
  int ink = 0;
  const uint32_t background = picture.At(1, 1);
  for (int y = 1; y < picture.height - 1; ++y) {
    for (int x = 1; x < picture.width - 1; ++x) ink += picture.At(x, y) != background;
  }
  return ink;
}

// The fonts fontconfig knows in this process.
int InstalledFonts() {
  if (FcInit() != FcTrue) return 0;
  FcFontSet* fonts = FcConfigGetFonts(nullptr, FcSetSystem);
  return fonts ? fonts->nfont : 0;
}

// The file fontconfig gives for a family, or "" when it gives another family.
std::string FontFileOf(const char* family) {
  std::string file;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  if (!pattern) return file;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* name = nullptr;
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
        std::strcmp(reinterpret_cast<const char*>(name), family) == 0 &&
        FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
      file = reinterpret_cast<const char*>(path);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

class X11EditorTest : public ::testing::Test {
 protected:
  static constexpr int kX = 30;  // where the host window sits on the screen
  static constexpr int kY = 40;

  void SetUp() override {
    char folder[] = "/tmp/sarn-x11-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    configFolder = folder;
    setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
    ASSERT_NE(TheModule().entry, nullptr) << dlerror();
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
    root = DefaultRootWindow(display);
    reference = std::make_unique<Sarn>(nullptr);
    TakeCalls();
  }

  void TearDown() override {
    plugs.clear();
    if (display) XCloseDisplay(display);
    reference.reset();
    std::string command = "rm -rf '" + configFolder + "'";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << configFolder;
  }

  Window MakeHostWindow(int x = kX, int y = kY, unsigned width = kFaceWidth, unsigned height = kFaceHeight) {
    Window w = XCreateSimpleWindow(display, root, x, y, width, height, 0, 0, 0);
    XSelectInput(display, w, StructureNotifyMask | KeyPressMask | KeyReleaseMask);
    XMapWindow(display, w);
    XEvent e;
    do {
      XWindowEvent(display, w, StructureNotifyMask, &e);
    } while (e.type != MapNotify);
    return w;
  }

  Plug& NewPlug() {
    plugs.push_back(std::make_unique<Plug>());
    return *plugs.back();
  }

  // Opens the editor of plug in a new host window.
  Window OpenEditor(Plug& plug, int x = kX, int y = kY) {
    const Window w = MakeHostWindow(x, y);
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(w))), 1);
    return w;
  }

  // Calls effEditIdle now and then, as hosts do, until done() or the time is up.
  bool Until(const std::function<bool()>& done, int milliseconds = 3000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      for (auto& p : plugs) p->Dispatch(effEditIdle);
      XSync(display, False);
      if (done()) return true;
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  void Settle(int milliseconds = 120) {
    Until([] { return false; }, milliseconds);
  }

  // The reference face as the headless layer draws it.
  LICE_IBitmap* ReferenceFace() { return SnapshotFace(*reference, {}); }
  IControl* ReferenceControl(int index) { return reference->Graphics()->GetControl(index); }
  int ControlOf(int parameter) {
    IGraphics* g = reference->Graphics();
    for (int i = 0; i < g->NControls(); ++i) {
      if (g->GetControl(i)->ParameterIndex() == parameter) return i;
    }
    return -1;
  }
  template <class T>
  int ControlOfType(int skip = 0) {
    IGraphics* g = reference->Graphics();
    for (int i = 0; i < g->NControls(); ++i) {
      if (dynamic_cast<T*>(g->GetControl(i)) && skip-- == 0) return i;
    }
    return -1;
  }

  // Pixels of the host window that differ from the reference face.
  int Differences(Window w, LICE_IBitmap& face) {
    XImage* image = XGetImage(display, w, 0, 0, static_cast<unsigned>(face.Width()),
                              static_cast<unsigned>(face.Height()), AllPlanes, ZPixmap);
    if (!image) return face.Width() * face.Height();
    int differ = 0;
    for (int y = 0; y < face.Height(); ++y) {
      const LICE_pixel* row = face.Row(y);
      for (int x = 0; x < face.Width(); ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        const LICE_pixel q = row[x];
        const unsigned long expected = static_cast<unsigned long>(q & 0xFFFFFF);
        if ((p & 0xFFFFFF) != expected) {
          ++differ;
        }
      }
    }
    XDestroyImage(image);
    return differ;
  }

  Picture Capture(Window w, int width, int height) {
    Picture picture;
    XImage* image = XGetImage(display, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return picture;
    picture.width = width;
    picture.height = height;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) picture.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    }
    XDestroyImage(image);
    return picture;
  }

  // The face of program 0 as the module's editor shows it, and its program menu opened over it.
  void ShootFaceAndMenu(Picture& face, Picture& menu) {
    Plug& plug = NewPlug();
    const Window w = OpenEditor(plug);
    LICE_IBitmap* expected = ReferenceFace();
    ASSERT_NE(expected, nullptr);
    Until([&] { return Differences(w, *expected) == 0; });
    Settle(100);
    face = Capture(w, kFaceWidth, kFaceHeight);
    const int presets = ControlOfType<IKLPresetMenu>();
    ASSERT_GE(presets, 0);
    const Rect& r = ReferenceControl(presets)->DrawRect();
    ClickAt(kX + r.left + 12, kY + (r.top + r.bottom) / 2);
    ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
    Settle(150);
    const Shown shown = Menus()[0];
    menu = Capture(shown.window, shown.width, shown.height);
    Key(XK_Escape);
    EXPECT_TRUE(Until([&] { return Menus().empty(); }));
    EXPECT_EQ(plug.Dispatch(effEditClose), 1);
  }

  // Viewable windows on the screen, bottom to top, other than the host's.
  std::vector<Shown> ScreenWindows() {
    std::vector<Shown> shown;
    Window r, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &r, &parent, &children, &count)) return shown;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (!XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable) continue;
      shown.push_back({children[i], a.x, a.y, a.width, a.height, a.override_redirect != 0});
    }
    if (children) XFree(children);
    return shown;
  }
  std::vector<Shown> Menus() {
    std::vector<Shown> menus;
    for (const Shown& s : ScreenWindows()) {
      if (s.overrideRedirect) menus.push_back(s);
    }
    return menus;
  }
  // The message box: the top-level window that is neither a menu nor a host window.
  bool FindBox(Shown& box) {
    for (const Shown& s : ScreenWindows()) {
      if (!s.overrideRedirect && !(s.width == kFaceWidth && s.height == kFaceHeight)) {
        box = s;
        return true;
      }
    }
    return false;
  }
  int AllWindows() {
    Window r, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, root, &r, &parent, &children, &count);
    if (children) XFree(children);
    return static_cast<int>(count);
  }

  // Real input, in screen coordinates.
  void MoveTo(int x, int y) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XFlush(display);
    Settle(30);
  }
  void Button(unsigned button, bool down) {
    XTestFakeButtonEvent(display, button, down ? True : False, CurrentTime);
    XFlush(display);
    Settle(30);
  }
  void ClickAt(int x, int y, unsigned button = 1) {
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
  }
  // In editor coordinates, at the middle of a control of the reference face.
  void ClickControl(int index, int dx = 0, int dy = 0) {
    const Rect& r = ReferenceControl(index)->DrawRect();
    ClickAt(kX + (r.left + r.right) / 2 + dx, kY + (r.top + r.bottom) / 2 + dy);
  }
  void Key(KeySym key, bool shift = false) {
    const KeyCode shiftCode = XKeysymToKeycode(display, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    XFlush(display);
    Settle(30);
  }
  // The middle of entry i of a menu window (entries 20 pixels high, separators 7, below a 1-pixel
  // frame), with that many separators before it.
  static void MenuEntry(const Shown& menu, int i, int& x, int& y, int separators = 0) {
    x = menu.x + 40;
    y = menu.y + 1 + 20 * (i - separators) + 7 * separators + 10;
  }
  // Opens the options menu and chooses entry i of it.
  void ChooseOption(int entry, int separators = 0) {
    const int option = ControlOfType<IKLOptionMenu>();
    ASSERT_GE(option, 0);
    // Each time a little to the side, so that two openings in a row are no double click.
    static int shift = 0;
    shift = (shift + 6) % 18;
    ClickControl(option, shift - 9, 0);
    ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
    int x, y;
    MenuEntry(Menus()[0], entry, x, y, separators);
    ClickAt(x, y);
  }
  // A program of the test's own on the search path, in place of a desktop program.
  std::string FakeProgram(const std::string& name, const std::string& script) {
    const std::string folder = configFolder + "/bin";
    std::system(("mkdir -p '" + folder + "'").c_str());
    const std::string path = folder + "/" + name;
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return {};
    std::fprintf(file, "#!/bin/sh\n%s\n", script.c_str());
    std::fclose(file);
    chmod(path.c_str(), 0755);
    return folder;
  }
  static std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
      char buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, n);
      std::fclose(file);
    }
    return text;
  }
  void AnswerBox(bool yes) {
    Shown box{};
    ASSERT_TRUE(Until([&] { return FindBox(box); }));
    Settle(100);
    // Two buttons of 84 x 26, 10 apart, centred, 42 pixels above the bottom edge.
    const int left = box.x + (box.width - 178) / 2;
    const int y = box.y + box.height - 42 + 13;
    ClickAt(yes ? left + 42 : left + 94 + 42, y);
    ASSERT_TRUE(Until([&] { return !FindBox(box); }));
  }

  std::string configFolder;
  Display* display = nullptr;
  Window root = 0;
  std::unique_ptr<Sarn> reference;
  std::vector<std::unique_ptr<Plug>> plugs;
};

// ---------------------------------------------------------------- tests

TEST_F(X11EditorTest, ShowsTheHeadlessFacePixelForPixel) {
  Plug& plug = NewPlug();
  ASSERT_NE(plug.effect, nullptr);
  EXPECT_TRUE(plug.effect->flags & effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, kFaceWidth);
  EXPECT_EQ(rect->bottom - rect->top, kFaceHeight);

  LICE_IBitmap* face = ReferenceFace();
  ASSERT_NE(face, nullptr);
  const Window w = OpenEditor(plug);
  Until([&] { return Differences(w, *face) == 0; });
  EXPECT_EQ(Differences(w, *face), 0);
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
}

// With no font installed at all, the module draws its texts with the face built into it: this process
// shoots the face and a menu with the system's fonts, a child of it the same with a fontconfig that
// knows no font, and both must match to the pixel, the built-in face being the installed file.
TEST_F(X11EditorTest, TextsAreDrawnWhereNoFontIsInstalled) {
  if (const char* shots = std::getenv("SARN_X11_SHOTS")) {
    ASSERT_EQ(InstalledFonts(), 0);
    Picture face, menu;
    ShootFaceAndMenu(face, menu);
    ASSERT_TRUE(face.Save(std::string(shots) + "/face") && menu.Save(std::string(shots) + "/menu"));
    return;
  }
  ASSERT_EQ(FontFileOf("Liberation Sans"), SARN_FALLBACK_FONT);
  Picture face, menu;
  ShootFaceAndMenu(face, menu);
  ASSERT_EQ(face.width, kFaceWidth);
  const Rect number(399, 24, 423, 40), name(449, 24, 641, 40), version(270, 21, 320, 44);
  for (const Rect& field : {number, name, version}) EXPECT_GE(LightPixels(face, field), 10);
  EXPECT_GE(InkInsideFrame(menu), 100);

  const std::string config = configFolder + "/no-fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig/>\n";
  std::vector<std::string> variables = {"FONTCONFIG_FILE=" + config, "SARN_X11_SHOTS=" + configFolder};
  for (char** v = environ; *v; ++v) {
    if (std::strncmp(*v, "FONTCONFIG_", 11) != 0 && std::strncmp(*v, "SARN_X11_SHOTS=", 15) != 0) {
      variables.push_back(*v);
    }
  }
  std::vector<char*> environment;
  for (std::string& v : variables) environment.push_back(&v[0]);
  environment.push_back(nullptr);
  std::string filter = "--gtest_filter=X11EditorTest.TextsAreDrawnWhereNoFontIsInstalled";
  char self[] = "/proc/self/exe";
  char* arguments[] = {self, &filter[0], nullptr};
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execve(self, arguments, environment.data());
    _exit(127);
  }
  int status = -1;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      FAIL() << "the child without fonts did not finish";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  Picture bareFace, bareMenu;
  ASSERT_TRUE(bareFace.Load(configFolder + "/face"));
  ASSERT_TRUE(bareMenu.Load(configFolder + "/menu"));
  for (const Rect& field : {number, name, version}) EXPECT_GE(LightPixels(bareFace, field), 10);
  EXPECT_TRUE(bareFace.width == face.width && bareFace.pixels == face.pixels);
  EXPECT_EQ(bareMenu.width, menu.width);
  EXPECT_EQ(bareMenu.height, menu.height);
  EXPECT_TRUE(bareMenu.pixels == menu.pixels);
}

TEST_F(X11EditorTest, MouseDragButtonWheelAndKeysReachTheInstrument) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(200);

  // A slider dragged 40 pixels up: the gesture is framed by begin and end edit.
  const int cutoff = ControlOf(23);
  ASSERT_GE(cutoff, 0);
  const float before = plug.Get(23);
  const Rect& r = ReferenceControl(cutoff)->DrawRect();
  const int cx = kX + (r.left + r.right) / 2;
  const int cy = kY + (r.top + r.bottom) / 2;
  MoveTo(cx, cy);
  Button(1, true);
  for (int step = 1; step <= 4; ++step) MoveTo(cx, cy - 10 * step);
  Button(1, false);
  EXPECT_TRUE(Until([&] { return plug.Get(23) > before + 0.05f; })) << before << " -> " << plug.Get(23);
  std::vector<HostCall> calls = TakeCalls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
  EXPECT_EQ(calls.front().index, 23);
  EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
  EXPECT_EQ(calls.back().index, 23);
  int automated = 0;
  for (const HostCall& c : calls) automated += c.opcode == audioMasterAutomate && c.index == 23;
  EXPECT_GE(automated, 1);
  EXPECT_NEAR(calls[calls.size() - 2].value, plug.Get(23), 1e-6);

  // A switch clicked once turns over.
  int button = -1;
  for (int i = 0; i < reference->Graphics()->NControls(); ++i) {
    if (ReferenceControl(i)->ParameterIndex() == 12 && ReferenceControl(i)->DrawRect().H() > 10) button = i;
  }
  ASSERT_GE(button, 0);
  const float switchBefore = plug.Get(12);
  ClickControl(button);
  EXPECT_TRUE(Until([&] { return plug.Get(12) != switchBefore; }));

  // One wheel notch up over the tone knob moves it one step up.
  const int tone = ControlOf(2);
  ASSERT_GE(tone, 0);
  const float toneBefore = plug.Get(2);
  const Rect& t = ReferenceControl(tone)->DrawRect();
  MoveTo(kX + (t.left + t.right) / 2, kY + (t.top + t.bottom) / 2);
  Button(4, true);
  Button(4, false);
  EXPECT_TRUE(Until([&] { return plug.Get(2) > toneBefore; })) << toneBefore;
  const float oneNotch = plug.Get(2) - toneBefore;
  EXPECT_GT(oneNotch, 0.0f);
  EXPECT_LT(oneNotch, 0.1f);

  // A key of the on-screen keyboard sounds while it is held.
  const int key = ControlOfType<IKLKey>(20);
  ASSERT_GE(key, 0);
  EXPECT_LT(plug.Peak(), 1e-4f);
  const Rect& k = ReferenceControl(key)->DrawRect();
  MoveTo(kX + (k.left + k.right) / 2, kY + k.bottom - 10);
  Button(1, true);
  float peak = 0.0f;
  EXPECT_TRUE(Until([&] { return (peak = plug.Peak()) > 1e-3f; })) << peak;
  Button(1, false);
}

// A desktop at twice the resolution says so through the X resource Xft.dpi: the editor opens at
// 200 %, shows the headless face drawn at 200 % to the pixel, and a drag of 80 screen pixels moves a
// slider as far as 40 face units do at 100 %.
TEST_F(X11EditorTest, AtXftDpi192TheEditorOpensAtTwiceTheSizeAndDragsInFaceUnits) {
  struct Resources {
    Display* display;
    Resources(Display* d, const char* text) : display(d) {
      XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
      XSync(display, False);
    }
    ~Resources() {
      XDeleteProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER);
      XSync(display, False);
    }
  } resources(display, "Xft.antialias:\t1\nXft.dpi:\t192\n");
  Plug& plug = NewPlug();
  ERect* rect = nullptr;
  ASSERT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, 1544);
  EXPECT_EQ(rect->bottom - rect->top, 1240);
  const Window host = MakeHostWindow(kX, kY, 1544, 1240);
  ASSERT_EQ(plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(host))), 1);
  Window r, parent, *children = nullptr;
  unsigned count = 0;
  ASSERT_TRUE(XQueryTree(display, host, &r, &parent, &children, &count) && count == 1);
  XWindowAttributes editorWindow;
  ASSERT_TRUE(XGetWindowAttributes(display, children[0], &editorWindow));
  XFree(children);
  EXPECT_EQ(editorWindow.width, 1544);
  EXPECT_EQ(editorWindow.height, 1240);

  reference->Graphics()->SetUserScale(200);
  LICE_IBitmap* face = ReferenceFace();
  ASSERT_NE(face, nullptr);
  ASSERT_EQ(face->Width(), 1544);
  Until([&] { return Differences(host, *face) == 0; });
  EXPECT_EQ(Differences(host, *face), 0);

  const int cutoff = ControlOf(23);
  ASSERT_GE(cutoff, 0);
  const Rect& c = ReferenceControl(cutoff)->DrawRect();
  const int cx = (c.left + c.right) / 2;
  const int cy = (c.top + c.bottom) / 2;
  MouseMods left;
  left.left = true;
  auto* headless = static_cast<IGraphicsHeadless*>(reference->Graphics());
  headless->MouseDown(cx, cy, left);
  for (int step = 1; step <= 4; ++step) headless->MouseMove(cx, cy - 10 * step, left);
  headless->MouseUp(cx, cy - 40, MouseMods());
  const float expected = reference->GetAEffect()->getParameter(reference->GetAEffect(), 23);
  const float before = plug.Get(23);
  ASSERT_GT(expected, before + 0.05f);
  MoveTo(kX + 2 * cx, kY + 2 * cy);
  Button(1, true);
  for (int step = 1; step <= 4; ++step) MoveTo(kX + 2 * cx, kY + 2 * cy - 20 * step);
  Button(1, false);
  EXPECT_TRUE(Until([&] { return std::fabs(plug.Get(23) - expected) < 1e-6f; })) << before << " -> " << plug.Get(23)
                                                                                  << ", not " << expected;
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
}

TEST_F(X11EditorTest, AHostLockingInBothDirectionsSeesEveryGestureInOrderAndNeverHangs) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(200);
  const int cutoff = ControlOf(23);
  const int next = ControlOfType<IKLUtilityKick>(1);
  ASSERT_GE(cutoff, 0);
  ASSERT_GE(next, 0);
  const Rect& r = ReferenceControl(cutoff)->DrawRect();
  const int cx = kX + (r.left + r.right) / 2;
  const int cy = kY + (r.top + r.bottom) / 2;

  // A hang fails the test instead of stopping the suite.
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 900 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!finished) {
      std::fprintf(stderr, "the host and the plug-in deadlocked\n");
      std::_Exit(1);
    }
  });
  gHostThread = std::this_thread::get_id();
  gHostLocks = true;
  TakeCalls();
  for (int round = 0; round < 100; ++round) {
    const int y = cy + (round % 2 ? 6 : -6);  // two presses in one place would be a double click
    MoveTo(cx, y);
    Button(1, true);
    MoveTo(cx, y - 5 - round % 7);
    Settle(10);
    MoveTo(cx, y + 3);
    Button(1, false);
    if (round % 10 == 0) ClickControl(next);
    Settle(20);
  }
  Settle(300);
  gHostLocks = false;
  finished = true;
  watchdog.join();

  // Each gesture on the slider is begin, its values, end; none overlaps the next.
  int begins = 0, ends = 0;
  bool open = false;
  for (const HostCall& c : TakeCalls()) {
    if (c.index != 23) continue;
    if (c.opcode == audioMasterBeginEdit) {
      EXPECT_FALSE(open) << "a gesture began inside another";
      open = true;
      ++begins;
    } else if (c.opcode == audioMasterEndEdit) {
      EXPECT_TRUE(open) << "a gesture ended that had not begun";
      open = false;
      ++ends;
    }
  }
  EXPECT_EQ(begins, 100);
  EXPECT_EQ(ends, 100);
  EXPECT_EQ(gCallsOffHostThread.load(), 0);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 10);
}

TEST_F(X11EditorTest, ClosingWhileTheMouseHoldsAKeyOrASliderReleasesBoth) {
  Plug& plug = NewPlug();
  Window host = OpenEditor(plug);
  Settle(200);
  const int key = ControlOfType<IKLKey>(20);
  ASSERT_GE(key, 0);
  const Rect& k = ReferenceControl(key)->DrawRect();
  MoveTo(kX + (k.left + k.right) / 2, kY + k.bottom - 10);
  Button(1, true);
  float peak = 0.0f;
  ASSERT_TRUE(Until([&] { return (peak = plug.Peak()) > 1e-3f; })) << peak;
  plug.Dispatch(effEditClose);
  Button(1, false);
  // The note's release rings out; three seconds later the instrument is quiet.
  for (int i = 0; i < 32; ++i) plug.Peak();
  EXPECT_LT(plug.Peak(), 1e-4f);

  // The middle button on a slider: its release ends the gesture it began, and so does a close while
  // it is held.
  OpenEditor(plug);
  Settle(200);
  TakeCalls();
  const int cutoff = ControlOf(23);
  ASSERT_GE(cutoff, 0);
  ClickControl(cutoff, 0, 0);
  const Rect& r = ReferenceControl(cutoff)->DrawRect();
  MoveTo(kX + (r.left + r.right) / 2, kY + (r.top + r.bottom) / 2);
  Button(2, true);
  Button(2, false);
  Button(1, true);
  Settle(100);
  plug.Dispatch(effEditClose);
  Button(1, false);
  Settle(100);
  int begins = 0, ends = 0;
  for (const HostCall& c : TakeCalls()) {
    begins += c.opcode == audioMasterBeginEdit;
    ends += c.opcode == audioMasterEndEdit;
  }
  EXPECT_EQ(begins, 3);  // the click, the middle button, the held press
  EXPECT_EQ(ends, 3);
  XDestroyWindow(display, host);
}

TEST_F(X11EditorTest, DoubleClicksAreTwoQuickPressesInOnePlace) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(150);
  const int cutoff = ControlOf(23);
  const Rect& r = ReferenceControl(cutoff)->DrawRect();
  const int cx = kX + (r.left + r.right) / 2;
  const int cy = kY + (r.top + r.bottom) / 2;
  const float initial = plug.Get(23);
  auto drag = [&] {
    MoveTo(cx, cy);
    Button(1, true);
    MoveTo(cx, cy - 30);
    Button(1, false);
    Settle(600);
  };
  struct Case {
    int secondDx;   // where the second press lands, from the first
    int pauseMs;    // between the two clicks
    bool restores;  // a double click restores the slider's first value
  };
  const Case cases[] = {{0, 0, true}, {3, 0, true}, {12, 0, false}, {0, 650, false}};
  for (const Case& c : cases) {
    drag();
    const float moved = plug.Get(23);
    ASSERT_GT(moved, initial + 0.05f);
    ClickAt(cx, cy - 30);
    if (c.pauseMs) Settle(c.pauseMs);
    ClickAt(cx + c.secondDx, cy - 30);
    Settle(150);
    if (c.restores) {
      EXPECT_EQ(plug.Get(23), initial) << c.secondDx << " " << c.pauseMs;
    } else {
      EXPECT_EQ(plug.Get(23), moved) << c.secondDx << " " << c.pauseMs;
    }
    Settle(600);
  }
}

TEST_F(X11EditorTest, KeysTheEditorDoesNotUseGoToTheHostWindow) {
  Plug& plug = NewPlug();
  const Window host = OpenEditor(plug);
  Settle(150);
  // A click on the bare background gives the editor the focus; the key then reaches the host.
  ClickAt(kX + 5, kY + 610);
  while (XPending(display)) {
    XEvent e;
    XNextEvent(display, &e);
  }
  Key(XK_q);
  bool forwarded = false;
  Until([&] {
    XEvent e;
    while (XCheckTypedWindowEvent(display, host, KeyPress, &e)) {
      if (e.xkey.send_event && e.xkey.keycode == XKeysymToKeycode(display, XK_q)) forwarded = true;
    }
    return forwarded;
  }, 1500);
  EXPECT_TRUE(forwarded);
}

TEST_F(X11EditorTest, ProgramMenuSelectsAProgramInASubmenu) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(150);
  const int presets = ControlOfType<IKLPresetMenu>();
  ASSERT_GE(presets, 0);
  // The number field is the left part of the control.
  const Rect& r = ReferenceControl(presets)->DrawRect();
  ClickAt(kX + r.left + 12, kY + (r.top + r.bottom) / 2);
  ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
  const Shown top = Menus()[0];
  EXPECT_EQ(top.x, kX + r.left);
  EXPECT_EQ(top.y, kY + r.bottom);
  EXPECT_EQ(top.height, 4 * 20 + 2);
  int x, y;
  MenuEntry(top, 1, x, y);  // "16 - 31"
  MoveTo(x, y);
  ASSERT_TRUE(Until([&] { return Menus().size() == 2; }));
  const Shown group = Menus()[1];
  EXPECT_EQ(group.height, 16 * 20 + 2);
  MenuEntry(group, 1, x, y);  // program 17
  MoveTo(x, y - 20);
  ClickAt(x, y);
  EXPECT_TRUE(Until([&] { return plug.Dispatch(effGetProgram) == 17; }));
  EXPECT_TRUE(Until([&] { return Menus().empty(); }));

  // Escape and a click outside dismiss without choosing.
  ClickAt(kX + r.left + 14, kY + (r.top + r.bottom) / 2);
  ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
  Key(XK_Escape);
  EXPECT_TRUE(Until([&] { return Menus().empty(); }));
  Settle(600);
  ClickAt(kX + r.left + 10, kY + (r.top + r.bottom) / 2);
  ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
  ClickAt(kX + 700, kY + 600);
  EXPECT_TRUE(Until([&] { return Menus().empty(); }));
  EXPECT_EQ(plug.Dispatch(effGetProgram), 17);
}

TEST_F(X11EditorTest, CopyAndPasteProgramWithTheQuestionAnswered) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(150);
  const float original = plug.Get(23);
  ChooseOption(0);  // "Copy Program"
  Settle(100);
  plug.effect->setParameter(plug.effect, 23, original > 0.5f ? 0.1f : 0.9f);
  const float changed = plug.Get(23);
  ASSERT_NE(changed, original);

  Settle(600);
  ChooseOption(1);  // "Paste Program": "Do you really want to overwrite the current program?"
  AnswerBox(false);
  Settle(100);
  EXPECT_EQ(plug.Get(23), changed);

  Settle(600);
  ChooseOption(1);
  AnswerBox(true);
  EXPECT_TRUE(Until([&] { return plug.Get(23) == original; })) << plug.Get(23) << " vs " << original;
}

TEST_F(X11EditorTest, FilesAreChosenWithTheDesktopsChooserAndAMessageSaysWhenThereIsNone) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(150);
  const char* oldPath = std::getenv("PATH");
  const std::string path = oldPath ? oldPath : "/usr/bin:/bin";
  const std::string saved = configFolder + "/saved.fxp";
  const std::string arguments = configFolder + "/arguments";
  // zenity answers with the file and notes how it was asked.
  const std::string bin = FakeProgram("zenity", "printf '%s\\n' \"$@\" > '" + arguments + "'\necho '" + saved + "'");
  setenv("PATH", (bin + ":" + path).c_str(), 1);

  const float original = plug.Get(23);
  ChooseOption(5, 1);  // "Save Program"
  EXPECT_TRUE(Until([&] { return access(saved.c_str(), F_OK) == 0; }));
  const std::string asked = ReadFile(arguments);
  EXPECT_NE(asked.find("--file-selection\n"), std::string::npos) << asked;
  EXPECT_NE(asked.find("--save\n"), std::string::npos) << asked;
  EXPECT_NE(asked.find("--confirm-overwrite\n"), std::string::npos) << asked;
  EXPECT_NE(asked.find("--file-filter=*.fxp\n"), std::string::npos) << asked;

  plug.effect->setParameter(plug.effect, 23, original > 0.5f ? 0.1f : 0.9f);
  Settle(600);
  ChooseOption(4, 1);  // "Load Program"
  EXPECT_TRUE(Until([&] { return plug.Get(23) == original; })) << plug.Get(23) << " vs " << original;
  EXPECT_EQ(ReadFile(arguments).find("--save\n"), std::string::npos);

  // No chooser at all: a message says so, and nothing is loaded.
  setenv("PATH", (configFolder + "/none").c_str(), 1);
  Settle(600);
  ChooseOption(4, 1);
  Shown box{};
  const bool shown = Until([&] { return FindBox(box); });
  setenv("PATH", path.c_str(), 1);
  ASSERT_TRUE(shown);
  Settle(100);
  ClickAt(box.x + box.width / 2, box.y + box.height - 42 + 13);  // "OK"
  EXPECT_TRUE(Until([&] { return !FindBox(box); }));
  EXPECT_EQ(plug.Get(23), original);
}

TEST_F(X11EditorTest, TheWebSiteOpensThroughXdgOpen) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(150);
  const char* oldPath = std::getenv("PATH");
  const std::string path = oldPath ? oldPath : "/usr/bin:/bin";
  const std::string opened = configFolder + "/opened";
  const std::string bin = FakeProgram("xdg-open", "printf '%s' \"$*\" > '" + opened + ".part' && mv '" + opened +
                                                      ".part' '" + opened + "'");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  // "Go Online..." is the last entry, after four separators; its second entry visits the site.
  const int option = ControlOfType<IKLOptionMenu>();
  ClickControl(option);
  ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
  int x, y;
  MenuEntry(Menus()[0], 18, x, y, 4);
  MoveTo(x, y);
  ASSERT_TRUE(Until([&] { return Menus().size() == 2; }));
  MenuEntry(Menus()[1], 1, x, y);
  ClickAt(x, y);
  const bool done = Until([&] { return access(opened.c_str(), F_OK) == 0; });
  setenv("PATH", path.c_str(), 1);
  EXPECT_TRUE(done);
  EXPECT_EQ(ReadFile(opened).rfind("http", 0), 0u) << ReadFile(opened);
}

TEST_F(X11EditorTest, RenameEntryCommitsWithEnterAndCancelsWithEscapeOrWheel) {
  Plug& plug = NewPlug();
  const Window host = OpenEditor(plug);
  Settle(150);
  const int presets = ControlOfType<IKLPresetMenu>();
  const Rect& r = ReferenceControl(presets)->DrawRect();
  const int nameX = kX + r.right - 60;
  const int nameY = kY + (r.top + r.bottom) / 2;
  auto entryOpen = [&] {
    Window rr, parent, *children = nullptr;
    unsigned count = 0;
    Window editor = 0;
    XQueryTree(display, host, &rr, &parent, &children, &count);
    if (count) editor = children[0];
    if (children) XFree(children);
    count = 0;
    children = nullptr;
    if (editor) XQueryTree(display, editor, &rr, &parent, &children, &count);
    if (children) XFree(children);
    return count == 1;
  };

  ClickAt(nameX, nameY);
  ASSERT_TRUE(Until(entryOpen));
  Key(XK_h, true);
  for (KeySym k : {XK_e, XK_l, XK_l, XK_o}) Key(k);
  Key(XK_Return);
  EXPECT_TRUE(Until([&] { return plug.ProgramName() == "Hello"; })) << plug.ProgramName();
  EXPECT_TRUE(Until([&] { return !entryOpen(); }));

  Settle(600);
  ClickAt(nameX + 6, nameY);
  ASSERT_TRUE(Until(entryOpen));
  Key(XK_x);
  Key(XK_Escape);
  EXPECT_TRUE(Until([&] { return !entryOpen(); }));
  EXPECT_EQ(plug.ProgramName(), "Hello");

  Settle(600);
  ClickAt(nameX, nameY);
  ASSERT_TRUE(Until(entryOpen));
  Key(XK_y);
  Button(5, true);
  Button(5, false);
  EXPECT_TRUE(Until([&] { return !entryOpen(); }));
  EXPECT_EQ(plug.ProgramName(), "Hello");

  // A click elsewhere in the editor commits, and reaches no control.
  Settle(600);
  ClickAt(nameX, nameY);
  ASSERT_TRUE(Until(entryOpen));
  Key(XK_b);
  Key(XK_y);
  TakeCalls();
  const float cutoffValue = plug.Get(23);
  const Rect& cutoff = ReferenceControl(ControlOf(23))->DrawRect();
  ClickAt(kX + (cutoff.left + cutoff.right) / 2, kY + (cutoff.top + cutoff.bottom) / 2);
  EXPECT_TRUE(Until([&] { return plug.ProgramName() == "by"; })) << plug.ProgramName();
  EXPECT_EQ(plug.Get(23), cutoffValue);
  for (const HostCall& call : TakeCalls()) {
    EXPECT_NE(call.opcode, audioMasterBeginEdit);
    EXPECT_NE(call.opcode, audioMasterEndEdit);
  }
}

TEST_F(X11EditorTest, OpeningAndClosingLeavesNothingBehind) {
  Plug& first = NewPlug();
  const Window host = MakeHostWindow();
  void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(host));
  // One round first: fonts and caches that live for the process are made then.
  ASSERT_EQ(first.Dispatch(effEditOpen, 0, 0, parent), 1);
  Settle(100);
  first.Dispatch(effEditClose);
  const int descriptors = OpenDescriptors();
  const int windows = AllWindows();
  const int threads = Threads();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(first.Dispatch(effEditOpen, 0, 0, parent), 1);
    first.Dispatch(effEditIdle);
    ASSERT_EQ(first.Dispatch(effEditClose), 1);
  }
  XSync(display, False);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(AllWindows(), windows);
  EXPECT_EQ(Threads(), threads);
  Window r, p, *children = nullptr;
  unsigned count = 0;
  XQueryTree(display, host, &r, &p, &children, &count);
  if (children) XFree(children);
  EXPECT_EQ(count, 0u);

  // Two instances with open editors at once, both showing the face.
  Plug& second = NewPlug();
  LICE_IBitmap* face = ReferenceFace();
  ASSERT_NE(face, nullptr);
  const Window w1 = OpenEditor(first, 10, 10);
  const Window w2 = OpenEditor(second, 800, 660);
  Until([&] { return Differences(w1, *face) == 0 && Differences(w2, *face) == 0; });
  EXPECT_EQ(Differences(w1, *face), 0);
  EXPECT_EQ(Differences(w2, *face), 0);
  EXPECT_EQ(first.Dispatch(effEditClose), 1);
  EXPECT_EQ(second.Dispatch(effEditClose), 1);
  XDestroyWindow(display, w1);
  XDestroyWindow(display, w2);
  XSync(display, False);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(AllWindows(), windows);
  EXPECT_EQ(Threads(), threads);
}

TEST_F(X11EditorTest, ClosingWithAMenuOpenTakesTheMenuAway) {
  Plug& plug = NewPlug();
  OpenEditor(plug);
  Settle(150);
  const int windows = AllWindows();
  const int presets = ControlOfType<IKLPresetMenu>();
  const Rect& r = ReferenceControl(presets)->DrawRect();
  ClickAt(kX + r.left + 12, kY + (r.top + r.bottom) / 2);
  ASSERT_TRUE(Until([&] { return Menus().size() == 1; }));
  const auto start = Clock::now();
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
  XSync(display, False);
  EXPECT_TRUE(Menus().empty());
  EXPECT_EQ(AllWindows(), windows);
  // The editor opens again afterwards.
  EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(MakeHostWindow()))), 1);
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
}

TEST_F(X11EditorTest, NoDisplayOrNoWindowRefusesToOpenQuickly) {
  Plug& plug = NewPlug();
  const Window host = MakeHostWindow();
  void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(host));
  const std::string server = std::getenv("DISPLAY");
  struct Case {
    const char* display;  // null: unset
    void* parent;
  };
  const Case cases[] = {
      {nullptr, parent},                    // no DISPLAY
      {"", parent},                         // empty
      {":4711", parent},                    // no such server
      {"127.0.0.1:4711", parent},           // no server on that port
      {"192.0.2.1:0", parent},              // a host that does not answer
      {server.c_str(), reinterpret_cast<void*>(static_cast<uintptr_t>(0x3fffffe))},  // no such window
      {server.c_str(), nullptr},           // no window at all
  };
  for (const Case& c : cases) {
    if (c.display) {
      setenv("DISPLAY", c.display, 1);
    } else {
      unsetenv("DISPLAY");
    }
    const auto start = Clock::now();
    EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, c.parent), 0) << (c.display ? c.display : "(unset)");
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000)) << (c.display ? c.display : "(unset)");
    plug.Dispatch(effEditClose);
  }
  setenv("DISPLAY", server.c_str(), 1);
  EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, parent), 1);
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
  // The instrument still plays with no editor.
  EXPECT_TRUE(std::isfinite(plug.Peak()));
}

TEST_F(X11EditorTest, AHostThatClosesThePlugInWithItsEditorOpenIsSurvived) {
  const Window host = MakeHostWindow();
  void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(host));
  const int descriptors = OpenDescriptors();
  for (int i = 0; i < 20; ++i) {
    auto plug = std::make_unique<Plug>();
    ASSERT_EQ(plug->Dispatch(effEditOpen, 0, 0, parent), 1);
    // The editor is busy drawing host changes when the plug-in goes.
    for (int p = 0; p < 60; ++p) plug->effect->setParameter(plug->effect, p, static_cast<float>(p * 7 % 11) / 10.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 5 * 10));
    plug.reset();
  }
  XSync(display, False);
  Window r, p, *children = nullptr;
  unsigned count = 0;
  XQueryTree(display, host, &r, &p, &children, &count);
  if (children) XFree(children);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(X11EditorTest, TheHostWindowVanishingUnderTheEditorIsSurvived) {
  Plug& plug = NewPlug();
  const Window host = OpenEditor(plug);
  Settle(150);
  XDestroyWindow(display, host);
  XSync(display, False);
  // Edits that make the editor draw, while its window is gone.
  plug.effect->setParameter(plug.effect, 23, 0.25f);
  plug.effect->setParameter(plug.effect, 2, 0.75f);
  Settle(300);
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
  EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(MakeHostWindow()))), 1);
  Settle(100);
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new XvfbEnvironment("1600x1300x24"));
  return RUN_ALL_TESTS();
}
