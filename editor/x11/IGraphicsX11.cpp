#include "editor/x11/IGraphicsX11.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "editor/DialogDrawing.h"
#include "editor/DisplayScale.h"
#include "editor/EditorFactory.h"
#include "editor/EditorHost.h"
#include "editor/IControl.h"
#include "editor/PopupMenu.h"
#include "editor/linux/ProcessFolders.h"
#include "editor/x11/X11Session.h"

namespace {

constexpr int kCloseWaitMs = 1000;
constexpr int kConnectTimeoutMs = 1000;

// A display on another host is reached over TCP; an unreachable one would stall XOpenDisplay for as
// long as the system's connect timeout, so it is tried first with a short one. Local displays fail fast.
bool DisplayReachable(const char* name) {
  if (!name || !name[0]) return false;
  const std::string text(name);
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = text.substr(0, colon);
  if (host.empty() || host == "unix" || host.find('/') != std::string::npos) return true;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const int number = std::atoi(text.c_str() + colon + 1);
  if (number < 0 || number > 1000) return false;
  const std::string port = std::to_string(6000 + number);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) return false;
  bool reached = false;
  for (addrinfo* a = found; a && !reached; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      reached = true;
    } else if (errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof(error);
      reached = poll(&p, 1, kConnectTimeoutMs) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                error == 0;
    }
    close(fd);
  }
  freeaddrinfo(found);
  return reached;
}

MouseMods ModsFromState(unsigned state) {
  MouseMods mods;
  mods.left = (state & Button1Mask) != 0;
  mods.right = (state & Button3Mask) != 0;
  mods.shift = (state & ShiftMask) != 0;
  mods.control = (state & ControlMask) != 0;
  mods.alt = (state & Mod1Mask) != 0;
  return mods;
}

// The arrows by name; Latin-1 key symbols are their characters.
EditorKey KeyOf(KeySym key) {
  switch (key) {
    case XK_Up: return kKeyUp;
    case XK_Down: return kKeyDown;
    case XK_Left: return kKeyLeft;
    case XK_Right: return kKeyRight;
    default: return key < 0x80 ? EditorKeyOfCharacter(static_cast<int>(key)) : kKeyNone;
  }
}

// The outermost window below the root that holds window.
Window TopLevelOf(Display* display, Window window) {
  Window current = window;
  for (int depth = 0; depth < 64; ++depth) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, current, &root, &up, &children, &count)) return window;
    if (children) XFree(children);
    if (up == 0 || up == root) return current;
    current = up;
  }
  return current;
}

bool ChooseVisual(Display* display, int screen, X11Pixels& pixels) {
  XVisualInfo info{};
  if (XMatchVisualInfo(display, screen, 24, TrueColor, &info) && info.red_mask == 0xFF0000 &&
      info.green_mask == 0xFF00 && info.blue_mask == 0xFF) {
    pixels.visual = info.visual;
    pixels.depth = 24;
    pixels.direct = true;
    return true;
  }
  pixels.visual = DefaultVisual(display, screen);
  pixels.depth = DefaultDepth(display, screen);
  pixels.direct = false;
  return pixels.visual != nullptr;
}

// The session whose thread this is: the platform services find their window through it, never
// through the editor's own pointer, which the host's thread changes when it closes the window.
thread_local X11Session* tSession = nullptr;

}  // namespace

// ---------------------------------------------------------------- the session

X11Session::~X11Session() {
  if (thread.joinable()) thread.join();
  if (wakeRead >= 0) close(wakeRead);
  if (wakeWrite >= 0) close(wakeWrite);
}

bool X11Session::Open(Window parentWindow) {
  const char* name = std::getenv("DISPLAY");
  if (!parentWindow || !DisplayReachable(name)) return false;
  display = XOpenDisplay(name);
  if (!display) return false;
  RegisterDisplay(display);
  XWindowAttributes attributes{};
  bool ok = XGetWindowAttributes(display, parentWindow, &attributes) != 0 && TakeDisplayError(display) == 0;
  if (ok) {
    parent = parentWindow;
    root = attributes.root;
    screen = XScreenNumberOfScreen(attributes.screen);
    ok = ChooseVisual(display, screen, pixels);
  }
  if (ok) {
    XSetWindowAttributes set{};
    unsigned long mask = CWEventMask | CWBorderPixel | CWBackPixmap;
    set.background_pixmap = None;
    set.border_pixel = 0;
    set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                     KeyReleaseMask | StructureNotifyMask;
    // A window that copies its parent's colormap must have its parent's visual; the host's window may
    // have another one than the screen's default (GTK 3's plugs, which suil gives LV2 UIs).
    if (pixels.visual != attributes.visual) {
      colormap = XCreateColormap(display, root, pixels.visual, AllocNone);
      set.colormap = colormap;
      mask |= CWColormap;
    }
    // The size the host was told; the window's thread draws at that scale from its first tick.
    window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(editor.WindowWidth()),
                           static_cast<unsigned>(editor.WindowHeight()), 0, pixels.depth, InputOutput, pixels.visual, mask,
                           &set);
    XStoreName(display, window, "IPlug");
    XClassHint hint{const_cast<char*>("IPlug"), const_cast<char*>("IPlugWndClass")};
    XSetClassHint(display, window, &hint);
    gc = XCreateGC(display, window, 0, nullptr);
    XMapWindow(display, window);
    XSync(display, False);
    ok = TakeDisplayError(display) == 0;
  }
  if (ok) hostTopLevel = TopLevelOf(display, parent);
  int fds[2];
  if (ok && pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead = fds[0];
    wakeWrite = fds[1];
  } else {
    ok = false;
  }
  if (!ok) {
    if (gc) XFreeGC(display, gc);
    if (window) XDestroyWindow(display, window);
    if (colormap) XFreeColormap(display, colormap);
    XSync(display, False);
    UnregisterDisplay(display);
    XCloseDisplay(display);
    display = nullptr;
    gc = nullptr;
    window = 0;
    colormap = 0;
  }
  return ok;
}

void X11Session::Start() {
  thread = std::thread([this] { Run(); });
}

void X11Session::Wake() {
  if (wakeWrite < 0) return;
  const char byte = 1;
  if (write(wakeWrite, &byte, 1) < 0) {
    // The pipe is full: the thread is already due to wake.
  }
}

bool X11Session::Stop(int timeoutMs) {
  stop.store(true, std::memory_order_release);
  Wake();
  {
    std::unique_lock<std::mutex> hold(doneLock);
    done.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return Finished(); });
  }
  if (!Finished()) return false;
  if (thread.joinable()) thread.join();
  return true;
}

void X11Session::Run() {
  threadId = std::this_thread::get_id();
  tSession = this;
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::milliseconds(1000 / std::max(editor.FrameRate(), 1));
  auto nextTick = Clock::now();
  {
    // The whole face is drawn at the first tick.
    std::lock_guard<std::mutex> hold(editor.mEditorLock);
    editor.MarkAllDirty();
  }
  while (!Stopping()) {
    const auto now = Clock::now();
    using std::chrono::milliseconds;
    const int timeout =
        now >= nextTick ? 0 : static_cast<int>(std::chrono::duration_cast<milliseconds>(nextTick - now).count()) + 1;
    if (!WaitForDisplay(display, wakeRead, timeout)) broken = true;
    char drain[64];
    while (read(wakeRead, drain, sizeof(drain)) > 0) {
    }
    if (Stopping()) break;
    std::lock_guard<std::mutex> hold(editor.mEditorLock);
    while (!Stopping() && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      Handle(event);
    }
    if (Clock::now() >= nextTick && !Stopping()) {
      Tick();
      nextTick += period;
      if (nextTick < Clock::now()) nextTick = Clock::now() + period;
    }
    XFlush(display);
    TakeDisplayError(display);
  }
  {
    std::lock_guard<std::mutex> hold(editor.mEditorLock);
    if (entry.control) CloseEntry();
    editor.ReleaseMouseHold();
  }
  uiFont.reset();
  uiBoldFont.reset();
  if (!broken) {
    if (gc) XFreeGC(display, gc);
    if (!windowGone) XDestroyWindow(display, window);
    if (colormap) XFreeColormap(display, colormap);
    XSync(display, False);
  }
  UnregisterDisplay(display);
  XCloseDisplay(display);
  display = nullptr;
  {
    std::lock_guard<std::mutex> hold(doneLock);
    finished.store(true, std::memory_order_release);
  }
  tSession = nullptr;
  done.notify_all();
}

void X11Session::Tick() {
  if (entry.control && entry.model.Ending() != TextEntryModel::State::kEditing) {
    FinishEntry();
    return;
  }
  Rect area;
  if (editor.CollectDirtyArea(area)) editor.PaintArea(area);
}

void X11Session::Put(const Rect& rect) {
  if (windowGone || broken || !editor.Surface()) return;
  LICE_IBitmap& surface = *editor.Surface();
  LICE_Rect area{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, surface.Width()),
                 std::min(rect.bottom, surface.Height())};
  if (area.right <= area.left || area.bottom <= area.top) return;
  PutBitmap(display, window, gc, pixels, surface, area, area.left, area.top);
}

void X11Session::HandleWhileModal(XEvent& event) {
  if (event.xany.window != window) return;
  if (event.type == Expose) {
    Put(Rect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
             event.xexpose.y + event.xexpose.height));
  } else if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
    windowGone = true;
  }
}

void X11Session::Handle(XEvent& event) {
  if (entry.control && event.xany.window == entry.window) {
    if (event.type == Expose) {
      DrawEntry();
      return;
    }
    if (event.type == ButtonPress) {
      if (event.xbutton.button == Button4 || event.xbutton.button == Button5) entry.model.Cancel();
      return;  // a click inside the entry keeps it open
    }
  }
  switch (event.type) {
    case Expose:
      if (event.xany.window == window) {
        Put(Rect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                 event.xexpose.y + event.xexpose.height));
      }
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window) windowGone = true;
      break;
    case ButtonPress: {
      const XButtonEvent& b = event.xbutton;
      if (b.button == Button4 || b.button == Button5) {
        if (entry.control) {
          entry.model.Cancel();
        } else {
          editor.HandleWindowEvent(
              {WindowEvent::kWheel, b.x, b.y, ModsFromState(b.state), b.button == Button4 ? 120 : -120});
        }
        break;
      }
      if (b.button != Button1 && b.button != Button2 && b.button != Button3) break;
      if (entry.control) {
        // The press only ends the entry; its release must not reach a control either.
        entry.model.Commit();
        swallowRelease |= 1u << b.button;
        break;
      }
      XSetInputFocus(display, window, RevertToParent, b.time);
      MouseMods mods = ModsFromState(b.state);
      if (b.button == Button1) mods.left = true;
      if (b.button == Button3) mods.right = true;
      const bool doubleClick = doubleClicks.Press(b.time, b.x, b.y, b.button == Button1);
      editor.HandleWindowEvent({doubleClick ? WindowEvent::kDoubleClick : WindowEvent::kPress, b.x, b.y, mods});
      break;
    }
    case ButtonRelease: {
      const XButtonEvent& b = event.xbutton;
      if (b.button > Button5) break;
      if (swallowRelease & (1u << b.button)) {
        swallowRelease &= ~(1u << b.button);
        break;
      }
      if (b.button != Button1 && b.button != Button2 && b.button != Button3) break;
      MouseMods mods = ModsFromState(b.state);
      if (b.button == Button1) mods.left = false;
      if (b.button == Button3) mods.right = false;
      editor.HandleWindowEvent({WindowEvent::kRelease, b.x, b.y, mods});
      break;
    }
    case MotionNotify: {
      // Only the latest position of a burst matters.
      while (XCheckTypedWindowEvent(display, window, MotionNotify, &event)) {
      }
      const XMotionEvent& m = event.xmotion;
      const MouseMods mods = ModsFromState(m.state);
      // While an entry is open a held button drags nothing.
      if (!entry.control || !(mods.left || mods.right)) editor.HandleWindowEvent({WindowEvent::kMove, m.x, m.y, mods});
      break;
    }
    case KeyPress:
    case KeyRelease: {
      XKeyEvent& k = event.xkey;
      if (entry.control) {
        if (event.type == KeyPress) EntryKey(k);
        break;
      }
      bool taken = false;
      if (event.type == KeyPress) {
        // At the pointer's position when the key went down (the event's own coordinates).
        taken = editor.HandleWindowEvent({WindowEvent::kKey, k.x, k.y, {}, 0, KeyOf(XLookupKeysym(&k, 0))});
      }
      if (!taken && hostTopLevel) {
        // The host's own window gets the keys the editor does not use.
        XEvent forward = event;
        forward.xkey.window = hostTopLevel;
        forward.xkey.subwindow = None;
        XSendEvent(display, hostTopLevel, False, event.type == KeyPress ? KeyPressMask : KeyReleaseMask, &forward);
      }
      break;
    }
    default:
      break;
  }
}

LICE_CachedFont* X11Session::UiFont() {
  if (!uiFont) uiFont = MakeFont("Arial", 15, false, false);
  return uiFont.get();
}

// ---------------------------------------------------------------- the text entry

void X11Session::OpenEntry(IControl* control, const TextStyle& style, const Rect& faceRect, const std::string& text,
                           int parameter) {
  // The entry lies over the control in window pixels and writes at the face's scale.
  const Rect rect = editor.ToPixels(faceRect);
  entry.control = control;
  entry.parameter = parameter;
  entry.rect = rect;
  entry.style = style;
  entry.style.cachedFont = nullptr;
  entry.model.Open(text, control->TextEntryLength(), EntryAccepts(parameter));
  entry.font = MakeFont(style.face.c_str(), editor.ToPixels(style.size), style.style == TextStyle::kBold,
                        style.style == TextStyle::kItalic);
  const int width = std::max(rect.W() + 1, 1);
  const int height = std::max(rect.H() + 1, 1);
  entry.bitmap.Resize(width, height);
  XSetWindowAttributes set{};
  set.background_pixmap = None;
  set.border_pixel = 0;
  set.event_mask = ExposureMask | ButtonPressMask | KeyPressMask;
  unsigned long mask = CWEventMask | CWBorderPixel | CWBackPixmap;
  if (colormap) {
    set.colormap = colormap;
    mask |= CWColormap;
  }
  entry.window = XCreateWindow(display, window, rect.left, rect.top, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 0, pixels.depth, InputOutput, pixels.visual, mask, &set);
  XMapWindow(display, entry.window);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  DrawEntry();
}

void X11Session::DrawEntry() {
  if (!entry.control || !entry.window) return;
  LICE_MemBitmap& b = entry.bitmap;
  const Colour& back = entry.style.entryBackground;
  const Colour& fore = entry.style.entryText;
  const LICE_pixel background = LICE_RGBA(back.R, back.G, back.B, 255);
  for (int y = 0; y < b.Height(); ++y) std::fill(b.Row(y), b.Row(y) + b.Width(), background);
  if (entry.font) {
    LICE_Rect box{2, 0, b.Width() - 2, b.Height()};
    const std::string& text = entry.model.Text();
    const int textWidth = dialog::TextWidth(*entry.font, text);
    const int lineHeight = entry.font->LineHeight();
    box.top = std::max((b.Height() - lineHeight) / 2, 0);
    box.bottom = box.top + lineHeight;
    int flags = LICE_DT_NOCLIP;
    if (entry.style.align == TextStyle::kAlignCentre) flags |= LICE_DT_CENTER;
    if (entry.style.align == TextStyle::kAlignRight) flags |= LICE_DT_RIGHT;
    int textLeft = box.left;
    if (entry.style.align == TextStyle::kAlignCentre) textLeft = box.left + (box.Width() - textWidth) / 2;
    if (entry.style.align == TextStyle::kAlignRight) textLeft = box.right - textWidth;
    if (entry.model.AllSelected() && !text.empty()) {
      // The selection shows in the text colour with the background's colour on it.
      const LICE_pixel selected = LICE_RGBA(fore.R, fore.G, fore.B, 255);
      for (int y = box.top; y < std::min(box.bottom, b.Height()); ++y) {
        for (int x = std::max(textLeft, 0); x < std::min(textLeft + textWidth, b.Width()); ++x) b.Row(y)[x] = selected;
      }
      entry.font->SetTextColor(background);
    } else {
      entry.font->SetTextColor(LICE_RGBA(fore.R, fore.G, fore.B, 255));
    }
    entry.font->DrawText(&b, text.c_str(), static_cast<int>(text.size()), &box, flags);
    if (!entry.model.AllSelected()) {
      const int caret = std::min(textLeft + textWidth, b.Width() - 1);
      const LICE_pixel ink = LICE_RGBA(fore.R, fore.G, fore.B, 255);
      for (int y = box.top; y < std::min(box.bottom, b.Height()); ++y) {
        if (caret >= 0) b.Row(y)[caret] = ink;
      }
    }
  }
  PutBitmap(display, entry.window, gc, pixels, b, LICE_Rect{0, 0, b.Width(), b.Height()}, 0, 0);
}

TextEntryModel::Accepts X11Session::EntryAccepts(int parameter) {
  if (parameter < 0) return TextEntryModel::Accepts::kText;
  // A number box; a switch takes no decimal point.
  EditorParameter definition;
  const bool isSwitch =
      editor.Plug() && editor.Plug()->DescribeParameter(parameter, definition) && definition.isBoolean;
  return isSwitch ? TextEntryModel::Accepts::kWholeNumber : TextEntryModel::Accepts::kNumber;
}

void X11Session::EntryKey(XKeyEvent& event) {
  char typed[32] = {};
  KeySym key = 0;
  const int count = XLookupString(&event, typed, sizeof(typed) - 1, &key, nullptr);
  const DialogKey dialogKey = DialogKeyOf(key);
  const bool changed = dialogKey != DialogKey::kOther
                           ? entry.model.Key(dialogKey)
                           : count == 1 && entry.model.Type(static_cast<unsigned char>(typed[0]));
  if (changed) DrawEntry();
}

void X11Session::CloseEntry() {
  if (entry.window && !windowGone && !broken) XDestroyWindow(display, entry.window);
  entry.window = 0;
  entry.control = nullptr;
  entry.parameter = -1;
  entry.font.reset();
}

bool X11Session::FinishEntry() {
  const bool commit = entry.model.Ending() == TextEntryModel::State::kCommit;
  IControl* control = entry.control;
  const int parameter = entry.parameter;
  const std::string text = entry.model.Text().substr(0, 31 * 4);
  CloseEntry();
  if (commit) editor.ApplyTextEntry(control, parameter, text);
  return commit;
}

// ---------------------------------------------------------------- the layer

IGraphicsX11::IGraphicsX11(EditorHost* plug, int width, int height) : IGraphics(plug, width, height) {}

IGraphicsX11::~IGraphicsX11() { CloseAllWindows(); }

void IGraphicsX11::CloseAllWindows() {
  mOpen.store(false, std::memory_order_release);
  if (mSession) mSession->Stop(INT_MAX);
  mSession.reset();
  ReapClosed(true);
}

void IGraphicsX11::ReapClosed(bool wait) {
  for (auto it = mClosed.begin(); it != mClosed.end();) {
    if (wait || (*it)->Finished()) {
      (*it)->Stop(INT_MAX);
      it = mClosed.erase(it);
    } else {
      ++it;
    }
  }
}

X11Session* IGraphicsX11::Current() const { return tSession && &tSession->editor == this ? tSession : nullptr; }

bool IGraphicsX11::OpenWindow(void* parent) {
  if (mSession) CloseWindow();
  ReapClosed(false);
  auto session = std::make_unique<X11Session>(*this);
  if (!session->Open(static_cast<Window>(reinterpret_cast<uintptr_t>(parent)))) return false;
  mSession = std::move(session);
  mOpen.store(true, std::memory_order_release);
  mSession->Start();
  return true;
}

void IGraphicsX11::CloseWindow() {
  if (!mSession) return;
  mOpen.store(false, std::memory_order_release);
  std::unique_ptr<X11Session> session = std::move(mSession);
  if (!session->Stop(kCloseWaitMs)) mClosed.push_back(std::move(session));
}

bool IGraphicsX11::IsWindowOpen() const { return mOpen.load(std::memory_order_acquire); }

int IGraphicsX11::DetectScale() {
  // The desktop's font resolution (Xft.dpi, which the desktop's scaling sets), else GTK's GDK_SCALE.
  const char* name = std::getenv("DISPLAY");
  if (DisplayReachable(name)) {
    if (Display* display = XOpenDisplay(name)) {
      const char* resources = XResourceManagerString(display);
      const int percent = resources ? DisplayScale::FromXResources(resources) : 0;
      XCloseDisplay(display);
      if (percent != 0) return percent;
    }
  }
  return DisplayScale::FromGdkScale(std::getenv("GDK_SCALE"));
}

void IGraphicsX11::WindowScaleChanged() {
  X11Session* s = Current();
  if (!s || s->broken || s->windowGone) return;
  if (s->entry.control) s->entry.model.Cancel();
  XResizeWindow(s->display, s->window, static_cast<unsigned>(ToPixels(Width())), static_cast<unsigned>(ToPixels(Height())));
}

void* IGraphicsX11::NativeWindow() const {
  const X11Session* s = Current() ? Current() : mSession.get();
  return s ? reinterpret_cast<void*>(static_cast<uintptr_t>(s->window)) : nullptr;
}

void IGraphicsX11::CopyToWindow(const Rect& rect) {
  if (X11Session* s = Current()) s->Put(rect);
}

void IGraphicsX11::CancelTextEntry() {
  X11Session* s = Current();
  if (s && s->entry.control) s->entry.model.Cancel();
}

void IGraphicsX11::OpenTextEntry(IControl* control, const TextStyle& style, const Rect& rect, const std::string& text,
                                 int parameter) {
  X11Session* s = Current();
  if (!control || !s || s->entry.control || s->Stopping()) return;
  s->OpenEntry(control, style, rect, text, parameter);
}

PopupMenu* IGraphicsX11::ShowPopupMenu(PopupMenu& menu, const Rect& rect) {
  ReleaseCapture();
  X11Session* s = Current();
  if (!s || s->Stopping()) return nullptr;
  PopupMenu* chosen = RunPopupMenu(*s, menu, ToPixels(rect));
  // Clicks in the menu came between: the next press in the editor starts afresh.
  s->doubleClicks.Forget();
  MarkAllDirty();
  return chosen;
}

int IGraphicsX11::ShowMessage(const char* text, const char* caption, int type) {
  if (X11Session* s = Current()) {
    if (s->Stopping()) return (type & 0xF) == kMessageYesNo ? kAnswerNo : kAnswerOk;
    const int answer = RunMessageBox(s->display, s, s->window, text, caption, type);
    s->doubleClicks.Forget();
    return answer;
  }
  // Asked from another thread (or with no window): a connection of the box's own.
  const char* name = std::getenv("DISPLAY");
  if (!DisplayReachable(name)) return 0;
  Display* display = XOpenDisplay(name);
  if (!display) return 0;
  RegisterDisplay(display);
  const int answer = RunMessageBox(display, nullptr, 0, text, caption, type);
  XSync(display, False);
  UnregisterDisplay(display);
  XCloseDisplay(display);
  return answer;
}

bool IGraphicsX11::OpenWebAddress(const char* url, const char* caption, const char* question,
                                  const char* failureText) {
  if (question && question[0] && ShowMessage(question, caption, kMessageYesNo) != kAnswerYes) return false;
  const std::string opener = FindProgram("xdg-open");
  if (url && url[0] && !opener.empty() && StartDetached({opener, url})) return true;
  if (failureText && failureText[0]) ShowMessage(failureText, caption, kMessageOk);
  return false;
}

void IGraphicsX11::PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) {
  X11Session* s = Current();
  if (!s || s->Stopping()) {
    file.clear();
    return;
  }
  const bool save = action == kFileSave;
  std::string start = folder.empty() ? DesktopFolder() : folder;
  if (!start.empty() && start.back() != '/') start += '/';
  std::string patterns;
  std::string firstExtension;
  for (const std::string& extension : FileExtensions(extensions)) {
    if (firstExtension.empty()) firstExtension = extension;
    patterns += (patterns.empty() ? "*." : " *.") + extension;
  }
  std::vector<std::string> argv;
  std::string program = FindProgram("zenity");
  if (!program.empty()) {
    argv = {program, "--file-selection", "--title", save ? "Save File" : "Open File", "--filename", start + file};
    if (save) {
      argv.push_back("--save");
      argv.push_back("--confirm-overwrite");
    }
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
  } else if (!(program = FindProgram("kdialog")).empty()) {
    argv = {program, save ? "--getsavefilename" : "--getopenfilename", start + file};
    if (!patterns.empty()) argv.push_back(patterns);
  }
  if (argv.empty()) {
    file.clear();
    ShowMessage("No file chooser is available on this system: install zenity or kdialog to choose files.",
                save ? "Save File" : "Open File", kMessageError);
    return;
  }
  std::string output;
  const int status = RunAndRead(argv, output, &s->stop, s->wakeRead);
  s->doubleClicks.Forget();
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  MarkAllDirty();
  if (status != 0 || output.empty() || output[0] != '/') {
    file.clear();
    return;
  }
  // A name typed without extension gets the first one, as the Windows dialog gives its default.
  if (save && !firstExtension.empty() && output.find('.', output.rfind('/')) == std::string::npos) {
    output += "." + firstExtension;
  }
  file = output;
  folder = FolderWithSeparator(output);
}

std::string IGraphicsX11::HostProgramFolder() { return RunningProgramFolder(); }

std::string IGraphicsX11::ModuleFolder() { return ThisModuleFolder(); }

std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height) {
  return std::make_unique<IGraphicsX11>(plug, width, height);
}
