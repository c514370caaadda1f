// What the host needs to know of VORN's parameters to write them by value:
// the range and shape of each index, and the ensemble-button recipes turned
// into host parameter writes.
//
// A host that sets "Button State" (parameter 0) only lights the buttons; the
// plug-in applies a recipe only when a button is pressed on its panel. To
// hear an ensemble state from the command line, the host writes the recipe's
// parameters itself, in the order a press writes them.
#pragma once

#include "engine/dsp/ParameterIds.h"

#include <vector>

struct ParameterRange {
    double min = 0.0;
    double max = 1.0;
    double shape = 1.0;  // normalized n = ((v - min) / (max - min))^(1 / shape)
};

// Range of parameter index 0..70; 0..1 linear for any other index.
ParameterRange VornParameterRange(int index);
// The normalized form of value (in the parameter's unit, limited to its range).
float VornNormalized(int index, double value);

// One host write: setParameter(index, normalized).
struct ParameterWrite {
    int index = 0;
    float normalized = 0.0f;
};

// The writes that light the ensemble buttons of bits (0..255: bit 0 Pipe Organ 1,
// 1 Pipe Organ 2, 2 Chorus 1, 3 Chorus 2, 4 Brass 1, 5 Brass 2, 6 Strings 1,
// 7 Strings 2) and give the sound of pressing them: "Button State" first, then
// the recipe. Bits 0 (tweak mode) gives only the "Button State" write: the
// host has no snapshot to give back.
std::vector<ParameterWrite> EnsembleWrites(int bits);
