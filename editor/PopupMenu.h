// A pop-up menu as the controls build it and the window layer shows it.
#pragma once

#include <memory>
#include <string>
#include <vector>

class PopupMenu;

struct PopupMenuItem {
  static constexpr int kGreyed = 1;
  static constexpr int kDisabled = 2;
  static constexpr int kChecked = 4;
  static constexpr int kSeparator = 8;

  std::string text;
  std::unique_ptr<PopupMenu> submenu;
  int flags = 0;

  bool IsSeparator() const { return (flags & kSeparator) != 0; }
  // Greyed, disabled, separator and submenu-title entries cannot be chosen.
  bool Choosable() const { return !submenu && (flags & (kGreyed | kDisabled | kSeparator)) == 0; }
};

class PopupMenu {
 public:
  // 0 none; 1, 2, 3: entries prefixed with their 1-based position as "%1d: ", "%02d: ", "%03d: ".
  explicit PopupMenu(int numbering = 0) : mNumbering(numbering) {}

  PopupMenuItem& AddItem(const std::string& text, int flags = 0);
  PopupMenuItem& AddSeparator();
  // The menu takes the submenu; its entry is titled text.
  PopupMenuItem& AddSubmenu(const std::string& text, std::unique_ptr<PopupMenu> submenu);

  int NItems() const { return static_cast<int>(mItems.size()); }
  PopupMenuItem* Item(int position);
  const PopupMenuItem* Item(int position) const;
  // The entry text as shown, with the numbering prefix.
  std::string DisplayText(int position) const;
  int Numbering() const { return mNumbering; }
  int ChosenPosition() const { return mChosen; }
  void SetChosenPosition(int position) { mChosen = position; }

  // Depth-first walk: this menu's block of command ids first (0..NItems-1), then each submenu's block
  // in entry order. Finds the menu and position of command id, or null.
  PopupMenu* FindCommand(int command, int& position);
  // Every menu in that order (this first).
  void CollectMenus(std::vector<PopupMenu*>& menus);

 private:
  int mNumbering;
  int mChosen = -1;
  std::vector<PopupMenuItem> mItems;
};
