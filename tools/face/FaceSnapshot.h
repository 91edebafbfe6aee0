// The face as the editor draws it, rendered headless: the same controls, raster layer and text path.
#pragma once

#include <string>
#include <vector>

class LICE_IBitmap;
class Sarn;

struct FaceClick {
  int x = 0;
  int y = 0;
  bool right = false;
};

// Presses and releases at each point in turn, then paints the whole face into the editor's surface,
// which the result points at (owned by the instrument's editor).
LICE_IBitmap* SnapshotFace(Sarn& sarn, const std::vector<FaceClick>& clicks);

// Writes an opaque RGB PNG of the bitmap; false when the file cannot be written.
bool WriteRgbPng(LICE_IBitmap& bitmap, const std::string& path);
