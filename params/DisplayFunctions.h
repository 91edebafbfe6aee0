// Display functions of the instrument's parameters: plain value in, text of kParamTextSize bytes out.
#pragma once

#include "params/IPlugParam.h"

// "-oo" at 0 or below, else the gain in dB with one decimal (1 -> "0.0", 2 -> "6.0").
void ShowDecibels(double value, char* out);
// Tune -1..1 as whole cents, -50..50.
void ShowCents(double value, char* out);
// "left:right" percentages, (1 - v)·100 and v·100 (0.5 -> "50:50", 0 -> "100:0").
void ShowBalance(double value, char* out);
// Synthesizer cutoff 0..1 as whole Hz of the pitch (v·0.5 + 0.25)·17280 (0 -> "57", 1 -> "2835").
void ShowCutoffHz(double value, char* out);
// Delay time 0..1 as a note value of the list below (1 -> "2/1", 0 -> "1/64").
void ShowNoteValue(double value, char* out);

// Note values from the longest to the shortest duration, shared with the delay's synchronised times.
constexpr int kNumNoteValues = 20;
// Name of entry 0..19 ("2/1" ... "1/64"); the empty text outside that range.
const char* NoteValueName(int index);
// Entry selected by a delay time v: (1 - v)·19 rounded to nearest (halves away from zero),
// clamped to 0..19; a NaN gives 0.
int NoteValueIndex(double v);
