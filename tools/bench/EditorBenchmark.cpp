// Editor speed and size, through the instrument's real face on the headless layer: a full repaint,
// the repaint after one slider moves, a quiet tick, a line of text on the glyph path, instance creation
// (the first paint decodes the images, later instances share them) and the heap one more instance takes;
// the repaints and the heap at each display scale (100, 150, 200 %).
// Run: out/linux/sarn-bench-editor
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <map>
#include <stdlib.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>

#include "editor/IControl.h"
#include "editor/face/FaceLayout.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "params/ParameterTable.h"
#include "raster/PngDecoder.h"
#include "shell/PlugEditorHost.h"
#include "shell/Sarn.h"
#include "tools/ToolVersion.h"

namespace {

intptr_t SilentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) { return 0; }

struct Instance {
  explicit Instance(int percent = 100) : sarn(std::make_unique<Sarn>(SilentHost)) {
    editor = static_cast<IGraphicsHeadless*>(sarn->Graphics());
    editor->SetUserScale(percent);
    editor->PaintAll();
  }
  std::unique_ptr<Sarn> sarn;
  IGraphicsHeadless* editor;
};

Instance& Shared(int percent = 100) {
  static std::map<int, std::unique_ptr<Instance>> instances;
  std::unique_ptr<Instance>& instance = instances[percent];
  if (!instance) instance = std::make_unique<Instance>(percent);
  return *instance;
}

void FullRepaint(benchmark::State& state) {
  Instance& face = Shared(static_cast<int>(state.range(0)));
  for (auto _ : state) face.editor->PaintArea(Rect(0, 0, kFaceWidth, kFaceHeight));
}
BENCHMARK(FullRepaint)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

// The host moves Tune: the next tick finds only its slider dirty, draws and copies its rectangle.
void SliderMove(benchmark::State& state) {
  Instance& face = Shared(static_cast<int>(state.range(0)));
  double value = 0.25;
  for (auto _ : state) {
    value = value == 0.25 ? 0.75 : 0.25;
    face.editor->ApplyParameterFromPlugin(kTune, value, true);
    face.editor->Tick();
  }
}
BENCHMARK(SliderMove)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

void QuietTick(benchmark::State& state) {
  Instance& face = Shared();
  face.editor->Tick();
  Rect area;
  for (auto _ : state) benchmark::DoNotOptimize(face.editor->CollectDirtyArea(area));
}
BENCHMARK(QuietTick)->Unit(benchmark::kNanosecond);

// One program name in the name field: Arial 15 at alpha 192, glyph by glyph.
void GlyphTextLine(benchmark::State& state) {
  Instance& face = Shared();
  TextStyle style;
  style.face = "Arial";
  style.size = 15;
  style.colour = Colour{192, 255, 255, 255};
  const std::string text = "Big Strings With Phaser";
  for (auto _ : state) face.editor->DrawTextIn(style, text, Rect(449, 24, 641, 40));
}
BENCHMARK(GlyphTextLine)->Unit(benchmark::kMicrosecond);

void FurtherInstance(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    Instance another;
    benchmark::DoNotOptimize(another.editor);
  }
}
BENCHMARK(FurtherInstance)->Unit(benchmark::kMillisecond);

size_t HeapInUse() { return mallinfo2().uordblks + mallinfo2().hblkhd; }

}  // namespace

int main(int argc, char** argv) {
  // The benchmark library answers --help; --version is ours.
  if (AsksForVersion(argc, argv)) {
    PrintToolVersion("sarn-bench-editor");
    return 0;
  }
  // Settings of the benchmark's own, so that a user's startup bank does not change the figures.
  char folder[] = "/tmp/sarn-bench-editor-XXXXXX";
  if (mkdtemp(folder)) setenv("XDG_CONFIG_HOME", folder, 1);

  // The first instance sizes the images from their headers; its first paint decodes them and loads
  // the fonts.
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  auto first = std::make_unique<Sarn>(SilentHost);
  const double firstMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const double firstCpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const int builtDecodes = PngDecodeCount();
  const auto paintStart = std::chrono::steady_clock::now();
  static_cast<IGraphicsHeadless*>(first->Graphics())->PaintAll();
  const double paintMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - paintStart).count();
  const int paintDecodes = PngDecodeCount() - builtDecodes;
  first.reset();
  Shared();
  const int decodes = PngDecodeCount();
  const size_t before = HeapInUse();
  {
    Instance second;
    const size_t after = HeapInUse();
    std::printf("first instance with its face: %.1f ms (%.1f ms CPU, %d images decoded); its first paint %.1f ms "
                "(%d images decoded)\n",
                firstMs, firstCpuMs, builtDecodes, paintMs, paintDecodes);
    std::printf("a further instance: %d images decoded, %.2f MB of heap beyond the shared images\n",
                PngDecodeCount() - decodes, static_cast<double>(after - before) / (1024.0 * 1024.0));
  }
  for (int percent : {100, 150, 200}) {
    Instance& shared = Shared(percent);  // its scale's images decoded and fonts made
    size_t heap = HeapInUse();
    {
      Instance scaled(percent);
      const double instanceMb = static_cast<double>(HeapInUse() - heap) / (1024.0 * 1024.0);
      // The face alone: another editor with the same controls on the same instrument, painted.
      heap = HeapInUse();
      PlugEditorHost host(*shared.sarn);
      IGraphicsHeadless editor(&host, kFaceWidth, kFaceHeight);
      editor.AttachToPlugin(kNumParams);
      editor.SetUserScale(percent);
      BuildFace(editor, &host, shared.sarn.get(), "", "", "");
      editor.PaintAll();
      std::printf("at %d %%: a further instance %.2f MB of heap beyond the shared images, its face %.2f MB\n",
                  percent, instanceMb, static_cast<double>(HeapInUse() - heap) / (1024.0 * 1024.0));
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
