// Runs the VCFs of many voices over a stretch of frames and mixes their
// outputs into the buses. Each filter's recursion is one long dependency
// chain from frame to frame, so the voices are run side by side: on x86-64
// processors with AVX-512 four voices to a 512-bit register (see
// VoiceFilterQuads), with AVX two voices to a 256-bit register (left and
// right of both) and four such pairs interleaved, elsewhere one SSE2 register
// per voice, voice after voice within each frame (see VectorLevel). Every
// lane performs exactly the operations of VoiceFilter::Process in the same
// order, so every path gives the bits of calling Process per voice and frame.
#pragma once

#include "engine/dsp/BusFrame.h"
#include "engine/dsp/VoiceFilter.h"

class VoiceFilterBank {
public:
    // Most voices one Run takes on the 256-bit path (more run on the SSE2
    // path).
    static constexpr int kMaxVoices = 64;

    // One voice of the stretch.
    struct Input {
        VoiceFilter* filter;
        // The voice's unfiltered output, one (left, right) pair per chunk
        // frame; frames begin..end-1 are read.
        const double* unfiltered;
        int bus;  // note bus 0..11
    };
    // Where the outputs go: the filtered signal into the VCF bus (vcfBus),
    // into the voice's note bus the filtered signal (serial) or the
    // unfiltered one (parallel), when noteBuses is set.
    struct Routing {
        bool vcfBus;
        bool noteBuses;
        bool serial;
    };

    // Filters chunk frames begin..end-1 of `count` voices and adds the
    // results to frames[begin..end-1]. Every bus receives its voices'
    // additions in the order of `voices`, frame by frame.
    static void Run(const Input* voices, int count, int begin, int end, BusFrame* frames, Routing routing);
};
