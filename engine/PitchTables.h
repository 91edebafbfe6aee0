// Pitch units: 1/128 semitone above MIDI note 0 (8.176 Hz); 0..17280 covers notes 0..135.
#pragma once

constexpr int kMaxPitch = 17280;      // note 135
constexpr int kPitchPerSemitone = 128;

// Converts a pitch (1/128 semitone units, may be negative) to Hz by linear interpolation of the
// note-frequency table; negative pitches interpolate downward from 8.176 Hz through the sub-audio table.
double PitchToFrequency(int pitch);

// Entry n of the rounded note-frequency table (n = 0..135).
double NoteFrequency(int note);
