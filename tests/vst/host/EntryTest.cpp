// The module's entry points, the descriptor they return, the plain opcodes and the identity strings.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "resources/Version.h"
#include "tests/vst/host/VstTestHost.h"

TEST(Entry, BothEntryPointsGiveTheDescriptor) {
  EXPECT_NE(TestModule().vstMain, nullptr);
  EXPECT_NE(TestModule().legacyMain, nullptr);
  for (bool legacy : {false, true}) {
    SCOPED_TRACE(legacy ? "main" : "VSTPluginMain");
    Instance plug(legacy);
    ASSERT_NE(plug.effect, nullptr);
    const AEffect& e = *plug.effect;
    EXPECT_EQ(e.magic, VstFourCC('V', 's', 't', 'P'));
    EXPECT_TRUE(e.dispatcher && e.process && e.processReplacing && e.processDoubleReplacing && e.setParameter &&
                e.getParameter);
    EXPECT_EQ(e.numPrograms, 64);
    EXPECT_EQ(e.numParams, 60);
    EXPECT_EQ(e.numInputs, 0);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags & ~effFlagsHasEditor, 0x1130);
    EXPECT_EQ(e.uniqueID, 0x7361726E);
    EXPECT_EQ(e.version, kVersionDecimal);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_NE(e.object, nullptr);
  }
}

TEST(Entry, WorksWithoutAHostCallback) {
  // A host that gives no callback still gets a working plug-in that never calls it.
  Instance plug(false, nullptr);
  ASSERT_NE(plug.effect, nullptr);
  // The plug-in object comes from the module's heap, which must align to 16 for its SSE2 states
  // (the 32-bit Windows C heap alone gives 8).
  EXPECT_EQ(reinterpret_cast<uintptr_t>(plug.effect->object) % 16, 0u);
  plug.Start();
  EventList events;
  events.AddMidi(10, 0x90, 60, 100);
  plug.Send(events);
  std::vector<double> left, right;
  plug.RenderDouble(512, left, right);
  EXPECT_TRUE(AllFinite(left) && AllFinite(right));
  EXPECT_FALSE(plug.Chunk(0).empty());
  EXPECT_FALSE(plug.Chunk(1).empty());
}

TEST(Entry, SimpleOpcodesAnswer) {
  Instance plug;
  plug.Start();
  struct Row {
    VstInt32 opcode;
    VstIntPtr expected;
  };
  const Row rows[] = {
      {effIdentify, VstFourCC('N', 'v', 'E', 'f')},
      {effCanBeAutomated, 1},
      {effGetPlugCategory, 2},
      {effGetVendorVersion, kVersionDecimal},
      {effGetVstVersion, 2400},
      {effGetTailSize, 0},
      {effProcessVarIo, 0},
      {effGetProgram, 0},
      {effEditIdle, 0},
      {effIdle, 0},
      {effMainsChanged, 0},
      {9, 0},
      {16, 0},
      {effSetBypass, 0},
      {effGetParameterProperties, 0},
      {70, 0},
      {effStartProcess, 0},
      {effSetProcessPrecision, 0},
      {200, 0},
      {-1, 0},
  };
  for (const Row& row : rows) EXPECT_EQ(plug.Dispatch(row.opcode), row.expected) << "opcode " << row.opcode;
  // effCanBeAutomated answers yes for every index.
  EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 59), 1);
  // A second effOpen is harmless; the dispatcher of an effect without object returns 0.
  EXPECT_EQ(plug.Dispatch(effOpen), 0);
  AEffect orphan = *plug.effect;
  orphan.object = nullptr;
  EXPECT_EQ(orphan.dispatcher(&orphan, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(plug.effect->dispatcher(nullptr, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
  orphan.processReplacing(&orphan, nullptr, nullptr, 64);
  orphan.setParameter(&orphan, 0, 0.5f);
  EXPECT_EQ(orphan.getParameter(&orphan, 0), 0.0f);
}

TEST(Entry, IdentityStrings) {
  Instance plug;
  struct Row {
    VstInt32 opcode;
    const char* expected;
  };
  const Row rows[] = {{effGetEffectName, "Sarn"}, {effGetVendorString, "Kelmor Music"}, {effGetProductString, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.opcode);
    GuardedText text;
    EXPECT_EQ(plug.Dispatch(row.opcode, 0, 0, text.ptr()), 1);
    EXPECT_STREQ(text.ptr(), row.expected);
    EXPECT_TRUE(text.WithinLimit(32));
    EXPECT_EQ(plug.Dispatch(row.opcode, 0, 0, nullptr), 0);
  }
}
