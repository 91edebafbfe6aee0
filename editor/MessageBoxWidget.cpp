#include "editor/MessageBoxWidget.h"

#include <algorithm>

#include "editor/IGraphics.h"
#include "raster/CachedFont.h"

using namespace dialog;

namespace {

std::vector<std::string> SplitLines(const char* text) {
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

MessageBoxWidget::MessageBoxWidget(const char* text, int type, const TextWidthOf& widthOf, int lineHeight,
                                   int screenWidth, int screenHeight)
    : mType(type),
      mYesNo((type & 0xF) == IGraphics::kMessageYesNo),
      mLines(SplitLines(text)),
      mLineHeight(lineHeight),
      mScreenWidth(screenWidth),
      mScreenHeight(screenHeight) {
  using Texts = std::vector<std::string>;
  mLabels = mYesNo ? Texts{"Yes", "No"} : Texts{"OK"};
  mAnswers = mYesNo ? std::vector<int>{IGraphics::kAnswerYes, IGraphics::kAnswerNo}
                    : std::vector<int>{IGraphics::kAnswerOk};
  int textWidth = 0;
  for (const std::string& line : mLines) textWidth = std::max(textWidth, widthOf(line));
  const int buttonsWidth = Buttons() * (kButtonWidth + kButtonGap) - kButtonGap;
  mWidth = std::min(std::max({textWidth, buttonsWidth, 240}) + 2 * kMargin, std::max(screenWidth, 200));
  const int buttonsTop = kMargin + static_cast<int>(mLines.size()) * lineHeight + kMargin;
  mHeight = std::min(buttonsTop + kButtonHeight + kMargin - 4, std::max(screenHeight, 100));
  int left = (mWidth - buttonsWidth) / 2;
  for (int i = 0; i < Buttons(); ++i) {
    mButtons.push_back(LICE_Rect{left, buttonsTop, left + kButtonWidth, buttonsTop + kButtonHeight});
    left += kButtonWidth + kButtonGap;
  }
}

int MessageBoxWidget::LineHeightOf(LICE_CachedFont* font) { return font ? std::max(font->LineHeight(), 12) : 16; }

int MessageBoxWidget::ButtonAt(int x, int y) const {
  for (size_t i = 0; i < mButtons.size(); ++i) {
    const LICE_Rect& r = mButtons[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

void MessageBoxWidget::PlaceOver(int left, int top, int width, int height, int& x, int& y) const {
  x = left + (width - mWidth) / 2;
  y = top + (height - mHeight) / 2;
  x = std::max(0, std::min(x, mScreenWidth - mWidth));
  y = std::max(0, std::min(y, mScreenHeight - mHeight));
}

int MessageBoxWidget::DismissedAnswer(int type) {
  return (type & 0xF) == IGraphics::kMessageYesNo ? IGraphics::kAnswerNo : IGraphics::kAnswerOk;
}

int MessageBoxWidget::KeyAnswer(DialogKey key, char letter) const {
  if (key == DialogKey::kEnter) return mAnswers.front();
  if (key == DialogKey::kEscape) return Dismissed();
  if (mYesNo && letter == 'y') return IGraphics::kAnswerYes;
  if (mYesNo && letter == 'n') return IGraphics::kAnswerNo;
  return 0;
}

int MessageBoxWidget::Release(int x, int y) {
  const int over = ButtonAt(x, y);
  const int answer = over >= 0 && over == mPressed ? mAnswers[static_cast<size_t>(over)] : 0;
  mPressed = -1;
  return answer;
}

void MessageBoxWidget::Draw(LICE_IBitmap& b, LICE_CachedFont* font) const {
  Fill(b, 0, 0, mWidth, mHeight, kFace);
  Frame(b, kFrame);
  for (size_t i = 0; i < mLines.size(); ++i) {
    const int top = kMargin + static_cast<int>(i) * mLineHeight;
    DrawLine(font, b, mLines[i], kMargin, top, mWidth - kMargin, top + mLineHeight, kInk, LICE_DT_LEFT);
  }
  for (size_t i = 0; i < mButtons.size(); ++i) {
    const LICE_Rect& r = mButtons[i];
    Fill(b, r.left, r.top, r.right, r.bottom,
         static_cast<int>(i) == mPressed ? LICE_RGBA(200, 200, 200, 255) : LICE_RGBA(225, 225, 225, 255));
    Fill(b, r.left, r.top, r.right, r.top + 1, kFrame);
    Fill(b, r.left, r.bottom - 1, r.right, r.bottom, kFrame);
    Fill(b, r.left, r.top, r.left + 1, r.bottom, kFrame);
    Fill(b, r.right - 1, r.top, r.right, r.bottom, kFrame);
    DrawLine(font, b, mLabels[i], r.left, r.top, r.right, r.bottom, kInk, LICE_DT_CENTER);
  }
}
