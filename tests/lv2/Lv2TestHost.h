// A small LV2 host on lilv for the tests: finds the bundle through LV2_PATH as hosts do, maps URIs,
// runs an instance block by block with MIDI and transport events, and reaches the state interface.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class UridMap {
 public:
  LV2_URID Map(const char* uri) {
    auto found = mIds.find(uri);
    if (found != mIds.end()) return found->second;
    mUris.push_back(uri);
    return mIds[uri] = static_cast<LV2_URID>(mUris.size());
  }
  const char* Unmap(LV2_URID id) const { return id >= 1 && id <= mUris.size() ? mUris[id - 1].c_str() : nullptr; }
  LV2_URID_Map* MapFeature() { return &mMap; }
  LV2_URID_Unmap* UnmapFeature() { return &mUnmap; }

 private:
  static LV2_URID MapThunk(LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->Map(uri); }
  static const char* UnmapThunk(LV2_URID_Unmap_Handle h, LV2_URID id) {
    return static_cast<UridMap*>(h)->Unmap(id);
  }
  std::map<std::string, LV2_URID> mIds;
  std::vector<std::string> mUris;
  LV2_URID_Map mMap{this, MapThunk};
  LV2_URID_Unmap mUnmap{this, UnmapThunk};
};

// One MIDI event of a phrase: absolute frame and up to three bytes.
struct PhraseEvent {
  int64_t frame;
  uint8_t bytes[3];
};

// The state a host stores: each property's type and bytes.
struct SavedState {
  struct Value {
    LV2_URID type = 0;
    std::vector<uint8_t> bytes;
  };
  std::map<LV2_URID, Value> values;
};

class Lv2World {
 public:
  // Loads every bundle on LV2_PATH.
  Lv2World();
  ~Lv2World();
  const LilvPlugin* Plugin(const char* uri) const;
  LilvWorld* World() const { return mWorld; }
  UridMap& Uris() { return mUris; }

 private:
  LilvWorld* mWorld;
  UridMap mUris;
};

class Lv2Instance {
 public:
  static constexpr int kEventBufferBytes = 64 * 1024;

  Lv2Instance(Lv2World& world, const LilvPlugin* plugin, double rate, int blockSize);
  ~Lv2Instance();
  bool Valid() const { return mInstance != nullptr; }
  LilvInstance* Instance() const { return mInstance; }

  void SetControl(uint32_t port, float value) { mControls[port] = value; }
  float Control(uint32_t port) const { return mControls[port]; }
  // Applies a preset as hosts do: its state through the plug-in's state interface, then its port values.
  bool ApplyPreset(const LilvNode* preset);
  // A tempo for the next block (time:Position with bpm and rolling transport).
  void SendTempo(double bpm) { mTempo = bpm; }
  // Renders frames in blocks, sending the phrase's events that fall in each block at their offsets.
  void Render(const std::vector<PhraseEvent>& phrase, int frames, std::vector<float>& left, std::vector<float>& right);
  // One block with no events, the output left in the port buffers.
  void RunBlock();
  // Frames rendered so far; phrase frames count from the first block.
  int64_t Frame() const { return mFrame; }
  const float* Left() const { return mOut[0].data(); }

  LV2_State_Status Save(SavedState& state);
  LV2_State_Status Restore(const SavedState& state);

 private:
  Lv2World& mWorld;
  const LilvPlugin* mPlugin;
  LilvInstance* mInstance = nullptr;
  int mBlockSize;
  int64_t mFrame = 0;
  double mTempo = 0.0;
  std::vector<float> mControls;
  std::vector<float> mOut[2];
  std::vector<uint8_t> mEvents;
  LV2_Atom_Forge mForge;
  int32_t mBlockLength;
  LV2_Options_Option mOptions[3];
  LV2_Feature mMapFeature, mUnmapFeature, mOptionsFeature;
  const LV2_Feature* mFeatures[4];
};
