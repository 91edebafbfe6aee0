#include "editor/MenuTracker.h"

#include "editor/PopupMenu.h"

MenuTracker::MenuTracker(const dialog::TextWidthOf& widthOf, int screenWidth, int screenHeight, MenuView* view)
    : mWidthOf(widthOf), mScreenWidth(screenWidth), mScreenHeight(screenHeight), mView(view) {}

MenuTracker::~MenuTracker() = default;

void MenuTracker::Open(PopupMenu& menu, const MenuPlace& place) { OpenLevel(menu, place); }

void MenuTracker::CloseAll() {
  while (!mLevels.empty()) CloseLevel();
}

void MenuTracker::OpenLevel(PopupMenu& menu, const MenuPlace& place) {
  mLevels.push_back(Level{MenuLayout(menu, mWidthOf, place, mScreenWidth, mScreenHeight)});
  if (mView) mView->LevelOpened(Depth() - 1);
}

void MenuTracker::CloseLevel() {
  if (mView) mView->LevelClosing(Depth() - 1);
  mLevels.pop_back();
  if (!mLevels.empty()) mLevels.back().opened = -1;
}

int MenuTracker::LevelAt(int x, int y) const {
  for (int l = Depth() - 1; l >= 0; --l) {
    if (Layout(l).Contains(x, y)) return l;
  }
  return -1;
}

void MenuTracker::Hover(int x, int y) {
  const int l = LevelAt(x, y);
  if (l < 0) return;
  const int entry = Layout(l).EntryAt(x, y);
  {
    const Level& level = mLevels[static_cast<size_t>(l)];
    if (entry == level.hovered && (entry < 0 || level.opened == entry || !level.layout.Menu().Item(entry)->submenu)) {
      return;
    }
  }
  while (Depth() > l + 1) CloseLevel();
  Level& level = mLevels[static_cast<size_t>(l)];
  level.hovered = entry;
  const PopupMenuItem* item = entry >= 0 ? level.layout.Menu().Item(entry) : nullptr;
  const bool usable = item && (item->flags & (PopupMenuItem::kGreyed | PopupMenuItem::kDisabled)) == 0;
  if (mView) mView->LevelChanged(l);
  if (usable && item->submenu && item->submenu->NItems() > 0) {
    level.opened = entry;
    const MenuPlace place = level.layout.SubmenuPlace(entry);
    OpenLevel(*item->submenu, place);
  }
}

void MenuTracker::Move(int x, int y) {
  const int before = mLevels.back().hovered;
  const int depth = Depth();
  Hover(x, y);
  if (before != mLevels.back().hovered || depth != Depth()) mArmed = true;
}

void MenuTracker::Press(int x, int y) {
  if (LevelAt(x, y) < 0) {
    mDone = true;
    return;
  }
  mArmed = true;
  Hover(x, y);
}

void MenuTracker::Release(int x, int y) {
  if (!mArmed) return;
  const int l = LevelAt(x, y);
  if (l >= 0) Choose(l, Layout(l).EntryAt(x, y));
}

void MenuTracker::Enter() { Choose(Depth() - 1, mLevels.back().hovered); }

void MenuTracker::Choose(int level, int entry) {
  PopupMenu& menu = Layout(level).Menu();
  if (entry < 0 || !menu.Item(entry)->Choosable()) return;
  menu.SetChosenPosition(entry);
  mChosen = &menu;
  mDone = true;
}
