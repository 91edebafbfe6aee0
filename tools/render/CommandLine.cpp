#include "tools/render/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseWhole(const std::string& text, long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && end && *end == 0;
}

bool ParseReal(const std::string& text, double& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return errno == 0 && end && *end == 0 && std::isfinite(out);
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, RenderOptions& options, std::string& error) {
  options = RenderOptions();
  bool haveMidi = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (haveMidi) {
        error = "more than one MIDI file given (" + options.midiPath + ", " + arg + ")";
        return false;
      }
      options.midiPath = arg;
      haveMidi = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // "--name=value" carries its value inline.
    std::string inlineValue;
    bool hasInline = false;
    const size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      hasInline = true;
    }
    auto value = [&](std::string& out) {
      if (hasInline) {
        out = inlineValue;
        return true;
      }
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto noValue = [&]() {
      if (hasInline) error = "option " + arg + " takes no value";
      return !hasInline;
    };

    std::string text;
    if (arg == "-h" || arg == "--help") {
      if (!noValue()) return false;
      options.help = true;
    } else if (arg == "-q" || arg == "--quiet") {
      if (!noValue()) return false;
      options.quiet = true;
    } else if (arg == "--list-programs") {
      if (!noValue()) return false;
      options.listPrograms = true;
    } else if (arg == "--float") {
      if (!noValue()) return false;
      options.floatOutput = true;
    } else if (arg == "-m" || arg == "--module") {
      if (!value(options.modulePath)) return false;
      if (options.modulePath.empty()) {
        error = "the module path is empty";
        return false;
      }
    } else if (arg == "-p" || arg == "--program") {
      if (!value(options.program)) return false;
      if (options.program.empty()) {
        error = "the program is empty";
        return false;
      }
    } else if (arg == "-o" || arg == "--output") {
      if (!value(options.outputPath)) return false;
      if (options.outputPath.empty()) {
        error = "the output path is empty";
        return false;
      }
    } else if (arg == "-r" || arg == "--rate") {
      long rate;
      if (!value(text)) return false;
      if (!ParseWhole(text, rate) || rate < 8000 || rate > 384000) {
        error = "the sample rate must be a whole number of Hz from 8000 to 384000, not \"" + text + "\"";
        return false;
      }
      options.sampleRate = static_cast<double>(rate);
    } else if (arg == "-b" || arg == "--block") {
      long block;
      if (!value(text)) return false;
      if (!ParseWhole(text, block) || block < 1 || block > 8192) {
        error = "the block size must be a whole number of samples from 1 to 8192, not \"" + text + "\"";
        return false;
      }
      options.blockSize = static_cast<int>(block);
    } else if (arg == "--tail") {
      double tail;
      if (!value(text)) return false;
      if (!ParseReal(text, tail) || tail < 0.0 || tail > 600.0) {
        error = "the tail must be from 0 to 600 seconds, not \"" + text + "\"";
        return false;
      }
      options.tailSeconds = tail;
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

std::string DefaultOutputPath(const std::string& midiPath) {
  if (midiPath.empty()) return "demo.wav";
  const size_t slash = midiPath.find_last_of('/');
  const size_t dot = midiPath.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? midiPath.substr(0, dot) : midiPath) + ".wav";
}

const char* UsageText() {
  return "usage: sarn-render [options] [midi-file]\n"
         "\n"
         "Renders a Standard MIDI File (format 0 or 1) through a VST2 instrument to a WAV file.\n"
         "Without a MIDI file it renders a built-in demo phrase of held chords.\n"
         "\n"
         "  -m, --module PATH     VST2 module to load (default: Sarn.so beside sarn-render)\n"
         "  -p, --program P       program number (0 = first) or program name\n"
         "  -r, --rate HZ         sample rate, 8000 to 384000 (default 44100)\n"
         "  -b, --block N         block size in samples, 1 to 8192 (default 256)\n"
         "  -o, --output FILE     WAV file to write (default: the MIDI file's name with .wav,\n"
         "                        or demo.wav for the demo phrase)\n"
         "      --tail SECONDS    time rendered after the song ends, for releases and\n"
         "                        echoes (default 3)\n"
         "      --float           write 32-bit float samples (default: 24-bit PCM)\n"
         "      --list-programs   print the module's program numbers and names, then exit\n"
         "  -q, --quiet           print nothing but errors\n"
         "  -h, --help            print this help\n";
}
