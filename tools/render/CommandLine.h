// The command line of sarn-render.
#pragma once

#include <string>

struct RenderOptions {
  std::string modulePath;  // empty: Sarn.so beside the executable
  std::string program;     // number or name; empty keeps the module's current program
  double sampleRate = 44100.0;
  int blockSize = 256;
  double tailSeconds = 3.0;
  std::string outputPath;  // empty: derived from the MIDI file's name, or demo.wav
  std::string midiPath;    // empty: the built-in demo phrase
  bool floatOutput = false;
  bool listPrograms = false;
  bool quiet = false;
  bool help = false;
};

// Accepts "-r 48000", "--rate 48000" and "--rate=48000". Returns false with a message for an unknown
// option, a missing or malformed value, a value out of range, or more than one MIDI file.
bool ParseCommandLine(int argc, const char* const* argv, RenderOptions& options, std::string& error);

// The output path used when none is given: the MIDI file's name with .wav, or demo.wav.
std::string DefaultOutputPath(const std::string& midiPath);

const char* UsageText();
