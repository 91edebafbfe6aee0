#include "tools/face/FaceSnapshot.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "editor/headless/IGraphicsHeadless.h"
#include "raster/Bitmap.h"
#include "shell/Sarn.h"

LICE_IBitmap* SnapshotFace(Sarn& sarn, const std::vector<FaceClick>& clicks) {
  auto* editor = dynamic_cast<IGraphicsHeadless*>(sarn.Graphics());
  if (!editor) return nullptr;
  editor->Tick();
  for (const FaceClick& click : clicks) {
    MouseMods mods;
    (click.right ? mods.right : mods.left) = true;
    editor->MouseDown(click.x, click.y, mods);
    editor->MouseUp(click.x, click.y, mods);
    editor->Tick();
  }
  editor->PaintAll();
  return editor->Surface();
}

bool WriteRgbPng(LICE_IBitmap& bitmap, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  bool ok = png && info && width > 0 && height > 0;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      const LICE_pixel* pixels = bitmap.Row(y);
      for (int x = 0; x < width; ++x) {
        row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(LICE_GETR(pixels[x]));
        row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(LICE_GETG(pixels[x]));
        row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(LICE_GETB(pixels[x]));
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}
