// LICE_SysBitmap without a window system: plain memory, no device context.
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

bool LICE_SysBitmap::Allocate(int allocatedWidth, int height) {
  if (static_cast<size_t>(allocatedWidth) > SIZE_MAX / 4 / static_cast<size_t>(height)) return false;
  mPixels = static_cast<LICE_pixel*>(
      std::calloc(static_cast<size_t>(allocatedWidth) * static_cast<size_t>(height), sizeof(LICE_pixel)));
  return mPixels != nullptr;
}
