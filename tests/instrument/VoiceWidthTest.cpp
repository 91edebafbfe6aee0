// The voice loop four voices per instruction (AVX2) and one voice at a time must render exactly the
// same samples, through note starts and ends, stolen voices, the bass taking low keys, the pedal and
// odd block sizes.
#include <gtest/gtest.h>

#include "tests/instrument/RenderScenario.h"

namespace {

TEST(VoiceWidth, FourWideRendersExactlyWhatOneAtATimeRenders) {
  {
    const double rate = 44100.0;
    TestInstrument wide(rate), single(rate);
    if (wide.engine.AllowAvx2(true) != 4) GTEST_SKIP() << "this processor has no AVX2";
    ASSERT_EQ(single.engine.AllowAvx2(false), 1);
    RenderScenario(wide).Run();
    RenderScenario(single).Run();
    ASSERT_EQ(wide.left.size(), single.left.size());
    ASSERT_GT(single.Peak(), 0.01);
    size_t mismatches = 0, first = 0;
    for (size_t i = 0; i < single.left.size(); ++i) {
      if (wide.left[i] != single.left[i] || wide.right[i] != single.right[i]) {
        if (mismatches++ == 0) first = i;
      }
    }
    EXPECT_EQ(mismatches, 0u) << rate << " Hz, first at sample " << first << ": " << wide.left[first] << " vs "
                              << single.left[first];
    for (int v = 0; v < Engine::kNumVoices; ++v) {
      const Voice& a = wide.engine.GetVoice(v);
      const Voice& b = single.engine.GetVoice(v);
      ASSERT_EQ(a.active, b.active) << "voice " << v;
      ASSERT_EQ(a.envelope.value, b.envelope.value) << "voice " << v;
      ASSERT_EQ(a.envelope.stage, b.envelope.stage) << "voice " << v;
      ASSERT_EQ(a.filters.State(ToneFilterPair::kEight), b.filters.State(ToneFilterPair::kEight)) << "voice " << v;
    }
  }
}

}  // namespace
