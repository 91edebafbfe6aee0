// The content of a message box the editor draws itself: its lines of text and buttons laid out for a
// screen, which button a point is on, the answer a click or a key gives, and the drawing.
#pragma once

#include <string>
#include <vector>

#include "editor/DialogDrawing.h"
#include "editor/DialogKey.h"

class LICE_CachedFont;
class LICE_IBitmap;

class MessageBoxWidget {
 public:
  static constexpr int kMargin = 20;
  static constexpr int kButtonWidth = 84;
  static constexpr int kButtonHeight = 26;
  static constexpr int kButtonGap = 10;

  // type is one of IGraphics::kMessage...: Yes and No for kMessageYesNo, OK for the others. Tabs in
  // text become four spaces and carriage returns are dropped. The box is kept within the screen.
  MessageBoxWidget(const char* text, int type, const dialog::TextWidthOf& widthOf, int lineHeight, int screenWidth,
                   int screenHeight);
  // The line height the box gives a font (null: none could be made).
  static int LineHeightOf(LICE_CachedFont* font);

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  const std::vector<std::string>& Lines() const { return mLines; }
  int Buttons() const { return static_cast<int>(mLabels.size()); }
  const LICE_Rect& Button(int i) const { return mButtons[static_cast<size_t>(i)]; }
  const std::string& Label(int i) const { return mLabels[static_cast<size_t>(i)]; }
  // The button under a point of the box, or -1.
  int ButtonAt(int x, int y) const;
  // The box's top-left on the screen: centred over the area (the owner window, or the screen), moved
  // back onto the screen where it would leave it.
  void PlaceOver(int left, int top, int width, int height, int& x, int& y) const;

  // The answer of a box of that type closed without a button: No for Yes/No, else OK.
  static int DismissedAnswer(int type);
  int Dismissed() const { return DismissedAnswer(mType); }
  // Enter gives the first button's answer, Escape Dismissed(); a Yes/No box also takes y and n.
  // 0: the key gives none.
  int KeyAnswer(DialogKey key, char letter) const;
  // The first mouse button at a point of the box: a button under it shows pressed.
  void Press(int x, int y) { mPressed = ButtonAt(x, y); }
  // Its release: the answer of the button pressed when released over it too, else 0.
  int Release(int x, int y);
  int Pressed() const { return mPressed; }

  // The whole box into a bitmap of its size.
  void Draw(LICE_IBitmap& b, LICE_CachedFont* font) const;

 private:
  int mType;
  bool mYesNo;
  std::vector<std::string> mLines;
  std::vector<std::string> mLabels;
  std::vector<int> mAnswers;
  std::vector<LICE_Rect> mButtons;
  int mLineHeight;
  int mWidth = 0;
  int mHeight = 0;
  int mScreenWidth;
  int mScreenHeight;
  int mPressed = -1;
};
