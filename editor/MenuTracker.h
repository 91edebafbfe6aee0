// A running pop-up menu: the open levels, the entry under the mouse in each, and what the mouse and the
// keys do to them, up to a choice or a dismissal. A view of the window layer puts the levels on screen.
#pragma once

#include <memory>
#include <vector>

#include "editor/MenuLayout.h"

class PopupMenu;

// Told of each change of the open levels, in the order they happen.
class MenuView {
 public:
  virtual ~MenuView() = default;
  // Level (the deepest now) was opened: it gets a window and is drawn.
  virtual void LevelOpened(int level) = 0;
  // Level (the deepest) is about to close.
  virtual void LevelClosing(int level) = 0;
  // Level's hovered entry changed: it is drawn again.
  virtual void LevelChanged(int level) = 0;
};

class MenuTracker {
 public:
  MenuTracker(const dialog::TextWidthOf& widthOf, int screenWidth, int screenHeight, MenuView* view);
  ~MenuTracker();
  MenuTracker(const MenuTracker&) = delete;
  MenuTracker& operator=(const MenuTracker&) = delete;

  // Opens the top level of menu at place.
  void Open(PopupMenu& menu, const MenuPlace& place);
  // Closes every level, deepest first.
  void CloseAll();

  int Depth() const { return static_cast<int>(mLevels.size()); }
  const MenuLayout& Layout(int level) const { return mLevels[static_cast<size_t>(level)].layout; }
  int Hovered(int level) const { return mLevels[static_cast<size_t>(level)].hovered; }
  // The deepest level under a screen point, or -1.
  int LevelAt(int x, int y) const;

  // The pointer moved to (x, y) with no button that counts down.
  void Move(int x, int y);
  // A button went down: outside every level it dismisses the menu.
  void Press(int x, int y);
  // A button went up: on a choosable entry it chooses, once the mouse has moved or pressed in the menu
  // (the release of the click that opened the menu chooses nothing).
  void Release(int x, int y);
  // Enter chooses the deepest level's hovered entry when it is choosable; Escape dismisses.
  void Enter();
  void Escape() { mDone = true; }

  bool Done() const { return mDone; }
  // The menu holding the chosen entry (its chosen position set), or null.
  PopupMenu* Chosen() const { return mChosen; }

 private:
  struct Level {
    MenuLayout layout;
    int hovered = -1;
    int opened = -1;  // the entry whose submenu is shown
  };
  // Hovers the entry under the point; a usable entry with a submenu opens it, and deeper levels close.
  void Hover(int x, int y);
  void OpenLevel(PopupMenu& menu, const MenuPlace& place);
  void CloseLevel();
  void Choose(int level, int entry);

  dialog::TextWidthOf mWidthOf;
  int mScreenWidth;
  int mScreenHeight;
  MenuView* mView;
  std::vector<Level> mLevels;
  bool mArmed = false;
  bool mDone = false;
  PopupMenu* mChosen = nullptr;
};
