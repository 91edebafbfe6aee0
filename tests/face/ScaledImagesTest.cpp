// The face's images at 150 % and 200 % as the module carries them: each keeps its frame count with
// frames of ceil(W * s) x ceil(H * s) pixels, and each frame shows what the same frame shows at 100 %.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "editor/face/FaceLayout.h"
#include "raster/PngDecoder.h"
#include "resources/FaceImages.h"

namespace {

std::unique_ptr<LICE_MemBitmap> DecodeEmbedded(int id) {
  int count = 0;
  const EmbeddedImage* images = FaceImageData(count);
  for (int i = 0; i < count; ++i) {
    if (images[i].id == id) return DecodePng(images[i].data, images[i].size);
  }
  return nullptr;
}

constexpr int kGrid = 4;  // cells across and down each frame

// Alpha and alpha-weighted red, green and blue, averaged over each of kGrid x kGrid cells of one frame.
using Cells = std::array<std::array<double, 4>, kGrid * kGrid>;

Cells FrameCells(const LICE_IBitmap& image, int frame, double scale, int faceWidth, int faceHeight) {
  const int frameRows = static_cast<int>(std::ceil(faceHeight * scale));
  // At 150 % a frame's last column or row may lie partly outside the face frame; only whole pixels count.
  const int columns = static_cast<int>(std::floor(faceWidth * scale));
  const int rows = static_cast<int>(std::floor(faceHeight * scale));
  Cells sums{};
  std::array<int, kGrid * kGrid> counts{};
  for (int y = 0; y < rows; ++y) {
    const LICE_pixel* row = image.Bits() + static_cast<ptrdiff_t>(frame * frameRows + y) * image.RowSpan();
    const int cellY = std::min(static_cast<int>((y + 0.5) / scale * kGrid / faceHeight), kGrid - 1);
    for (int x = 0; x < columns; ++x) {
      const int cellX = std::min(static_cast<int>((x + 0.5) / scale * kGrid / faceWidth), kGrid - 1);
      const LICE_pixel p = row[x];
      const double alpha = LICE_GETA(p) / 255.0;
      std::array<double, 4>& cell = sums[cellY * kGrid + cellX];
      cell[0] += LICE_GETA(p);
      cell[1] += LICE_GETR(p) * alpha;
      cell[2] += LICE_GETG(p) * alpha;
      cell[3] += LICE_GETB(p) * alpha;
      ++counts[cellY * kGrid + cellX];
    }
  }
  for (int i = 0; i < kGrid * kGrid; ++i) {
    for (double& channel : sums[i]) channel /= counts[i];
  }
  return sums;
}

TEST(ScaledFaceImages, FollowTheSizeRuleAndShowTheSameFrames) {
  // Text is set at each scale's own size and hinted there, so a cell may differ by some way; a frame
  // of another image, or another frame of the same image, differs by far more.
  constexpr double kTolerance = 48;
  int count = 0;
  const FaceImage* faceImages = FaceImages(count);
  ASSERT_EQ(count, 20);
  for (int i = 0; i < count; ++i) {
    const FaceImage& face = faceImages[i];
    const auto base = DecodeEmbedded(face.id);
    ASSERT_TRUE(base) << face.file;
    ASSERT_EQ(base->Height() % face.frames, 0) << face.file;
    const int width = base->Width();
    const int height = base->Height() / face.frames;
    for (const auto& [step, scale] : {std::pair{1, 1.5}, std::pair{2, 2.0}}) {
      SCOPED_TRACE(std::string(face.file) + " at " + std::to_string(scale));
      const auto scaled = DecodeEmbedded(face.id + step * kImageScaleIdStep);
      ASSERT_TRUE(scaled);
      ASSERT_EQ(scaled->Width(), static_cast<int>(std::ceil(width * scale)));
      ASSERT_EQ(scaled->Height(), face.frames * static_cast<int>(std::ceil(height * scale)));
      for (int frame = 0; frame < face.frames; ++frame) {
        const Cells expected = FrameCells(*base, frame, 1.0, width, height);
        const Cells got = FrameCells(*scaled, frame, scale, width, height);
        for (int cell = 0; cell < kGrid * kGrid; ++cell) {
          for (int channel = 0; channel < 4; ++channel) {
            ASSERT_NEAR(got[cell][channel], expected[cell][channel], kTolerance)
                << "frame " << frame << ", cell " << cell << ", channel " << channel;
          }
        }
      }
    }
  }
}

}  // namespace
