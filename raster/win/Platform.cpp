// Files and module resources on Windows: UTF-8 paths become UTF-16, images are resources of type
// "PNG" of the module.
#include <windows.h>

#include <cstdio>
#include <string>

#include "raster/RasterPlatform.h"

namespace {

std::wstring Widen(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

// The module that holds this code: the plug-in DLL, or the program it is linked into.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

namespace raster_platform {

std::FILE* OpenForReading(const char* path) {
  std::FILE* file = nullptr;
  const std::wstring wide = Widen(path);
  if (!wide.empty()) file = _wfopen(wide.c_str(), L"rb");
  return file ? file : std::fopen(path, "rb");
}

bool FindModuleImage(void* module, int id, const void*& data, size_t& size) {
  if (id <= 0 || id > 0xFFFF) return false;
  HMODULE owner = module ? static_cast<HMODULE>(module) : ThisModule();
  if (!owner) return false;
  HRSRC resource = FindResourceW(owner, MAKEINTRESOURCEW(id), L"PNG");
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(owner, resource);
  const DWORD length = SizeofResource(owner, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || length == 0) return false;
  data = bytes;
  size = length;
  return true;
}

}  // namespace raster_platform
