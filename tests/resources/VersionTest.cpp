// The release number's derived forms: the VST2 version code, the decimal form, the server's first
// newer number, and the text built from the same three numbers.
#include <gtest/gtest.h>

#include <string>

#include "resources/Version.h"

TEST(Version, DerivedForms) {
  struct Row {
    int major, minor, fix;
    int32_t code;
    int32_t decimal;
    int firstNewer;
  } rows[] = {
      {1, 0, 4, 0x00010004, 10004, 1005},
      {1, 0, 12, 0x0001000C, 10012, 1013},
      {1, 1, 0, 0x00010100, 10100, 1101},
      {2, 9, 99, 0x00020963, 20999, 3000},  // the next number is 3.0.0
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.major) + "." + std::to_string(r.minor) + "." + std::to_string(r.fix));
    EXPECT_EQ(VersionCode(r.major, r.minor, r.fix), r.code);
    EXPECT_EQ(VersionDecimal(r.major, r.minor, r.fix), r.decimal);
    EXPECT_EQ(FirstNewerServerVersion(r.major, r.minor, r.fix), r.firstNewer);
  }
}

// The text is spelled by the preprocessor from the same macros: a number written with a leading zero
// or in another base would show differently from the number the code uses.
TEST(Version, TextSpellsTheNumbers) {
  const std::string numbers =
      std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." + std::to_string(kVersionFix);
  EXPECT_EQ(std::string(kVersionText), numbers);
  EXPECT_EQ(std::string(kFaceVersionText).rfind(numbers + ".", 0), 0u) << kFaceVersionText;
}
