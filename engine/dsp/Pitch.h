// Pitch scale shared by the oscillator banks, the voice filter's cutoff table
// and the cutoff display.
#pragma once

// Pitch index: 1/128 semitone per step, index i is MIDI key i / 128; the
// engine uses 0..17280 (keys 0 to 135).
inline constexpr int kPitchStepsPerKey = 128;
inline constexpr int kMaxPitchIndex = 17280;

// Frequency in Hz of a pitch index; indices at or above 17280 give the top
// frequency, 19912.127 Hz.
double PitchToFrequency(int pitch);
