// The face that stands in for any font family the system lacks (Liberation Sans, whose metrics the
// face's texts were laid out with), built into the Linux module. The Windows modules carry none.
#pragma once

#include <cstddef>

// The TrueType bytes, or null (size 0) where the module carries no face.
const unsigned char* FallbackFontData(size_t& size);
