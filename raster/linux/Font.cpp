// Fonts without Windows: fontconfig finds the face (through our own table of the Windows names the
// editor asks for), or the face built into the module stands in when the system has no such family;
// FreeType renders each glyph into the scratch bitmap. The cell height is measured as Windows
// measures it, so text takes the same room on both systems. Orientation is not supported here: every
// font draws horizontally.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

#include "raster/RasterPlatform.h"

namespace {

// Windows faces and the installed faces with the same metrics (or, for Verdana and Tahoma, the
// nearest look). Names not listed are looked up as they are.
struct Alias {
  const char* windows;
  const char* installed;
};
constexpr Alias kAliases[] = {
    {"Arial", "Liberation Sans"},        {"Helvetica", "Liberation Sans"},
    {"Verdana", "DejaVu Sans"},          {"Tahoma", "DejaVu Sans"},
    {"Times New Roman", "Liberation Serif"}, {"Times", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},  {"Courier", "Liberation Mono"},
};

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
    const char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

const char* InstalledName(const std::string& face) {
  for (const Alias& alias : kAliases) {
    if (SameName(alias.windows, face.c_str())) return alias.installed;
  }
  return face.c_str();
}

struct LinuxFont {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int lineHeight = 0;
  int ascent = 0;  // pixels from the top of the cell to the baseline
  bool embolden = false;
  bool oblique = false;
  bool mono = false;
};

// fontconfig's default configuration is loaded once; matching goes through this lock.
std::mutex& FontconfigLock() {
  static std::mutex lock;
  return lock;
}

// The font file for the face, or false when the best match belongs to another family.
bool FindFile(const char* family, bool bold, bool italic, std::string& file, int& index, bool& isBold,
              bool& isItalic) {
  std::lock_guard<std::mutex> hold(FontconfigLock());
  static const bool ready = FcInit() == FcTrue;
  if (!ready) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;

  // fontconfig always answers with some font; only the family asked for counts.
  bool sameFamily = false;
  FcChar8* name = nullptr;
  for (int n = 0; FcPatternGetString(match, FC_FAMILY, n, &name) == FcResultMatch; ++n) {
    if (SameName(reinterpret_cast<const char*>(name), family)) sameFamily = true;
  }
  FcChar8* path = nullptr;
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
  index = 0;
  const bool found = sameFamily && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) {
    file = reinterpret_cast<const char*>(path);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
  }
  FcPatternDestroy(match);
  isBold = weight >= FC_WEIGHT_DEMIBOLD;
  isItalic = slant != FC_SLANT_ROMAN;
  return found;
}

// The face built into the module (LICE_SetFallbackFont); none until one is set.
struct EmbeddedFace {
  const FT_Byte* data = nullptr;
  size_t size = 0;
};

struct FallbackStore {
  std::mutex lock;
  EmbeddedFace face;
};

FallbackStore& TheFallback() {
  static FallbackStore store;
  return store;
}

EmbeddedFace Fallback() {
  FallbackStore& store = TheFallback();
  std::lock_guard<std::mutex> hold(store.lock);
  return store.face;
}

void Destroy(LinuxFont* font) {
  if (!font) return;
  if (font->face) FT_Done_Face(font->face);
  if (font->library) FT_Done_FreeType(font->library);
  delete font;
}

// Sizes the face so that its Windows cell (usWinAscent + usWinDescent) is `height` pixels; a
// negative height is the em size instead, as on Windows.
bool SetCellHeight(LinuxFont& font, int height) {
  FT_Face face = font.face;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return false;
  double ascentUnits = face->ascender;
  double descentUnits = -static_cast<double>(face->descender);
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    ascentUnits = os2->usWinAscent;
    descentUnits = os2->usWinDescent;
  }
  const double cellUnits = ascentUnits + descentUnits;
  if (!(cellUnits > 0)) return false;
  if (height == 0) height = 12;
  double pixelsPerEm;
  if (height > 0) {
    pixelsPerEm = height * face->units_per_EM / cellUnits;
    font.lineHeight = height;
  } else {
    pixelsPerEm = -static_cast<double>(height);
    font.lineHeight = static_cast<int>(std::lround(cellUnits * pixelsPerEm / face->units_per_EM));
  }
  font.ascent = static_cast<int>(std::lround(ascentUnits * pixelsPerEm / face->units_per_EM));
  const auto size = static_cast<FT_F26Dot6>(std::lround(pixelsPerEm * 64.0));
  return size > 0 && FT_Set_Char_Size(face, 0, size, 72, 72) == 0;
}

}  // namespace

// fontconfig 2.14 loses a few hundred bytes while parsing the system configuration, once per process.
// Sanitizer builds would report that as our leak; every other leak is still reported.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

LICE_FontHandle LICE_CreateFont(const LICE_FontDescription& description) {
  if (description.face.empty()) return nullptr;
  const char* family = InstalledName(description.face);
  const bool bold = description.weight >= 600;
  std::string file;
  int index = 0;
  bool isBold = false, isItalic = false;
  const bool installed = FindFile(family, bold, description.italic, file, index, isBold, isItalic);
  const EmbeddedFace fallback = Fallback();
  if (!installed && !fallback.data) return nullptr;

  auto* font = new LinuxFont;
  if (FT_Init_FreeType(&font->library) != 0) {
    Destroy(font);
    return nullptr;
  }
  const bool opened = installed
                          ? FT_New_Face(font->library, file.c_str(), index, &font->face) == 0
                          : FT_New_Memory_Face(font->library, fallback.data, static_cast<FT_Long>(fallback.size),
                                               0, &font->face) == 0;
  if (!opened || !SetCellHeight(*font, description.height)) {
    Destroy(font);
    return nullptr;
  }
  if (!installed) {
    isBold = (font->face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    isItalic = (font->face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
  }
  font->embolden = bold && !isBold;
  font->oblique = description.italic && !isItalic;
  font->mono = description.quality == 1;
  return font;
}

void LICE_DestroyFont(LICE_FontHandle handle) { Destroy(static_cast<LinuxFont*>(handle)); }

void LICE_SetFallbackFont(const void* data, size_t size) {
  FallbackStore& store = TheFallback();
  std::lock_guard<std::mutex> hold(store.lock);
  store.face = data && size > 0 ? EmbeddedFace{static_cast<const FT_Byte*>(data), size} : EmbeddedFace{};
}

namespace raster_platform {

// No system text output to prefer: every text takes the glyph path.
bool NativeTextAvailable() { return false; }

bool DrawTextNative(LICE_FontHandle, LICE_IBitmap*, const char*, int, LICE_Rect*, int, LICE_pixel, const LICE_Rect*) {
  return false;
}

int FontLineHeight(LICE_FontHandle handle) {
  return handle ? static_cast<const LinuxFont*>(handle)->lineHeight : 0;
}

bool RenderGlyph(LICE_FontHandle handle, unsigned code, LICE_SysBitmap& scratch, GlyphPlacement& placed) {
  auto* font = static_cast<LinuxFont*>(handle);
  if (!font || !scratch.Bits()) return false;
  FT_Face face = font->face;
  const FT_Int32 load = FT_LOAD_DEFAULT | (font->mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Char(face, code, load) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (font->oblique) FT_GlyphSlot_Oblique(slot);
  if (font->embolden) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, font->mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return false;

  const FT_Bitmap& image = slot->bitmap;
  // Room on the left for glyphs that reach back before the pen.
  placed.penX = std::min(32, font->lineHeight / 4 + 2);
  placed.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  const int x0 = placed.penX + slot->bitmap_left;
  const int y0 = font->ascent - slot->bitmap_top;
  placed.left = std::max(0, x0);
  placed.top = std::max(0, y0);
  placed.right = std::min(scratch.Width(), x0 + static_cast<int>(image.width));
  placed.bottom = std::min(scratch.Height(), y0 + static_cast<int>(image.rows));
  if (placed.right <= placed.left || placed.bottom <= placed.top) {
    placed.right = placed.left;
    placed.bottom = placed.top;
    return true;  // a space, or ink entirely outside the scratch bitmap
  }
  for (int y = placed.top; y < placed.bottom; ++y) {
    const unsigned char* source = image.buffer + static_cast<ptrdiff_t>(y - y0) * image.pitch;
    LICE_pixel* row = scratch.Row(y);
    for (int x = placed.left; x < placed.right; ++x) {
      const int column = x - x0;
      int value;
      if (image.pixel_mode == FT_PIXEL_MODE_MONO) {
        value = (source[column >> 3] >> (7 - (column & 7))) & 1 ? 255 : 0;
      } else {
        value = source[column];
      }
      row[x] = LICE_RGBA(value, value, value, 255);
    }
  }
  return true;
}

}  // namespace raster_platform
