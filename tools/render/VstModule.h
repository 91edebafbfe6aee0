// Loads a VST2 module through its entry point and answers the plug-in's calls to the host. One
// plug-in instance per module object; the instance is closed and the module unloaded on
// destruction.
#pragma once

#include <string>

#include "plugin/vst2/VstInterface.h"

// What the host tells the plug-in about the transport; the renderer updates it once per block.
// Sarn.so in the folder of the running executable, where the build puts the tools beside the
// module; "Sarn.so" when that folder cannot be found.
std::string ModuleBesideExecutable();

struct HostTransport {
  double sampleRate = 44100.0;
  int blockSize = 256;
  double samplePosition = 0.0;
  double tempo = 120.0;
  double quarterNotes = 0.0;  // position in quarter notes
  double barStartQuarterNotes = 0.0;
  int numerator = 4;
  int denominator = 4;
  bool playing = true;
};

class VstModule {
 public:
  // Strings the host reports about itself.
  static constexpr const char* kHostVendor = "Kelmor Music";
  static constexpr const char* kHostProduct = "Sarn Render";
  static constexpr VstIntPtr kHostVersion = 1000;

  VstModule() = default;
  ~VstModule();
  VstModule(const VstModule&) = delete;
  VstModule& operator=(const VstModule&) = delete;

  using EntryProc = AEffect*(VST_CALLBACK*)(VstHostCallback);

  // Loads the module and creates one instance. On failure returns false with a message.
  bool Load(const std::string& path, std::string& error);
  // Creates one instance through an entry point that is already in this process.
  bool Create(EntryProc entry, const std::string& name, std::string& error);

  AEffect* Effect() const { return effect_; }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // effClose (which deletes the instance) and unloading; also done by the destructor.
  void Close();

  HostTransport& Transport() { return transport_; }

 private:
  static VstIntPtr VST_CALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                             void* ptr, float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  const VstTimeInfo* TimeInfo();

  void* handle_ = nullptr;
  AEffect* effect_ = nullptr;
  HostTransport transport_;
  VstTimeInfo timeInfo_ = {};
};
