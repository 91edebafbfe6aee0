// The render loop of the offline host: switches the plug-in on at the chosen rate and block size,
// feeds a song's MIDI events with their sample offsets inside each block, pulls audio through
// processReplacing until the song and its tail are done, and switches the plug-in off again.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/render/MidiFile.h"
#include "tools/render/VstModule.h"
#include "tools/render/WavWriter.h"

struct RenderSettings {
  double sampleRate = 44100.0;
  int blockSize = 256;
  double tailSeconds = 3.0;  // after the last event, for releases and the delay to ring out
};

class Renderer {
 public:
  // Longest render accepted, song and tail together.
  static constexpr double kMaxSeconds = 3600.0;
  // Channel counts beyond this are taken for a broken descriptor.
  static constexpr int kMaxChannels = 64;

  Renderer(VstModule& module, const RenderSettings& settings) : module_(module), settings_(settings) {}

  // Frames the song and its tail take at the settings' rate.
  long long TotalFrames(const MidiSong& song) const;

  // effOpen, sample rate, block size, effMainsChanged on. Checks the descriptor first.
  bool Start(std::string& error);
  // Renders the whole song into the writer (which must be open with OutputChannels() channels).
  // `progress` is called now and then with frames done and total.
  bool Render(const MidiSong& song, WavWriter& writer, const std::function<void(long long, long long)>& progress,
              std::string& error);
  // effMainsChanged off.
  void Stop();

  // Channels written to the file: the first two outputs of the plug-in.
  int OutputChannels() const;

  // The programs the last render played, in order: the one of the first block, then each one a
  // program change in the song switched to.
  const std::vector<int>& ProgramsPlayed() const { return programsPlayed_; }

 private:
  void UpdateTransport(const MidiSong& song, long long frame);
  void NoteProgram();

  VstModule& module_;
  RenderSettings settings_;
  bool running_ = false;
  std::vector<int> programsPlayed_;
};
