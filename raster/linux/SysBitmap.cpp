// LICE_SysBitmap without a window system: plain memory, allocated width rounded up to 4 pixels, no
// device context.
#include <cstdint>
#include <cstdlib>

#include "raster/Bitmap.h"

LICE_SysBitmap::LICE_SysBitmap(int width, int height) { Resize(width, height); }

LICE_SysBitmap::~LICE_SysBitmap() { Release(); }

void LICE_SysBitmap::Release() {
  std::free(mPixels);
  mPixels = nullptr;
  mWidth = mHeight = 0;
  mAllocatedWidth = mAllocatedHeight = 0;
  mDC = mDIB = mOldBitmap = nullptr;
}

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
  if (static_cast<size_t>(allocatedWidth) > SIZE_MAX / 4 / static_cast<size_t>(height)) return !wasEmpty;
  mPixels = static_cast<LICE_pixel*>(
      std::calloc(static_cast<size_t>(allocatedWidth) * static_cast<size_t>(height), sizeof(LICE_pixel)));
  if (!mPixels) return !wasEmpty;
  mWidth = width;
  mHeight = height;
  mAllocatedWidth = allocatedWidth;
  mAllocatedHeight = height;
  return true;
}
