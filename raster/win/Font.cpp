// Fonts on Windows: GDI font handles, glyphs drawn white on black with TextOutW into the scratch DIB,
// and native text output straight into a bitmap's device context.
#include <windows.h>

#include <algorithm>
#include <string>

#include "raster/RasterPlatform.h"

namespace {

std::wstring Widen(const char* text, int length) {
  if (length <= 0) return std::wstring();
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
  if (wideLength <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, length, &wide[0], wideLength);
  return wide;
}

DWORD Quality(int quality) {
  switch (quality) {
    case 1: return NONANTIALIASED_QUALITY;
    case 2: return ANTIALIASED_QUALITY;
    case 3: return CLEARTYPE_QUALITY;
    default: return DEFAULT_QUALITY;
  }
}

// Wine's text output into memory bitmaps differs from Windows', so under Wine every text takes the
// glyph path. Asked once per process.
bool RunningUnderWine() {
  static const bool wine = [] {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }();
  return wine;
}

}  // namespace

LICE_FontHandle LICE_CreateFont(const LICE_FontDescription& description) {
  std::wstring face = Widen(description.face.c_str(), static_cast<int>(description.face.size()));
  if (face.size() >= LF_FACESIZE) face.resize(LF_FACESIZE - 1);
  HFONT font = CreateFontW(description.height, 0, description.orientation, description.orientation, description.weight, description.italic ? TRUE : FALSE,
                           FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           Quality(description.quality), DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  return font;
}

void LICE_SetFallbackFont(const void*, size_t) {}

void LICE_DestroyFont(LICE_FontHandle handle) {
  if (handle) DeleteObject(static_cast<HGDIOBJ>(handle));
}

namespace raster_platform {

int FontLineHeight(LICE_FontHandle handle) {
  if (!handle) return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return 0;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(handle));
  TEXTMETRICW metrics{};
  const bool ok = GetTextMetricsW(dc, &metrics) != 0;
  SelectObject(dc, old);
  DeleteDC(dc);
  return ok ? static_cast<int>(metrics.tmHeight) : 0;
}

bool RenderGlyph(LICE_FontHandle handle, unsigned code, LICE_SysBitmap& scratch, GlyphPlacement& placed) {
  HDC dc = static_cast<HDC>(scratch.DeviceContext());
  if (!handle || !dc || !scratch.Bits() || code > 0xFFFF) return false;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(handle));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const wchar_t character = static_cast<wchar_t>(code);
  SIZE extent{};
  GetTextExtentPoint32W(dc, &character, 1, &extent);

  placed.penX = std::min(32, static_cast<int>(metrics.tmHeight) / 4 + 2);
  placed.advance = static_cast<int>(extent.cx);
  placed.left = 0;
  placed.top = 0;
  placed.right = scratch.Width();
  placed.bottom = std::min(scratch.Height(), static_cast<int>(metrics.tmHeight));
  RECT area{0, 0, placed.right, placed.bottom};
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc, placed.penX, 0, &character, 1);
  GdiFlush();  // the pixels are read straight from the DIB next
  SelectObject(dc, old);
  return true;
}

bool NativeTextAvailable() { return !RunningUnderWine(); }

bool DrawTextNative(LICE_FontHandle handle, LICE_IBitmap* bitmap, const char* text, int length, LICE_Rect* rect,
                    int flags, LICE_pixel colour, const LICE_Rect* clip) {
  HDC dc = bitmap ? static_cast<HDC>(bitmap->DeviceContext()) : nullptr;
  if (!handle || !dc || !rect) return false;
  const std::wstring wide = Widen(text, length);
  const int saved = SaveDC(dc);
  if (clip) IntersectClipRect(dc, clip->left, clip->top, clip->right, clip->bottom);
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(handle));
  SetTextColor(dc, RGB(LICE_GETR(colour), LICE_GETG(colour), LICE_GETB(colour)));
  SetBkMode(dc, TRANSPARENT);
  RECT area{rect->left, rect->top, rect->right, rect->bottom};
  UINT format = DT_SINGLELINE | DT_NOPREFIX;
  if ((flags & 3) == LICE_DT_CENTER) format |= DT_CENTER;
  if ((flags & 3) == LICE_DT_RIGHT) format |= DT_RIGHT;
  if (flags & LICE_DT_NOCLIP) format |= DT_NOCLIP;
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &area, format);
  GdiFlush();
  SelectObject(dc, old);
  if (saved) RestoreDC(dc, saved);
  return true;
}

}  // namespace raster_platform
