#include "tools/render/CommandLine.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// Values of the options that have no short form.
enum LongOnly { kTail = 256, kFloat, kListPrograms, kChannels, kFollowProgramChanges };

const char kShortOptions[] = ":hqVm:p:r:b:o:";  // leading ':' reports a missing value apart
const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"quiet", no_argument, nullptr, 'q'},
    {"version", no_argument, nullptr, 'V'},
    {"module", required_argument, nullptr, 'm'},
    {"program", required_argument, nullptr, 'p'},
    {"rate", required_argument, nullptr, 'r'},
    {"block", required_argument, nullptr, 'b'},
    {"output", required_argument, nullptr, 'o'},
    {"tail", required_argument, nullptr, kTail},
    {"float", no_argument, nullptr, kFloat},
    {"list-programs", no_argument, nullptr, kListPrograms},
    {"channels", required_argument, nullptr, kChannels},
    {"follow-program-changes", no_argument, nullptr, kFollowProgramChanges},
    {nullptr, 0, nullptr, 0},
};

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// "--name" of a long option argument, without any "=value".
std::string LongName(const std::string& arg) { return arg.substr(0, arg.find('=')); }

// What getopt_long refused, from the code it returned and the argument it stopped at.
std::string Refusal(int code, int shortOption, const std::string& arg) {
  const bool isLong = StartsWith(arg, "--");
  std::string name = isLong ? LongName(arg) : std::string("-") + static_cast<char>(shortOption);
  // A long option given by a prefix is named in full.
  for (const option* o = kLongOptions; isLong && shortOption != 0 && o->name; ++o) {
    if (o->val == shortOption) name = std::string("--") + o->name;
  }
  if (code == ':') return "option " + name + " needs a value";
  if (shortOption != 0 && isLong && arg.find('=') != std::string::npos) return "option " + name + " takes no value";
  if (shortOption != 0 || !isLong) return "unknown option " + name;
  std::string matches;
  int count = 0;
  for (const option* o = kLongOptions; o->name; ++o) {
    if (std::strncmp(o->name, name.c_str() + 2, name.size() - 2) != 0) continue;
    matches += std::string(count++ ? ", --" : "--") + o->name;
  }
  if (count > 1) return "option " + name + " is ambiguous (" + matches + ")";
  return "unknown option " + name;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, RenderOptions& options, std::string& error) {
  options = RenderOptions();
  // getopt_long reorders the pointers (never the strings): it works on a copy of the array.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  optind = 0;  // a full restart of getopt's scan, so that the parser can run more than once
  opterr = 0;
  int code;
  while ((code = getopt_long(argc, args.data(), kShortOptions, kLongOptions, nullptr)) != -1) {
    const std::string value = optarg ? optarg : "";
    switch (code) {
      case 'h':
        options.help = true;
        break;
      case 'q':
        options.quiet = true;
        break;
      case 'V':
        options.version = true;
        break;
      case kFloat:
        options.floatOutput = true;
        break;
      case kListPrograms:
        options.listPrograms = true;
        break;
      case kFollowProgramChanges:
        options.followProgramChanges = true;
        break;
      case 'm':
        options.modulePath = value;
        if (value.empty()) {
          error = "the module path is empty";
          return false;
        }
        break;
      case 'p':
        options.program = value;
        if (value.empty()) {
          error = "the program is empty";
          return false;
        }
        break;
      case 'o':
        options.outputPath = value;
        if (value.empty()) {
          error = "the output path is empty";
          return false;
        }
        break;
      case 'r': {
        long rate;
        if (!ParseWhole(value, rate) || rate < 8000 || rate > 384000) {
          error = "the sample rate must be a whole number of Hz from 8000 to 384000, not \"" + value + "\"";
          return false;
        }
        options.sampleRate = static_cast<double>(rate);
        break;
      }
      case 'b': {
        long block;
        if (!ParseWhole(value, block) || block < 1 || block > 8192) {
          error = "the block size must be a whole number of samples from 1 to 8192, not \"" + value + "\"";
          return false;
        }
        options.blockSize = static_cast<int>(block);
        break;
      }
      case kTail: {
        double tail;
        if (!ParseReal(value, tail) || tail < 0.0 || tail > 600.0) {
          error = "the tail must be from 0 to 600 seconds, not \"" + value + "\"";
          return false;
        }
        options.tailSeconds = tail;
        break;
      }
      case kChannels:
        if (!ParseChannelList(value, options.channels, error)) return false;
        break;
      default:
        error = Refusal(code, optopt, optind > 0 && optind <= argc ? args[static_cast<size_t>(optind - 1)] : "");
        return false;
    }
  }
  for (int i = optind; i < argc; ++i) {
    if (i > optind) {
      error = "more than one MIDI file given (" + options.midiPath + ", " + args[static_cast<size_t>(i)] + ")";
      return false;
    }
    options.midiPath = args[static_cast<size_t>(i)];
  }
  return true;
}

bool ParseChannelList(const std::string& text, uint16_t& mask, std::string& error) {
  if (text == "all") {
    mask = 0xFFFF;
    return true;
  }
  const std::string complaint = "channels are \"all\" or numbers and ranges from 1 to 16 such as 1-9,11-16, not \"" +
                                text + "\"";
  mask = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const size_t dash = item.find('-');
    long first = 0, last = 0;
    bool parsed = item.find_first_not_of("0123456789-") == std::string::npos;
    if (dash == std::string::npos) {
      parsed = parsed && ParseWhole(item, first);
      last = first;
    } else {
      parsed = parsed && ParseWhole(item.substr(0, dash), first) && ParseWhole(item.substr(dash + 1), last);
    }
    if (!parsed || first < 1 || last > 16 || first > last) {
      error = complaint;
      return false;
    }
    for (long channel = first; channel <= last; ++channel) mask = static_cast<uint16_t>(mask | 1u << (channel - 1));
    start = comma + 1;
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
         "  -p, --program P       program number (0 = first) or program name; the file's\n"
         "                        program changes are then ignored\n"
         "      --follow-program-changes\n"
         "                        let the file's program changes switch programs after -p\n"
         "      --channels LIST   MIDI channels to play: \"all\" or numbers and ranges such as\n"
         "                        1-9,11-16 (default: all but 10, the drum channel)\n"
         "  -r, --rate HZ         sample rate, 8000 to 384000 (default 44100)\n"
         "  -b, --block N         block size in samples, 1 to 8192 (default 256)\n"
         "  -o, --output FILE     WAV file to write, a regular file or \"-\" for standard output\n"
         "                        (default: the MIDI file's name with .wav, or demo.wav for\n"
         "                        the demo phrase); never the MIDI file itself\n"
         "      --tail SECONDS    time rendered after the song ends, for releases and\n"
         "                        echoes (default 3)\n"
         "      --float           write 32-bit float samples (default: 24-bit PCM)\n"
         "      --list-programs   print the module's program numbers and names, then exit\n"
         "  -q, --quiet           print nothing but errors and warnings\n"
         "  -V, --version         print the version\n"
         "  -h, --help            print this help\n";
}
