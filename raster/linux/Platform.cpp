// Files and module images without Windows: paths are UTF-8 already, and the module's images are only
// the ones registered with RegisterEmbeddedPng.
#include <cstdio>

#include "raster/RasterPlatform.h"

namespace raster_platform {

bool ReadFile(const char* path, size_t maxBytes, std::vector<unsigned char>& bytes) {
  bytes.clear();
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  bool ok = true;
  unsigned char buffer[65536];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, file);
    if (got > maxBytes - bytes.size()) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (got < sizeof buffer) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok;
}

bool FindModuleImage(void*, int, const void*&, size_t&) { return false; }

}  // namespace raster_platform
