// The face's PNG images, embedded in the module and found by resource identifier (101..120).
#pragma once

#include <cstddef>

struct EmbeddedImage {
  int id;
  const unsigned char* data;
  size_t size;
};

// The images in identifier order; count receives their number.
const EmbeddedImage* FaceImageData(int& count);
