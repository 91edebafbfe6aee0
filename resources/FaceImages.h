// The face's PNG images, embedded in the module and found by resource identifier (101..120).
#pragma once

#include <cstddef>

// The same images drawn at 150 % and 200 % follow one and two steps higher (201..220, 301..320), in
// the same order. An image of W x H face pixels in N frames has frames of ceil(W * s) x ceil(H * s)
// pixels at scale s, stacked as at 100 %.
constexpr int kImageScaleIdStep = 100;

struct EmbeddedImage {
  int id;
  const unsigned char* data;
  size_t size;
};

// The images in identifier order; count receives their number.
const EmbeddedImage* FaceImageData(int& count);
