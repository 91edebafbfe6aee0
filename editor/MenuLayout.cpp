#include "editor/MenuLayout.h"

#include <algorithm>

#include "editor/PopupMenu.h"
#include "raster/Bitmap.h"
#include "raster/CachedFont.h"

using namespace dialog;

MenuLayout::MenuLayout(PopupMenu& menu, const TextWidthOf& widthOf, const MenuPlace& place, int screenWidth,
                       int screenHeight)
    : mMenu(&menu) {
  int widest = 40;
  int height = kBorder;
  for (int i = 0; i < menu.NItems(); ++i) {
    mTops.push_back(height);
    height += EntryHeight(i);
    if (!menu.Item(i)->IsSeparator()) widest = std::max(widest, widthOf(menu.DisplayText(i)));
  }
  mWidth = std::min(kCheckColumn + widest + kArrowColumn + 2 * kBorder, std::max(screenWidth, 100));
  mHeight = std::max(height + kBorder, 2 * kBorder + 4);
  mX = place.x;
  mY = place.y;
  if (mX + mWidth > screenWidth) mX = std::max(place.anchorLeft - mWidth, 0);
  if (mY + mHeight > screenHeight) mY = std::max(std::min(place.anchorTop, screenHeight) - mHeight, 0);
}

int MenuLayout::EntryHeight(int entry) const {
  return mMenu->Item(entry)->IsSeparator() ? kSeparatorHeight : kItemHeight;
}

int MenuLayout::EntryAt(int x, int y) const {
  if (!Contains(x, y)) return -1;
  for (int i = 0; i < mMenu->NItems(); ++i) {
    const int top = mY + EntryTop(i);
    if (y >= top && y < top + EntryHeight(i)) return i;
  }
  return -1;
}

MenuPlace MenuLayout::SubmenuPlace(int entry) const {
  const int top = mY + EntryTop(entry) - kBorder;
  return {mX + mWidth - 2, top, mX + 2, top + kItemHeight};
}

void MenuLayout::Draw(LICE_IBitmap& b, LICE_CachedFont* font, int hovered) const {
  Fill(b, 0, 0, b.Width(), b.Height(), kFace);
  Frame(b, kFrame);
  for (int i = 0; i < mMenu->NItems(); ++i) {
    const PopupMenuItem* item = mMenu->Item(i);
    const int top = EntryTop(i);
    if (item->IsSeparator()) {
      Fill(b, 4, top + kSeparatorHeight / 2, b.Width() - 4, top + kSeparatorHeight / 2 + 1, kFrame);
      continue;
    }
    const bool greyed = (item->flags & (PopupMenuItem::kGreyed | PopupMenuItem::kDisabled)) != 0;
    const bool lit = i == hovered && !greyed;
    if (lit) Fill(b, kBorder, top, b.Width() - kBorder, top + kItemHeight, kHighlight);
    const LICE_pixel ink = greyed ? kGreyInk : lit ? kHighlightInk : kInk;
    if (item->flags & PopupMenuItem::kChecked) DrawCheck(b, 7, top + (kItemHeight - 7) / 2, ink);
    DrawLine(font, b, mMenu->DisplayText(i), kCheckColumn, top, b.Width() - kArrowColumn, top + kItemHeight, ink,
             LICE_DT_LEFT);
    if (item->submenu) DrawArrow(b, b.Width() - 14, top + (kItemHeight - 7) / 2, ink);
  }
}
