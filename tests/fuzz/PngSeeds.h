// Seed images for the PNG fuzz target, written with libpng: a palette with transparency, interlaced
// 4-bit grey, 16-bit RGBA and 8-bit RGB; and a file whose second chunk claims 1.5 GB that are not
// there, which the decoder must refuse without asking for the memory (the target runs with a
// limit on single allocations).
#pragma once

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace png_seeds {

// The libpng calls alone, so that an error's longjmp skips no destructor.
inline bool Encode(png_structp png, png_infop info, std::FILE* file, int width, int height, int depth,
                   int colourType, bool interlaced, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    png_byte alpha[2] = {0, 128};
    png_set_PLTE(png, info, palette, 4);
    png_set_tRNS(png, info, alpha, 2, nullptr);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

inline bool WriteImage(const std::string& path, int width, int height, int depth, int colourType, bool interlaced) {
  // Rows wide enough for 4 channels of 16 bits; the bytes make ramps (palette indices 0 to 3).
  std::vector<std::vector<png_byte>> rows(static_cast<size_t>(height), std::vector<png_byte>(width * 8u));
  std::vector<png_bytep> pointers;
  for (size_t y = 0; y < rows.size(); ++y) {
    for (size_t i = 0; i < rows[y].size(); ++i) {
      rows[y][i] = static_cast<png_byte>(colourType == PNG_COLOR_TYPE_PALETTE ? (i + y) % 4 * 0x55 : i * 7 + y * 13);
    }
    pointers.push_back(rows[y].data());
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && Encode(png, info, file, width, height, depth, colourType, interlaced, pointers.data());
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

// A signature, a 1 x 1 grey header and a "pCAL" chunk declaring 0x5E5C1148 bytes, cut short.
inline bool WriteLongChunk(const std::string& path) {
  static const unsigned char kBytes[] = {
      0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,
      0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0, 0x3A, 0x7E, 0x9B, 0x55,
      0x5E, 0x5C, 0x11, 0x48, 'p', 'C', 'A', 'L', 'I', 'D', 'A', 'T', 0, 0, 0, 0};
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(kBytes, 1, sizeof kBytes, file) == sizeof kBytes;
  return std::fclose(file) == 0 && written;
}

inline bool Write(const std::string& dir) {
  bool ok = WriteImage(dir + "/palette.png", 7, 5, 2, PNG_COLOR_TYPE_PALETTE, false);
  ok = WriteImage(dir + "/grey4.png", 9, 9, 4, PNG_COLOR_TYPE_GRAY, true) && ok;
  ok = WriteImage(dir + "/rgba16.png", 4, 3, 16, PNG_COLOR_TYPE_RGB_ALPHA, false) && ok;
  ok = WriteImage(dir + "/rgb8.png", 6, 4, 8, PNG_COLOR_TYPE_RGB, false) && ok;
  ok = WriteLongChunk(dir + "/long-chunk.png") && ok;
  return ok;
}

}  // namespace png_seeds
