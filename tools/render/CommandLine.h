// The command line of sarn-render.
#pragma once

#include <cstdint>
#include <string>

struct RenderOptions {
  std::string modulePath;  // empty: Sarn.so beside the executable
  std::string program;     // number or name; empty keeps the module's current program
  double sampleRate = 44100.0;
  int blockSize = 256;
  double tailSeconds = 3.0;
  std::string outputPath;  // empty: derived from the MIDI file's name, or demo.wav; "-": standard output
  std::string midiPath;    // empty: the built-in demo phrase
  uint16_t channels = 0xFDFF;  // bit n: MIDI channel n + 1 is played; channel 10 (drums) is not by default
  bool followProgramChanges = false;  // with a program given, the file's program changes are ignored unless set
  bool floatOutput = false;
  bool listPrograms = false;
  bool quiet = false;
  bool help = false;
  bool version = false;
};

// Parses with getopt_long: bundled short options ("-qo out.wav", "-b256"), "--rate 48000",
// "--rate=48000" and unambiguous prefixes of long options. Returns false with a message for an
// unknown or ambiguous option, a missing or malformed value, a value out of range, or more than one
// MIDI file.
bool ParseCommandLine(int argc, const char* const* argv, RenderOptions& options, std::string& error);

// "all", or channel numbers and ranges from 1 to 16 separated by commas ("1-9,11-16"), as a mask
// with bit n for channel n + 1.
bool ParseChannelList(const std::string& text, uint16_t& mask, std::string& error);

// The output path used when none is given: the MIDI file's name with .wav, or demo.wav.
std::string DefaultOutputPath(const std::string& midiPath);

const char* UsageText();
