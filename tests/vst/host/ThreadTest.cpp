// Instances made and played on several threads at once, and one instance rendering on the audio
// thread while the user-interface thread changes its parameters, programs and state.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/vst/host/VstTestHost.h"

TEST(Threads, InstancesOnSeveralThreads) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 6;
  std::atomic<int> created(0);
  std::atomic<int> bad(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &created, &bad]() {
      for (int n = 0; n < kPerThread; ++n) {
        Instance plug((t + n) % 2 == 1);
        if (!plug.effect) {
          ++bad;
          continue;
        }
        ++created;
        plug.Start();
        EventList events;
        events.AddMidi(n, 0x90, 48 + t, 100);
        plug.Send(events);
        std::vector<double> left, right;
        for (int b = 0; b < 3; ++b) plug.RenderDouble(256, left, right);
        if (!AllFinite(left) || !AllFinite(right)) ++bad;
        if (plug.Chunk(0).empty()) ++bad;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(created.load(), kThreads * kPerThread);
  EXPECT_EQ(bad.load(), 0);
}

TEST(Threads, ConcurrentCallsOnOneInstance) {
  Instance plug;
  plug.Start();
  const std::vector<uint8_t> bank = plug.Chunk(0);
  std::atomic<bool> finite(true);
  std::thread audio([&plug, &finite]() {
    std::vector<double> left, right;
    for (int b = 0; b < 150; ++b) {
      EventList events;
      events.AddMidi(b % 200, 0x90, 40 + b % 40, 100);
      events.AddMidi((b * 7) % 200, 0x80, 40 + (b + 20) % 40, 0);
      plug.Send(events);
      plug.RenderDouble(256, left, right);
      if (!AllFinite(left) || !AllFinite(right)) finite = false;
    }
  });
  for (int i = 0; i < 150; ++i) {
    plug.Set(i % 60, static_cast<float>(i % 11) / 10.0f);
    plug.Get((i * 7) % 60);
    if (i % 10 == 0) plug.Dispatch(effSetProgram, 0, i % 64);
    if (i % 25 == 0) plug.SetChunk(0, bank);
    if (i % 15 == 0) plug.Chunk(1);
    plug.String(effGetParamDisplay, i % 60);
  }
  audio.join();
  EXPECT_TRUE(finite.load());
}
