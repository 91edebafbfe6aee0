// Any bytes as a PNG image: no fault, no leak, and an image only within the decoder's size limits,
// every pixel of it readable.
#include <cstdio>
#include <cstdlib>

#include "raster/PngDecoder.h"

#define PNG_CHECK(condition)                                                                \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);   \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::unique_ptr<LICE_MemBitmap> image = DecodePng(data, size);
  if (!image) return 0;
  PNG_CHECK(size > 8);
  PNG_CHECK(image->Width() > 0 && image->Width() <= 16384);
  PNG_CHECK(image->Height() > 0 && image->Height() <= 16384);
  PNG_CHECK(static_cast<size_t>(image->Width()) * static_cast<size_t>(image->Height()) <= (size_t{64} << 20));
  PNG_CHECK(image->RowSpan() >= image->Width());
  // Reads the first and last pixel of every row, so the sanitizer sees the whole buffer is there.
  unsigned sum = 0;
  for (int y = 0; y < image->Height(); ++y) sum += image->Row(y)[0] + image->Row(y)[image->Width() - 1];
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
