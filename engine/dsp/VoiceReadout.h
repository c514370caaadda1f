// Reads the oscillator banks for many voices over a stretch of frames and
// mixes the voices into the buses. Per voice and frame: each of the three
// banks' premixed tables read at the bank's phase, times the bank's left and
// right gains, summed bank after bank, times the voice's VCA gain; that is
// added to the raw bus and the voice's note bus, or kept for its filter.
//
// One voice after the other over the whole stretch, its left and right in
// one SSE2 register; every bus still receives its voices' additions frame by
// frame in the order of the list. On x86-64 processors with AVX2 (see
// VectorLevel) the same loop runs in that instruction set's encodings, with
// the same operations and bits. Four voices side by side in 256-bit lanes
// (gathered or inserted table reads) measured slower: a voice's sample costs
// one table read per bank either way, and the lanes add the shuffles.
#pragma once

#include <cstdint>

#include "engine/dsp/BusFrame.h"
#include "engine/dsp/OscillatorBank.h"

class VoiceReadout {
public:
    // One bank as one voice reads it over the stretch: the table of the
    // key's level, and the phase of the key's pitch class times the key's
    // octave factor, kept in the top bits of a 32-bit word so that it wraps
    // by itself; its top 12 bits are the table position.
    struct Bank {
        std::int32_t table;  // first value of the table, counted from `tables`
        std::uint32_t phase;
        std::uint32_t step;  // per frame
        double leftGain;
        double rightGain;
    };
    static constexpr int kPositionShift = 32 - 12;

    struct Voice {
        Bank bank[OscillatorBanks::kBankCount];
        // VCA gain per stretch frame; null when it is constantGain throughout.
        const double* gain;
        double constantGain;
        int bus;  // note bus 0..11
        // One (left, right) pair per stretch frame, stored there for the
        // voice's filter instead of being added to the note bus; null for
        // every voice of a Run or for none.
        double* unfiltered;
    };

    struct Stretch {
        const double* tables;  // every premixed table, one block
        BusFrame* frames;      // the stretch's first frame
        int count;             // frames
        bool rawBus;           // whether the raw bus is mixed (else nothing reads it)
        bool noteBuses;        // whether the note buses are mixed
        unsigned shift = kPositionShift;
    };

    // Renders `count` voices over the stretch.
    static void Run(const Voice* voices, int count, const Stretch& stretch);
};
