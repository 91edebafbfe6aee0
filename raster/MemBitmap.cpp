// LICE_MemBitmap: a pixel buffer in plain memory with the growth rules of the header.
#include <cstdint>
#include <cstdlib>

#include "raster/Bitmap.h"

namespace {

// Every buffer is this much longer than its pixels, so a loop may read a little past the last row.
constexpr size_t kSpareBytes = 63;

}  // namespace

LICE_MemBitmap::LICE_MemBitmap(int width, int height) { Resize(width, height); }

LICE_MemBitmap::~LICE_MemBitmap() { std::free(mPixels); }

bool LICE_MemBitmap::Resize(int width, int height) {
  if (width == mWidth && height == mHeight) return false;
  const bool wasEmpty = mWidth == 0 && mHeight == 0;
  if (width <= 0 || height <= 0) {
    std::free(mPixels);
    mPixels = nullptr;
    mAllocated = 0;
    mWidth = mHeight = 0;
    return !wasEmpty;
  }
  const size_t span = (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
  const size_t limit = (SIZE_MAX - kSpareBytes) / 5;  // room for the 5/4 growth below
  if (span > limit / 4 / static_cast<size_t>(height)) {
    // Not addressable: the bitmap becomes empty rather than pretending to hold the pixels.
    return Resize(0, 0) || !wasEmpty;
  }
  const size_t needed = span * static_cast<size_t>(height) * 4;
  if (needed > mAllocated) {
    // The first buffer is exact; a bitmap that has to grow is likely to grow again.
    const size_t bytes = mPixels ? needed + needed / 4 : needed;
    std::free(mPixels);
    mPixels = static_cast<LICE_pixel*>(std::calloc(1, bytes + kSpareBytes));
    if (!mPixels) {
      mAllocated = 0;
      mWidth = mHeight = 0;
      return !wasEmpty;
    }
    mAllocated = bytes;
  }
  mWidth = width;
  mHeight = height;
  return true;
}
