// Pop-up menus and message boxes as windows of our own, drawn with our raster layer and text. Both run
// a loop of their own on the editor's thread until they are answered or the editor closes; meanwhile
// the editor window only repaints what is uncovered.
#include <X11/Xatom.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/DialogDrawing.h"
#include "editor/IGraphics.h"
#include "editor/MenuTracker.h"
#include "editor/MessageBoxWidget.h"
#include "editor/PopupMenu.h"
#include "editor/x11/X11Session.h"

namespace {

Window CreatePopup(X11Session& s, int x, int y, int width, int height, bool overrideRedirect, long events) {
  XSetWindowAttributes set{};
  set.override_redirect = overrideRedirect ? True : False;
  set.save_under = True;
  set.background_pixmap = None;
  set.border_pixel = 0;
  set.event_mask = events;
  unsigned long mask = CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWBorderPixel | CWEventMask;
  if (s.colormap) {
    set.colormap = s.colormap;
    mask |= CWColormap;
  }
  return XCreateWindow(s.display, s.root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                       s.pixels.depth, InputOutput, s.pixels.visual, mask, &set);
}

// ---------------------------------------------------------------- menus

// The levels of a running menu as windows of their own, and its loop of events.
class MenuRun : public MenuView {
 public:
  explicit MenuRun(X11Session& session) : MenuRun(session, RootOf(session)) {}
  ~MenuRun() override { tracker.CloseAll(); }

  void LevelOpened(int level) override {
    const MenuLayout& layout = tracker.Layout(level);
    windows.push_back(std::make_unique<LevelWindow>());
    LevelWindow& w = *windows.back();
    w.bitmap.Resize(layout.Width(), layout.Height());
    w.window = CreatePopup(s, layout.X(), layout.Y(), layout.Width(), layout.Height(), true, ExposureMask);
    XMapRaised(s.display, w.window);
    Draw(level);
  }
  void LevelClosing(int) override {
    if (!s.broken) XDestroyWindow(s.display, windows.back()->window);
    windows.pop_back();
  }
  void LevelChanged(int level) override { Draw(level); }

  PopupMenu* Run(PopupMenu& menu, const Rect& rect) {
    int rx = 0;
    int ry = 0;
    Window child = 0;
    XTranslateCoordinates(s.display, s.window, s.root, rect.left, rect.bottom, &rx, &ry, &child);
    int anchorX = 0;
    int anchorY = 0;
    XTranslateCoordinates(s.display, s.window, s.root, rect.left, rect.top, &anchorX, &anchorY, &child);
    tracker.Open(menu, MenuPlace{rx, ry, rx, anchorY});
    const Window grabber = windows.front()->window;
    const unsigned events = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    XGrabPointer(s.display, grabber, True, events, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XGrabKeyboard(s.display, grabber, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    XFlush(s.display);
    while (!tracker.Done() && !s.Stopping()) {
      if (XPending(s.display) == 0 && !WaitForDisplay(s.display, s.wakeRead, 100)) s.broken = true;
      char drain[64];
      while (read(s.wakeRead, drain, sizeof(drain)) > 0) {
      }
      while (!tracker.Done() && !s.Stopping() && XPending(s.display) > 0) {
        XEvent e;
        XNextEvent(s.display, &e);
        Handle(e);
      }
    }
    if (!s.broken) {
      XUngrabKeyboard(s.display, CurrentTime);
      XUngrabPointer(s.display, CurrentTime);
    }
    tracker.CloseAll();
    XFlush(s.display);
    return tracker.Chosen();
  }

 private:
  struct LevelWindow {
    Window window = 0;
    LICE_MemBitmap bitmap;
  };

  MenuRun(X11Session& session, const XWindowAttributes& root)
      : s(session), tracker(dialog::WidthsOf(session.UiFont()), root.width, root.height, this) {}
  static XWindowAttributes RootOf(X11Session& session) {
    XWindowAttributes root{};
    XGetWindowAttributes(session.display, session.root, &root);
    return root;
  }

  void Draw(int level) {
    LICE_MemBitmap& b = windows[static_cast<size_t>(level)]->bitmap;
    tracker.Layout(level).Draw(b, s.UiFont(), tracker.Hovered(level));
    PutBitmap(s.display, windows[static_cast<size_t>(level)]->window, s.gc, s.pixels, b,
              LICE_Rect{0, 0, b.Width(), b.Height()}, 0, 0);
  }

  void Handle(XEvent& e) {
    switch (e.type) {
      case Expose:
        for (size_t l = 0; l < windows.size(); ++l) {
          if (windows[l]->window == e.xany.window) Draw(static_cast<int>(l));
        }
        s.HandleWhileModal(e);
        break;
      case DestroyNotify:
        s.HandleWhileModal(e);
        break;
      case MotionNotify:
        while (XCheckTypedEvent(s.display, MotionNotify, &e)) {
        }
        tracker.Move(e.xmotion.x_root, e.xmotion.y_root);
        break;
      case ButtonPress:
        if (e.xbutton.button == Button1 || e.xbutton.button == Button2 || e.xbutton.button == Button3) {
          tracker.Press(e.xbutton.x_root, e.xbutton.y_root);
        }
        break;
      case ButtonRelease:
        if (e.xbutton.button == Button1 || e.xbutton.button == Button3) {
          tracker.Release(e.xbutton.x_root, e.xbutton.y_root);
        }
        break;
      case KeyPress: {
        const DialogKey key = DialogKeyOf(XLookupKeysym(&e.xkey, 0));
        if (key == DialogKey::kEscape) tracker.Escape();
        if (key == DialogKey::kEnter) tracker.Enter();
        break;
      }
      default:
        break;
    }
  }

  X11Session& s;
  MenuTracker tracker;
  std::vector<std::unique_ptr<LevelWindow>> windows;  // one for each open level
};

// ---------------------------------------------------------------- message boxes

// A message box as a top-level window of its own, and its loop of events.
class MessageBoxRun {
 public:
  // session may be null: then display is a connection of the caller's own.
  MessageBoxRun(Display* display, X11Session* editorSession, const char* text, int type)
      : d(display),
        session(editorSession),
        screen(session ? session->screen : DefaultScreen(display)),
        root(RootWindow(display, screen)),
        font(session ? session->UiFont() : nullptr),
        content(text, type, dialog::WidthsOf(Font()), MessageBoxWidget::LineHeightOf(Font()),
                DisplayWidth(display, screen), DisplayHeight(display, screen)),
        bitmap(content.Width(), content.Height()) {
    if (session) {
      pixels = session->pixels;
    } else {
      pixels.visual = DefaultVisual(display, screen);
      pixels.depth = DefaultDepth(display, screen);
      pixels.direct = pixels.depth == 24 && pixels.visual->red_mask == 0xFF0000 &&
                      pixels.visual->green_mask == 0xFF00 && pixels.visual->blue_mask == 0xFF;
    }
  }
  ~MessageBoxRun() {
    if (box && !(session && session->broken)) {
      XFreeGC(d, gc);
      XDestroyWindow(d, box);
      XFlush(d);
    }
  }

  // Shows the box centred over owner (0: the screen) and runs until it is answered or closed, or the
  // session stops.
  int Run(Window owner, const char* caption) {
    int x = 0;
    int y = 0;
    Place(owner, x, y);
    Create(x, y, caption ? caption : "");
    int answer = 0;
    const int wakeFd = session ? session->wakeRead : -1;
    if (session) ++session->menuDepth;
    while (answer == 0 && !(session && session->Stopping())) {
      if (XPending(d) == 0 && !WaitForDisplay(d, wakeFd, 100)) {
        if (session) session->broken = true;
        break;
      }
      if (wakeFd >= 0) {
        char drain[64];
        while (read(wakeFd, drain, sizeof(drain)) > 0) {
        }
      }
      while (answer == 0 && XPending(d) > 0) {
        XEvent e;
        XNextEvent(d, &e);
        answer = Handle(e);
      }
    }
    if (session) --session->menuDepth;
    return answer != 0 ? answer : content.Dismissed();
  }

 private:
  // A font of the box's own when the session has none (or there is no session).
  LICE_CachedFont* Font() {
    if (!font) {
      ownFont = MakeFont("Arial", 15, false, false);
      font = ownFont.get();
    }
    return font;
  }

  // Centred over the editor (or the screen).
  void Place(Window owner, int& x, int& y) {
    content.PlaceOver(0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen), x, y);
    if (!owner) return;
    XWindowAttributes a{};
    int ox = 0;
    int oy = 0;
    Window child = 0;
    if (XGetWindowAttributes(d, owner, &a) && XTranslateCoordinates(d, owner, root, 0, 0, &ox, &oy, &child)) {
      content.PlaceOver(ox, oy, a.width, a.height, x, y);
    }
  }

  // A dialog window of a fixed size for the window manager, transient for the host's window.
  void Create(int x, int y, const std::string& title) {
    const int width = content.Width();
    const int height = content.Height();
    XSetWindowAttributes set{};
    set.background_pixmap = None;
    set.border_pixel = 0;
    set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
    unsigned long mask = CWBackPixmap | CWBorderPixel | CWEventMask;
    if (session && session->colormap) {
      set.colormap = session->colormap;
      mask |= CWColormap;
    }
    box = XCreateWindow(d, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0, pixels.depth,
                        InputOutput, pixels.visual, mask, &set);
    XStoreName(d, box, title.c_str());
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    XChangeProperty(d, box, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.c_str()), static_cast<int>(title.size()));
    const Atom dialog = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(d, box, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog), 1);
    if (session && session->hostTopLevel) XSetTransientForHint(d, box, session->hostTopLevel);
    XSizeHints* hints = XAllocSizeHints();
    if (hints) {
      hints->flags = PPosition | PMinSize | PMaxSize;
      hints->x = x;
      hints->y = y;
      hints->min_width = hints->max_width = width;
      hints->min_height = hints->max_height = height;
      XSetWMNormalHints(d, box, hints);
      XFree(hints);
    }
    deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, box, &deleteWindow, 1);
    XClassHint hint{const_cast<char*>("IPlug"), const_cast<char*>("IPlugWndClass")};
    XSetClassHint(d, box, &hint);
    gc = XCreateGC(d, box, 0, nullptr);
    XMapRaised(d, box);
  }

  void Draw() {
    content.Draw(bitmap, font);
    PutBitmap(d, box, gc, pixels, bitmap, LICE_Rect{0, 0, content.Width(), content.Height()}, 0, 0);
  }

  // The answer the event gives, or 0.
  int Handle(XEvent& e) {
    if (e.xany.window != box) {
      if (session) session->HandleWhileModal(e);
      return 0;
    }
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0) Draw();
        return 0;
      case MapNotify:
        XSetInputFocus(d, box, RevertToParent, CurrentTime);
        return 0;
      case ButtonPress:
        if (e.xbutton.button != Button1) return 0;
        content.Press(e.xbutton.x, e.xbutton.y);
        Draw();
        return 0;
      case ButtonRelease: {
        if (e.xbutton.button != Button1) return 0;
        const int answer = content.Release(e.xbutton.x, e.xbutton.y);
        Draw();
        return answer;
      }
      case KeyPress: {
        const KeySym key = XLookupKeysym(&e.xkey, 0);
        return content.KeyAnswer(DialogKeyOf(key), key < 0x80 ? static_cast<char>(key) : '\0');
      }
      case ClientMessage:
        return static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow ? content.Dismissed() : 0;
      case DestroyNotify:
        return content.Dismissed();
      default:
        return 0;
    }
  }

  Display* d;
  X11Session* session;
  int screen;
  Window root;
  std::unique_ptr<LICE_CachedFont> ownFont;
  LICE_CachedFont* font;
  MessageBoxWidget content;
  LICE_MemBitmap bitmap;
  X11Pixels pixels;
  Window box = 0;
  GC gc = nullptr;
  Atom deleteWindow = 0;
};

}  // namespace

PopupMenu* RunPopupMenu(X11Session& session, PopupMenu& menu, const Rect& rect) {
  if (menu.NItems() == 0 || session.broken || session.windowGone) return nullptr;
  ++session.menuDepth;
  MenuRun run(session);
  PopupMenu* chosen = run.Run(menu, rect);
  --session.menuDepth;
  return chosen;
}

int RunMessageBox(Display* display, X11Session* session, Window owner, const char* text, const char* caption,
                  int type) {
  if (!display || (session && (session->broken || session->Stopping()))) {
    return session ? MessageBoxWidget::DismissedAnswer(type) : 0;
  }
  MessageBoxRun run(display, session, text, type);
  return run.Run(owner, caption);
}
