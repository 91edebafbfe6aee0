#include "plugin/DataChunk.h"

#include <climits>
#include <cstring>

namespace {

void StoreLE32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
  out[2] = static_cast<uint8_t>(v >> 16);
  out[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t LoadLE32(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
         (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

}  // namespace

bool DataChunk::Fits(int position, int size) const {
  // Both operands are non-negative here, so Size() - position cannot overflow.
  return position >= 0 && size >= 0 && position <= Size() && size <= Size() - position;
}

int DataChunk::PutBytes(const void* data, int size) {
  if (data && size > 0 && size <= INT_MAX - Size()) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
  }
  return Size();
}

int DataChunk::PutInt(int32_t value) {
  uint8_t bytes[4];
  StoreLE32(bytes, static_cast<uint32_t>(value));
  return PutBytes(bytes, 4);
}

int DataChunk::PutFloat(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  uint8_t bytes[4];
  StoreLE32(bytes, bits);
  return PutBytes(bytes, 4);
}

int DataChunk::PutDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  uint8_t bytes[8];
  StoreLE32(bytes, static_cast<uint32_t>(bits));
  StoreLE32(bytes + 4, static_cast<uint32_t>(bits >> 32));
  return PutBytes(bytes, 8);
}

int DataChunk::PutBool(bool value) {
  const uint8_t byte = value ? 1 : 0;
  return PutBytes(&byte, 1);
}

int DataChunk::PutString(const char* text) {
  const size_t length = text ? std::strlen(text) : 0;
  if (length > static_cast<size_t>(INT_MAX - 4)) return Size();
  PutInt(static_cast<int32_t>(length));
  return PutBytes(text, static_cast<int>(length));
}

int DataChunk::PutString(const std::string& text) {
  if (text.size() > static_cast<size_t>(INT_MAX - 4)) return Size();
  PutInt(static_cast<int32_t>(text.size()));
  return PutBytes(text.data(), static_cast<int>(text.size()));
}

int DataChunk::PutChunk(const DataChunk& other) {
  // Copy first: other may be this chunk.
  const std::vector<uint8_t> bytes = other.mBytes;
  return PutBytes(bytes.data(), static_cast<int>(bytes.size()));
}

int DataChunk::GetBytes(void* out, int size, int position) const {
  if (!out || !Fits(position, size)) return -1;
  if (size > 0) std::memcpy(out, mBytes.data() + position, static_cast<size_t>(size));
  return position + size;
}

int DataChunk::GetInt(int32_t& out, int position) const {
  if (!Fits(position, 4)) return -1;
  out = static_cast<int32_t>(LoadLE32(mBytes.data() + position));
  return position + 4;
}

int DataChunk::GetFloat(float& out, int position) const {
  if (!Fits(position, 4)) return -1;
  const uint32_t bits = LoadLE32(mBytes.data() + position);
  std::memcpy(&out, &bits, 4);
  return position + 4;
}

int DataChunk::GetDouble(double& out, int position) const {
  if (!Fits(position, 8)) return -1;
  const uint64_t bits = static_cast<uint64_t>(LoadLE32(mBytes.data() + position)) |
                        (static_cast<uint64_t>(LoadLE32(mBytes.data() + position + 4)) << 32);
  std::memcpy(&out, &bits, 8);
  return position + 8;
}

int DataChunk::GetBool(bool& out, int position) const {
  if (!Fits(position, 1)) return -1;
  out = mBytes[static_cast<size_t>(position)] != 0;
  return position + 1;
}

int DataChunk::GetString(std::string& out, int position) const {
  int32_t length = 0;
  const int afterLength = GetInt(length, position);
  if (afterLength < 0) return -1;
  if (length <= 0) {
    out.clear();
    return afterLength;
  }
  if (!Fits(afterLength, length)) return -1;
  out.assign(reinterpret_cast<const char*>(mBytes.data()) + afterLength, static_cast<size_t>(length));
  return afterLength + length;
}

bool DataChunk::Assign(const void* data, int size) {
  mBytes.clear();
  if (size < 0 || (size > 0 && !data)) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  mBytes.assign(bytes, bytes + size);
  return true;
}
