// What the menus, message boxes and text entry that the editor draws itself have in common: their
// colours, and fills, frames and single lines of text in a bitmap of the raster layer.
#pragma once

#include <functional>
#include <string>

#include "raster/Bitmap.h"

class LICE_CachedFont;

namespace dialog {

constexpr LICE_pixel kFace = LICE_RGBA(240, 240, 240, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(120, 120, 120, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0, 0, 0, 255);
constexpr LICE_pixel kGreyInk = LICE_RGBA(160, 160, 160, 255);
constexpr LICE_pixel kHighlight = LICE_RGBA(51, 122, 204, 255);
constexpr LICE_pixel kHighlightInk = LICE_RGBA(255, 255, 255, 255);

// The width in pixels of a text as a font draws it: layouts take it as a function, so that they do not
// depend on which fonts a machine has.
using TextWidthOf = std::function<int(const std::string&)>;

// Width in pixels of text drawn with font.
int TextWidth(LICE_CachedFont& font, const std::string& text);
// TextWidth of font, or 0 for every text without a font.
TextWidthOf WidthsOf(LICE_CachedFont* font);

// Fills the rectangle, clipped to the bitmap.
void Fill(LICE_IBitmap& b, int left, int top, int right, int bottom, LICE_pixel colour);
// A one-pixel frame around the whole bitmap.
void Frame(LICE_IBitmap& b, LICE_pixel colour);
// One line of text, vertically centred between top and bottom; align is LICE_DT_LEFT or LICE_DT_CENTER.
void DrawLine(LICE_CachedFont* font, LICE_IBitmap& b, const std::string& text, int left, int top, int right,
              int bottom, LICE_pixel colour, int align);
// A check mark in an 8 x 7 box at (x, y).
void DrawCheck(LICE_IBitmap& b, int x, int y, LICE_pixel colour);
// A small right-pointing triangle, 4 wide and 7 high, at (x, y).
void DrawArrow(LICE_IBitmap& b, int x, int y, LICE_pixel colour);

}  // namespace dialog
