// LICE_SysBitmap on Windows: a 32-bit top-down DIB section selected into a memory device context,
// which native text draws into and the window layer copies from.
#include <windows.h>

#include <cstdint>

#include "raster/Bitmap.h"

LICE_SysBitmap::LICE_SysBitmap(int width, int height) {
  mDC = CreateCompatibleDC(nullptr);
  Resize(width, height);
}

LICE_SysBitmap::~LICE_SysBitmap() {
  Release();
  if (mDC) DeleteDC(static_cast<HDC>(mDC));
}

// Frees the DIB; the device context stays for the next one.
void LICE_SysBitmap::Release() {
  if (mDIB) {
    if (mDC && mOldBitmap) SelectObject(static_cast<HDC>(mDC), static_cast<HGDIOBJ>(mOldBitmap));
    DeleteObject(static_cast<HGDIOBJ>(mDIB));
  }
  mDIB = mOldBitmap = nullptr;
  mPixels = nullptr;
  mWidth = mHeight = 0;
  mAllocatedWidth = mAllocatedHeight = 0;
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
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = allocatedWidth;
  info.bmiHeader.biHeight = -height;  // negative: rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(static_cast<HDC>(mDC), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) {
    if (dib) DeleteObject(dib);
    return !wasEmpty;
  }
  mDIB = dib;
  if (mDC) mOldBitmap = SelectObject(static_cast<HDC>(mDC), dib);
  mPixels = static_cast<LICE_pixel*>(bits);
  mWidth = width;
  mHeight = height;
  mAllocatedWidth = allocatedWidth;
  mAllocatedHeight = height;
  return true;
}
