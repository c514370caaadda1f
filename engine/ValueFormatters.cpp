#include "engine/ValueFormatters.h"

#include <cmath>

#include "core/NumberText.h"
#include "core/Text.h"
#include "engine/dsp/Pitch.h"

// The numbers go through core/NumberText, which prints the same digits as
// printf in the "C" locale without consulting the process locale.

void FormatLevel(double value, char* text, int capacity)
{
    if (value <= 0.0) {
        CopyText(text, capacity, "-oo");
        return;
    }
    FormatFixed(20.0 * std::log10(value), 1, text, capacity);
}

void FormatCents(double value, char* text, int capacity)
{
    FormatFixed(value * 50.0, 0, text, capacity);
}

void FormatRatio(double value, char* text, int capacity)
{
    int length = FormatFixed((1.0 - value) * 100.0, 0, text, capacity);
    length += CopyText(text + length, capacity - length, ":");
    FormatFixed(value * 100.0, 0, text + length, capacity - length);
}

void FormatShiftFactor(double value, char* text, int capacity)
{
    double factor = value >= 0.0 ? value + 1.0 : -1.0 / (value - 1.0);
    FormatFixed(factor, 2, text, capacity);
}

void FormatCutoff(double value, char* text, int capacity)
{
    // Limited in double before the conversion so that out-of-range or NaN
    // values cannot overflow the integer; the pitch law covers 0..17280 only.
    double index = std::round(value * kMaxPitchIndex);
    if (!(index >= 0.0)) {
        index = 0.0;
    } else if (index > kMaxPitchIndex) {
        index = kMaxPitchIndex;
    }
    FormatTruncatedInteger(PitchToFrequency(static_cast<int>(index)), text, capacity);
}

void FormatButtonPattern(double value, char* text, int capacity)
{
    if (!(value > 0.0)) {
        CopyText(text, capacity, "Tweak Mode");
        return;
    }
    // The lowest 8 bits of the rounded value; fmod stays exact for huge
    // values, where a conversion to int would overflow.
    double rounded = std::round(value);
    int bits = std::isfinite(rounded) ? static_cast<int>(std::fmod(rounded, 256.0)) : 0;
    char pattern[9];
    for (int bit = 0; bit < 8; ++bit) {
        pattern[bit] = (bits >> bit) & 1 ? 'o' : '*';
    }
    pattern[8] = '\0';
    CopyText(text, capacity, pattern);
}
