// The LV2 bundle as hosts see it: found through LV2_PATH, its ports and presets read by lilv, its
// audio compared sample for sample with the VST2 module's, and its state saved and restored.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "params/ParameterTable.h"
#include "plugin/lv2/Lv2Uris.h"
#include "resources/Version.h"
#include "shell/Sarn.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tools/render/VstModule.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

// LV2_PATH holds one folder with a link to the bundle, as a user's ~/.lv2 would.
Lv2World& World() {
  static Lv2World* world = [] {
    static std::string folder = "/tmp/sarn-lv2-path-XXXXXX";
    if (!mkdtemp(&folder[0])) return static_cast<Lv2World*>(nullptr);
    std::atexit([] {
      unlink((folder + "/sarn.lv2").c_str());
      rmdir(folder.c_str());
    });
    if (symlink(SARN_LV2_BUNDLE, (folder + "/sarn.lv2").c_str()) != 0) return static_cast<Lv2World*>(nullptr);
    setenv("LV2_PATH", folder.c_str(), 1);
    return new Lv2World();
  }();
  return *world;
}

// One instance lives as long as the test, so that the module stays loaded between instances (as in a
// host) and its images are decoded once.
const LilvPlugin* Plugin() {
  const LilvPlugin* plugin = World().Plugin(kLv2PluginUri);
  static Lv2Instance* keeper = plugin ? new Lv2Instance(World(), plugin, kRate, kBlock) : nullptr;
  return keeper ? plugin : nullptr;
}

// The VST2 module, loaded once.
VstModule::EntryProc Vst2Entry() {
  static void* handle = dlopen(SARN_VST_MODULE, RTLD_NOW | RTLD_LOCAL);
  return handle ? reinterpret_cast<VstModule::EntryProc>(dlsym(handle, "VSTPluginMain")) : nullptr;
}

std::string PresetUri(int program) {
  char text[16];
  std::snprintf(text, sizeof(text), "%02d", program + 1);
  return std::string(kLv2PresetPrefix) + text;
}

Sarn& Reference() {
  static Sarn* sarn = [] {
    auto* s = new Sarn(nullptr);
    s->LoadFactoryBank();
    return s;
  }();
  return *sarn;
}

// Held chords, a modulation wheel move and the pedal, at offsets that fall inside blocks.
std::vector<PhraseEvent> Phrase() {
  return {{0, {0x90, 60, 100}},     {70, {0x90, 64, 90}},      {1000, {0x90, 67, 80}},  {5000, {0xB0, 1, 80}},
          {20003, {0xB0, 64, 127}}, {44113, {0x80, 60, 0}},    {44113, {0x80, 64, 0}},  {44120, {0x80, 67, 0}},
          {66150, {0xB0, 64, 0}},   {70001, {0x90, 48, 110}},  {100000, {0x80, 48, 0}}};
}
constexpr int kPhraseFrames = 110250;

struct Audio {
  std::vector<float> left, right;
  float Peak() const {
    float peak = 0.0f;
    for (size_t i = 0; i < left.size(); ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    return peak;
  }
};

// The LV2 instance with a factory preset applied, rendering the phrase at 100 beats a minute.
Audio RenderLv2(int program, const std::vector<PhraseEvent>& phrase, int frames) {
  Audio audio;
  Lv2Instance instance(World(), Plugin(), kRate, kBlock);
  EXPECT_TRUE(instance.Valid());
  if (!instance.Valid()) return audio;
  LilvNode* preset = lilv_new_uri(World().World(), PresetUri(program).c_str());
  EXPECT_TRUE(instance.ApplyPreset(preset));
  lilv_node_free(preset);
  instance.SendTempo(100.0);
  instance.Render(phrase, frames, audio.left, audio.right);
  return audio;
}

// The VST2 module with the program chosen, as a VST2 host renders the phrase.
Audio RenderVst2(int program, const std::vector<PhraseEvent>& phrase, int frames) {
  Audio audio;
  VstModule module;
  std::string error;
  EXPECT_TRUE(Vst2Entry() && module.Create(Vst2Entry(), SARN_VST_MODULE, error)) << error;
  if (!module.Effect()) return audio;
  module.Transport().sampleRate = kRate;
  module.Transport().blockSize = kBlock;
  module.Transport().tempo = 100.0;
  module.Dispatch(effOpen);
  module.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  module.Dispatch(effSetBlockSize, 0, kBlock);
  module.Dispatch(effMainsChanged, 0, 1);
  module.Dispatch(effSetProgram, 0, program);
  AEffect* effect = module.Effect();
  std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
  std::vector<VstMidiEvent> midi(phrase.size());
  std::vector<uint8_t> listBytes(sizeof(VstEvents) + sizeof(VstEvent*) * phrase.size());
  auto* list = reinterpret_cast<VstEvents*>(listBytes.data());
  for (int64_t frame = 0; frame < frames; frame += kBlock) {
    const int block = static_cast<int>(std::min<int64_t>(kBlock, frames - frame));
    int count = 0;
    for (const PhraseEvent& e : phrase) {
      if (e.frame < frame || e.frame >= frame + block) continue;
      VstMidiEvent& m = midi[static_cast<size_t>(count)];
      std::memset(&m, 0, sizeof(m));
      m.type = kVstMidiType;
      m.byteSize = sizeof(VstMidiEvent);
      m.deltaFrames = static_cast<VstInt32>(e.frame - frame);
      for (int b = 0; b < 3; ++b) m.midiData[b] = static_cast<char>(e.bytes[b]);
      list->events[count++] = reinterpret_cast<VstEvent*>(&m);
    }
    list->numEvents = count;
    if (count) module.Dispatch(effProcessEvents, 0, 0, list);
    float* outputs[2] = {out[0].data(), out[1].data()};
    effect->processReplacing(effect, nullptr, outputs, block);
    audio.left.insert(audio.left.end(), out[0].begin(), out[0].begin() + block);
    audio.right.insert(audio.right.end(), out[1].begin(), out[1].begin() + block);
  }
  return audio;
}

// Samples that differ, with the first of them described.
int Differences(const Audio& a, const Audio& b, std::string& first) {
  if (a.left.size() != b.left.size()) {
    first = "lengths " + std::to_string(a.left.size()) + " and " + std::to_string(b.left.size());
    return -1;
  }
  int differ = 0;
  for (size_t i = 0; i < a.left.size(); ++i) {
    if (a.left[i] == b.left[i] && a.right[i] == b.right[i]) continue;
    if (differ++ == 0) {
      first = "sample " + std::to_string(i) + ": " + std::to_string(a.left[i]) + " " + std::to_string(a.right[i]) +
              " against " + std::to_string(b.left[i]) + " " + std::to_string(b.right[i]);
    }
  }
  return differ;
}

std::string NodeText(const LilvNode* node) { return node ? lilv_node_as_string(node) : ""; }

TEST(Lv2Bundle, PortsVersionAndPresetsFollowTheInstrument) {
  const LilvPlugin* plugin = Plugin();
  ASSERT_NE(plugin, nullptr) << "the bundle is not found through LV2_PATH";
  LilvWorld* w = World().World();
  auto uri = [w](const char* text) { return lilv_new_uri(w, text); };
  LilvNode* input = uri(LV2_CORE__InputPort);
  LilvNode* output = uri(LV2_CORE__OutputPort);
  LilvNode* audioPort = uri(LV2_CORE__AudioPort);
  LilvNode* controlPort = uri(LV2_CORE__ControlPort);
  LilvNode* atomPort = uri(LV2_ATOM__AtomPort);
  LilvNode* midiEvent = uri(LV2_MIDI__MidiEvent);
  LilvNode* position = uri(LV2_TIME__Position);
  LilvNode* toggled = uri(LV2_CORE__toggled);
  LilvNode* minor = uri(LV2_CORE__minorVersion);
  LilvNode* micro = uri(LV2_CORE__microVersion);

  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), 63u);
  const LilvPort* events = lilv_plugin_get_port_by_index(plugin, 0);
  EXPECT_TRUE(lilv_port_is_a(plugin, events, input));
  EXPECT_TRUE(lilv_port_is_a(plugin, events, atomPort));
  EXPECT_TRUE(lilv_port_supports_event(plugin, events, midiEvent));
  EXPECT_TRUE(lilv_port_supports_event(plugin, events, position));
  for (uint32_t p : {1u, 2u}) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
    EXPECT_TRUE(lilv_port_is_a(plugin, port, output) && lilv_port_is_a(plugin, port, audioPort)) << p;
  }

  // The product version as minor and micro version (the URI stands for the major version).
  LilvNodes* minors = lilv_world_find_nodes(w, lilv_plugin_get_uri(plugin), minor, nullptr);
  LilvNodes* micros = lilv_world_find_nodes(w, lilv_plugin_get_uri(plugin), micro, nullptr);
  ASSERT_EQ(lilv_nodes_size(minors), 1u);
  ASSERT_EQ(lilv_nodes_size(micros), 1u);
  EXPECT_EQ(lilv_node_as_int(lilv_nodes_get_first(minors)), kVersionMinor);
  EXPECT_EQ(lilv_node_as_int(lilv_nodes_get_first(micros)), kVersionFix);
  lilv_nodes_free(minors);
  lilv_nodes_free(micros);

  struct Row {
    uint32_t port;
    const char* symbol;
    const char* name;
    float minimum, maximum, fallback;
    bool toggle;
  };
  const Row rows[] = {
      {3, "master_volume", "Master Volume", 0.0f, 2.0f, 1.0f, false},
      {5, "tone", "Tone", 2000.0f, 18000.0f, 8000.0f, false},
      {10, "string_viola", "String: Viola", 0.0f, 1.0f, 1.0f, true},
      {16, "bass_16", "Bass: 16'", 0.0f, 1.0f, 0.0f, true},
      {26, "vcf_cutoff", "VCF Cutoff", 0.0f, 1.0f, 0.70710678f, false},
      {36, "phaser_feedback", "Phaser: Feedback", -1.0f, 1.0f, -0.3f, false},
      {61, "delay_vibe_speed", "Delay Vibe Speed", 0.0f, 15.0f, 0.02f, false},
      {62, "delay_vibe_depth", "Delay Vibe Depth", 0.0f, 1.0f, 0.2f, false},
  };
  for (const Row& row : rows) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, row.port);
    ASSERT_NE(port, nullptr) << row.port;
    EXPECT_EQ(NodeText(lilv_port_get_symbol(plugin, port)), row.symbol);
    LilvNode* name = lilv_port_get_name(plugin, port);
    EXPECT_EQ(NodeText(name), row.name);
    lilv_node_free(name);
    LilvNode *def = nullptr, *lo = nullptr, *hi = nullptr;
    lilv_port_get_range(plugin, port, &def, &lo, &hi);
    EXPECT_EQ(lilv_node_as_float(lo), row.minimum) << row.symbol;
    EXPECT_EQ(lilv_node_as_float(hi), row.maximum) << row.symbol;
    EXPECT_EQ(lilv_node_as_float(def), row.fallback) << row.symbol;
    lilv_node_free(def);
    lilv_node_free(lo);
    lilv_node_free(hi);
    EXPECT_EQ(lilv_port_has_property(plugin, port, toggled), row.toggle) << row.symbol;
  }
  // Every parameter is a control input with its name, and every switch a toggle with "off" and "on".
  Sarn& sarn = Reference();
  for (int i = 0; i < sarn.NParams(); ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, 3 + static_cast<uint32_t>(i));
    EXPECT_TRUE(lilv_port_is_a(plugin, port, input) && lilv_port_is_a(plugin, port, controlPort)) << i;
    LilvNode* name = lilv_port_get_name(plugin, port);
    EXPECT_EQ(NodeText(name), sarn.GetParam(i)->Name());
    lilv_node_free(name);
    const bool isSwitch = sarn.GetParam(i)->Kind() == IPlugParam::kBoolean;
    EXPECT_EQ(lilv_port_has_property(plugin, port, toggled), isSwitch) << i;
    LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
    std::string labels;
    LILV_FOREACH(scale_points, it, points) {
      const LilvScalePoint* point = lilv_scale_points_get(points, it);
      labels += NodeText(lilv_scale_point_get_label(point)) + "=" +
                std::to_string(static_cast<int>(lilv_node_as_float(lilv_scale_point_get_value(point)))) + " ";
    }
    lilv_scale_points_free(points);
    if (isSwitch) EXPECT_TRUE(labels == "off=0 on=1 " || labels == "on=1 off=0 ") << i << ": " << labels;
    else EXPECT_EQ(labels, "") << i;
  }

  // The 64 factory programs, in bank order with their names.
  LilvNode* presetClass = uri(LV2_PRESETS__Preset);
  LilvNode* label = uri(LILV_NS_RDFS "label");
  LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
  EXPECT_EQ(lilv_nodes_size(presets), 64u);
  lilv_nodes_free(presets);
  for (int program = 0; program < 64; ++program) {
    LilvNode* preset = uri(PresetUri(program).c_str());
    lilv_world_load_resource(w, preset);
    LilvNode* text = lilv_world_get(w, preset, label, nullptr);
    EXPECT_EQ(NodeText(text), sarn.GetPresetName(program)) << program;
    lilv_node_free(text);
    lilv_node_free(preset);
  }
  EXPECT_EQ(std::string(sarn.GetPresetName(0)), "Phazed Orchestra");

  // The editor as an X11 UI in the same module.
  LilvUIs* uis = lilv_plugin_get_uis(plugin);
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  LilvNode* x11 = uri(LV2_UI__X11UI);
  EXPECT_TRUE(lilv_ui_is_a(ui, x11));
  EXPECT_EQ(NodeText(lilv_ui_get_binary_uri(ui)), NodeText(lilv_plugin_get_library_uri(plugin)));
  lilv_uis_free(uis);
  for (LilvNode* n : {input, output, audioPort, controlPort, atomPort, midiEvent, position, toggled, minor, micro,
                      presetClass, label, x11}) {
    lilv_node_free(n);
  }
}

// Three programs (one with the delay synchronised to the host's tempo): the same samples as the VST2
// module, which shares the engine and the control grid.
TEST(Lv2Bundle, RendersTheSamplesOfTheVst2Module) {
  ASSERT_NE(Plugin(), nullptr);
  for (int program : {0, 12, 32}) {
    const Audio lv2 = RenderLv2(program, Phrase(), kPhraseFrames);
    const Audio vst2 = RenderVst2(program, Phrase(), kPhraseFrames);
    EXPECT_GT(lv2.Peak(), 0.01f) << program;
    std::string first;
    EXPECT_EQ(Differences(lv2, vst2, first), 0) << "program " << program << ", " << first;
  }
  // The tempo reaches the engine: program 32's synchronised echo moves with it.
  const Audio at100 = RenderLv2(32, Phrase(), kPhraseFrames);
  Audio at140;
  {
    Lv2Instance instance(World(), Plugin(), kRate, kBlock);
    LilvNode* preset = lilv_new_uri(World().World(), PresetUri(32).c_str());
    instance.ApplyPreset(preset);
    lilv_node_free(preset);
    instance.SendTempo(140.0);
    instance.Render(Phrase(), kPhraseFrames, at140.left, at140.right);
  }
  std::string first;
  EXPECT_GT(Differences(at100, at140, first), 0);
}

// Each preset makes the plug-in sound as the VST2 module's program of that number, and makes it the
// current program.
TEST(Lv2Bundle, EveryPresetSoundsAsItsProgram) {
  ASSERT_NE(Plugin(), nullptr);
  const std::vector<PhraseEvent> note = {{10, {0x90, 57, 100}}, {6000, {0x80, 57, 0}}};
  const LV2_URID program = World().Uris().Map(kLv2StateProgram);
  for (int p = 0; p < 64; ++p) {
    Audio lv2;
    {
      Lv2Instance instance(World(), Plugin(), kRate, kBlock);
      LilvNode* preset = lilv_new_uri(World().World(), PresetUri(p).c_str());
      ASSERT_TRUE(instance.ApplyPreset(preset)) << p;
      lilv_node_free(preset);
      instance.Render(note, 8192, lv2.left, lv2.right);
      SavedState state;
      ASSERT_EQ(instance.Save(state), LV2_STATE_SUCCESS);
      int32_t current = -1;
      ASSERT_EQ(state.values[program].bytes.size(), sizeof(current));
      std::memcpy(&current, state.values[program].bytes.data(), sizeof(current));
      EXPECT_EQ(current, p);
    }
    const Audio vst2 = RenderVst2(p, note, 8192);
    std::string first;
    EXPECT_EQ(Differences(lv2, vst2, first), 0) << "preset " << p << ", " << first;
  }
}

// An edited program comes back in another instance from the saved state.
TEST(Lv2Bundle, StateBringsBackAnEditedProgram) {
  ASSERT_NE(Plugin(), nullptr);
  UridMap& uris = World().Uris();
  const LV2_URID programKey = uris.Map(kLv2StateProgram);
  const LV2_URID intType = uris.Map(LV2_ATOM__Int);
  auto programState = [&](int32_t number) {
    SavedState s;
    s.values[programKey].type = intType;
    s.values[programKey].bytes.assign(reinterpret_cast<uint8_t*>(&number),
                                      reinterpret_cast<uint8_t*>(&number) + sizeof(number));
    return s;
  };
  const uint32_t volumePort = 3 + kMasterVolume;
  const std::vector<PhraseEvent> note = {{0, {0x90, 60, 100}}, {20000, {0x80, 60, 0}}};

  // Program 5 edited (its volume), then program 2 chosen, which stores the edit; then saved.
  SavedState saved;
  {
    Lv2Instance a(World(), Plugin(), kRate, kBlock);
    ASSERT_EQ(a.Restore(programState(5)), LV2_STATE_SUCCESS);
    a.SetControl(volumePort, 0.125f);
    std::vector<float> l, r;
    a.Render({}, kBlock, l, r);
    ASSERT_EQ(a.Restore(programState(2)), LV2_STATE_SUCCESS);
    ASSERT_EQ(a.Save(saved), LV2_STATE_SUCCESS);
  }
  ASSERT_EQ(saved.values.size(), 2u);

  // A new instance restores it and goes to program 5: it sounds as program 5 with the edit.
  Audio restored, edited, factory;
  {
    Lv2Instance b(World(), Plugin(), kRate, kBlock);
    ASSERT_EQ(b.Restore(saved), LV2_STATE_SUCCESS);
    SavedState again;
    ASSERT_EQ(b.Save(again), LV2_STATE_SUCCESS);
    EXPECT_EQ(again.values[programKey].bytes, saved.values[programKey].bytes);
    ASSERT_EQ(b.Restore(programState(5)), LV2_STATE_SUCCESS);
    b.Render(note, 30000, restored.left, restored.right);
  }
  {
    Lv2Instance c(World(), Plugin(), kRate, kBlock);
    ASSERT_EQ(c.Restore(programState(5)), LV2_STATE_SUCCESS);
    c.SetControl(volumePort, 0.125f);
    c.Render(note, 30000, edited.left, edited.right);
  }
  {
    Lv2Instance d(World(), Plugin(), kRate, kBlock);
    ASSERT_EQ(d.Restore(programState(5)), LV2_STATE_SUCCESS);
    d.Render(note, 30000, factory.left, factory.right);
  }
  std::string first;
  EXPECT_EQ(Differences(restored, edited, first), 0) << first;
  EXPECT_GT(Differences(restored, factory, first), 0);
}

// A state that cannot be restored whole is refused and leaves every program as it was.
TEST(Lv2Bundle, StateThatCannotBeRestoredChangesNothing) {
  ASSERT_NE(Plugin(), nullptr);
  UridMap& uris = World().Uris();
  const LV2_URID bankKey = uris.Map(kLv2StateBank);
  const LV2_URID programKey = uris.Map(kLv2StateProgram);
  const LV2_URID chunkType = uris.Map(LV2_ATOM__Chunk);
  const LV2_URID intType = uris.Map(LV2_ATOM__Int);
  const LV2_URID floatType = uris.Map(LV2_ATOM__Float);

  Lv2Instance instance(World(), Plugin(), kRate, kBlock);
  SavedState good;
  ASSERT_EQ(instance.Save(good), LV2_STATE_SUCCESS);
  const std::vector<uint8_t>& bank = good.values[bankKey].bytes;
  ASSERT_GT(bank.size(), 1000u);
  // Another instance's state with program 7 current, to restore over.
  SavedState other = good;
  const int32_t seven = 7;
  other.values[programKey].bytes.assign(reinterpret_cast<const uint8_t*>(&seven),
                                        reinterpret_cast<const uint8_t*>(&seven) + 4);
  ASSERT_EQ(instance.Restore(other), LV2_STATE_SUCCESS);
  SavedState before;
  ASSERT_EQ(instance.Save(before), LV2_STATE_SUCCESS);

  struct Case {
    const char* what;
    std::vector<uint8_t> bankBytes;  // empty: no bank
    LV2_URID bankType;
    std::vector<uint8_t> programBytes;  // empty: no program
    LV2_URID programType;
    LV2_State_Status expected;
  };
  const std::vector<uint8_t> cut(bank.begin(), bank.begin() + static_cast<long>(bank.size() / 2));
  const std::vector<uint8_t> noProgram;
  const int32_t numbers[] = {64, -1, 3};
  auto bytes = [](const int32_t& n) {
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&n), reinterpret_cast<const uint8_t*>(&n) + 4);
  };
  const Case cases[] = {
      {"bank cut in half", cut, chunkType, bytes(numbers[2]), intType, LV2_STATE_ERR_UNKNOWN},
      {"bank of the wrong type", bank, intType, bytes(numbers[2]), intType, LV2_STATE_ERR_BAD_TYPE},
      {"program 64", bank, chunkType, bytes(numbers[0]), intType, LV2_STATE_ERR_UNKNOWN},
      {"program -1", {}, 0, bytes(numbers[1]), intType, LV2_STATE_ERR_UNKNOWN},
      {"program as a float", bank, chunkType, bytes(numbers[2]), floatType, LV2_STATE_ERR_BAD_TYPE},
      {"nothing", {}, 0, {}, 0, LV2_STATE_ERR_NO_PROPERTY},
  };
  for (const Case& c : cases) {
    SavedState bad;
    if (!c.bankBytes.empty()) bad.values[bankKey] = {c.bankType, c.bankBytes};
    if (!c.programBytes.empty()) bad.values[programKey] = {c.programType, c.programBytes};
    EXPECT_EQ(instance.Restore(bad), c.expected) << c.what;
    SavedState after;
    ASSERT_EQ(instance.Save(after), LV2_STATE_SUCCESS);
    EXPECT_TRUE(after.values[bankKey].bytes == before.values[bankKey].bytes) << c.what;
    EXPECT_EQ(after.values[programKey].bytes, before.values[programKey].bytes) << c.what;
  }
}

}  // namespace
