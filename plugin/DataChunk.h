// Growable little-endian byte buffer in which parameter blocks, program states and banks are built and read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Appends return the new size in bytes. Reads take a byte position and return the position after the
// item, or -1 when the position is negative or the item does not fit before the end; a failed read
// leaves its output untouched. Multi-byte values are little-endian whatever the machine.
class DataChunk {
 public:
  DataChunk() = default;

  int Size() const { return static_cast<int>(mBytes.size()); }
  bool IsEmpty() const { return mBytes.empty(); }
  const uint8_t* Data() const { return mBytes.data(); }
  void Clear() { mBytes.clear(); }

  int PutBytes(const void* data, int size);
  int PutInt(int32_t value);
  int PutFloat(float value);
  int PutDouble(double value);
  int PutBool(bool value);
  // 32-bit length followed by the bytes, without terminator. nullptr appends the empty string.
  int PutString(const char* text);
  int PutString(const std::string& text);
  int PutChunk(const DataChunk& other);

  int GetBytes(void* out, int size, int position) const;
  int GetInt(int32_t& out, int position) const;
  int GetFloat(float& out, int position) const;
  int GetDouble(double& out, int position) const;
  // Any non-zero byte reads as true.
  int GetBool(bool& out, int position) const;
  // A length of zero or less reads as the empty string and consumes only the length field.
  int GetString(std::string& out, int position) const;

  // True when size bytes starting at position lie inside the buffer (overflow-safe).
  bool Fits(int position, int size) const;

  // Replaces the contents with size bytes copied from data; false (contents emptied) for a negative size
  // or a null pointer with a positive size.
  bool Assign(const void* data, int size);

 private:
  std::vector<uint8_t> mBytes;
};
