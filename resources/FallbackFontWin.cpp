// Windows always has the faces the editor asks for: the modules carry no fallback face.
#include "resources/FallbackFont.h"

const unsigned char* FallbackFontData(size_t& size) {
  size = 0;
  return nullptr;
}
