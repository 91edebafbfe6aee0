// One open level of a pop-up menu: its place on the screen, where each entry lies, which entry a point
// is in, where a submenu opens, and how the level is drawn. Screen coordinates are pixels.
#pragma once

#include <vector>

#include "editor/DialogDrawing.h"

class LICE_CachedFont;
class LICE_IBitmap;
class PopupMenu;

// Where a level wants its top-left corner, and the edges it moves to instead when it would leave the
// screen: it goes left of anchorLeft or above anchorTop.
struct MenuPlace {
  int x = 0;
  int y = 0;
  int anchorLeft = 0;
  int anchorTop = 0;
};

class MenuLayout {
 public:
  static constexpr int kItemHeight = 20;
  static constexpr int kSeparatorHeight = 7;
  static constexpr int kCheckColumn = 22;
  static constexpr int kArrowColumn = 24;
  static constexpr int kBorder = 1;

  // Sizes the level from its entries' texts and places it on a screen of that size.
  MenuLayout(PopupMenu& menu, const dialog::TextWidthOf& widthOf, const MenuPlace& place, int screenWidth,
             int screenHeight);

  PopupMenu& Menu() const { return *mMenu; }
  int X() const { return mX; }
  int Y() const { return mY; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int EntryHeight(int entry) const;
  // The entry's top inside the level.
  int EntryTop(int entry) const { return mTops[static_cast<size_t>(entry)]; }
  bool Contains(int x, int y) const { return x >= mX && x < mX + mWidth && y >= mY && y < mY + mHeight; }
  // The entry under a screen point, or -1.
  int EntryAt(int x, int y) const;
  // Where the submenu of an entry opens: beside the level, its first entry level with the entry.
  MenuPlace SubmenuPlace(int entry) const;
  // The whole level into a bitmap of its size, with entry hovered lit (-1: none).
  void Draw(LICE_IBitmap& b, LICE_CachedFont* font, int hovered) const;

 private:
  PopupMenu* mMenu;
  int mX = 0;
  int mY = 0;
  int mWidth = 0;
  int mHeight = 0;
  std::vector<int> mTops;
};
