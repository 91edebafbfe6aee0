// The highest sample rate the instrument plays at. The engine renders silence above it, the VST2
// binding refuses it at effSetSampleRate, and the chorus and delay size their lines for at most this
// rate (the delay's two 1.2 s lines then hold 921,600 stages each, 7.4 MB apiece).
#pragma once

constexpr double kMaxSampleRate = 768000.0;
