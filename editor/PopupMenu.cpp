#include "editor/PopupMenu.h"

#include <cstdio>

PopupMenuItem& PopupMenu::AddItem(const std::string& text, int flags) {
  mItems.emplace_back();
  mItems.back().text = text;
  mItems.back().flags = flags;
  return mItems.back();
}

PopupMenuItem& PopupMenu::AddSeparator() { return AddItem("", PopupMenuItem::kSeparator); }

PopupMenuItem& PopupMenu::AddSubmenu(const std::string& text, std::unique_ptr<PopupMenu> submenu) {
  PopupMenuItem& item = AddItem(text);
  item.submenu = std::move(submenu);
  return item;
}

PopupMenuItem* PopupMenu::Item(int position) {
  return position >= 0 && position < NItems() ? &mItems[static_cast<size_t>(position)] : nullptr;
}

const PopupMenuItem* PopupMenu::Item(int position) const {
  return const_cast<PopupMenu*>(this)->Item(position);
}

std::string PopupMenu::DisplayText(int position) const {
  const PopupMenuItem* item = Item(position);
  if (!item) return {};
  static const char* const kFormats[] = {"%1d: ", "%02d: ", "%03d: "};
  if (mNumbering < 1 || mNumbering > 3) return item->text;
  char prefix[16];
  std::snprintf(prefix, sizeof(prefix), kFormats[mNumbering - 1], position + 1);
  return prefix + item->text;
}

void PopupMenu::CollectMenus(std::vector<PopupMenu*>& menus) {
  menus.push_back(this);
  for (PopupMenuItem& item : mItems) {
    if (item.submenu) item.submenu->CollectMenus(menus);
  }
}

PopupMenu* PopupMenu::FindCommand(int command, int& position) {
  std::vector<PopupMenu*> menus;
  CollectMenus(menus);
  int first = 0;
  for (PopupMenu* menu : menus) {
    if (command >= first && command < first + menu->NItems()) {
      position = command - first;
      return menu;
    }
    first += menu->NItems();
  }
  position = -1;
  return nullptr;
}
