#include "plugin/ProgramFiles.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/FileAccess.h"
#include "plugin/IPlugBase.h"
#include "plugin/Utf8Prefix.h"

namespace {

constexpr int kProgramRecordHeaderSize = 56;  // a program file up to its name field's end
constexpr int kBankRecordsOffset = 156;       // first program of a parameter-list bank
constexpr int32_t kProgramFileVersion = 1;
constexpr int32_t kBankFileVersion = 2;

void StoreBE32(uint8_t* out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
}

void StoreCode(uint8_t* out, const char* code) {
  std::memcpy(out, code, 4);
}

// Callers check that offset + 4 lies inside the data.
uint32_t LoadBE32(const uint8_t* bytes, size_t offset) {
  const uint8_t* p = bytes + offset;
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

int32_t LoadBE32Signed(const uint8_t* bytes, size_t offset) {
  return static_cast<int32_t>(LoadBE32(bytes, offset));
}

bool HasCode(const uint8_t* bytes, size_t offset, const char* code) {
  return std::memcmp(bytes + offset, code, 4) == 0;
}

// The normalized value of a parameter-list file: NaN and values outside 0..1 would give NaN or
// out-of-range plain values, so they are limited first.
double NormalizedFromFile(const uint8_t* bytes, size_t offset) {
  const uint32_t bits = LoadBE32(bytes, offset);
  float value;
  std::memcpy(&value, &bits, 4);
  if (!(value >= 0.0f)) return 0.0;
  return std::min(static_cast<double>(value), 1.0);
}

// The name field up to its first zero byte, at most kProgramNameSize characters.
std::string NameField(const uint8_t* bytes, size_t offset) {
  const char* text = reinterpret_cast<const char*>(bytes + offset);
  const void* zero = std::memchr(text, 0, kProgramNameSize);
  const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : kProgramNameSize;
  return std::string(text, length);
}

// Cut before a character that does not fit whole, so that the file holds no half character.
void StoreNameField(uint8_t* out, const char* name) {
  const std::string fitting = Utf8Prefix(name, kProgramNameSize);
  std::memset(out, 0, kProgramNameSize);
  std::memcpy(out, fitting.data(), fitting.size());
}

bool MatchesUniqueID(const IPlugBase& plug, const uint8_t* bytes, size_t offset) {
  return LoadBE32(bytes, offset) == static_cast<uint32_t>(plug.GetUniqueID());
}

// out = header followed by the chunk, with the size fields at 4 (file length) and sizeOffset (chunk).
bool JoinFile(std::vector<uint8_t>& out, uint8_t* header, int headerSize, int sizeOffset, const DataChunk& chunk) {
  if (chunk.Size() > INT_MAX - headerSize) return false;
  StoreBE32(header + 4, static_cast<uint32_t>(chunk.Size() + headerSize));
  StoreBE32(header + sizeOffset, static_cast<uint32_t>(chunk.Size()));
  out.assign(header, header + headerSize);
  out.insert(out.end(), chunk.Data(), chunk.Data() + chunk.Size());
  return true;
}

// The 60 normalized values of a parameter-list program starting at offset; the caller checked the size.
void SetParametersFromFloats(IPlugBase& plug, const uint8_t* bytes, size_t offset) {
  for (int i = 0; i < plug.NParams(); ++i) {
    plug.GetParam(i)->SetFromNormalized(NormalizedFromFile(bytes, offset + 4 * static_cast<size_t>(i)));
  }
}

}  // namespace

bool EncodeProgramFile(IPlugBase& plug, std::vector<uint8_t>& out) {
  DataChunk chunk;
  IPlugBase::WriteChunkHeader(chunk);
  if (!plug.SaveProgramState(chunk)) return false;
  uint8_t header[kProgramHeaderSize] = {};
  StoreCode(header, "CcnK");
  StoreCode(header + 8, "FPCh");
  StoreBE32(header + 12, kProgramFileVersion);
  StoreBE32(header + 16, static_cast<uint32_t>(plug.GetUniqueID()));
  StoreBE32(header + 20, static_cast<uint32_t>(plug.GetVersionDecimal()));
  StoreBE32(header + 24, static_cast<uint32_t>(plug.NParams()));
  StoreNameField(header + 28, plug.GetPresetName(plug.GetCurrentPresetIdx()));
  return JoinFile(out, header, kProgramHeaderSize, 56, chunk);
}

bool EncodeBankFile(IPlugBase& plug, std::vector<uint8_t>& out) {
  DataChunk chunk;
  IPlugBase::WriteChunkHeader(chunk);
  if (!plug.SerializePresets(chunk)) return false;
  uint8_t header[kBankHeaderSize] = {};  // bytes 32 to 155 stay zero
  StoreCode(header, "CcnK");
  StoreCode(header + 8, "FBCh");
  StoreBE32(header + 12, kBankFileVersion);
  StoreBE32(header + 16, static_cast<uint32_t>(plug.GetUniqueID()));
  StoreBE32(header + 20, static_cast<uint32_t>(plug.GetVersionDecimal()));
  StoreBE32(header + 24, static_cast<uint32_t>(plug.NPresets()));
  StoreBE32(header + 28, static_cast<uint32_t>(plug.GetCurrentPresetIdx()));
  return JoinFile(out, header, kBankHeaderSize, 156, chunk);
}

bool DecodeProgramFile(IPlugBase& plug, const uint8_t* bytes, size_t size) {
  if (!bytes || size < kProgramRecordHeaderSize || size > static_cast<size_t>(INT_MAX)) return false;
  if (!HasCode(bytes, 0, "CcnK") || LoadBE32Signed(bytes, 12) != kProgramFileVersion ||
      !MatchesUniqueID(plug, bytes, 16)) {
    return false;
  }
  const std::string name = NameField(bytes, 28);
  if (HasCode(bytes, 8, "FPCh")) {
    if (size < kProgramHeaderSize) return false;
    DataChunk chunk;
    chunk.Assign(bytes, static_cast<int>(size));
    int position = kProgramHeaderSize;
    IPlugBase::ReadChunkHeader(chunk, position);
    // A state that ends early is refused whole: the current program stays as it was.
    if (plug.LoadProgramState(chunk, position) < 0) return false;
  } else if (HasCode(bytes, 8, "FxCk")) {
    // Refused before any change when the file holds fewer values than the plug-in has parameters.
    if (size < kProgramRecordHeaderSize + 4 * static_cast<size_t>(plug.NParams())) return false;
    SetParametersFromFloats(plug, bytes, kProgramRecordHeaderSize);
  } else {
    return false;
  }
  plug.ModifyCurrentPreset(name.c_str());
  plug.RecallPreset(plug.GetCurrentPresetIdx());
  plug.NotifyHostOfProgramChange();
  return true;
}

bool DecodeBankFile(IPlugBase& plug, const uint8_t* bytes, size_t size) {
  if (!bytes || size < kBankRecordsOffset || size > static_cast<size_t>(INT_MAX)) return false;
  if (!HasCode(bytes, 0, "CcnK") || !MatchesUniqueID(plug, bytes, 16)) return false;

  if (HasCode(bytes, 8, "FBCh")) {
    if (size < kBankHeaderSize) return false;
    DataChunk chunk;
    chunk.Assign(bytes, static_cast<int>(size));
    int position = kBankHeaderSize;
    IPlugBase::ReadChunkHeader(chunk, position);
    if (plug.UnserializePresets(chunk, position) < 0) return false;
    plug.NotifyHostOfProgramChange();
    return true;
  }
  if (!HasCode(bytes, 8, "FxBk")) return false;

  // A count beyond the plug-in's programs stops at its last program; a negative count loads none.
  const int32_t fileCount = LoadBE32Signed(bytes, 24);
  const int32_t fileCurrent = LoadBE32Signed(bytes, 28);
  const int count = std::clamp(fileCount, 0, plug.NPresets());
  const size_t recordSize = kProgramRecordHeaderSize + 4 * static_cast<size_t>(plug.NParams());
  // Every record is checked before the first program changes: a bank with one bad record loads nothing.
  for (int i = 0; i < count; ++i) {
    const size_t record = kBankRecordsOffset + static_cast<size_t>(i) * recordSize;
    if (record + recordSize > size || !HasCode(bytes, record, "CcnK") || !HasCode(bytes, record + 8, "FxCk") ||
        LoadBE32Signed(bytes, record + 12) != kProgramFileVersion ||
        LoadBE32Signed(bytes, record + 24) != plug.NParams()) {
      return false;
    }
  }
  for (int i = 0; i < count; ++i) {
    const size_t record = kBankRecordsOffset + static_cast<size_t>(i) * recordSize;
    const std::string name = NameField(bytes, record + 28);
    // Program i must be current before its values are stored into it.
    plug.RecallPreset(i);
    SetParametersFromFloats(plug, bytes, record + kProgramRecordHeaderSize);
    plug.ModifyCurrentPreset(name.c_str());
  }
  plug.RecallPreset(fileCurrent);
  plug.NotifyHostOfProgramChange();
  return true;
}

bool LoadBankImage(IPlugBase& plug, const uint8_t* bytes, int size) {
  if (!bytes || size < kBankHeaderSize) return false;
  DataChunk chunk;
  chunk.Assign(bytes, size);
  int position = kBankHeaderSize;
  IPlugBase::ReadChunkHeader(chunk, position);
  if (plug.UnserializePresets(chunk, position) < 0) return false;
  plug.NotifyHostOfProgramChange();
  return true;
}

// The plug-in's lock is held only while the state is encoded or decoded: a slow disk must not hold
// up the audio thread, which takes the same lock.
bool SaveProgramFile(IPlugBase& plug, const char* path) {
  if (!path || !path[0]) return false;
  std::vector<uint8_t> bytes;
  {
    IPlugBase::LockGuard lock(plug.Mutex());
    if (!EncodeProgramFile(plug, bytes)) return false;
  }
  return ReplaceFileContents(path, bytes.data(), bytes.size());
}

bool SaveBankFile(IPlugBase& plug, const char* path) {
  if (!path || !path[0]) return false;
  std::vector<uint8_t> bytes;
  {
    IPlugBase::LockGuard lock(plug.Mutex());
    if (!EncodeBankFile(plug, bytes)) return false;
  }
  return ReplaceFileContents(path, bytes.data(), bytes.size());
}

bool LoadProgramFile(IPlugBase& plug, const char* path) {
  std::vector<uint8_t> bytes;
  if (!path || !path[0] || !ReadFileContents(path, bytes, kMaxFileSize)) return false;
  IPlugBase::LockGuard lock(plug.Mutex());
  return DecodeProgramFile(plug, bytes.data(), bytes.size());
}

bool LoadBankFile(IPlugBase& plug, const char* path) {
  std::vector<uint8_t> bytes;
  if (!path || !path[0] || !ReadFileContents(path, bytes, kMaxFileSize)) return false;
  IPlugBase::LockGuard lock(plug.Mutex());
  return DecodeBankFile(plug, bytes.data(), bytes.size());
}
