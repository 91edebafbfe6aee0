// Image strips made in memory for the editor tests: frame f (1-based) is filled with the colour
// FrameColour(f), opaque.
#pragma once

#include <memory>
#include <vector>

#include "editor/EditorTypes.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"

inline LICE_pixel FrameColour(int frame) { return LICE_RGBA(10 * frame, 255 - frame, 7, 255); }

inline BitmapStrip MakeStrip(int width, int frameHeight, int frames) {
  static std::vector<std::unique_ptr<LICE_MemBitmap>> keep;
  keep.push_back(std::make_unique<LICE_MemBitmap>(width, frameHeight * frames));
  LICE_MemBitmap* bitmap = keep.back().get();
  for (int f = 1; f <= frames; ++f) {
    FillBitmapRect(bitmap, 0, (f - 1) * frameHeight, width, frameHeight, FrameColour(f), 1.0f, kBlitCopy);
  }
  BitmapStrip strip;
  strip.bitmap = bitmap;
  strip.width = width;
  strip.height = frameHeight * frames;
  strip.frames = frames;
  return strip;
}

inline LICE_pixel PixelAt(LICE_IBitmap* bitmap, int x, int y) { return bitmap->Row(y)[x]; }
