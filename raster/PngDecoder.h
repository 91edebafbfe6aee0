// PNG images into 32-bit bitmaps, with libpng: palettes, low-depth grey and transparency chunks are
// expanded, 16-bit samples cut to 8, grey turned into RGB, and opaque images given alpha 255.
#pragma once

#include <cstddef>
#include <memory>

#include "raster/Bitmap.h"

// None for 7 bytes or fewer, a missing signature, or any decoding error (the partial bitmap is freed).
std::unique_ptr<LICE_MemBitmap> DecodePng(const void* data, size_t size);
// The path is tried as UTF-8 (converted to UTF-16 on Windows) and then as a narrow path. With
// checkExtension only names ending in ".png" (any case) are read.
std::unique_ptr<LICE_MemBitmap> LoadPngFile(const char* path, bool checkExtension);
// The image with this identifier: on Windows the module's resource of type "PNG" (module is its
// HINSTANCE; null means this module), falling back to the embedded images; elsewhere the images
// registered with RegisterEmbeddedPng.
std::unique_ptr<LICE_MemBitmap> LoadPngResource(void* module, int id);
// The same image with its size read from its header at once and its pixels decoded when they are
// first asked for. Null when there is no such image or its header gives a size the decoder refuses.
std::unique_ptr<LICE_IBitmap> LoadPngResourceOnDemand(void* module, int id);
// Registers an image built into the module under a resource identifier; the bytes must outlive it.
void RegisterEmbeddedPng(int id, const void* data, size_t size);
// Successful decodes in this process (the image cache decodes each identifier once).
int PngDecodeCount();
