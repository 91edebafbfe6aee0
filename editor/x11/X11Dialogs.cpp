// Pop-up menus and message boxes as windows of our own, drawn with our raster layer and text. Both run
// a loop of their own on the editor's thread until they are answered or the editor closes; meanwhile
// the editor window only repaints what is uncovered.
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/PopupMenu.h"
#include "editor/x11/X11Session.h"

namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 7;
constexpr int kCheckColumn = 22;
constexpr int kArrowColumn = 24;
constexpr int kMenuBorder = 1;

constexpr LICE_pixel kFace = LICE_RGBA(240, 240, 240, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(120, 120, 120, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0, 0, 0, 255);
constexpr LICE_pixel kGreyInk = LICE_RGBA(160, 160, 160, 255);
constexpr LICE_pixel kHighlight = LICE_RGBA(51, 122, 204, 255);
constexpr LICE_pixel kHighlightInk = LICE_RGBA(255, 255, 255, 255);

void Fill(LICE_IBitmap& b, int left, int top, int right, int bottom, LICE_pixel colour) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, b.Width());
  bottom = std::min(bottom, b.Height());
  for (int y = top; y < bottom; ++y) std::fill(b.Row(y) + left, b.Row(y) + std::max(right, left), colour);
}

void Frame(LICE_IBitmap& b, LICE_pixel colour) {
  Fill(b, 0, 0, b.Width(), 1, colour);
  Fill(b, 0, b.Height() - 1, b.Width(), b.Height(), colour);
  Fill(b, 0, 0, 1, b.Height(), colour);
  Fill(b, b.Width() - 1, 0, b.Width(), b.Height(), colour);
}

void DrawLine(LICE_CachedFont* font, LICE_IBitmap& b, const std::string& text, int left, int top, int right, int bottom,
              LICE_pixel colour, int align) {
  if (!font || text.empty()) return;
  font->SetTextColor(colour);
  LICE_Rect box{left, top + std::max((bottom - top - font->LineHeight()) / 2, 0), right, bottom};
  box.bottom = box.top + font->LineHeight();
  font->DrawText(&b, text.c_str(), static_cast<int>(text.size()), &box, LICE_DT_NOCLIP | align);
}

// A check mark in an 8 x 7 box at (x, y).
void DrawCheck(LICE_IBitmap& b, int x, int y, LICE_pixel colour) {
  static const int kRise[] = {4, 5, 6, 5, 4, 3, 2, 1, 0};
  for (int i = 0; i < 9; ++i) Fill(b, x + i, y + kRise[i], x + i + 1, y + kRise[i] + 2, colour);
}

// A small right-pointing triangle, 4 wide and 7 high, at (x, y).
void DrawArrow(LICE_IBitmap& b, int x, int y, LICE_pixel colour) {
  for (int i = 0; i < 4; ++i) Fill(b, x + i, y + i, x + i + 1, y + 7 - i, colour);
}

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

std::vector<std::string> Lines(const char* text) {
  std::vector<std::string> lines(1);
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\n') {
      lines.emplace_back();
    } else if (*p == '\t') {
      lines.back() += "    ";
    } else if (*p != '\r') {
      lines.back() += *p;
    }
  }
  return lines;
}

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
  const bool yesNo = (type & 0xF) == IGraphics::kMessageYesNo;
  const int dismissed = yesNo ? IGraphics::kAnswerNo : IGraphics::kAnswerOk;
  if (!display || (session && (session->broken || session->Stopping()))) return session ? dismissed : 0;
  std::unique_ptr<LICE_CachedFont> ownFont;
  LICE_CachedFont* font = session ? session->UiFont() : nullptr;
  if (!font) {
    ownFont = MakeFont("Arial", 15, false, false);
    font = ownFont.get();
  }
  const int screen = session ? session->screen : DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  X11Pixels pixels;
  if (session) {
    pixels = session->pixels;
  } else {
    pixels.visual = DefaultVisual(display, screen);
    pixels.depth = DefaultDepth(display, screen);
    pixels.direct = pixels.depth == 24 && pixels.visual->red_mask == 0xFF0000 && pixels.visual->green_mask == 0xFF00 &&
                    pixels.visual->blue_mask == 0xFF;
  }

  const std::vector<std::string> lines = Lines(text);
  using Texts = std::vector<std::string>;
  const Texts labels = yesNo ? Texts{"Yes", "No"} : Texts{"OK"};
  const std::vector<int> answers =
      yesNo ? std::vector<int>{IGraphics::kAnswerYes, IGraphics::kAnswerNo} : std::vector<int>{IGraphics::kAnswerOk};
  const int lineHeight = font ? std::max(font->LineHeight(), 12) : 16;
  constexpr int kMargin = 20;
  constexpr int kButtonWidth = 84;
  constexpr int kButtonHeight = 26;
  constexpr int kButtonGap = 10;
  int textWidth = 0;
  for (const std::string& line : lines) textWidth = std::max(textWidth, font ? TextWidth(*font, line) : 0);
  const int buttonsWidth = static_cast<int>(labels.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
  const int screenWidth = DisplayWidth(display, screen);
  const int screenHeight = DisplayHeight(display, screen);
  const int width = std::min(std::max({textWidth, buttonsWidth, 240}) + 2 * kMargin, std::max(screenWidth, 200));
  const int buttonsTop = kMargin + static_cast<int>(lines.size()) * lineHeight + kMargin;
  const int height = std::min(buttonsTop + kButtonHeight + kMargin - 4, std::max(screenHeight, 100));
  std::vector<LICE_Rect> buttons;
  int left = (width - buttonsWidth) / 2;
  for (size_t i = 0; i < labels.size(); ++i) {
    buttons.push_back(LICE_Rect{left, buttonsTop, left + kButtonWidth, buttonsTop + kButtonHeight});
    left += kButtonWidth + kButtonGap;
  }

  // Centred over the editor (or the screen).
  int x = (screenWidth - width) / 2;
  int y = (screenHeight - height) / 2;
  if (owner) {
    XWindowAttributes a{};
    int ox = 0;
    int oy = 0;
    Window child = 0;
    if (XGetWindowAttributes(display, owner, &a) &&
        XTranslateCoordinates(display, owner, root, 0, 0, &ox, &oy, &child)) {
      x = ox + (a.width - width) / 2;
      y = oy + (a.height - height) / 2;
    }
  }
  x = std::max(0, std::min(x, screenWidth - width));
  y = std::max(0, std::min(y, screenHeight - height));

  XSetWindowAttributes set{};
  set.background_pixmap = None;
  set.border_pixel = 0;
  set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
  unsigned long mask = CWBackPixmap | CWBorderPixel | CWEventMask;
  if (session && session->colormap) {
    set.colormap = session->colormap;
    mask |= CWColormap;
  }
  const Window box = XCreateWindow(display, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                   pixels.depth, InputOutput, pixels.visual, mask, &set);
  XStoreName(display, box, caption ? caption : "");
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const std::string title = caption ? caption : "";
  XChangeProperty(display, box, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.c_str()), static_cast<int>(title.size()));
  const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(display, box, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialog), 1);
  if (session && session->hostTopLevel) XSetTransientForHint(display, box, session->hostTopLevel);
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, box, hints);
    XFree(hints);
  }
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, box, &deleteWindow, 1);
  XClassHint hint{const_cast<char*>("IPlug"), const_cast<char*>("IPlugWndClass")};
  XSetClassHint(display, box, &hint);
  GC gc = XCreateGC(display, box, 0, nullptr);
  XMapRaised(display, box);

  LICE_MemBitmap bitmap(width, height);
  int pressed = -1;
  auto draw = [&] {
    Fill(bitmap, 0, 0, width, height, kFace);
    Frame(bitmap, kFrame);
    for (size_t i = 0; i < lines.size(); ++i) {
      const int top = kMargin + static_cast<int>(i) * lineHeight;
      DrawLine(font, bitmap, lines[i], kMargin, top, width - kMargin, top + lineHeight, kInk, LICE_DT_LEFT);
    }
    for (size_t i = 0; i < buttons.size(); ++i) {
      const LICE_Rect& r = buttons[i];
      Fill(bitmap, r.left, r.top, r.right, r.bottom, static_cast<int>(i) == pressed ? LICE_RGBA(200, 200, 200, 255)
                                                                                     : LICE_RGBA(225, 225, 225, 255));
      Fill(bitmap, r.left, r.top, r.right, r.top + 1, kFrame);
      Fill(bitmap, r.left, r.bottom - 1, r.right, r.bottom, kFrame);
      Fill(bitmap, r.left, r.top, r.left + 1, r.bottom, kFrame);
      Fill(bitmap, r.right - 1, r.top, r.right, r.bottom, kFrame);
      DrawLine(font, bitmap, labels[i], r.left, r.top, r.right, r.bottom, kInk, LICE_DT_CENTER);
    }
    PutBitmap(display, box, gc, pixels, bitmap, LICE_Rect{0, 0, width, height}, 0, 0);
  };
  auto buttonAt = [&](int bx, int by) {
    for (size_t i = 0; i < buttons.size(); ++i) {
      const LICE_Rect& r = buttons[i];
      if (bx >= r.left && bx < r.right && by >= r.top && by < r.bottom) return static_cast<int>(i);
    }
    return -1;
  };

  int answer = 0;
  const int wakeFd = session ? session->wakeRead : -1;
  if (session) ++session->menuDepth;
  while (answer == 0 && !(session && session->Stopping())) {
    if (XPending(display) == 0 && !WaitForDisplay(display, wakeFd, 100)) {
      if (session) session->broken = true;
      break;
    }
    if (wakeFd >= 0) {
      char drain[64];
      while (read(wakeFd, drain, sizeof(drain)) > 0) {
      }
    }
    while (answer == 0 && XPending(display) > 0) {
      XEvent e;
      XNextEvent(display, &e);
      if (e.xany.window != box) {
        if (session) session->HandleWhileModal(e);
        continue;
      }
      switch (e.type) {
        case Expose:
          if (e.xexpose.count == 0) draw();
          break;
        case MapNotify:
          XSetInputFocus(display, box, RevertToParent, CurrentTime);
          break;
        case ButtonPress:
          if (e.xbutton.button == Button1) {
            pressed = buttonAt(e.xbutton.x, e.xbutton.y);
            draw();
          }
          break;
        case ButtonRelease:
          if (e.xbutton.button == Button1) {
            const int over = buttonAt(e.xbutton.x, e.xbutton.y);
            if (over >= 0 && over == pressed) answer = answers[static_cast<size_t>(over)];
            pressed = -1;
            draw();
          }
          break;
        case KeyPress: {
          const KeySym key = XLookupKeysym(&e.xkey, 0);
          if (key == XK_Return || key == XK_KP_Enter) answer = answers.front();
          if (key == XK_Escape) answer = dismissed;
          if (yesNo && key == XK_y) answer = IGraphics::kAnswerYes;
          if (yesNo && key == XK_n) answer = IGraphics::kAnswerNo;
          break;
        }
        case ClientMessage:
          if (static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow) answer = dismissed;
          break;
        case DestroyNotify:
          answer = dismissed;
          break;
        default:
          break;
      }
    }
  }
  if (session) --session->menuDepth;
  if (answer == 0) answer = dismissed;
  if (!(session && session->broken)) {
    XFreeGC(display, gc);
    XDestroyWindow(display, box);
    XFlush(display);
  }
  return answer;
}
