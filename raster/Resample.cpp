#include "raster/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

int ScaledCeil(int size, int percent) { return static_cast<int>((static_cast<long long>(size) * percent + 99) / 100); }

// Each output cell's span of source positions along one axis, as (first pixel, weights) pairs.
struct Span {
  int first = 0;
  std::vector<double> weights;
};

std::vector<Span> Spans(int sourceSize, int outputSize) {
  std::vector<Span> spans(static_cast<size_t>(outputSize));
  const double step = static_cast<double>(sourceSize) / outputSize;
  for (int i = 0; i < outputSize; ++i) {
    const double from = i * step;
    const double to = std::min((i + 1) * step, static_cast<double>(sourceSize));
    Span& span = spans[static_cast<size_t>(i)];
    span.first = static_cast<int>(std::floor(from));
    for (int p = span.first; p < to; ++p) {
      span.weights.push_back(std::min<double>(p + 1, to) - std::max<double>(p, from));
    }
  }
  return spans;
}

void ResampleFrame(const LICE_IBitmap& src, int srcX, int srcY, int width, int height, LICE_MemBitmap& out,
                   int outX, int outY, int outWidth, int outHeight) {
  const std::vector<Span> columns = Spans(width, outWidth);
  const std::vector<Span> rows = Spans(height, outHeight);
  for (int y = 0; y < outHeight; ++y) {
    const Span& row = rows[static_cast<size_t>(y)];
    for (int x = 0; x < outWidth; ++x) {
      const Span& column = columns[static_cast<size_t>(x)];
      double area = 0, alpha = 0, red = 0, green = 0, blue = 0;
      for (size_t j = 0; j < row.weights.size(); ++j) {
        const LICE_pixel* line = src.Bits() + static_cast<ptrdiff_t>(srcY + row.first + static_cast<int>(j)) * src.RowSpan();
        for (size_t i = 0; i < column.weights.size(); ++i) {
          const double w = row.weights[j] * column.weights[i];
          const LICE_pixel p = line[srcX + column.first + static_cast<int>(i)];
          const double a = w * LICE_GETA(p);
          area += w;
          alpha += a;
          red += a * LICE_GETR(p);
          green += a * LICE_GETG(p);
          blue += a * LICE_GETB(p);
        }
      }
      LICE_pixel result = 0;
      if (alpha > 0) {
        auto channel = [alpha](double sum) { return static_cast<int>(std::lround(sum / alpha)); };
        result = LICE_RGBA(channel(red), channel(green), channel(blue),
                           static_cast<int>(std::lround(alpha / area)));
      }
      out.Row(outY + y)[outX + x] = result;
    }
  }
}

}  // namespace

std::unique_ptr<LICE_MemBitmap> ResampleStrip(const LICE_IBitmap& src, int frames, bool sideBySide, int percent) {
  if (src.Width() <= 0 || src.Height() <= 0 || frames < 1 || percent <= 0) return nullptr;
  const int frameWidth = sideBySide ? src.Width() / frames : src.Width();
  const int frameHeight = sideBySide ? src.Height() : src.Height() / frames;
  if (frameWidth <= 0 || frameHeight <= 0) return nullptr;
  const int outWidth = ScaledCeil(frameWidth, percent);
  const int outHeight = ScaledCeil(frameHeight, percent);
  auto out = std::make_unique<LICE_MemBitmap>(sideBySide ? outWidth * frames : outWidth,
                                              sideBySide ? outHeight : outHeight * frames);
  for (int f = 0; f < frames; ++f) {
    const int srcX = sideBySide ? f * frameWidth : 0;
    const int srcY = sideBySide ? 0 : f * frameHeight;
    ResampleFrame(src, srcX, srcY, frameWidth, frameHeight, *out, sideBySide ? f * outWidth : 0,
                  sideBySide ? 0 : f * outHeight, outWidth, outHeight);
  }
  return out;
}
