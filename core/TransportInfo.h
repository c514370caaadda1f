// The host's transport, as far as it reports it. Fields the host does not
// report keep whatever the caller put there.
#pragma once

#include <cstdint>

struct TransportInfo {
    double tempo = 0.0;            // beats per minute
    double samplePosition = 0.0;   // frames since the song start
    double ppqPosition = 0.0;      // quarter notes since the song start
    double lastBarPosition = 0.0;  // quarter notes, start of the current bar
    double cycleStart = 0.0;       // quarter notes
    double cycleEnd = 0.0;         // quarter notes
    std::int32_t numerator = 4;
    std::int32_t denominator = 4;
    bool playing = false;
    bool cycleActive = false;
};
