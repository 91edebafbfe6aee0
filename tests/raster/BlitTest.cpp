#include "raster/Blit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Show(LICE_pixel p) {
  char text[40];
  std::snprintf(text, sizeof text, "rgba(%d,%d,%d,%d)", LICE_GETR(p), LICE_GETG(p), LICE_GETB(p), LICE_GETA(p));
  return text;
}

// One source pixel blitted onto one destination pixel.
LICE_pixel BlitOne(LICE_pixel source, LICE_pixel dest, float weight, int mode) {
  LICE_MemBitmap s(1, 1), d(1, 1);
  *s.Bits() = source;
  *d.Bits() = dest;
  Blit(&d, &s, 0, 0, nullptr, weight, mode);
  return *d.Bits();
}

LICE_pixel FillOne(LICE_pixel colour, LICE_pixel dest, float weight, int mode) {
  LICE_MemBitmap d(1, 1);
  *d.Bits() = dest;
  FillBitmapRect(&d, 0, 0, 1, 1, colour, weight, mode);
  return *d.Bits();
}

constexpr LICE_pixel kDest = LICE_RGBA(40, 220, 131, 9);

struct PixelCase {
  LICE_pixel source;
  float weight;
  LICE_pixel expected;
};

TEST(Blit, CopyMixesEveryByteByWeight) {
  const LICE_pixel s = LICE_RGBA(200, 100, 10, 255);
  const PixelCase cases[] = {
      {s, 1.0f, LICE_RGBA(200, 100, 10, 255)},
      {s, 0.5f, LICE_RGBA(120, 160, 70, 131)},   // halves of both
      {s, 0.25f, LICE_RGBA(80, 190, 100, 71)},   // alpha: 255 - 184.5 truncated toward zero
      {s, 0.3f, LICE_RGBA(88, 184, 95, 83)},     // w256 = 76
      {s, 2.0f, LICE_RGBA(200, 100, 10, 255)},   // above 1 copies
  };
  for (const PixelCase& c : cases) {
    EXPECT_EQ(Show(BlitOne(c.source, kDest, c.weight, kBlitCopy)), Show(c.expected)) << "weight " << c.weight;
  }
}

TEST(Blit, SourceAlphaRules) {
  const PixelCase cases[] = {
      // Weight 1.
      {LICE_RGBA(200, 100, 10, 0), 1.0f, kDest},
      {LICE_RGBA(200, 100, 10, 255), 1.0f, LICE_RGBA(200, 100, 10, 255)},
      {LICE_RGBA(200, 100, 10, 128), 1.0f, LICE_RGBA(121, 159, 70, 137)},
      {LICE_RGBA(200, 100, 10, 1), 1.0f, LICE_RGBA(42, 219, 130, 10)},
      // Weight 0.25: h = 64 * (a + 1) / 256.
      {LICE_RGBA(200, 100, 10, 0), 0.25f, kDest},
      {LICE_RGBA(200, 100, 10, 255), 0.25f, LICE_RGBA(80, 190, 100, 73)},  // h = 64
      {LICE_RGBA(200, 100, 10, 128), 0.25f, LICE_RGBA(60, 205, 115, 41)},  // h = 32
      {LICE_RGBA(200, 100, 10, 3), 0.25f, LICE_RGBA(41, 219, 130, 10)},    // h = 1
      {LICE_RGBA(200, 100, 10, 2), 0.25f, kDest},                          // h = 0
  };
  for (const PixelCase& c : cases) {
    EXPECT_EQ(Show(BlitOne(c.source, kDest, c.weight, kBlitUseAlpha)), Show(c.expected))
        << Show(c.source) << " weight " << c.weight;
  }
  // (d - s) * 1 / 256 is -0.625: truncated toward zero the colour stays 200; the alpha saturates.
  EXPECT_EQ(Show(BlitOne(LICE_RGBA(200, 100, 10, 254), LICE_RGBA(40, 220, 131, 200), 1.0f, kBlitUseAlpha)),
            Show(LICE_RGBA(200, 100, 10, 255)));
}

TEST(Fill, WeightsAndTheUseAlphaFlag) {
  struct FillCase {
    LICE_pixel colour;
    float weight;
    int mode;
    LICE_pixel expected;
  };
  const LICE_pixel half = LICE_RGBA(200, 100, 10, 128);
  const LICE_pixel opaque = LICE_RGBA(200, 100, 10, 255);
  const FillCase cases[] = {
      {half, 1.0f, kBlitCopy, half},
      {half, 0.5f, kBlitCopy, LICE_RGBA(120, 160, 70, 68)},
      {half, 0.25f, kBlitCopy, LICE_RGBA(80, 190, 99, 38)},   // d/2 + d/4 + c/4
      {half, 0.75f, kBlitCopy, LICE_RGBA(160, 130, 39, 98)},  // d/4 + c/2 + c/4
      {half, 0.3f, kBlitCopy, LICE_RGBA(88, 184, 95, 45)},
      {opaque, 1.0f, kBlitUseAlpha, opaque},
      {opaque, 0.5f, kBlitUseAlpha, LICE_RGBA(120, 160, 70, 131)},
      {half, 1.0f, kBlitUseAlpha, LICE_RGBA(120, 160, 70, 69)},  // weight 128/255: blended, not halved
      {LICE_RGBA(200, 100, 10, 51), 0.5f, kBlitUseAlpha, LICE_RGBA(56, 208, 119, 14)},  // weight 0.1
      {LICE_RGBA(200, 100, 10, 0), 1.0f, kBlitUseAlpha, kDest},  // transparent colour: nothing
      {opaque, 0.0f, kBlitCopy, kDest},
  };
  for (const FillCase& c : cases) {
    EXPECT_EQ(Show(FillOne(c.colour, kDest, c.weight, c.mode)), Show(c.expected))
        << Show(c.colour) << " weight " << c.weight << " mode " << c.mode;
  }
}

// Source pixels are letters a..i (3 x 3); the destination is 4 x 3 and '.' where nothing was drawn.
class BlitClip : public ::testing::Test {
 protected:
  BlitClip() : src(3, 3), dest(4, 3) {
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) src.Row(y)[x] = LICE_RGBA('a' + y * 3 + x, 0, 0, 255);
    Clear();
  }
  void Clear() {
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) dest.Row(y)[x] = LICE_RGBA('.', 0, 0, 255);
  }
  std::string Picture() {
    std::string out;
    for (int y = 0; y < 3; ++y) {
      if (y) out += '|';
      for (int x = 0; x < 4; ++x) out += static_cast<char>(LICE_GETR(dest.Row(y)[x]));
    }
    return out;
  }
  LICE_MemBitmap src;
  LICE_MemBitmap dest;
};

TEST_F(BlitClip, EveryEdgeOfBothBitmaps) {
  struct ClipCase {
    int x, y;
    bool useRect;
    LICE_Rect rect;
    const char* expected;
  };
  const ClipCase cases[] = {
      {0, 0, false, {}, "abc.|def.|ghi."},
      {-1, -1, false, {}, "ef..|hi..|...."},
      {2, 1, false, {}, "....|..ab|..de"},
      {1, -2, false, {}, ".ghi|....|...."},
      {0, 0, true, {-1, -1, 2, 2}, "....|.ab.|.de."},  // rectangle reaching before the source
      {0, 0, true, {1, 1, 5, 5}, "ef..|hi..|...."},    // and beyond it
      {1, 0, true, {1, 0, 2, 3}, ".b..|.e..|.h.."},
      {4, 0, false, {}, "....|....|...."},
      {0, 3, false, {}, "....|....|...."},
      {-3, 0, false, {}, "....|....|...."},
      {0, -3, false, {}, "....|....|...."},
      {0, 0, true, {1, 1, 1, 3}, "....|....|...."},  // empty rectangle
      {0, 0, true, {2, 0, 1, 3}, "....|....|...."},  // inverted rectangle
      {0, 0, true, {3, 0, 5, 3}, "....|....|...."},  // rectangle outside the source
  };
  for (int mode : {kBlitCopy, kBlitUseAlpha}) {
    for (const ClipCase& c : cases) {
      Clear();
      Blit(&dest, &src, c.x, c.y, c.useRect ? &c.rect : nullptr, 1.0f, mode);
      EXPECT_EQ(Picture(), c.expected) << "at " << c.x << "," << c.y << " mode " << mode;
    }
  }
}

TEST_F(BlitClip, FillIsClippedToTheBitmap) {
  struct FillClip {
    int x, y, w, h;
    const char* expected;
  };
  const FillClip cases[] = {
      {-1, -1, 2, 2, "#...|....|...."},  {3, 2, 5, 5, "....|....|...#"},
      {1, 0, 2, 3, ".##.|.##.|.##."},    {-10, 1, 100, 1, "....|####|...."},
      {4, 0, 1, 1, "....|....|...."},    {0, 0, 0, 3, "....|....|...."},
      {0, 0, 3, -1, "....|....|...."},
  };
  for (const FillClip& c : cases) {
    Clear();
    FillBitmapRect(&dest, c.x, c.y, c.w, c.h, LICE_RGBA('#', 0, 0, 255), 1.0f, kBlitCopy);
    EXPECT_EQ(Picture(), c.expected) << c.x << "," << c.y << " " << c.w << "x" << c.h;
  }
}

TEST_F(BlitClip, NothingIsDrawnWithoutBitmapOrWeight) {
  LICE_MemBitmap empty;
  Blit(&dest, nullptr, 0, 0, nullptr, 1.0f, kBlitCopy);
  Blit(nullptr, &src, 0, 0, nullptr, 1.0f, kBlitCopy);
  Blit(&dest, &empty, 0, 0, nullptr, 1.0f, kBlitCopy);
  Blit(&dest, &src, 0, 0, nullptr, 0.0f, kBlitCopy);
  Blit(&dest, &src, 0, 0, nullptr, 0.0f, kBlitUseAlpha);
  Blit(&dest, &src, 0, 0, nullptr, -0.5f, kBlitCopy);
  FillBitmapRect(nullptr, 0, 0, 4, 3, LICE_RGBA('#', 0, 0, 255), 1.0f, kBlitCopy);
  FillBitmapRect(&empty, 0, 0, 4, 3, LICE_RGBA('#', 0, 0, 255), 1.0f, kBlitCopy);
  EXPECT_EQ(Picture(), "....|....|....");
}

TEST(Blit, OverlappingCopyWithinOneBitmap) {
  LICE_MemBitmap b(1, 4);
  for (int y = 0; y < 4; ++y) b.Row(y)[0] = static_cast<LICE_pixel>(y + 1);
  Blit(&b, &b, 0, 1, nullptr, 1.0f, kBlitCopy);
  const std::vector<LICE_pixel> expected = {1, 1, 2, 3};
  for (int y = 0; y < 4; ++y) EXPECT_EQ(b.Row(y)[0], expected[static_cast<size_t>(y)]) << y;
}

TEST(MemBitmap, RowSpanIsTheWidthRoundedUpToFourPixels) {
  const int table[][2] = {{1, 4}, {3, 4}, {4, 4}, {5, 8}, {7, 8}, {772, 772}, {773, 776}};
  for (const auto& row : table) {
    LICE_MemBitmap b(row[0], 2);
    EXPECT_EQ(b.RowSpan(), row[1]) << row[0];
    EXPECT_EQ(b.AllocatedBytes(), static_cast<size_t>(row[1]) * 2 * 4) << row[0];
  }
}

TEST(MemBitmap, GrowthRules) {
  LICE_MemBitmap b(10, 10);
  EXPECT_EQ(b.AllocatedBytes(), 480u);  // 12 x 10 pixels, exact
  EXPECT_TRUE(b.Resize(20, 20));
  EXPECT_EQ(b.AllocatedBytes(), 2000u);  // 5/4 of 1600
  LICE_pixel* const grown = b.Bits();
  EXPECT_TRUE(b.Resize(5, 5));
  EXPECT_EQ(b.AllocatedBytes(), 2000u);  // a shrink keeps the buffer
  EXPECT_EQ(b.Bits(), grown);
  EXPECT_EQ(b.RowSpan(), 8);
  EXPECT_FALSE(b.Resize(5, 5));
  EXPECT_TRUE(b.Resize(20, 25));  // 2000 bytes still fit
  EXPECT_EQ(b.Bits(), grown);
  EXPECT_TRUE(b.Resize(22, 22));
  EXPECT_EQ(b.AllocatedBytes(), 2640u);  // 5/4 of 24 x 22 x 4
  b.Row(21)[21] = 1;                     // the last pixel is inside the buffer (sanitizer build)
  EXPECT_TRUE(b.Resize(0, 7));
  EXPECT_EQ(b.Bits(), nullptr);
  EXPECT_EQ(b.AllocatedBytes(), 0u);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_FALSE(b.Resize(-1, 5));
  EXPECT_TRUE(b.Resize(1, 1));
  EXPECT_EQ(b.AllocatedBytes(), 16u);  // after a free the next allocation is exact again
}

TEST(SysBitmap, ResizeThatFitsKeepsTheAllocation) {
  LICE_SysBitmap b(10, 5);
  EXPECT_EQ(b.AllocatedWidth(), 12);
  EXPECT_EQ(b.AllocatedHeight(), 5);
  EXPECT_EQ(b.RowSpan(), 12);
  LICE_pixel* const bits = b.Bits();
  EXPECT_TRUE(b.Resize(8, 4));
  EXPECT_EQ(b.Bits(), bits);
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.RowSpan(), 12);
  EXPECT_TRUE(b.Resize(12, 5));
  EXPECT_EQ(b.Bits(), bits);
  EXPECT_FALSE(b.Resize(12, 5));
  EXPECT_TRUE(b.Resize(13, 5));
  EXPECT_EQ(b.AllocatedWidth(), 16);
  b.Row(4)[12] = 1;
  EXPECT_TRUE(b.Resize(0, 0));
  EXPECT_EQ(b.Bits(), nullptr);
}

}  // namespace
