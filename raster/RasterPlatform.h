// What the platform folders (raster/win, raster/linux) supply to the portable raster code. Private to
// the raster library; no OS type appears here.
#pragma once

#include <cstddef>
#include <cstdio>

#include "raster/CachedFont.h"

namespace raster_platform {

// Where a glyph was drawn in the scratch bitmap: the pen started at (penX, 0), the top of the line,
// and everything it drew lies inside [left, right) x [top, bottom). advance is the pen's step in pixels.
struct GlyphPlacement {
  int penX = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int advance = 0;
};

// The cell height of the font in pixels (ascent + descent); 0 for a handle that is not a font.
int FontLineHeight(LICE_FontHandle font);

// Draws one character white on black into the scratch bitmap (the region it reports is black
// wherever the glyph has no ink). False when the character cannot be drawn at all.
bool RenderGlyph(LICE_FontHandle font, unsigned code, LICE_SysBitmap& scratch, GlyphPlacement& placed);

// Draws text with the system's own text output into the bitmap's device context. False when the
// platform has no such path (the caller then draws glyph by glyph). Nothing outside clip (when given)
// is drawn.
bool DrawTextNative(LICE_FontHandle font, LICE_IBitmap* bitmap, const char* text, int length, LICE_Rect* rect,
                    int flags, LICE_pixel colour, const LICE_Rect* clip);
// True when native drawing may be preferred for opaque text (Windows outside Wine).
bool NativeTextAvailable();

// Opens a file for binary reading; the path is tried as UTF-8 and then as a narrow path. Null when
// it cannot be opened.
std::FILE* OpenForReading(const char* path);

// The module's own image resource with this identifier (Windows: type "PNG"); false when there is none.
bool FindModuleImage(void* module, int id, const void*& data, size_t& size);

}  // namespace raster_platform
