// Blit and FillBitmapRect: the opaque copy and the copy with source alpha that the editor draws with.
#include "raster/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// The part of a blit that lies inside both bitmaps.
struct Area {
  int destX = 0;
  int destY = 0;
  int srcX = 0;
  int srcY = 0;
  int width = 0;
  int height = 0;
};

// A bitmap's rows, its pixels and row span asked once per blit rather than once per row (an image
// decoded on first use checks for that on every ask).
class Rows {
 public:
  explicit Rows(const LICE_IBitmap* bitmap)
      : mBits(const_cast<LICE_IBitmap*>(bitmap)->Bits()),
        mSpan(bitmap->RowSpan()),
        mLast(bitmap->Height() - 1),
        mFlipped(bitmap->IsFlipped()) {}
  LICE_pixel* operator[](int y) const { return mBits + static_cast<ptrdiff_t>(mFlipped ? mLast - y : y) * mSpan; }

 private:
  LICE_pixel* mBits;
  int mSpan;
  int mLast;
  bool mFlipped;
};

// Clips the source rectangle to the source and then the destination position to the destination,
// moving both together. Arithmetic in 64 bits so that extreme coordinates cannot overflow.
bool ClipBlit(const LICE_IBitmap& dest, const LICE_IBitmap& src, int x, int y, const LICE_Rect* srcRect,
              Area& area) {
  int64_t left = srcRect ? srcRect->left : 0;
  int64_t top = srcRect ? srcRect->top : 0;
  int64_t right = srcRect ? srcRect->right : src.Width();
  int64_t bottom = srcRect ? srcRect->bottom : src.Height();
  int64_t dx = x;
  int64_t dy = y;
  if (left < 0) {
    dx -= left;
    left = 0;
  }
  if (top < 0) {
    dy -= top;
    top = 0;
  }
  right = std::min<int64_t>(right, src.Width());
  bottom = std::min<int64_t>(bottom, src.Height());
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  const int64_t width = std::min<int64_t>(right - left, dest.Width() - dx);
  const int64_t height = std::min<int64_t>(bottom - top, dest.Height() - dy);
  if (width <= 0 || height <= 0) return false;
  area.destX = static_cast<int>(dx);
  area.destY = static_cast<int>(dy);
  area.srcX = static_cast<int>(left);
  area.srcY = static_cast<int>(top);
  area.width = static_cast<int>(width);
  area.height = static_cast<int>(height);
  return true;
}

bool Usable(const LICE_IBitmap* bitmap) {
  return bitmap && bitmap->Bits() && bitmap->Width() > 0 && bitmap->Height() > 0;
}

// Every byte halved (0.5) or quartered (0.25), without carries between bytes.
inline uint32_t Half(uint32_t p) { return (p >> 1) & 0x7f7f7f7fu; }
inline uint32_t Quarter(uint32_t p) { return (p >> 2) & 0x3f3f3f3fu; }

// c = s + (d - s) * keep / 256 for every byte; the division truncates toward zero, as C++'s does.
inline uint32_t MixAll(uint32_t s, uint32_t d, int keep) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int sc = static_cast<int>((s >> shift) & 255);
    const int dc = static_cast<int>((d >> shift) & 255);
    out |= static_cast<uint32_t>(sc + (dc - sc) * keep / 256) << shift;
  }
  return out;
}

// The colour bytes mixed as MixAll, the alpha byte given.
inline uint32_t MixColour(uint32_t s, uint32_t d, int keep, int alpha) {
  const int sb = static_cast<int>(s & 255), db = static_cast<int>(d & 255);
  const int sg = static_cast<int>((s >> 8) & 255), dg = static_cast<int>((d >> 8) & 255);
  const int sr = static_cast<int>((s >> 16) & 255), dr = static_cast<int>((d >> 16) & 255);
  const int b = sb + (db - sb) * keep / 256;
  const int g = sg + (dg - sg) * keep / 256;
  const int r = sr + (dr - sr) * keep / 256;
  return static_cast<uint32_t>(b) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(r) << 16) |
         (static_cast<uint32_t>(alpha) << 24);
}

void CopyRows(LICE_IBitmap* dest, const LICE_IBitmap* src, const Area& a) {
  const size_t bytes = static_cast<size_t>(a.width) * sizeof(LICE_pixel);
  // Within one bitmap, rows moving down are copied bottom first so that none is read after it is written.
  const bool upward = dest == src && a.destY > a.srcY;
  const Rows to(dest);
  const Rows from(src);
  for (int i = 0; i < a.height; ++i) {
    const int row = upward ? a.height - 1 - i : i;
    std::memmove(to[a.destY + row] + a.destX, from[a.srcY + row] + a.srcX, bytes);
  }
}

template <typename PixelRule>
void EachPixel(LICE_IBitmap* dest, const LICE_IBitmap* src, const Area& a, PixelRule rule) {
  const Rows to(dest);
  const Rows from(src);
  for (int row = 0; row < a.height; ++row) {
    LICE_pixel* d = to[a.destY + row] + a.destX;
    const LICE_pixel* s = from[a.srcY + row] + a.srcX;
    for (int i = 0; i < a.width; ++i) rule(s[i], d[i]);
  }
}

template <typename PixelRule>
void EachPixel(LICE_IBitmap* dest, int x, int y, int width, int height, PixelRule rule) {
  const Rows to(dest);
  for (int row = 0; row < height; ++row) {
    LICE_pixel* d = to[y + row] + x;
    for (int i = 0; i < width; ++i) rule(d[i]);
  }
}

}  // namespace

void Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int x, int y, const LICE_Rect* srcRect, float weight,
          int mode) {
  if (!Usable(dest) || !Usable(src) || !(weight > 0.0f)) return;
  Area area;
  if (!ClipBlit(*dest, *src, x, y, srcRect, area)) return;

  if (!(mode & kBlitUseAlpha)) {
    if (weight >= 1.0f) {
      CopyRows(dest, src, area);
    } else if (weight == 0.5f) {
      EachPixel(dest, src, area, [](LICE_pixel s, LICE_pixel& d) { d = Half(d) + Half(s); });
    } else {
      const int keep = 256 - static_cast<int>(weight * 256.0f);
      EachPixel(dest, src, area, [keep](LICE_pixel s, LICE_pixel& d) { d = MixAll(s, d, keep); });
    }
    return;
  }

  if (weight >= 1.0f) {
    EachPixel(dest, src, area, [](LICE_pixel s, LICE_pixel& d) {
      const int a = static_cast<int>(s >> 24);
      if (a == 255) {
        d = s;
      } else if (a != 0) {
        d = MixColour(s, d, 255 - a, std::min(255, static_cast<int>(d >> 24) + a));
      }
    });
  } else {
    const int w256 = static_cast<int>(weight * 256.0f);
    EachPixel(dest, src, area, [w256](LICE_pixel s, LICE_pixel& d) {
      const int a = static_cast<int>(s >> 24);
      if (a == 0) return;
      const int h = w256 * (a + 1) / 256;
      d = MixColour(s, d, 256 - h, std::min(255, static_cast<int>(d >> 24) + h));
    });
  }
}

void FillBitmapRect(LICE_IBitmap* dest, int x, int y, int width, int height, LICE_pixel colour, float weight,
                    int mode) {
  if (!Usable(dest)) return;
  if (mode & kBlitUseAlpha) weight = weight * static_cast<float>(LICE_GETA(colour)) / 255.0f;
  if (!(weight > 0.0f) || width <= 0 || height <= 0) return;
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, dest->Width());
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, dest->Height());
  if (right <= left || bottom <= top) return;
  const int cx = static_cast<int>(left), cy = static_cast<int>(top);
  const int cw = static_cast<int>(right - left), ch = static_cast<int>(bottom - top);

  const uint32_t c = colour;
  if (weight >= 1.0f) {
    EachPixel(dest, cx, cy, cw, ch, [c](LICE_pixel& d) { d = c; });
  } else if (weight == 0.5f) {
    const uint32_t half = Half(c);
    EachPixel(dest, cx, cy, cw, ch, [half](LICE_pixel& d) { d = Half(d) + half; });
  } else if (weight == 0.25f) {
    const uint32_t quarter = Quarter(c);
    EachPixel(dest, cx, cy, cw, ch, [quarter](LICE_pixel& d) { d = Half(d) + Quarter(d) + quarter; });
  } else if (weight == 0.75f) {
    const uint32_t most = Half(c) + Quarter(c);
    EachPixel(dest, cx, cy, cw, ch, [most](LICE_pixel& d) { d = Quarter(d) + most; });
  } else {
    const int keep = 256 - static_cast<int>(weight * 256.0f);
    EachPixel(dest, cx, cy, cw, ch, [c, keep](LICE_pixel& d) { d = MixAll(c, d, keep); });
  }
}
