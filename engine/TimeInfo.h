// Host transport record asked for at every control step; the engine uses the tempo for delay sync.
#pragma once

struct TimeInfo {
  double tempo = 120.0;
  double samplePosition = -1.0;
  double quarterNotePosition = -1.0;
  double lastBarPosition = -1.0;
  double cycleStart = -1.0;
  double cycleEnd = -1.0;
  int numerator = 4;
  int denominator = 4;
  bool transportRunning = false;
  bool cycleActive = false;
};
