// sarn-render: a small VST2 host that renders a MIDI file, or a built-in demo phrase, through a
// VST2 instrument module to a WAV file. Run with --help for the options.
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/ToolVersion.h"
#include "tools/render/CommandLine.h"
#include "tools/render/DemoPhrase.h"
#include "tools/render/EventSelection.h"
#include "tools/render/MidiFile.h"
#include "tools/render/OutputPath.h"
#include "tools/render/ProgramSelect.h"
#include "tools/render/Renderer.h"
#include "tools/render/VstModule.h"
#include "tools/render/WavWriter.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Below one step of 24-bit PCM a render holds nothing but zeros once written as PCM.
constexpr float kSilence = 1.0f / (1 << 23);

int Fail(const std::string& message) {
  std::fprintf(stderr, "sarn-render: %s\n", message.c_str());
  return kExitFailure;
}

double CpuSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One line on the terminal, rewritten in place.
void ShowProgress(long long done, long long total, double sampleRate) {
  const double percent = total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 100.0;
  std::fprintf(stderr, "\rrendering %5.1f%%  %7.1f of %.1f s", percent, static_cast<double>(done) / sampleRate,
               static_cast<double>(total) / sampleRate);
  if (done >= total) std::fprintf(stderr, "\n");
  std::fflush(stderr);
}

// "program "A"" or "programs "A", "B"": what the render played, in order.
std::string ProgramsText(const std::vector<int>& played, const std::vector<std::string>& names) {
  std::string text = played.size() == 1 ? "program " : "programs ";
  for (size_t i = 0; i < played.size(); ++i) {
    const int index = played[i];
    const bool named = index >= 0 && static_cast<size_t>(index) < names.size();
    text += (i ? ", \"" : "\"") + (named ? names[static_cast<size_t>(index)] : std::to_string(index)) + "\"";
  }
  return text;
}

int ListPrograms(VstModule& module) {
  module.Dispatch(effOpen);
  const std::vector<std::string> names = ProgramNames(module);
  for (size_t i = 0; i < names.size(); ++i) std::printf("%3zu  %s\n", i, names[i].c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  if (!ParseCommandLine(argc, argv, options, error)) {
    std::fprintf(stderr, "sarn-render: %s\nTry 'sarn-render --help' for more information.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    PrintToolVersion("sarn-render");
    return 0;
  }
  const std::string modulePath = options.modulePath.empty() ? ModuleBesideExecutable() : options.modulePath;
  const std::string outputPath = options.outputPath.empty() ? DefaultOutputPath(options.midiPath) : options.outputPath;

  MidiSong song;
  if (!options.listPrograms) {
    std::vector<std::string> inputs = {modulePath};
    if (!options.midiPath.empty()) inputs.push_back(options.midiPath);
    if (!CheckOutputPath(outputPath, inputs, error)) return Fail(error);
    if (outputPath == "-" && isatty(STDOUT_FILENO)) {
      return Fail("will not write a WAV file to a terminal: redirect standard output, or give -o FILE");
    }
    if (options.midiPath.empty()) {
      song = DemoPhrase();
    } else if (!MidiFileReader::Load(options.midiPath, song, error)) {
      return Fail(error);
    }
    EventSelection selection;
    selection.channels = options.channels;
    selection.programChanges = options.program.empty() || options.followProgramChanges;
    song.events = SelectEvents(song, selection);
  }

  VstModule module;
  if (!module.Load(modulePath, error)) return Fail(error);
  if (options.listPrograms) return ListPrograms(module);

  RenderSettings settings;
  settings.sampleRate = options.sampleRate;
  settings.blockSize = options.blockSize;
  settings.tailSeconds = options.tailSeconds;
  Renderer renderer(module, settings);
  if (!renderer.Start(error)) return Fail(error);

  if (!options.program.empty()) {
    const int index = FindProgram(ProgramNames(module), options.program, error);
    if (index < 0 || !SelectProgram(module, index, error)) return Fail(error);
  }

  WavWriter writer;
  const auto format = options.floatOutput ? WavWriter::Format::kFloat32 : WavWriter::Format::kPcm24;
  if (!writer.Open(outputPath, static_cast<int>(settings.sampleRate), renderer.OutputChannels(), format, error)) {
    return Fail(error);
  }

  // Progress only where someone watches it: stderr on a terminal.
  std::function<void(long long, long long)> progress;
  if (!options.quiet && isatty(STDERR_FILENO)) {
    progress = [&](long long done, long long total) { ShowProgress(done, total, settings.sampleRate); };
  }
  const double cpuStart = CpuSeconds();
  const bool rendered = renderer.Render(song, writer, progress, error);
  renderer.Stop();
  const double cpuSeconds = CpuSeconds() - cpuStart;
  if (!rendered) return Fail(error);
  if (!writer.Commit(error)) return Fail(error);

  const std::string played = ProgramsText(renderer.ProgramsPlayed(), ProgramNames(module));
  if (!(writer.Peak() >= kSilence)) {
    std::fprintf(stderr, "sarn-render: warning: %s is silent (%s played nothing above -138 dBFS)\n",
                 outputPath.c_str(), played.c_str());
  }
  if (writer.OverFullScale() > 0 && !options.floatOutput) {
    std::fprintf(stderr, "sarn-render: warning: %lld samples beyond full scale were clipped\n",
                 writer.OverFullScale());
  }
  if (!options.quiet) {
    // The summary never goes where the audio goes.
    FILE* report = outputPath == "-" ? stderr : stdout;
    const double audioSeconds = static_cast<double>(writer.FramesWritten()) / settings.sampleRate;
    const double peakDb = writer.Peak() > 0.0f ? 20.0 * std::log10(writer.Peak()) : -INFINITY;
    std::fprintf(report, "%s: %s, %zu events, %.0f Hz, %d-sample blocks\n", outputPath.c_str(), played.c_str(),
                 song.events.size(), settings.sampleRate, settings.blockSize);
    std::fprintf(report, "%.2f s of audio in %.2f s of CPU time: %.1f times real time; peak %.1f dBFS\n",
                 audioSeconds, cpuSeconds, cpuSeconds > 0.0 ? audioSeconds / cpuSeconds : INFINITY, peakDb);
  }
  return 0;
}
