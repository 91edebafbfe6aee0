// Host identification by substring search of the lower-cased product string.
#include "plugin/vst2/HostIdentification.h"

#include <cstdint>
#include <cstring>

namespace {

struct HostEntry {
  const char* substring;
  int32_t code;
};

// Searched in this order; the first hit wins ("cubase" before "live", for instance).
constexpr HostEntry kHostTable[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFL},
    {"live", kHostAbletonLive},
    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"openmpt", kHostOpenMPT},
    {"renoise", kHostRenoise},
    {"standalone", kHostStandalone},
};

constexpr int kMaxHostStringLength = 255;

// Lower-cases ASCII letters only, so the result does not depend on the C locale.
void CopyLowerCase(const char* text, char* out) {
  int n = 0;
  if (text) {
    for (; n < kMaxHostStringLength && text[n]; ++n) {
      const char c = text[n];
      out[n] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  out[n] = 0;
}

}  // namespace

int32_t IdentifyHost(const char* productString) {
  char lower[kMaxHostStringLength + 1];
  CopyLowerCase(productString, lower);
  for (const HostEntry& entry : kHostTable) {
    if (std::strstr(lower, entry.substring)) return entry.code;
  }
  return kHostUnknown;
}

int32_t PackHostVersion(int64_t vendorVersion) {
  // Hosts answer with any pointer-sized number; the packed value saturates to the 32-bit range.
  const int64_t packed = vendorVersion + (vendorVersion % 10000) / 100 * 156 + vendorVersion / 10000 * 55536;
  if (packed > INT32_MAX) return INT32_MAX;
  if (packed < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(packed);
}

bool IsChunkQuirkVendor(const char* vendorString) {
  char lower[kMaxHostStringLength + 1];
  CopyLowerCase(vendorString, lower);
  return std::strcmp(lower, "native instruments") == 0 || std::strcmp(lower, "juce vst host") == 0;
}
