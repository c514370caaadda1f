// The voice filters on x86-64 processors with AVX-512 (see VectorLevel):
// four voices share one 512-bit register (left and right of each) and up to
// four such quads run interleaved. Within a piece of the stretch the
// recursions run without the per-frame check for NaN and infinite state:
// every state value is its previous value plus further terms, so a value
// that turns NaN or infinite stays so to the end of the piece, and finite
// states at the end show that no reset was due anywhere in it. Only then are
// the outputs mixed; otherwise the piece is filtered again with the checks
// from its start. Every lane performs the operations of VoiceFilter::Process
// in the same order, so the bits equal those of calling Process per voice
// and frame.
#pragma once

#include "engine/dsp/VoiceFilterBank.h"

class VoiceFilterQuads {
public:
    // VoiceFilterBank::Run for a processor with AVX-512 F and DQ.
    static void Run(const VoiceFilterBank::Input* voices, int count, int begin, int end, BusFrame* frames,
                    VoiceFilterBank::Routing routing);

private:
    struct Quad;
    template <int kQuads, bool kHighpass, bool kChecked>
    static bool Filter(const Quad* quads, int begin, int end, double* out);
    template <int kQuads, bool kHighpass>
    static void RunGroup(const Quad* quads, int begin, int end, BusFrame* frames,
                         VoiceFilterBank::Routing routing);
    static void RunGroupOfSize(const Quad* quads, int size, int begin, int end, BusFrame* frames,
                               VoiceFilterBank::Routing routing);
    static bool Highpass(const VoiceFilter& filter) { return filter.m_activeHighpass; }
};
