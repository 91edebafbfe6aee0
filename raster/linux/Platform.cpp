// Files and module images without Windows: paths are UTF-8 already, and the module's images are only
// the ones registered with RegisterEmbeddedPng.
#include <cstdio>

#include "raster/RasterPlatform.h"

namespace raster_platform {

std::FILE* OpenForReading(const char* path) { return std::fopen(path, "rb"); }

bool FindModuleImage(void*, int, const void*&, size_t&) { return false; }

}  // namespace raster_platform
