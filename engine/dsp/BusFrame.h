// The 14 stereo buses the voices write for one sample frame, read by the
// voice mixer of the signal chain.
#pragma once

#include "engine/dsp/StereoDouble.h"

struct BusFrame {
    // Note buses 0..11 carry the keyboard ranges from low to high; the pre-filters
    // cross-fade them into their six bands.
    static constexpr int kNoteBusCount = 12;
    // Sum of the voices' VCF outputs.
    static constexpr int kVcfBus = 12;
    // Sum of the voices' unfiltered signals.
    static constexpr int kRawBus = 13;
    static constexpr int kBusCount = 14;

    // Plain amplitudes: bus[k][0] is left, bus[k][1] right.
    StereoPair bus[kBusCount] = {};

    void Clear()
    {
        for (StereoPair& pair : bus) {
            StoreBroadcast(pair, 0.0);
        }
    }
};
