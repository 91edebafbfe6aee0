// Resizing an image strip frame by frame, for a scale at which no image was drawn.
#pragma once

#include <memory>

#include "raster/Bitmap.h"

// A copy of src, whose frames (stacked, or side by side) each become ceil(frame size * percent / 100)
// pixels; every output pixel averages the source area it covers, weighted by alpha, so that
// transparent pixels lend no colour to the edges. Null for an empty source or a bad frame count.
std::unique_ptr<LICE_MemBitmap> ResampleStrip(const LICE_IBitmap& src, int frames, bool sideBySide, int percent);
