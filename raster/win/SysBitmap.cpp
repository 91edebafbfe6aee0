// LICE_SysBitmap on Windows: a 32-bit top-down DIB section selected into a memory device context,
// which native text draws into and the window layer copies from.
#include <windows.h>


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

bool LICE_SysBitmap::Allocate(int allocatedWidth, int height) {
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
    return false;
  }
  mDIB = dib;
  if (mDC) mOldBitmap = SelectObject(static_cast<HDC>(mDC), dib);
  mPixels = static_cast<LICE_pixel*>(bits);
  return true;
}
