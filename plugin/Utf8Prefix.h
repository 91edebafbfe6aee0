// Byte limits on texts the plug-in stores or hands to the host (program names, host strings).
#pragma once

#include <cstddef>
#include <string>

// The longest start of text that fits in maxBytes without cutting a UTF-8 sequence apart, so that a
// byte limit never leaves half a character behind.
std::string Utf8Prefix(const std::string& text, size_t maxBytes);
