// Display formatters of the product's parameters: each takes a value in the
// parameter's own unit and writes its text into text[0..capacity), always
// zero-terminated and cut to capacity - 1 characters. Numbers always use a
// point as decimal separator, whatever the process locale. For the values of
// their parameters' ranges the texts are at most 11 characters long. They
// match the DisplayFormatter signature and may be called from any thread.
#pragma once

// Level as a gain factor: "-oo" at or below 0, else decibels with one
// decimal (1 shows "0.0", 2 shows "6.0").
void FormatLevel(double value, char* text, int capacity);

// Tuning in -1..1: cents with no decimals (value * 50, so -1 shows "-50").
void FormatCents(double value, char* text, int capacity);

// Mix or pan in 0..1: "left:right" percentages with no decimals (0.25 shows
// "75:25").
void FormatRatio(double value, char* text, int capacity);

// Pre-filter shift in -4..4: the frequency factor with two decimals, value + 1
// for value >= 0 and 1 / (1 - value) below (-1 shows "0.50", 4 shows "5.00").
void FormatShiftFactor(double value, char* text, int capacity);

// VCF cutoff in 0..1: the frequency in whole Hz (truncated) of the pitch index
// round(value * 17280); the index is limited to 0..17280.
void FormatCutoff(double value, char* text, int capacity);

// Button state: "Tweak Mode" at or below 0; otherwise eight characters for
// bits 0..7 (left to right) of the rounded value, "o" set and "*" clear.
void FormatButtonPattern(double value, char* text, int capacity);
