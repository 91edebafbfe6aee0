// PNG decoding with libpng into B,G,R,A bitmaps, and the module's table of built-in images.
#include "raster/PngDecoder.h"

#include <png.h>

#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "raster/RasterPlatform.h"

namespace {

// A damaged or hostile header must not make the decoder ask for gigabytes.
constexpr png_uint_32 kMaxSide = 16384;
constexpr size_t kMaxPixels = size_t{64} << 20;
// The largest file LoadPngFile reads; the editor's images are a few hundred kilobytes.
constexpr size_t kMaxFileBytes = size_t{256} << 20;
// Deflate expands at most 1032 to 1, so image data larger than that many times the file cannot be
// there: such a header is refused before its bitmap is allocated and cleared.
constexpr uint64_t kMaxInflateRatio = 1032;

std::atomic<int> gDecodes{0};

struct EmbeddedImage {
  const void* data;
  size_t size;
};

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::map<int, EmbeddedImage>& Registry() {
  static std::map<int, EmbeddedImage> images;
  return images;
}

struct MemoryReader {
  const unsigned char* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->position) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

// libpng trusts a chunk's declared length (a length past the file only warns) and allocates it
// before reading, so one damaged length could ask for gigabytes. No single allocation of libpng's
// is let past what the file could hold plus room for its row buffers and inflate state.
struct AllocationLimit {
  size_t largest;
};

png_voidp LimitedMalloc(png_structp png, png_alloc_size_t size) {
  const auto* limit = static_cast<const AllocationLimit*>(png_get_mem_ptr(png));
  return size <= limit->largest ? std::malloc(size) : nullptr;
}
void LimitedFree(png_structp, png_voidp memory) { std::free(memory); }

// libpng reports errors here; control returns to the setjmp in Decode. Nothing is printed.
[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// What Decode fills in. It lives in the caller's frame, so the longjmp out of libpng skips no
// destructor: Decode itself holds only plain values.
struct Decoding {
  std::unique_ptr<LICE_MemBitmap> bitmap;
  std::vector<png_bytep> rows;
};

// At least the bits the pixels themselves take; interlacing and filter bytes only add to it.
uint64_t LeastImageDataBytes(png_structp png, png_infop info) {
  const uint64_t bitsPerPixel = uint64_t{png_get_channels(png, info)} * png_get_bit_depth(png, info);
  return uint64_t{png_get_image_width(png, info)} * png_get_image_height(png, info) * bitsPerPixel / 8;
}

bool Decode(png_structp png, png_infop info, size_t fileBytes, Decoding& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
      static_cast<size_t>(width) * height > kMaxPixels ||
      LeastImageDataBytes(png, info) > uint64_t{fileBytes} * kMaxInflateRatio) {
    return false;
  }
  const int colourType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);

  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xff, PNG_FILLER_AFTER);  // only acts where the image has no alpha
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) return false;

  out.bitmap.reset(new LICE_MemBitmap(static_cast<int>(width), static_cast<int>(height)));
  if (out.bitmap->Width() != static_cast<int>(width) || out.bitmap->Height() != static_cast<int>(height)) {
    return false;
  }
  out.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    out.rows[y] = reinterpret_cast<png_bytep>(out.bitmap->Row(static_cast<int>(y)));
  }
  png_read_image(png, out.rows.data());
  // Reads up to the end chunk, so a file cut after its image data still counts as damaged.
  png_read_end(png, nullptr);
  return true;
}

// Reads a whole file; false when it cannot be read or holds more than maxBytes.
bool ReadFile(const char* path, size_t maxBytes, std::vector<unsigned char>& bytes) {
  bytes.clear();
  std::FILE* file = raster_platform::OpenForReading(path);
  if (!file) return false;
  bool ok = true;
  unsigned char buffer[65536];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, file);
    if (got > maxBytes - bytes.size()) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (got < sizeof buffer) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok;
}

// The bytes of a built-in image: the module's own resource, else the registered one.
bool FindPngResource(void* module, int id, const void*& data, size_t& size) {
  if (raster_platform::FindModuleImage(module, id, data, size)) return true;
  std::lock_guard<std::mutex> hold(RegistryLock());
  const auto found = Registry().find(id);
  if (found == Registry().end()) return false;
  data = found->second.data;
  size = found->second.size;
  return true;
}

// The size in the header chunk, which a PNG file must begin with; false for sizes the decoder refuses.
bool ReadPngSize(const void* data, size_t size, int& width, int& height) {
  static const unsigned char kHeaderChunk[8] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (!bytes || size < 33 || png_sig_cmp(bytes, 0, 8) != 0 || std::memcmp(bytes + 8, kHeaderChunk, 8) != 0) {
    return false;
  }
  const png_uint_32 w = png_get_uint_32(bytes + 16);
  const png_uint_32 h = png_get_uint_32(bytes + 20);
  if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide || static_cast<size_t>(w) * h > kMaxPixels) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// A built-in image whose size is known from its header and whose pixels are decoded when first asked
// for: a host that only scans or plays the instrument never pays for decoding the face. Should the
// pixels not decode to that size, the image stays transparent.
class OnDemandPng final : public LICE_IBitmap {
 public:
  OnDemandPng(const void* data, size_t size, int width, int height)
      : data_(data), size_(size), width_(width), height_(height) {}

  LICE_pixel* Bits() override { return Pixels().Bits(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return Pixels().RowSpan(); }
  bool Resize(int, int) override { return false; }  // an image keeps its size

 private:
  LICE_MemBitmap& Pixels() const {
    std::call_once(decoded_, [this] {
      pixels_ = DecodePng(data_, size_);
      if (!pixels_ || pixels_->Width() != width_ || pixels_->Height() != height_) {
        pixels_ = std::make_unique<LICE_MemBitmap>(width_, height_);
      }
    });
    return *pixels_;
  }

  const void* data_;
  size_t size_;
  int width_, height_;
  mutable std::once_flag decoded_;
  mutable std::unique_ptr<LICE_MemBitmap> pixels_;
};

}  // namespace

std::unique_ptr<LICE_MemBitmap> DecodePng(const void* data, size_t size) {
  if (!data || size <= 8 - 1) return nullptr;
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (png_sig_cmp(bytes, 0, 8) != 0) return nullptr;

  AllocationLimit limit{size + (size_t{1} << 20)};
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning, &limit,
                                             LimitedMalloc, LimitedFree);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  MemoryReader reader{bytes, size, 8};
  png_set_read_fn(png, &reader, ReadFromMemory);

  Decoding decoding;
  const bool ok = Decode(png, info, size, decoding);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return nullptr;
  gDecodes.fetch_add(1, std::memory_order_relaxed);
  return std::move(decoding.bitmap);
}

std::unique_ptr<LICE_MemBitmap> LoadPngFile(const char* path, bool checkExtension) {
  if (!path) return nullptr;
  const size_t length = std::strlen(path);
  if (checkExtension) {
    if (length < 4) return nullptr;
    const char* ext = path + length - 4;
    static const char kLower[] = ".png";
    for (int i = 0; i < 4; ++i) {
      const char c = (ext[i] >= 'A' && ext[i] <= 'Z') ? static_cast<char>(ext[i] - 'A' + 'a') : ext[i];
      if (c != kLower[i]) return nullptr;
    }
  }
  std::vector<unsigned char> bytes;
  if (!ReadFile(path, kMaxFileBytes, bytes)) return nullptr;
  return DecodePng(bytes.data(), bytes.size());
}

std::unique_ptr<LICE_MemBitmap> LoadPngResource(void* module, int id) {
  const void* data = nullptr;
  size_t size = 0;
  return FindPngResource(module, id, data, size) ? DecodePng(data, size) : nullptr;
}

std::unique_ptr<LICE_IBitmap> LoadPngResourceOnDemand(void* module, int id) {
  const void* data = nullptr;
  size_t size = 0;
  int width = 0, height = 0;
  if (!FindPngResource(module, id, data, size) || !ReadPngSize(data, size, width, height)) return nullptr;
  return std::make_unique<OnDemandPng>(data, size, width, height);
}

void RegisterEmbeddedPng(int id, const void* data, size_t size) {
  std::lock_guard<std::mutex> hold(RegistryLock());
  Registry()[id] = EmbeddedImage{data, size};
}

int PngDecodeCount() { return gDecodes.load(std::memory_order_relaxed); }
