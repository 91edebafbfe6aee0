// The size rules of LICE_SysBitmap, the same on every platform: a resize that fits the allocation
// keeps it, anything larger starts a new one with the width rounded up to 4 pixels.
#include <cstdint>

#include "raster/Bitmap.h"

bool LICE_SysBitmap::Resize(int width, int height) {
  if (width == mWidth && height == mHeight) return false;
  const bool wasEmpty = mWidth == 0 && mHeight == 0;
  if (width <= 0 || height <= 0) {
    Release();
    return !wasEmpty;
  }
  if (width <= mAllocatedWidth && height <= mAllocatedHeight) {
    mWidth = width;
    mHeight = height;
    return true;
  }
  Release();
  if (width > INT32_MAX - 3) return !wasEmpty;
  const int allocatedWidth = (width + 3) & ~3;
  if (!Allocate(allocatedWidth, height)) return !wasEmpty;
  mWidth = width;
  mHeight = height;
  mAllocatedWidth = allocatedWidth;
  mAllocatedHeight = height;
  return true;
}
