// Text drawn with cached glyphs. A font is built from a platform font handle (GDI on Windows, a
// FreeType face found through fontconfig elsewhere); each glyph is rendered once into a process-wide
// 256 x 256 scratch bitmap and kept as an 8-bit coverage mask, and drawing blends the text colour by
// coverage times the colour's alpha. On Windows, outside Wine, opaque text is drawn natively into the
// bitmap's device context instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "raster/Bitmap.h"

// Drawing flags.
constexpr int LICE_DT_LEFT = 0;
constexpr int LICE_DT_CENTER = 1;
constexpr int LICE_DT_RIGHT = 2;
constexpr int LICE_DT_NOCLIP = 0x100;
constexpr int LICE_DT_CALCRECT = 0x400;           // measure only: rect receives the text's extent
constexpr int LICE_DT_USEFGALPHA = 0x80000000;    // blend by the text colour's alpha

// What a platform font is made from.
struct LICE_FontDescription {
  std::string face;       // e.g. "Arial"
  int height = 12;        // cell height in pixels (ascent + descent)
  int weight = 400;       // 700 for bold
  bool italic = false;
  int quality = 0;        // 0 default, 1 not antialiased, 2 antialiased, 3 sub-pixel
  int orientation = 0;    // tenths of a degree
};

// A platform font handle; opaque above the raster layer.
using LICE_FontHandle = void*;

// Creates the platform font, or null when no installed font matches the face (after the platform's
// own aliases: "Arial" -> Liberation Sans, "Verdana" -> DejaVu Sans on Linux) and no fallback face
// is set.
LICE_FontHandle LICE_CreateFont(const LICE_FontDescription& description);
// Frees a handle from LICE_CreateFont (LICE_CachedFont does this for the handles it owns).
void LICE_DestroyFont(LICE_FontHandle handle);
// A TrueType face built into the module, used whenever the system cannot give the family asked for,
// so that text never goes blank on a machine without the usual fonts. The bytes must outlive every
// font made from them. Windows always has its faces and ignores it.
void LICE_SetFallbackFont(const void* data, size_t size);

class LICE_IFont {
 public:
  virtual ~LICE_IFont() = default;
  virtual void SetTextColor(LICE_pixel colour) = 0;
  virtual int LineHeight() const = 0;
  // Draws UTF-8 text (length -1: up to the terminator) into rect of bitmap with the LICE_DT_ flags;
  // with LICE_DT_CALCRECT only measures, setting rect's right and bottom. Returns the text height.
  // No pixel outside clip (when given) changes, whatever the flags.
  virtual int DrawText(LICE_IBitmap* bitmap, const char* text, int length, LICE_Rect* rect, int flags,
                       const LICE_Rect* clip = nullptr) = 0;
};

class LICE_CachedFont : public LICE_IFont {
 public:
  static constexpr int kOwnsHandle = 1;
  static constexpr int kPreferNative = 2;

  LICE_CachedFont();
  ~LICE_CachedFont() override;
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  // Takes the handle (owned with kOwnsHandle); false for a null handle.
  bool SetFromHandle(LICE_FontHandle handle, int flags);
  void SetTextColor(LICE_pixel colour) override { mTextColour = colour; }
  int LineHeight() const override { return mLineHeight; }
  int DrawText(LICE_IBitmap* bitmap, const char* text, int length, LICE_Rect* rect, int flags,
               const LICE_Rect* clip = nullptr) override;

  // Fonts alive in the process; the scratch bitmap lives while this is above 0.
  static int LiveCount();

 private:
  struct Glyph;
  const Glyph* FindGlyph(unsigned code);

  LICE_FontHandle mHandle = nullptr;
  int mFlags = 0;
  int mLineHeight = 0;
  LICE_pixel mTextColour = LICE_RGBA(0, 0, 0, 255);
  std::map<unsigned, std::unique_ptr<Glyph>> mGlyphs;
};

// Decodes one character of UTF-8 at text (at most length bytes) into code and returns the bytes used:
// a byte below 0x80 or an invalid lead byte stands for itself; 0xC2..0xDF with one continuation byte and
// 0xE0..0xEF with two give the 16-bit code; 0xF0..0xF4 with three give a space.
int LICE_DecodeUtf8Char(const char* text, int length, unsigned& code);

// The longest start of text that fits in maxBytes without cutting a UTF-8 sequence apart, so that a
// byte limit (a program name, a value text, a host's buffer) never leaves half a character behind.
std::string LICE_Utf8Prefix(const std::string& text, size_t maxBytes);
