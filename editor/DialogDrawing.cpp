#include "editor/DialogDrawing.h"

#include <algorithm>

#include "raster/CachedFont.h"

namespace dialog {

int TextWidth(LICE_CachedFont& font, const std::string& text) {
  if (text.empty()) return 0;
  LICE_Rect box{0, 0, 0, 0};
  font.DrawText(nullptr, text.c_str(), static_cast<int>(text.size()), &box, LICE_DT_CALCRECT | LICE_DT_NOCLIP);
  return box.right - box.left;
}

TextWidthOf WidthsOf(LICE_CachedFont* font) {
  return [font](const std::string& text) { return font ? TextWidth(*font, text) : 0; };
}

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

void DrawCheck(LICE_IBitmap& b, int x, int y, LICE_pixel colour) {
  static const int kRise[] = {4, 5, 6, 5, 4, 3, 2, 1, 0};
  for (int i = 0; i < 9; ++i) Fill(b, x + i, y + kRise[i], x + i + 1, y + kRise[i] + 2, colour);
}

void DrawArrow(LICE_IBitmap& b, int x, int y, LICE_pixel colour) {
  for (int i = 0; i < 4; ++i) Fill(b, x + i, y + i, x + i + 1, y + 7 - i, colour);
}

}  // namespace dialog
