// One program slot: a name and the state bytes written by the product's
// WriteState.
#pragma once

#include "core/StateChunk.h"

// Size of a preset name field: 255 characters and a terminator.
inline constexpr int kPresetNameSize = 256;

struct Preset {
    bool initialised = false;  // the slot holds a state
    char name[kPresetNameSize] = {};
    StateChunk state;
};
