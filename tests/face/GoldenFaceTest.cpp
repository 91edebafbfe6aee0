// The face compared with committed reference pictures: exactly, except inside the text fields, where
// font versions may move the lettering and only a small difference is allowed.
// SARN_WRITE_GOLDEN=1 writes new references instead of comparing.
#include <cstdlib>
#include <memory>

#include "FaceFixture.h"
#include "params/ParameterTable.h"
#include "raster/PngDecoder.h"
#include "tools/face/FaceSnapshot.h"

namespace {

// The program number, program name and version texts, with room for overhanging glyphs.
const Rect kTextFields[] = {Rect(396, 21, 426, 44), Rect(446, 21, 644, 44), Rect(240, 21, 320, 44)};

// x and y in pixels of a face drawn at percent.
bool InTextField(int x, int y, int percent) {
  for (const Rect& r : kTextFields) {
    if (r.Contains(x * 100 / percent, y * 100 / percent)) return true;
  }
  return false;
}

void CompareWithGolden(LICE_IBitmap* face, const char* name, int percent = 100) {
  ASSERT_NE(face, nullptr);
  const std::string path = std::string(SARN_SOURCE_DIR) + "/tests/face/golden/" + name;
  if (const char* write = std::getenv("SARN_WRITE_GOLDEN"); write && write[0] == '1') {
    ASSERT_TRUE(WriteRgbPng(*face, path));
    GTEST_SKIP() << "wrote " << path;
  }
  std::unique_ptr<LICE_MemBitmap> golden = LoadPngFile(path.c_str(), true);
  ASSERT_NE(golden, nullptr) << path;
  ASSERT_EQ(golden->Width(), face->Width());
  ASSERT_EQ(golden->Height(), face->Height());
  int differing = 0;
  long textDifference = 0;
  for (int y = 0; y < face->Height(); ++y) {
    for (int x = 0; x < face->Width(); ++x) {
      const LICE_pixel a = face->Row(y)[x] & 0xFFFFFF;
      const LICE_pixel b = golden->Row(y)[x] & 0xFFFFFF;
      if (InTextField(x, y, percent)) {
        textDifference += std::abs(LICE_GETR(a) - LICE_GETR(b)) + std::abs(LICE_GETG(a) - LICE_GETG(b)) +
                          std::abs(LICE_GETB(a) - LICE_GETB(b));
      } else if (a != b && differing++ < 5) {
        ADD_FAILURE() << name << ": pixel " << x << "," << y << " is " << std::hex << a << ", expected " << b;
      }
    }
  }
  EXPECT_EQ(differing, 0) << name;
  // Lettering that moves by a pixel changes a few thousand; a missing or different text far more.
  EXPECT_LT(textDifference, 60000L * percent * percent / 10000) << name;
}

TEST_F(FaceTest, InitProgramLooksAsItShould) {
  sarn->InitProgram();
  CompareWithGolden(SnapshotFace(*sarn, {}), "init.png");
}

TEST_F(FaceTest, LitLampsAndHeldKeysLookAsTheyShould) {
  sarn->InitProgram();
  for (int p : {kStringBass, kStringViola, kBassStaccato, kSynth4, kChorusSlow, kPhaserString, kDelaySync}) {
    sarn->SetParameterFromEditor(p, 1.0);
    editor->ApplyParameterFromPlugin(p, 1.0, true);
  }
  sarn->RenameCurrentProgram("Golden Lamps");
  // A held bass key and a held upper key, both latched with the right button.
  CompareWithGolden(SnapshotFace(*sarn, {{60, 550, true}, {401, 530, true}}), "lamps.png");
}

// At 200 % the same controls take the images and the text drawn at twice the size.
TEST_F(FaceTest, InitProgramLooksAsItShouldAt200Percent) {
  sarn->InitProgram();
  editor->SetUserScale(200);
  CompareWithGolden(SnapshotFace(*sarn, {}), "init-200.png", 200);
}

TEST_F(FaceTest, ProgramTenWithAHeldKeyLooksAsItShouldAt200Percent) {
  sarn->SelectProgram(10);
  editor->SetUserScale(200);
  CompareWithGolden(SnapshotFace(*sarn, {{401, 530, true}}), "program10-200.png", 200);
}

}  // namespace
