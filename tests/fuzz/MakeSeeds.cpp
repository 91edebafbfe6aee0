// Writes one valid starting input per fuzz target into <dir>/<target>/: a tagged program state, a bank
// chunk, program files in both forms, bank files in both forms, a MIDI file and a few PNG images.
// Usage: fuzz_seeds <dir>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzPlug.h"
#include "PngSeeds.h"
#include "plugin/ProgramFiles.h"

namespace {

// Seeds come from a plug-in with two programs only, so the bank stays small.
class SeedPlug : public FuzzPlug {
 public:
  SeedPlug() {
    for (int i = 0; i < NPresets(); ++i) {
      GetPreset(i)->initialized = false;
      GetPreset(i)->state.Clear();
    }
  }
};

bool Write(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

bool Write(const std::string& path, const DataChunk& chunk) {
  return Write(path, chunk.Data(), static_cast<size_t>(chunk.Size()));
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  return Write(path, bytes.data(), bytes.size());
}

void AddBE(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void AddCode(std::vector<uint8_t>& out, const char* code) {
  out.insert(out.end(), code, code + 4);
}

// A parameter-list program: 56-byte header and 60 floats.
void AddFxCk(std::vector<uint8_t>& out, const char* name, float value) {
  AddCode(out, "CcnK");
  AddBE(out, 52 + 4 * 60);
  AddCode(out, "FxCk");
  AddBE(out, 1);
  AddCode(out, "sarn");
  AddBE(out, 10004);
  AddBE(out, 60);
  char field[28] = {};
  std::memcpy(field, name, std::strlen(name) < 28 ? std::strlen(name) : 28);
  out.insert(out.end(), field, field + 28);
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int i = 0; i < 60; ++i) AddBE(out, bits);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  SeedPlug plug;
  plug.RecallPreset(0);
  plug.ModifyCurrentPreset("Seed One");
  plug.GetParam(kTone)->SetFromNormalized(0.3);
  plug.RecallPreset(1);
  plug.ModifyCurrentPreset("Seed Two");

  bool ok = true;
  DataChunk state;
  plug.SaveProgramState(state);
  ok = Write(dir + "/program_state/tagged", state) && ok;
  DataChunk block;
  plug.SerializeParams(block);
  ok = Write(dir + "/program_state/bare", block) && ok;

  DataChunk bank;
  IPlugBase::WriteChunkHeader(bank);
  plug.SerializePresets(bank);
  ok = Write(dir + "/bank_chunk/bank", bank) && ok;
  DataChunk hostBank;
  IPlugBase::WriteChunkHeader(hostBank);
  plug.SerializeHostBank(hostBank);
  ok = Write(dir + "/bank_chunk/host_bank", hostBank) && ok;

  std::vector<uint8_t> file;
  EncodeProgramFile(plug, file);
  ok = Write(dir + "/program_file/chunk.fxp", file) && ok;
  std::vector<uint8_t> fxck;
  AddFxCk(fxck, "List", 0.5f);
  ok = Write(dir + "/program_file/list.fxp", fxck) && ok;

  EncodeBankFile(plug, file);
  ok = Write(dir + "/bank_file/chunk.fxb", file) && ok;
  ok = Write(dir + "/bank_image/chunk.fxb", file) && ok;
  std::vector<uint8_t> fxbk;
  AddCode(fxbk, "CcnK");
  AddBE(fxbk, 0);
  AddCode(fxbk, "FxBk");
  AddBE(fxbk, 2);
  AddCode(fxbk, "sarn");
  AddBE(fxbk, 10004);
  AddBE(fxbk, 2);  // programs
  AddBE(fxbk, 1);  // current program
  fxbk.insert(fxbk.end(), 124, 0);
  AddFxCk(fxbk, "First", 0.25f);
  AddFxCk(fxbk, "Second", 0.75f);
  ok = Write(dir + "/bank_file/list.fxb", fxbk) && ok;
  ok = png_seeds::Write(dir + "/png") && ok;

  // Format 1, two tracks: tempo and 3/4 in the first, notes with running status, a program change, a
  // controller and a note-on with velocity 0 in the second.
  const uint8_t midi[] = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0,
      'M', 'T', 'r', 'k', 0, 0, 0, 19,
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
      0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08,
      0x00, 0xFF, 0x2F, 0x00,
      'M', 'T', 'r', 'k', 0, 0, 0, 26,
      0x00, 0xC0, 0x05,
      0x00, 0xB0, 0x01, 0x40,
      0x00, 0x90, 0x3C, 0x64,
      0x00, 0x40, 0x64,
      0x83, 0x60, 0x3C, 0x00,
      0x10, 0x80, 0x40, 0x40,
      0x00, 0xFF, 0x2F, 0x00,
  };
  ok = Write(dir + "/midi_file/song.mid", midi, sizeof midi) && ok;

  if (!ok) std::fprintf(stderr, "could not write the seeds into %s\n", dir.c_str());
  return ok ? 0 : 1;
}
