// 32-bit bitmaps: pixels in memory order blue, green, red, alpha (not premultiplied), rows top to bottom.
#pragma once

#include <cstddef>
#include <cstdint>

// One pixel as a 32-bit number: alpha in the top byte, then red, green, blue.
using LICE_pixel = uint32_t;

constexpr LICE_pixel LICE_RGBA(int r, int g, int b, int a) {
  return (static_cast<LICE_pixel>(a & 255) << 24) | (static_cast<LICE_pixel>(r & 255) << 16) |
         (static_cast<LICE_pixel>(g & 255) << 8) | static_cast<LICE_pixel>(b & 255);
}
constexpr int LICE_GETA(LICE_pixel p) { return static_cast<int>(p >> 24); }
constexpr int LICE_GETR(LICE_pixel p) { return static_cast<int>((p >> 16) & 255); }
constexpr int LICE_GETG(LICE_pixel p) { return static_cast<int>((p >> 8) & 255); }
constexpr int LICE_GETB(LICE_pixel p) { return static_cast<int>(p & 255); }

// A rectangle of pixels: left and top inclusive, right and bottom exclusive.
struct LICE_Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

class LICE_IBitmap {
 public:
  virtual ~LICE_IBitmap() = default;
  virtual LICE_pixel* Bits() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Pixels between the starts of two rows.
  virtual int RowSpan() const = 0;
  virtual bool IsFlipped() const { return false; }
  // True when the size changed.
  virtual bool Resize(int width, int height) = 0;
  // The native drawing context (a Windows HDC), or null for bitmaps that have none.
  virtual void* DeviceContext() { return nullptr; }
  virtual intptr_t Extended(int, void*) { return 0; }

  const LICE_pixel* Bits() const { return const_cast<LICE_IBitmap*>(this)->Bits(); }
  LICE_pixel* Row(int y) { return Bits() + static_cast<ptrdiff_t>(y) * RowSpan(); }
};

// A bitmap in plain memory. Rows are padded to a multiple of 4 pixels; every allocation carries 63
// spare bytes. The first allocation is exact, later growth takes 5/4 of what is needed, a shrink keeps
// the buffer, and a zero or negative size frees it.
class LICE_MemBitmap : public LICE_IBitmap {
 public:
  LICE_MemBitmap(int width = 0, int height = 0);
  ~LICE_MemBitmap() override;
  LICE_MemBitmap(const LICE_MemBitmap&) = delete;
  LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

  LICE_pixel* Bits() override { return mPixels; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int RowSpan() const override { return (mWidth + 3) & ~3; }
  bool Resize(int width, int height) override;
  size_t AllocatedBytes() const { return mAllocated; }

 private:
  LICE_pixel* mPixels = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  size_t mAllocated = 0;
};

// The editor's drawing surface. On Windows a 32-bit top-down DIB section selected into a memory
// device context, which the window layer copies from and native text draws into; elsewhere plain
// memory behind the same interface. A resize that fits the allocation keeps it.
class LICE_SysBitmap : public LICE_IBitmap {
 public:
  LICE_SysBitmap(int width = 0, int height = 0);
  ~LICE_SysBitmap() override;
  LICE_SysBitmap(const LICE_SysBitmap&) = delete;
  LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

  LICE_pixel* Bits() override { return mPixels; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int RowSpan() const override { return mAllocatedWidth; }
  bool Resize(int width, int height) override;
  void* DeviceContext() override { return mDC; }
  int AllocatedWidth() const { return mAllocatedWidth; }
  int AllocatedHeight() const { return mAllocatedHeight; }

 private:
  void Release();
  // The platform's pixel store for allocatedWidth x height (allocatedWidth a multiple of 4): sets
  // mPixels, or leaves it null and returns false.
  bool Allocate(int allocatedWidth, int height);

  LICE_pixel* mPixels = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  int mAllocatedWidth = 0;  // rounded up to a multiple of 4
  int mAllocatedHeight = 0;
  void* mDC = nullptr;      // Windows: HDC with the DIB selected; null elsewhere
  void* mDIB = nullptr;     // Windows: HBITMAP
  void* mOldBitmap = nullptr;
};
