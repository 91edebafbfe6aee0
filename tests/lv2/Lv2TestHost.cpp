#include "tests/lv2/Lv2TestHost.h"

#include <algorithm>
#include <cstring>

Lv2World::Lv2World() : mWorld(lilv_world_new()) { lilv_world_load_all(mWorld); }

Lv2World::~Lv2World() { lilv_world_free(mWorld); }

const LilvPlugin* Lv2World::Plugin(const char* uri) const {
  LilvNode* node = lilv_new_uri(mWorld, uri);
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), node);
  lilv_node_free(node);
  return plugin;
}

namespace {

struct PortSetter {
  const LilvPlugin* plugin;
  LilvWorld* world;
  Lv2Instance* instance;
  LV2_URID floatType;
};

void SetPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type) {
  auto* setter = static_cast<PortSetter*>(user);
  LilvNode* name = lilv_new_string(setter->world, symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(setter->plugin, name);
  lilv_node_free(name);
  if (!port || type != setter->floatType || size != sizeof(float)) return;
  float v;
  std::memcpy(&v, value, sizeof(v));
  setter->instance->SetControl(lilv_port_get_index(setter->plugin, port), v);
}

LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                       uint32_t) {
  SavedState::Value& v = static_cast<SavedState*>(handle)->values[key];
  v.type = type;
  v.bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
  return LV2_STATE_SUCCESS;
}

const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
  const auto& values = static_cast<const SavedState*>(handle)->values;
  auto found = values.find(key);
  if (found == values.end()) return nullptr;
  *size = found->second.bytes.size();
  *type = found->second.type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return found->second.bytes.data();
}

}  // namespace

Lv2Instance::Lv2Instance(Lv2World& world, const LilvPlugin* plugin, double rate, int blockSize)
    : mWorld(world), mPlugin(plugin), mBlockSize(blockSize), mBlockLength(blockSize) {
  UridMap& uris = world.Uris();
  mOptions[0] = {LV2_OPTIONS_INSTANCE, 0, uris.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                 uris.Map(LV2_ATOM__Int), &mBlockLength};
  mOptions[1] = {LV2_OPTIONS_INSTANCE, 0, uris.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
                 uris.Map(LV2_ATOM__Int), &mBlockLength};
  mOptions[2] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
  mMapFeature = {LV2_URID__map, uris.MapFeature()};
  mUnmapFeature = {LV2_URID__unmap, uris.UnmapFeature()};
  mOptionsFeature = {LV2_OPTIONS__options, mOptions};
  mFeatures[0] = &mMapFeature;
  mFeatures[1] = &mUnmapFeature;
  mFeatures[2] = &mOptionsFeature;
  mFeatures[3] = nullptr;
  lv2_atom_forge_init(&mForge, uris.MapFeature());

  mInstance = lilv_plugin_instantiate(plugin, rate, mFeatures);
  if (!mInstance) return;
  const uint32_t ports = lilv_plugin_get_num_ports(plugin);
  mControls.assign(ports, 0.0f);
  std::vector<float> defaults(ports, 0.0f);
  lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
  mEvents.assign(kEventBufferBytes, 0);
  for (int c = 0; c < 2; ++c) mOut[c].assign(static_cast<size_t>(blockSize), 0.0f);
  lilv_instance_connect_port(mInstance, 0, mEvents.data());
  lilv_instance_connect_port(mInstance, 1, mOut[0].data());
  lilv_instance_connect_port(mInstance, 2, mOut[1].data());
  for (uint32_t p = 3; p < ports; ++p) {
    mControls[p] = defaults[p];
    lilv_instance_connect_port(mInstance, p, &mControls[p]);
  }
  lilv_instance_activate(mInstance);
}

Lv2Instance::~Lv2Instance() {
  if (!mInstance) return;
  lilv_instance_deactivate(mInstance);
  lilv_instance_free(mInstance);
}

bool Lv2Instance::ApplyPreset(const LilvNode* preset) {
  // Preset data is read on demand, as hosts do before they apply one.
  lilv_world_load_resource(mWorld.World(), preset);
  LilvState* state = lilv_state_new_from_world(mWorld.World(), mWorld.Uris().MapFeature(), preset);
  if (!state) return false;
  if (lilv_state_get_num_properties(state) == 0) {
    lilv_state_free(state);
    return false;
  }
  PortSetter setter{mPlugin, mWorld.World(), this, mWorld.Uris().Map(LV2_ATOM__Float)};
  lilv_state_restore(state, mInstance, SetPortValue, &setter, 0, mFeatures);
  lilv_state_free(state);
  return true;
}

void Lv2Instance::Render(const std::vector<PhraseEvent>& phrase, int frames, std::vector<float>& left,
                         std::vector<float>& right) {
  UridMap& uris = mWorld.Uris();
  const LV2_URID midiEvent = uris.Map(LV2_MIDI__MidiEvent);
  for (int done = 0; done < frames;) {
    const int block = std::min(mBlockSize, frames - done);
    lv2_atom_forge_set_buffer(&mForge, mEvents.data(), mEvents.size());
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&mForge, &sequence, 0);
    if (mTempo > 0.0) {
      LV2_Atom_Forge_Frame object;
      lv2_atom_forge_frame_time(&mForge, 0);
      lv2_atom_forge_object(&mForge, &object, 0, uris.Map(LV2_TIME__Position));
      lv2_atom_forge_key(&mForge, uris.Map(LV2_TIME__beatsPerMinute));
      lv2_atom_forge_float(&mForge, static_cast<float>(mTempo));
      lv2_atom_forge_key(&mForge, uris.Map(LV2_TIME__speed));
      lv2_atom_forge_float(&mForge, 1.0f);
      lv2_atom_forge_pop(&mForge, &object);
      mTempo = 0.0;
    }
    for (const PhraseEvent& e : phrase) {
      if (e.frame < mFrame || e.frame >= mFrame + block) continue;
      lv2_atom_forge_frame_time(&mForge, e.frame - mFrame);
      lv2_atom_forge_atom(&mForge, 3, midiEvent);
      lv2_atom_forge_write(&mForge, e.bytes, 3);
    }
    lv2_atom_forge_pop(&mForge, &sequence);
    lilv_instance_run(mInstance, static_cast<uint32_t>(block));
    left.insert(left.end(), mOut[0].begin(), mOut[0].begin() + block);
    right.insert(right.end(), mOut[1].begin(), mOut[1].begin() + block);
    mFrame += block;
    done += block;
  }
}

LV2_State_Status Lv2Instance::Save(SavedState& state) {
  const auto* iface =
      static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  if (!iface) return LV2_STATE_ERR_UNKNOWN;
  state.values.clear();
  return iface->save(lilv_instance_get_handle(mInstance), Store, &state, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                     mFeatures);
}

LV2_State_Status Lv2Instance::Restore(const SavedState& state) {
  const auto* iface =
      static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
  if (!iface) return LV2_STATE_ERR_UNKNOWN;
  return iface->restore(lilv_instance_get_handle(mInstance), Retrieve, const_cast<SavedState*>(&state),
                        LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, mFeatures);
}

void Lv2Instance::RunBlock() {
  lv2_atom_forge_set_buffer(&mForge, mEvents.data(), mEvents.size());
  LV2_Atom_Forge_Frame sequence;
  lv2_atom_forge_sequence_head(&mForge, &sequence, 0);
  lv2_atom_forge_pop(&mForge, &sequence);
  lilv_instance_run(mInstance, static_cast<uint32_t>(mBlockSize));
  mFrame += mBlockSize;
}
