// Program files (fxp) and bank files (fxb) in the VST2 "CcnK" container layout.
// Header fields are 32-bit big-endian; the opaque chunk inside keeps its little-endian layout.
// Written in the chunk forms ("FPCh", "FBCh"); read in those and the parameter-list forms ("FxCk", "FxBk").
// The encoders and decoders run with the plug-in lock held by the caller; the file operations take it
// themselves, only while they encode or decode, and read and write the file without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class IPlugBase;

constexpr int kProgramHeaderSize = 60;  // offset of the chunk in a program file
constexpr int kBankHeaderSize = 160;    // offset of the chunk in a bank file
constexpr int kProgramNameSize = 28;    // zero-padded, no terminator when full
// Files larger than this are refused unread (a full bank is about 34 KB).
constexpr size_t kMaxFileSize = 16u * 1024 * 1024;

// The caller stores the current values into the current program first (ModifyCurrentPreset()).
// Paths are UTF-8. The file is replaced in one step (ReplaceFileContents), so a failed or interrupted
// save leaves an existing file as it was. False for an empty path or when writing fails.
bool SaveProgramFile(IPlugBase& plug, const char* path);
bool SaveBankFile(IPlugBase& plug, const char* path);

// Read the whole file and decode it with DecodeProgramFile / DecodeBankFile.
bool LoadProgramFile(IPlugBase& plug, const char* path);
bool LoadBankFile(IPlugBase& plug, const char* path);

// A bank file image in the chunk form in memory (the factory bank). Only the container header is
// skipped unchecked; data shorter than the header is refused.
bool LoadBankImage(IPlugBase& plug, const uint8_t* bytes, int size);

// The file contents, without the file system.
bool EncodeProgramFile(IPlugBase& plug, std::vector<uint8_t>& out);
bool EncodeBankFile(IPlugBase& plug, std::vector<uint8_t>& out);
// Loads a program file image into the current program; false when refused or the data ends early.
bool DecodeProgramFile(IPlugBase& plug, const uint8_t* bytes, size_t size);
// Loads a bank file image into the programs; false when refused or the data ends early.
bool DecodeBankFile(IPlugBase& plug, const uint8_t* bytes, size_t size);
