// Any bytes as a PNG image: no fault, no leak, and an image only within the decoder's size limits,
// every pixel of it readable.
#include <cstdint>
#include <memory>

#include "raster/PngDecoder.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::unique_ptr<LICE_MemBitmap> image = DecodePng(data, size);
  if (!image) return 0;
  FUZZ_CHECK(size > 8);
  FUZZ_CHECK(image->Width() > 0 && image->Width() <= 16384);
  FUZZ_CHECK(image->Height() > 0 && image->Height() <= 16384);
  FUZZ_CHECK(static_cast<size_t>(image->Width()) * static_cast<size_t>(image->Height()) <= (size_t{64} << 20));
  FUZZ_CHECK(image->RowSpan() >= image->Width());
  // Reads the first and last pixel of every row, so the sanitizer sees the whole buffer is there.
  unsigned sum = 0;
  for (int y = 0; y < image->Height(); ++y) sum += image->Row(y)[0] + image->Row(y)[image->Width() - 1];
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
