// Host identification: the host code from the host's product string, the packed host version, and
// the vendor test for hosts that exchange only program chunks.
#pragma once

#include <cstdint>

// Host codes; 6, 10, 11 and 19 are never produced.
enum HostCode : int32_t {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostMelodyneStudio = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostStudioOne = 26,
  kHostVST3TestHost = 27,
  kHostArdour = 28,
  kHostRenoise = 29,
  kHostOpenMPT = 30,
};

// Code of the first table entry whose substring the product string contains, ignoring case; 0 when
// none matches or the string is null. At most 255 characters of the string are looked at.
int32_t IdentifyHost(const char* productString);

// Converts a vendor version major*10000 + minor*100 + patch into major*65536 + minor*256 + patch.
int32_t PackHostVersion(int64_t vendorVersion);

// True when the vendor string, lower-cased, is exactly "native instruments" or "juce vst host".
bool IsChunkQuirkVendor(const char* vendorString);
