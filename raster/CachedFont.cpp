// LICE_CachedFont: glyphs rendered once through the platform into the shared scratch bitmap, kept as
// coverage masks, and blended into bitmaps in the text colour.
#include "raster/CachedFont.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "raster/RasterPlatform.h"

namespace {

// Guards the scratch bitmap, the count of fonts and every font's glyph store: one font may be shared
// by editors on different threads.
std::mutex& FontLock() {
  static std::mutex lock;
  return lock;
}

int gLiveFonts = 0;
LICE_SysBitmap* gScratch = nullptr;
constexpr int kScratchSize = 256;

// The scratch bitmap's grey (white text on black) as coverage; the weights average the colour
// fringes that sub-pixel rendering leaves.
inline int Coverage(LICE_pixel p) { return (LICE_GETR(p) + 2 * LICE_GETG(p) + LICE_GETB(p) + 2) / 4; }

}  // namespace

struct LICE_CachedFont::Glyph {
  int left = 0;  // from the pen position
  int top = 0;   // from the top of the line
  int width = 0;
  int height = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;  // width x height, row by row
};

int LICE_DecodeUtf8Char(const char* text, int length, unsigned& code) {
  if (!text || length <= 0) {
    code = 0;
    return 0;
  }
  const auto* b = reinterpret_cast<const unsigned char*>(text);
  code = b[0];
  const auto follows = [&](int count) {
    if (length <= count) return false;
    for (int i = 1; i <= count; ++i) {
      if (b[i] < 0x80 || b[i] > 0xBF) return false;
    }
    return true;
  };
  if (b[0] >= 0xC2 && b[0] <= 0xDF && follows(1)) {
    code = ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
    return 2;
  }
  if (b[0] >= 0xE0 && b[0] <= 0xEF && follows(2)) {
    code = ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
    return 3;
  }
  if (b[0] >= 0xF0 && b[0] <= 0xF4 && follows(3)) {
    code = ' ';  // beyond 16 bits: shown as a space
    return 4;
  }
  return 1;  // ASCII, or a byte that starts no valid sequence
}

std::string LICE_Utf8Prefix(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t cut = maxBytes;
  // Back over continuation bytes to the start of the character that would be split.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

LICE_CachedFont::LICE_CachedFont() {
  std::lock_guard<std::mutex> hold(FontLock());
  if (gLiveFonts++ == 0) gScratch = new LICE_SysBitmap(kScratchSize, kScratchSize);
}

LICE_CachedFont::~LICE_CachedFont() {
  std::lock_guard<std::mutex> hold(FontLock());
  mGlyphs.clear();
  if ((mFlags & kOwnsHandle) && mHandle) LICE_DestroyFont(mHandle);
  if (--gLiveFonts == 0) {
    delete gScratch;
    gScratch = nullptr;
  }
}

int LICE_CachedFont::LiveCount() {
  std::lock_guard<std::mutex> hold(FontLock());
  return gLiveFonts;
}

bool LICE_CachedFont::SetFromHandle(LICE_FontHandle handle, int flags) {
  if (!handle) return false;
  std::lock_guard<std::mutex> hold(FontLock());
  if ((mFlags & kOwnsHandle) && mHandle && mHandle != handle) LICE_DestroyFont(mHandle);
  mGlyphs.clear();
  mHandle = handle;
  mFlags = flags;
  mLineHeight = raster_platform::FontLineHeight(handle);
  return true;
}

// Called with the font lock held.
const LICE_CachedFont::Glyph* LICE_CachedFont::FindGlyph(unsigned code) {
  const auto found = mGlyphs.find(code);
  if (found != mGlyphs.end()) return found->second.get();

  auto glyph = std::make_unique<Glyph>();
  raster_platform::GlyphPlacement placed;
  // Control characters take no room; a character the font cannot draw is remembered as empty too.
  if (code >= 0x20 && gScratch && raster_platform::RenderGlyph(mHandle, code, *gScratch, placed)) {
    glyph->advance = placed.advance;
    // The ink's bounding box inside the region the platform drew.
    int left = placed.right, right = placed.left, top = placed.bottom, bottom = placed.top;
    for (int y = placed.top; y < placed.bottom; ++y) {
      const LICE_pixel* row = gScratch->Row(y);
      for (int x = placed.left; x < placed.right; ++x) {
        if (Coverage(row[x]) == 0) continue;
        left = std::min(left, x);
        right = std::max(right, x + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
      }
    }
    if (right > left && bottom > top) {
      glyph->left = left - placed.penX;
      glyph->top = top;
      glyph->width = right - left;
      glyph->height = bottom - top;
      glyph->coverage.resize(static_cast<size_t>(glyph->width) * static_cast<size_t>(glyph->height));
      uint8_t* out = glyph->coverage.data();
      for (int y = top; y < bottom; ++y) {
        const LICE_pixel* row = gScratch->Row(y);
        for (int x = left; x < right; ++x) *out++ = static_cast<uint8_t>(Coverage(row[x]));
      }
    }
  }
  const Glyph* result = glyph.get();
  mGlyphs.emplace(code, std::move(glyph));
  return result;
}

int LICE_CachedFont::DrawText(LICE_IBitmap* bitmap, const char* text, int length, LICE_Rect* rect, int flags,
                              const LICE_Rect* clip) {
  if (!mHandle || !text || !rect) return 0;
  if (length < 0) length = static_cast<int>(std::strlen(text));
  const bool measure = (flags & LICE_DT_CALCRECT) != 0;
  const int alpha = (flags & LICE_DT_USEFGALPHA) ? LICE_GETA(mTextColour) : 255;

  if (!measure && bitmap && bitmap->DeviceContext() &&
      (((mFlags & kPreferNative) && alpha == 255 && raster_platform::NativeTextAvailable()) ||
       mLineHeight > 255) &&
      raster_platform::DrawTextNative(mHandle, bitmap, text, length, rect, flags, mTextColour, clip)) {
    return mLineHeight;
  }

  std::lock_guard<std::mutex> hold(FontLock());
  std::vector<const Glyph*> line;
  int width = 0;
  for (int at = 0; at < length;) {
    unsigned code = 0;
    const int used = LICE_DecodeUtf8Char(text + at, length - at, code);
    if (used <= 0 || code == 0) break;
    at += used;
    const Glyph* glyph = FindGlyph(code);
    line.push_back(glyph);
    width += glyph->advance;
  }

  if (measure) {
    rect->right = rect->left + width;
    rect->bottom = rect->top + mLineHeight;
    return mLineHeight;
  }
  if (!bitmap || !bitmap->Bits() || alpha == 0) return mLineHeight;

  int penX = rect->left;
  const int align = flags & 3;
  if (align == LICE_DT_CENTER) {
    penX = rect->left + (rect->right - rect->left - width) / 2;
  } else if (align == LICE_DT_RIGHT) {
    penX = rect->right - width;
  }
  int clipLeft = 0, clipTop = 0, clipRight = bitmap->Width(), clipBottom = bitmap->Height();
  if (!(flags & LICE_DT_NOCLIP)) {
    clipLeft = std::max(clipLeft, rect->left);
    clipTop = std::max(clipTop, rect->top);
    clipRight = std::min(clipRight, rect->right);
    clipBottom = std::min(clipBottom, rect->bottom);
  }
  if (clip) {
    clipLeft = std::max(clipLeft, clip->left);
    clipTop = std::max(clipTop, clip->top);
    clipRight = std::min(clipRight, clip->right);
    clipBottom = std::min(clipBottom, clip->bottom);
  }

  const int red = LICE_GETR(mTextColour), green = LICE_GETG(mTextColour), blue = LICE_GETB(mTextColour);
  const LICE_pixel solid = LICE_RGBA(red, green, blue, 255);
  for (const Glyph* glyph : line) {
    const int x0 = penX + glyph->left;
    const int y0 = rect->top + glyph->top;
    penX += glyph->advance;
    const int left = std::max(clipLeft, x0), right = std::min(clipRight, x0 + glyph->width);
    const int top = std::max(clipTop, y0), bottom = std::min(clipBottom, y0 + glyph->height);
    for (int y = top; y < bottom; ++y) {
      const uint8_t* cover = glyph->coverage.data() + static_cast<ptrdiff_t>(y - y0) * glyph->width;
      LICE_pixel* row = bitmap->Row(y);
      for (int x = left; x < right; ++x) {
        // The colour's weight here: its coverage times the colour's alpha, 0..255.
        const int k = cover[x - x0] * alpha / 255;
        if (k == 0) continue;
        if (k == 255) {
          row[x] = solid;
          continue;
        }
        const LICE_pixel d = row[x];
        const int b = LICE_GETB(d) + (blue - LICE_GETB(d)) * k / 255;
        const int g = LICE_GETG(d) + (green - LICE_GETG(d)) * k / 255;
        const int r = LICE_GETR(d) + (red - LICE_GETR(d)) * k / 255;
        row[x] = LICE_RGBA(r, g, b, std::min(255, LICE_GETA(d) + k));
      }
    }
  }
  return mLineHeight;
}
