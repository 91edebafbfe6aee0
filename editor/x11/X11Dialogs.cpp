// Pop-up menus and message boxes as windows of our own, drawn with our raster layer and text. Both run
// a loop of their own on the editor's thread until they are answered or the editor closes; meanwhile
// the editor window only repaints what is uncovered.
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "editor/DialogDrawing.h"
#include "editor/IGraphics.h"
#include "editor/MessageBoxWidget.h"
#include "editor/PopupMenu.h"
#include "editor/x11/X11Session.h"

namespace {

using namespace dialog;

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 7;
constexpr int kCheckColumn = 22;
constexpr int kArrowColumn = 24;
constexpr int kMenuBorder = 1;

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

struct MenuLevel {
  PopupMenu* menu = nullptr;
  Window window = 0;
  int x = 0;  // root coordinates
  int y = 0;
  int width = 0;
  int height = 0;
  std::vector<int> tops;  // each entry's top inside the window
  int hovered = -1;
  int opened = -1;  // the entry whose submenu is shown
  LICE_MemBitmap bitmap;

  int EntryHeight(int i) const { return menu->Item(i)->IsSeparator() ? kSeparatorHeight : kItemHeight; }
  bool Contains(int rx, int ry) const { return rx >= x && rx < x + width && ry >= y && ry < y + height; }
  int EntryAt(int rx, int ry) const {
    if (!Contains(rx, ry)) return -1;
    for (int i = 0; i < menu->NItems(); ++i) {
      const int top = y + tops[static_cast<size_t>(i)];
      if (ry >= top && ry < top + EntryHeight(i)) return i;
    }
    return -1;
  }
};

class MenuRun {
 public:
  explicit MenuRun(X11Session& session) : s(session) {
    XWindowAttributes root{};
    XGetWindowAttributes(s.display, s.root, &root);
    screenWidth = root.width;
    screenHeight = root.height;
  }
  ~MenuRun() {
    while (!levels.empty()) CloseLevel();
  }

  // Opens menu with its top-left at (x, y), or above anchorTop / left of anchorLeft when it would
  // leave the screen.
  void OpenLevel(PopupMenu* menu, int x, int y, int anchorLeft, int anchorTop) {
    auto level = std::make_unique<MenuLevel>();
    level->menu = menu;
    LICE_CachedFont* font = s.UiFont();
    int widest = 40;
    int height = kMenuBorder;
    for (int i = 0; i < menu->NItems(); ++i) {
      level->tops.push_back(height);
      height += level->EntryHeight(i);
      if (font && !menu->Item(i)->IsSeparator()) widest = std::max(widest, TextWidth(*font, menu->DisplayText(i)));
    }
    level->width = std::min(kCheckColumn + widest + kArrowColumn + 2 * kMenuBorder, std::max(screenWidth, 100));
    level->height = std::max(height + kMenuBorder, 2 * kMenuBorder + 4);
    if (x + level->width > screenWidth) x = std::max(anchorLeft - level->width, 0);
    if (y + level->height > screenHeight) y = std::max(std::min(anchorTop, screenHeight) - level->height, 0);
    level->x = x;
    level->y = y;
    level->bitmap.Resize(level->width, level->height);
    level->window = CreatePopup(s, x, y, level->width, level->height, true, ExposureMask);
    XMapRaised(s.display, level->window);
    levels.push_back(std::move(level));
    Draw(*levels.back());
  }

  void CloseLevel() {
    if (!s.broken) XDestroyWindow(s.display, levels.back()->window);
    levels.pop_back();
    if (!levels.empty()) levels.back()->opened = -1;
  }

  void Draw(MenuLevel& level) {
    LICE_MemBitmap& b = level.bitmap;
    LICE_CachedFont* font = s.UiFont();
    Fill(b, 0, 0, b.Width(), b.Height(), kFace);
    Frame(b, kFrame);
    for (int i = 0; i < level.menu->NItems(); ++i) {
      const PopupMenuItem* item = level.menu->Item(i);
      const int top = level.tops[static_cast<size_t>(i)];
      if (item->IsSeparator()) {
        Fill(b, 4, top + kSeparatorHeight / 2, b.Width() - 4, top + kSeparatorHeight / 2 + 1, kFrame);
        continue;
      }
      const bool greyed = (item->flags & (PopupMenuItem::kGreyed | PopupMenuItem::kDisabled)) != 0;
      const bool lit = i == level.hovered && !greyed;
      if (lit) Fill(b, kMenuBorder, top, b.Width() - kMenuBorder, top + kItemHeight, kHighlight);
      const LICE_pixel ink = greyed ? kGreyInk : lit ? kHighlightInk : kInk;
      if (item->flags & PopupMenuItem::kChecked) DrawCheck(b, 7, top + (kItemHeight - 7) / 2, ink);
      DrawLine(font, b, level.menu->DisplayText(i), kCheckColumn, top, b.Width() - kArrowColumn, top + kItemHeight, ink,
               LICE_DT_LEFT);
      if (item->submenu) DrawArrow(b, b.Width() - 14, top + (kItemHeight - 7) / 2, ink);
    }
    PutBitmap(s.display, level.window, s.gc, s.pixels, b, LICE_Rect{0, 0, b.Width(), b.Height()}, 0, 0);
  }

  // The deepest level under the root position, or -1.
  int LevelAt(int rx, int ry) const {
    for (int l = static_cast<int>(levels.size()) - 1; l >= 0; --l) {
      if (levels[static_cast<size_t>(l)]->Contains(rx, ry)) return l;
    }
    return -1;
  }

  void Hover(int rx, int ry) {
    const int l = LevelAt(rx, ry);
    if (l < 0) return;
    MenuLevel& level = *levels[static_cast<size_t>(l)];
    const int entry = level.EntryAt(rx, ry);
    if (entry == level.hovered && (entry < 0 || level.opened == entry || !level.menu->Item(entry)->submenu)) return;
    while (static_cast<int>(levels.size()) > l + 1) CloseLevel();
    level.hovered = entry;
    const PopupMenuItem* item = entry >= 0 ? level.menu->Item(entry) : nullptr;
    const bool usable = item && (item->flags & (PopupMenuItem::kGreyed | PopupMenuItem::kDisabled)) == 0;
    Draw(level);
    if (usable && item->submenu && item->submenu->NItems() > 0) {
      level.opened = entry;
      const int top = level.y + level.tops[static_cast<size_t>(entry)] - kMenuBorder;
      OpenLevel(item->submenu.get(), level.x + level.width - 2, top, level.x + 2, top + kItemHeight);
    }
  }

  PopupMenu* Run(PopupMenu& menu, const Rect& rect) {
    int rx = 0;
    int ry = 0;
    Window child = 0;
    XTranslateCoordinates(s.display, s.window, s.root, rect.left, rect.bottom, &rx, &ry, &child);
    int anchorX = 0;
    int anchorY = 0;
    XTranslateCoordinates(s.display, s.window, s.root, rect.left, rect.top, &anchorX, &anchorY, &child);
    OpenLevel(&menu, rx, ry, rx, anchorY);
    const Window grabber = levels.front()->window;
    const unsigned events = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    XGrabPointer(s.display, grabber, True, events, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XGrabKeyboard(s.display, grabber, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    XFlush(s.display);
    bool armed = false;
    bool running = true;
    PopupMenu* chosen = nullptr;
    while (running && !s.Stopping()) {
      if (XPending(s.display) == 0 && !WaitForDisplay(s.display, s.wakeRead, 100)) s.broken = true;
      char drain[64];
      while (read(s.wakeRead, drain, sizeof(drain)) > 0) {
      }
      while (running && !s.Stopping() && XPending(s.display) > 0) {
        XEvent e;
        XNextEvent(s.display, &e);
        if (e.type == Expose) {
          for (auto& level : levels) {
            if (level->window == e.xany.window) Draw(*level);
          }
          s.HandleWhileModal(e);
          continue;
        }
        if (e.type == DestroyNotify) {
          s.HandleWhileModal(e);
          continue;
        }
        if (e.type == MotionNotify) {
          while (XCheckTypedEvent(s.display, MotionNotify, &e)) {
          }
          const int before = levels.back()->hovered;
          const size_t depth = levels.size();
          Hover(e.xmotion.x_root, e.xmotion.y_root);
          if (before != levels.back()->hovered || depth != levels.size()) armed = true;
          continue;
        }
        if (e.type == ButtonPress) {
          if (e.xbutton.button != Button1 && e.xbutton.button != Button2 && e.xbutton.button != Button3) continue;
          if (LevelAt(e.xbutton.x_root, e.xbutton.y_root) < 0) {
            running = false;  // a click outside dismisses
          } else {
            armed = true;
            Hover(e.xbutton.x_root, e.xbutton.y_root);
          }
          continue;
        }
        if (e.type == ButtonRelease) {
          if (!armed || (e.xbutton.button != Button1 && e.xbutton.button != Button3)) continue;
          const int l = LevelAt(e.xbutton.x_root, e.xbutton.y_root);
          if (l < 0) continue;
          MenuLevel& level = *levels[static_cast<size_t>(l)];
          const int entry = level.EntryAt(e.xbutton.x_root, e.xbutton.y_root);
          if (entry >= 0 && level.menu->Item(entry)->Choosable()) {
            level.menu->SetChosenPosition(entry);
            chosen = level.menu;
            running = false;
          }
          continue;
        }
        if (e.type == KeyPress) {
          const KeySym key = XLookupKeysym(&e.xkey, 0);
          if (key == XK_Escape) {
            running = false;
          } else if (key == XK_Return || key == XK_KP_Enter) {
            MenuLevel& level = *levels.back();
            if (level.hovered >= 0 && level.menu->Item(level.hovered)->Choosable()) {
              level.menu->SetChosenPosition(level.hovered);
              chosen = level.menu;
              running = false;
            }
          }
          continue;
        }
      }
    }
    if (!s.broken) {
      XUngrabKeyboard(s.display, CurrentTime);
      XUngrabPointer(s.display, CurrentTime);
    }
    while (!levels.empty()) CloseLevel();
    XFlush(s.display);
    return chosen;
  }

 private:
  X11Session& s;
  std::vector<std::unique_ptr<MenuLevel>> levels;
  int screenWidth = 0;
  int screenHeight = 0;
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
