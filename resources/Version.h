// The release number, written only here. The plain macros are what the Windows resource script
// (sarn.rc, through windres's preprocessor) and the artwork preview read; the C++ part derives every
// form the plug-in, its hosts and the maker's server use.
#pragma once

#define SARN_VERSION_MAJOR 1
#define SARN_VERSION_MINOR 0
#define SARN_VERSION_FIX 4
// The face shows the release with this mark after it.
#define SARN_FACE_VERSION_MARK ".N"

#define SARN_VERSION_STRING_OF(x) #x
#define SARN_VERSION_STRING(x) SARN_VERSION_STRING_OF(x)
// "major.minor.fix", for example "1.0.4".
#define SARN_VERSION_TEXT                                                                 \
  SARN_VERSION_STRING(SARN_VERSION_MAJOR) "." SARN_VERSION_STRING(SARN_VERSION_MINOR) "." \
  SARN_VERSION_STRING(SARN_VERSION_FIX)

#ifndef RC_INVOKED

#include <cstdint>

// major << 16 | minor << 8 | fix: what VST2 hosts read as the plug-in's version (1.0.4 gives 0x00010004).
constexpr int32_t VersionCode(int major, int minor, int fix) { return major << 16 | minor << 8 | fix; }
// major * 10000 + minor * 100 + fix: the vendor version and the version in program and bank files
// (1.0.4 gives 10004).
constexpr int32_t VersionDecimal(int major, int minor, int fix) { return major * 10000 + minor * 100 + fix; }
// The maker's server numbers a release major * 1000 + minor * 100 + fix (1.0.4 is 1004, 1.0.12 is
// 1012); a reply of the next number or above is a newer release.
constexpr int FirstNewerServerVersion(int major, int minor, int fix) { return major * 1000 + minor * 100 + fix + 1; }

constexpr int kVersionMajor = SARN_VERSION_MAJOR;
constexpr int kVersionMinor = SARN_VERSION_MINOR;
constexpr int kVersionFix = SARN_VERSION_FIX;
// The forms above keep the numbers apart only within these ranges.
static_assert(kVersionMajor >= 0 && kVersionMajor <= 9, "the server's number holds the major number in one digit");
static_assert(kVersionMinor >= 0 && kVersionMinor <= 9, "the server's number holds the minor number in one digit");
static_assert(kVersionFix >= 0 && kVersionFix <= 99, "the decimal and server forms hold a fix in two digits");

constexpr int32_t kVersionCode = VersionCode(kVersionMajor, kVersionMinor, kVersionFix);
constexpr int32_t kVersionDecimal = VersionDecimal(kVersionMajor, kVersionMinor, kVersionFix);
constexpr int kFirstNewerVersion = FirstNewerServerVersion(kVersionMajor, kVersionMinor, kVersionFix);
constexpr const char* kVersionText = SARN_VERSION_TEXT;
constexpr const char* kFaceVersionText = SARN_VERSION_TEXT SARN_FACE_VERSION_MARK;

#endif
