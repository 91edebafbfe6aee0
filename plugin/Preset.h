// One program slot of the plug-in: initialized flag, name and the saved program state.
#pragma once

#include <cstring>
#include <string>

#include "plugin/DataChunk.h"

struct Preset {
  static constexpr int kMaxNameLength = 255;

  bool initialized = false;
  std::string name = "empty";
  // Output of SaveProgramState for this program; empty while not initialized.
  DataChunk state;

  // Stores text up to its first zero byte, cut to kMaxNameLength characters (nullptr: empty name).
  void SetName(const char* text, size_t length) {
    if (!text) length = 0;
    const void* zero = length ? std::memchr(text, 0, length) : nullptr;
    if (zero) length = static_cast<size_t>(static_cast<const char*>(zero) - text);
    if (length > kMaxNameLength) length = kMaxNameLength;
    name.assign(text ? text : "", length);
  }
  void SetName(const char* text) { SetName(text, text ? std::strlen(text) : 0); }
  void SetName(const std::string& text) { SetName(text.data(), text.size()); }
};
