#include "raster/PngDecoder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// An image to write: samples row by row, every channel of a pixel in turn (palette indices for
// palette images), at the given bit depth.
struct Fixture {
  const char* name;
  int colourType;
  int depth;
  int width;
  int height;
  std::vector<unsigned> samples;
  std::vector<png_color> palette;
  std::vector<unsigned char> paletteAlpha;  // tRNS for palette images
  int transparentGrey = -1;                 // tRNS for grey images
  bool interlaced = false;
  std::vector<LICE_pixel> expected;
};

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

int Channels(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

// The libpng calls alone, so that an error's longjmp skips no destructor.
bool Encode(png_structp png, png_infop info, const Fixture& f, Bytes& out, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &out, AppendToVector, NoFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(f.width), static_cast<png_uint_32>(f.height), f.depth,
               f.colourType, f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!f.palette.empty()) png_set_PLTE(png, info, f.palette.data(), static_cast<int>(f.palette.size()));
  if (!f.paletteAlpha.empty()) {
    png_set_tRNS(png, info, f.paletteAlpha.data(), static_cast<int>(f.paletteAlpha.size()), nullptr);
  }
  png_color_16 grey{};
  grey.gray = static_cast<png_uint_16>(f.transparentGrey);
  if (f.transparentGrey >= 0) png_set_tRNS(png, info, nullptr, 0, &grey);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

Bytes WritePng(const Fixture& f) {
  // Pack the samples: big-endian 16-bit, or several low-depth samples per byte, high bits first.
  const int perRow = f.width * Channels(f.colourType);
  std::vector<Bytes> rows(static_cast<size_t>(f.height));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < f.height; ++y) {
    Bytes& row = rows[static_cast<size_t>(y)];
    row.assign(static_cast<size_t>((perRow * f.depth + 7) / 8), 0);
    for (int i = 0; i < perRow; ++i) {
      const unsigned v = f.samples[static_cast<size_t>(y * perRow + i)];
      if (f.depth == 16) {
        row[static_cast<size_t>(2 * i)] = static_cast<unsigned char>(v >> 8);
        row[static_cast<size_t>(2 * i + 1)] = static_cast<unsigned char>(v & 255);
      } else {
        const int bit = i * f.depth;
        row[static_cast<size_t>(bit / 8)] |= static_cast<unsigned char>(v << (8 - f.depth - bit % 8));
      }
    }
    pointers.push_back(row.data());
  }
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && Encode(png, info, f, out, pointers.data());
  png_destroy_write_struct(&png, &info);
  return ok ? out : Bytes();
}

std::string Show(LICE_pixel p) {
  char text[40];
  std::snprintf(text, sizeof text, "rgba(%d,%d,%d,%d)", LICE_GETR(p), LICE_GETG(p), LICE_GETB(p), LICE_GETA(p));
  return text;
}

constexpr auto kGrey = PNG_COLOR_TYPE_GRAY;
constexpr auto kGreyAlpha = PNG_COLOR_TYPE_GRAY_ALPHA;
constexpr auto kRgb = PNG_COLOR_TYPE_RGB;
constexpr auto kRgba = PNG_COLOR_TYPE_RGB_ALPHA;
constexpr auto kPalette = PNG_COLOR_TYPE_PALETTE;

LICE_pixel G(int v, int a = 255) { return LICE_RGBA(v, v, v, a); }

std::vector<Fixture> Fixtures() {
  std::vector<Fixture> all;
  all.push_back({"palette 8 with tRNS", kPalette, 8, 3, 2, {0, 1, 2, 3, 1, 0},
                 {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}}, {0, 128}, -1, false,
                 {LICE_RGBA(255, 0, 0, 0), LICE_RGBA(0, 255, 0, 128), LICE_RGBA(0, 0, 255, 255),
                  LICE_RGBA(10, 20, 30, 255), LICE_RGBA(0, 255, 0, 128), LICE_RGBA(255, 0, 0, 0)}});
  all.push_back({"palette 2", kPalette, 2, 5, 1, {3, 2, 1, 0, 3}, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {250, 251, 252}},
                 {}, -1, false,
                 {LICE_RGBA(250, 251, 252, 255), LICE_RGBA(7, 8, 9, 255), LICE_RGBA(4, 5, 6, 255),
                  LICE_RGBA(1, 2, 3, 255), LICE_RGBA(250, 251, 252, 255)}});
  all.push_back({"grey 1", kGrey, 1, 5, 2, {1, 0, 1, 1, 0, 0, 1, 0, 0, 1}, {}, {}, -1, false,
                 {G(255), G(0), G(255), G(255), G(0), G(0), G(255), G(0), G(0), G(255)}});
  all.push_back({"grey 2", kGrey, 2, 3, 2, {0, 1, 2, 3, 2, 1}, {}, {}, -1, false,
                 {G(0), G(85), G(170), G(255), G(170), G(85)}});
  all.push_back({"grey 4", kGrey, 4, 3, 2, {0, 1, 7, 15, 8, 14}, {}, {}, -1, false,
                 {G(0), G(17), G(119), G(255), G(136), G(238)}});
  all.push_back({"grey 8", kGrey, 8, 3, 2, {0, 1, 127, 200, 255, 33}, {}, {}, -1, false,
                 {G(0), G(1), G(127), G(200), G(255), G(33)}});
  all.push_back({"grey 8 with tRNS", kGrey, 8, 3, 1, {5, 127, 6}, {}, {}, 127, false,
                 {G(5), G(127, 0), G(6)}});
  all.push_back({"grey 16", kGrey, 16, 3, 2, {0x0000, 0x01FF, 0x8000, 0xFFFF, 0x12AB, 0xFE01}, {}, {}, -1, false,
                 {G(0), G(1), G(128), G(255), G(0x12), G(254)}});
  all.push_back({"grey + alpha 8", kGreyAlpha, 8, 3, 1, {10, 0, 20, 128, 30, 255}, {}, {}, -1, false,
                 {G(10, 0), G(20, 128), G(30, 255)}});
  all.push_back({"grey + alpha 16", kGreyAlpha, 16, 2, 1, {0x1000, 0xFFFF, 0xABCD, 0x0102}, {}, {}, -1, false,
                 {G(0x10, 255), G(0xAB, 1)}});
  all.push_back({"rgb 8", kRgb, 8, 2, 2, {1, 2, 3, 250, 128, 0, 0, 0, 0, 255, 255, 255}, {}, {}, -1, false,
                 {LICE_RGBA(1, 2, 3, 255), LICE_RGBA(250, 128, 0, 255), LICE_RGBA(0, 0, 0, 255),
                  LICE_RGBA(255, 255, 255, 255)}});
  all.push_back({"rgb 16", kRgb, 16, 2, 1, {0x1234, 0xABCD, 0xFF00, 0x00FF, 0x8080, 0x7F7F}, {}, {}, -1, false,
                 {LICE_RGBA(0x12, 0xAB, 0xFF, 255), LICE_RGBA(0x00, 0x80, 0x7F, 255)}});
  all.push_back({"rgba 8", kRgba, 8, 3, 1, {1, 2, 3, 4, 200, 100, 50, 0, 9, 8, 7, 255}, {}, {}, -1, false,
                 {LICE_RGBA(1, 2, 3, 4), LICE_RGBA(200, 100, 50, 0), LICE_RGBA(9, 8, 7, 255)}});
  all.push_back({"rgba 16", kRgba, 16, 2, 1, {0x1111, 0x2222, 0x3333, 0x4444, 0xFFFF, 0x0000, 0x8000, 0x7FFF}, {},
                 {}, -1, false, {LICE_RGBA(0x11, 0x22, 0x33, 0x44), LICE_RGBA(255, 0, 128, 127)}});
  // Interlaced: 9 x 9 grey, sample 16x + y, so every pass of the interlacing lands somewhere else.
  Fixture interlaced{"grey 8 interlaced", kGrey, 8, 9, 9, {}, {}, {}, -1, true, {}};
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) {
      interlaced.samples.push_back(static_cast<unsigned>(16 * x + y));
      interlaced.expected.push_back(G(16 * x + y));
    }
  }
  all.push_back(interlaced);
  return all;
}

TEST(Png, EveryColourTypeAndDepthDecodesToBgra) {
  for (const Fixture& f : Fixtures()) {
    const Bytes file = WritePng(f);
    ASSERT_FALSE(file.empty()) << f.name;
    const int before = PngDecodeCount();
    const auto image = DecodePng(file.data(), file.size());
    ASSERT_TRUE(image) << f.name;
    EXPECT_EQ(PngDecodeCount(), before + 1);
    ASSERT_EQ(image->Width(), f.width) << f.name;
    ASSERT_EQ(image->Height(), f.height) << f.name;
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        EXPECT_EQ(Show(image->Row(y)[x]), Show(f.expected[static_cast<size_t>(y * f.width + x)]))
            << f.name << " at " << x << "," << y;
      }
    }
  }
}

TEST(Png, PixelsLieInMemoryAsBlueGreenRedAlpha) {
  const Fixture f{"rgba", kRgba, 8, 1, 1, {10, 20, 30, 40}, {}, {}, -1, false, {}};
  const Bytes file = WritePng(f);
  const auto image = DecodePng(file.data(), file.size());
  ASSERT_TRUE(image);
  const auto* bytes = reinterpret_cast<const unsigned char*>(image->Bits());
  EXPECT_EQ(bytes[0], 30);
  EXPECT_EQ(bytes[1], 20);
  EXPECT_EQ(bytes[2], 10);
  EXPECT_EQ(bytes[3], 40);
}

Bytes SmallRgb() {
  Fixture f{"rgb", kRgb, 8, 4, 4, {}, {}, {}, -1, false, {}};
  for (int i = 0; i < 48; ++i) f.samples.push_back(static_cast<unsigned>(i * 5));
  return WritePng(f);
}

// Offset of the first chunk of this type (at its length field).
size_t FindChunk(const Bytes& file, const char* type) {
  for (size_t at = 8; at + 8 <= file.size();) {
    const size_t length = (size_t{file[at]} << 24) | (size_t{file[at + 1]} << 16) | (size_t{file[at + 2]} << 8) |
                          file[at + 3];
    if (std::equal(type, type + 4, file.begin() + static_cast<ptrdiff_t>(at + 4))) return at;
    at += 12 + length;
  }
  return file.size();
}

void PutBE(Bytes& file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + static_cast<size_t>(i)] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// Recomputes a chunk's CRC after its data was changed on purpose.
void FixCrc(Bytes& file, size_t chunk) {
  const size_t length = (size_t{file[chunk]} << 24) | (size_t{file[chunk + 1]} << 16) |
                        (size_t{file[chunk + 2]} << 8) | file[chunk + 3];
  const uLong crc = crc32(0, file.data() + chunk + 4, static_cast<uInt>(length + 4));
  PutBE(file, chunk + 8 + length, static_cast<uint32_t>(crc));
}

TEST(Png, DamagedInputGivesNone) {
  const Bytes good = SmallRgb();
  ASSERT_TRUE(DecodePng(good.data(), good.size()));
  const size_t idat = FindChunk(good, "IDAT");
  ASSERT_LT(idat, good.size());

  struct Damage {
    const char* name;
    Bytes bytes;
  };
  std::vector<Damage> cases;
  for (size_t n = 0; n <= 7; ++n) cases.push_back({"first bytes only", Bytes(good.begin(), good.begin() + n)});
  Bytes signature = good;
  signature[1] = 'p';
  cases.push_back({"bad signature", signature});
  cases.push_back({"cut in the header", Bytes(good.begin(), good.begin() + 20)});
  cases.push_back({"cut in the image data", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(idat + 12))});
  cases.push_back({"end chunk missing", Bytes(good.begin(), good.end() - 12)});
  Bytes crc = good;
  crc[idat + 9] ^= 0x40;
  cases.push_back({"image data with a bad CRC", crc});
  Bytes header = good;
  header[16 + 3] ^= 1;  // width in IHDR
  cases.push_back({"header with a bad CRC", header});
  Bytes stream = good;
  stream[idat + 8] = 0x00;  // not a zlib header
  FixCrc(stream, idat);
  cases.push_back({"image data that does not inflate", stream});
  Bytes wide = good;
  PutBE(wide, 16, 20000);  // width beyond 16384
  FixCrc(wide, 8);
  cases.push_back({"width 20000", wide});
  Bytes huge = good;
  PutBE(huge, 16, 10000);  // 100 million pixels
  PutBE(huge, 20, 10000);
  FixCrc(huge, 8);
  cases.push_back({"10000 x 10000", huge});

  const int before = PngDecodeCount();
  for (const Damage& c : cases) {
    EXPECT_FALSE(DecodePng(c.bytes.data(), c.bytes.size())) << c.name << " (" << c.bytes.size() << " bytes)";
  }
  EXPECT_FALSE(DecodePng(nullptr, 100));
  EXPECT_EQ(PngDecodeCount(), before);
}

// The decoder refuses headers whose pixels could not fit in what the file can inflate to; an image
// deflate squeezes as far as it goes must still pass that check.
TEST(Png, MaximallyCompressedImagesStillDecode) {
  Fixture f{"uniform grey", kGrey, 8, 2048, 2048, {}, {}, {}, -1, false, {}};
  f.samples.assign(size_t{2048} * 2048, 0);
  const Bytes file = WritePng(f);
  ASSERT_FALSE(file.empty());
  EXPECT_LT(file.size() * 1000, size_t{2048} * 2048) << "expected a file compressed over 1000 to 1";
  const auto image = DecodePng(file.data(), file.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(Show(image->Row(2047)[2047]), Show(G(0)));
}

TEST(Png, FilesAreCheckedForTheExtension) {
  const Bytes file = SmallRgb();
  const std::string dir = ::testing::TempDir();
  const std::string png = dir + "raster_test_Image.PnG";
  const std::string other = dir + "raster_test_image.bin";
  for (const std::string& path : {png, other}) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(out);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
  }
  EXPECT_TRUE(LoadPngFile(png.c_str(), true));
  EXPECT_FALSE(LoadPngFile(other.c_str(), true));
  EXPECT_TRUE(LoadPngFile(other.c_str(), false));
  EXPECT_FALSE(LoadPngFile((dir + "raster_test_missing.png").c_str(), false));
  EXPECT_FALSE(LoadPngFile(dir.c_str(), false));  // a folder
  EXPECT_FALSE(LoadPngFile(nullptr, false));
  std::remove(png.c_str());
  std::remove(other.c_str());
}

TEST(Png, EmbeddedImagesByIdentifier) {
  static const Bytes file = SmallRgb();
  RegisterEmbeddedPng(9101, file.data(), file.size());
  const auto image = LoadPngResource(nullptr, 9101);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 4);
  EXPECT_EQ(Show(image->Row(3)[3]), Show(LICE_RGBA(225, 230, 235, 255)));
  EXPECT_FALSE(LoadPngResource(nullptr, 9102));
}

// A built-in image asked for on demand is sized from its header at once and decoded once, by whichever
// thread first needs its pixels; an unusable header is refused, pixels that fail stay transparent.
TEST(Png, EmbeddedImagesOnDemandDecodeAtFirstUse) {
  static const Bytes good = SmallRgb();
  static const Bytes cutData(good.begin(), good.begin() + static_cast<ptrdiff_t>(FindChunk(good, "IDAT") + 12));
  static const Bytes cutHeader(good.begin(), good.begin() + 20);
  static Bytes wide = good;
  PutBE(wide, 16, 20000);
  FixCrc(wide, 8);
  RegisterEmbeddedPng(9111, good.data(), good.size());
  RegisterEmbeddedPng(9112, cutData.data(), cutData.size());
  RegisterEmbeddedPng(9113, cutHeader.data(), cutHeader.size());
  RegisterEmbeddedPng(9114, wide.data(), wide.size());

  const int before = PngDecodeCount();
  const auto image = LoadPngResourceOnDemand(nullptr, 9111);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 4);
  EXPECT_EQ(image->Height(), 4);
  EXPECT_EQ(PngDecodeCount(), before) << "decoded before its pixels were needed";
  std::vector<std::thread> readers;
  std::vector<LICE_pixel> seen(4, 0);
  for (size_t i = 0; i < seen.size(); ++i) readers.emplace_back([&, i] { seen[i] = image->Row(3)[3]; });
  for (std::thread& t : readers) t.join();
  for (LICE_pixel p : seen) EXPECT_EQ(Show(p), Show(LICE_RGBA(225, 230, 235, 255)));
  EXPECT_EQ(PngDecodeCount(), before + 1);

  const auto cut = LoadPngResourceOnDemand(nullptr, 9112);
  ASSERT_TRUE(cut);
  ASSERT_EQ(cut->Width(), 4);
  EXPECT_EQ(Show(cut->Row(3)[3]), Show(LICE_RGBA(0, 0, 0, 0)));
  for (int id : {9113, 9114, 9115}) EXPECT_FALSE(LoadPngResourceOnDemand(nullptr, id)) << id;
}

}  // namespace
