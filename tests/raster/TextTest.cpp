#include "raster/CachedFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(Utf8, ByteLimitsCutBeforeACharacterThatDoesNotFit) {
  const struct {
    const char* text;
    size_t limit;
    const char* fitting;
  } cases[] = {
      {"abc", 3, "abc"},
      {"abc", 2, "ab"},
      {"ab\xE2\x82\xAC", 5, "ab\xE2\x82\xAC"},  // the euro sign fits whole
      {"ab\xE2\x82\xAC", 4, "ab"},              // ... or not at all
      {"ab\xE2\x82\xAC", 3, "ab"},
      {"\xC3\xA9t\xC3\xA9", 4, "\xC3\xA9t"},
      {"\xF0\x9F\x8E\xB5x", 3, ""},
      {"\xC3\xA9", 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LICE_Utf8Prefix(c.text, c.limit), c.fitting) << c.text << " " << c.limit;
}

TEST(Utf8, OneCharacterAtATime) {
  struct Case {
    const char* bytes;
    int length;
    unsigned code;
    int used;
  };
  const Case cases[] = {
      {"A", 1, 0x41, 1},
      {"\x7F", 1, 0x7F, 1},
      {"\xC3\xA9", 2, 0xE9, 2},
      {"\xDF\xBF", 2, 0x7FF, 2},
      {"\xE2\x82\xAC", 3, 0x20AC, 3},
      {"\xEF\xBF\xBD", 3, 0xFFFD, 3},
      {"\xF0\x9F\x8E\xB5", 4, 0x20, 4},  // beyond 16 bits: a space
      {"\xF4\x8F\xBF\xBF", 4, 0x20, 4},
      {"\x80", 1, 0x80, 1},                // a continuation byte alone stands for itself
      {"\xC0\x80", 2, 0xC0, 1},            // never a lead byte
      {"\xC1\xBF", 2, 0xC1, 1},
      {"\xC3" "A", 2, 0xC3, 1},            // continuation missing
      {"\xC3\xA9", 1, 0xC3, 1},            // the length ends the sequence
      {"\xE2\x82", 2, 0xE2, 1},
      {"\xE2\x82" "A", 3, 0xE2, 1},
      {"\xF0\x9F\x8E", 3, 0xF0, 1},
      {"\xF5\x80\x80\x80", 4, 0xF5, 1},
      {"\xFF", 1, 0xFF, 1},
  };
  for (const Case& c : cases) {
    unsigned code = 12345;
    EXPECT_EQ(LICE_DecodeUtf8Char(c.bytes, c.length, code), c.used) << c.bytes;
    EXPECT_EQ(code, c.code) << c.bytes;
  }
}

struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int brightest = 0;
  bool any() const { return right >= 0; }
};

// Where text (anything not black) is in a bitmap, and its brightest red value.
Ink FindInk(LICE_IBitmap& b) {
  Ink ink;
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const LICE_pixel p = b.Row(y)[x];
      if ((p & 0xFFFFFF) == 0) continue;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x + 1);
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y + 1);
      ink.brightest = std::max(ink.brightest, LICE_GETR(p));
    }
  }
  return ink;
}

std::unique_ptr<LICE_CachedFont> MakeFont(const char* face, int height, int weight = 400, int quality = 0) {
  LICE_FontDescription description;
  description.face = face;
  description.height = height;
  description.weight = weight;
  description.quality = quality;
  LICE_FontHandle handle = LICE_CreateFont(description);
  if (!handle) return nullptr;
  auto font = std::make_unique<LICE_CachedFont>();
  font->SetFromHandle(handle, LICE_CachedFont::kOwnsHandle | LICE_CachedFont::kPreferNative);
  return font;
}

class Text : public ::testing::Test {
 protected:
  Text() : surface(240, 40) { Clear(); }
  void Clear() {
    for (int y = 0; y < surface.Height(); ++y)
      for (int x = 0; x < surface.Width(); ++x) surface.Row(y)[x] = LICE_RGBA(0, 0, 0, 255);
  }
  // Draws onto a black surface and returns what changed.
  std::vector<LICE_pixel> Draw(LICE_IFont& font, const char* text, LICE_Rect rect, int flags,
                               LICE_pixel colour = LICE_RGBA(255, 255, 255, 192)) {
    Clear();
    font.SetTextColor(colour);
    font.DrawText(&surface, text, -1, &rect, flags);
    std::vector<LICE_pixel> pixels;
    for (int y = 0; y < surface.Height(); ++y) pixels.insert(pixels.end(), surface.Row(y), surface.Row(y) + 240);
    return pixels;
  }
  LICE_MemBitmap surface;
};

TEST_F(Text, UnknownFaceGivesNoFont) {
  LICE_FontDescription description;
  description.face = "No Such Face Anywhere";
  EXPECT_EQ(LICE_CreateFont(description), nullptr);
  description.face = "";
  EXPECT_EQ(LICE_CreateFont(description), nullptr);
  LICE_CachedFont font;
  EXPECT_FALSE(font.SetFromHandle(nullptr, LICE_CachedFont::kOwnsHandle));
  LICE_Rect rect{0, 0, 100, 20};
  EXPECT_EQ(font.DrawText(&surface, "text", -1, &rect, 0), 0);
  EXPECT_FALSE(FindInk(surface).any());
}

TEST_F(Text, WindowsFacesResolveToTheirInstalledEquivalents) {
  const auto arial = MakeFont("Arial", 20), liberation = MakeFont("Liberation Sans", 20);
  const auto verdana = MakeFont("Verdana", 20), dejavu = MakeFont("DejaVu Sans", 20);
  ASSERT_TRUE(arial && liberation && verdana && dejavu);
  const LICE_Rect rect{0, 0, 240, 40};
  const int flags = LICE_DT_USEFGALPHA;
  const auto arialPixels = Draw(*arial, "Viola 8'", rect, flags);
  EXPECT_EQ(arialPixels, Draw(*liberation, "Viola 8'", rect, flags));
  const auto verdanaPixels = Draw(*verdana, "Viola 8'", rect, flags);
  EXPECT_EQ(verdanaPixels, Draw(*dejavu, "Viola 8'", rect, flags));
  EXPECT_NE(arialPixels, verdanaPixels);
}

TEST_F(Text, ColourAlphaActsAsTheWeightInsideTheRectangle) {
  const auto font = MakeFont("Arial", 20);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->LineHeight(), 20);  // the cell height asked for, as on Windows
  const LICE_Rect rect{30, 6, 210, 34};
  struct Case {
    int align;
    const char* name;
  };
  int leftStart = 0;
  for (const Case& c : {Case{LICE_DT_LEFT, "left"}, Case{LICE_DT_CENTER, "centre"}, Case{LICE_DT_RIGHT, "right"}}) {
    Draw(*font, "String Ensemble", rect, c.align | LICE_DT_USEFGALPHA);
    const Ink ink = FindInk(surface);
    ASSERT_TRUE(ink.any()) << c.name;
    EXPECT_EQ(ink.brightest, 192) << c.name;  // full coverage at alpha 192 of white
    EXPECT_GE(ink.left, rect.left) << c.name;
    EXPECT_LE(ink.right, rect.right) << c.name;
    EXPECT_GE(ink.top, rect.top) << c.name;
    EXPECT_LE(ink.bottom, rect.top + 20) << c.name;
    if (c.align == LICE_DT_LEFT) {
      EXPECT_LE(ink.left, rect.left + 2);
      leftStart = ink.left;
    } else if (c.align == LICE_DT_CENTER) {
      EXPECT_NEAR(ink.left + ink.right, rect.left + rect.right, 4);
      EXPECT_GT(ink.left, leftStart + 20);
    } else {
      EXPECT_GE(ink.right, rect.right - 2);
    }
  }
  // Grey text stays grey and the surface's alpha stays opaque.
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      const LICE_pixel p = surface.Row(y)[x];
      ASSERT_TRUE(LICE_GETR(p) == LICE_GETG(p) && LICE_GETG(p) == LICE_GETB(p) && LICE_GETA(p) == 255) << x << "," << y;
    }
  }
  // Without the alpha flag the colour is drawn at full weight; coloured text keeps its hue.
  Draw(*font, "String Ensemble", rect, 0);
  EXPECT_EQ(FindInk(surface).brightest, 255);
  Draw(*font, "String Ensemble", rect, LICE_DT_USEFGALPHA, LICE_RGBA(255, 0, 0, 192));
  EXPECT_EQ(FindInk(surface).brightest, 192);
  for (int y = 0; y < surface.Height(); ++y)
    for (int x = 0; x < surface.Width(); ++x) ASSERT_EQ(surface.Row(y)[x] & 0xFFFF, 0u);
  // A transparent colour draws nothing.
  Draw(*font, "String Ensemble", rect, LICE_DT_USEFGALPHA, LICE_RGBA(255, 255, 255, 0));
  EXPECT_FALSE(FindInk(surface).any());
}

TEST_F(Text, ClippingAndMeasuring) {
  const auto font = MakeFont("Verdana", 14);
  ASSERT_TRUE(font);
  LICE_Rect measured{10, 5, 10, 5};
  EXPECT_EQ(font->DrawText(nullptr, "Delay: Time", -1, &measured, LICE_DT_CALCRECT), 14);
  EXPECT_EQ(measured.bottom, 19);
  const int width = measured.right - measured.left;
  EXPECT_GT(width, 50);
  EXPECT_LT(width, 110);

  const LICE_Rect narrow{10, 5, 40, 19};
  Draw(*font, "Delay: Time", narrow, LICE_DT_LEFT);
  Ink ink = FindInk(surface);
  EXPECT_LE(ink.right, narrow.right);
  Draw(*font, "Delay: Time", narrow, LICE_DT_LEFT | LICE_DT_NOCLIP);
  ink = FindInk(surface);
  EXPECT_GT(ink.right, narrow.right + 20);
  EXPECT_LE(ink.right, 10 + width + 1);
  // Text reaching past the bitmap's edges is clipped to it.
  Draw(*font, "Delay: Time", LICE_Rect{-30, -5, 300, 60}, LICE_DT_NOCLIP);
  Draw(*font, "Delay: Time", LICE_Rect{200, 30, 300, 60}, LICE_DT_NOCLIP);
  EXPECT_TRUE(FindInk(surface).any());
}

TEST_F(Text, InvalidUtf8DrawsAsItsBytes) {
  const auto font = MakeFont("DejaVu Sans", 16);
  ASSERT_TRUE(font);
  const LICE_Rect rect{0, 0, 240, 40};
  struct Case {
    const char* text;
    const char* sameAs;
  };
  const Case cases[] = {
      {"\xC3" "A", "\xC3\x83" "A"},                   // a lone lead byte is the character U+00C3
      {"x\xF0\x9F\x8E\xB5x", "x x"},                  // four bytes: a space
      {"\x80" "b", "\xC2\x80" "b"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9"},
  };
  for (const Case& c : cases) EXPECT_EQ(Draw(*font, c.text, rect, 0), Draw(*font, c.sameAs, rect, 0)) << c.sameAs;
  EXPECT_NE(Draw(*font, "\xC3" "A", rect, 0), Draw(*font, "A", rect, 0));
}

TEST_F(Text, BoldAndMonochromeFonts) {
  const auto regular = MakeFont("Arial", 18), bold = MakeFont("Arial", 18, 700);
  const auto mono = MakeFont("Arial", 18, 400, 1);
  ASSERT_TRUE(regular && bold && mono);
  const LICE_Rect rect{0, 0, 240, 40};
  const auto countInk = [](const std::vector<LICE_pixel>& pixels) {
    int sum = 0;
    for (LICE_pixel p : pixels) sum += LICE_GETR(p);
    return sum;
  };
  EXPECT_GT(countInk(Draw(*bold, "Phaser", rect, 0)), countInk(Draw(*regular, "Phaser", rect, 0)) * 11 / 10);
  for (LICE_pixel p : Draw(*mono, "Phaser", rect, 0)) ASSERT_TRUE(LICE_GETR(p) == 0 || LICE_GETR(p) == 255);
}

TEST(CachedFont, ScratchBitmapLivesWithTheFonts) {
  const int before = LICE_CachedFont::LiveCount();
  {
    LICE_CachedFont a, b;
    EXPECT_EQ(LICE_CachedFont::LiveCount(), before + 2);
  }
  EXPECT_EQ(LICE_CachedFont::LiveCount(), before);
}

}  // namespace
