#include "engine/dsp/VoiceFilterQuads.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

// Everything below runs only where the processor has AVX-512 F and DQ.
// Headers come first: inline functions they define keep the build's
// instruction set, so no copy of them needs AVX-512.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq")
// GCC 12's AVX-512 intrinsics hand an undefined register to their unused
// merge operand, which its flow analysis reports as uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

constexpr int kLanes = 4;   // voices per register
constexpr int kGroup = 4;   // quads of one filter mode run interleaved
constexpr int kPiece = 64;  // frames filtered before their outputs are mixed

inline __m512d Join(const double* v0, const double* v1, const double* v2, const double* v3)
{
    const __m256d low = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(v0)), _mm_loadu_pd(v1), 1);
    const __m256d high = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(v2)), _mm_loadu_pd(v3), 1);
    return _mm512_insertf64x4(_mm512_castpd256_pd512(low), high, 1);
}

}  // namespace

// Up to four voices of one filter mode, neighbours in the list; missing
// lanes repeat the first voice and are never written back or mixed.
struct VoiceFilterQuads::Quad {
    const VoiceFilterBank::Input* voice[kLanes];
    int count;
    bool highpass;

    __m512d Gather(const StereoPair VoiceFilter::*member) const
    {
        return Join(voice[0]->filter->*member, voice[1]->filter->*member, voice[2]->filter->*member,
                    voice[3]->filter->*member);
    }
    void Scatter(StereoPair VoiceFilter::*member, __m512d value) const
    {
        double lanes[2 * kLanes];
        _mm512_storeu_pd(lanes, value);
        for (int k = 0; k < count; ++k) {
            std::memcpy(voice[k]->filter->*member, lanes + 2 * k, sizeof(StereoPair));
        }
    }
};

// Filters frames begin..end-1 (at most kPiece) of the quads, writing the
// outputs to out: a row of kPiece (left, right) pairs per lane, frame begin
// first. kChecked: NaN and infinite states are reset frame by frame, as
// VoiceFilter::Process does; otherwise the dither is just added, and false
// is returned (the filters left untouched) if a state ended up NaN or
// infinite.
template <int kQuads, bool kHighpass, bool kChecked>
bool VoiceFilterQuads::Filter(const Quad* quads, int begin, int end, double* out)
{
    __m512d s1[kQuads];
    __m512d s2[kQuads];
    __m512d s3[kQuads];
    __m512d dither[kQuads];  // at the piece's first frame
    __m512d g[kQuads];
    __m512d alpha0[kQuads];
    __m512d beta2[kQuads];
    __m512d beta3[kQuads];
    __m512d feedback[kQuads];
    const double* input[kQuads][kLanes];

    for (int q = 0; q < kQuads; ++q) {
        const Quad& quad = quads[q];
        s1[q] = quad.Gather(&VoiceFilter::m_s1);
        s2[q] = quad.Gather(&VoiceFilter::m_s2);
        s3[q] = quad.Gather(&VoiceFilter::m_s3);
        dither[q] = quad.Gather(&VoiceFilter::m_dither);
        g[q] = quad.Gather(&VoiceFilter::m_g);
        alpha0[q] = quad.Gather(&VoiceFilter::m_alpha0);
        beta2[q] = quad.Gather(&VoiceFilter::m_beta2);
        beta3[q] = quad.Gather(&VoiceFilter::m_beta3);
        feedback[q] = quad.Gather(&VoiceFilter::m_activeFeedback);
        for (int k = 0; k < kLanes; ++k) {
            input[q][k] = quad.voice[k]->unfiltered;
        }
    }
    const __m512d zero = _mm512_setzero_pd();
    const __m512d boost = _mm512_set1_pd(VoiceFilter::kPositiveFeedbackBoost);
    const __m512d limit = _mm512_set1_pd(VoiceFilter::kFeedbackLimit);
    const __m512d negativeLimit = _mm512_set1_pd(-VoiceFilter::kFeedbackLimit);
    // Every dither changes sign every frame: this frame's is the first one
    // times sign (exactly), which keeps a register per quad free. (More
    // than four quads side by side run out of registers.)
    __m512d sign = _mm512_set1_pd(1.0);
    // DitherOrReset lane by lane: s - s is 0 only for finite s.
    const auto treat = [&](__m512d s, __m512d d) {
        if constexpr (kChecked) {
            const __mmask8 finite = _mm512_cmp_pd_mask(_mm512_sub_pd(s, s), zero, _CMP_EQ_OQ);
            return _mm512_maskz_add_pd(finite, s, d);
        } else {
            return _mm512_add_pd(s, d);
        }
    };

    for (int i = begin; i < end; ++i) {
#pragma GCC unroll 4
        for (int q = 0; q < kQuads; ++q) {
            const __m512d d = dither[q] * sign;
            __m512d a1 = treat(s1[q], d);
            const __m512d a2 = treat(s2[q], d);
            const __m512d a3 = treat(s3[q], d);
            const __m512d x =
                Join(input[q][0] + 2 * i, input[q][1] + 2 * i, input[q][2] + 2 * i, input[q][3] + 2 * i);
            const __m512d t1 = (x - a1) * g[q];
            const __m512d a = a1 + t1;
            a1 = a + t1;
            // VoiceFilter::ResonantFeedback.
            const __m512d u = beta2[q] * a2 + beta3[q] * a3;
            const __m512d boosted = boost * _mm512_max_pd(u, zero) + _mm512_min_pd(u, zero);
            const __m512d feedbackTerm = _mm512_max_pd(_mm512_min_pd(boosted, limit), negativeLimit);
            __m512d y;
            if constexpr (!kHighpass) {
                const __m512d t2 = ((a + feedbackTerm) * alpha0[q] - a2) * g[q];
                y = a2 + t2;
                s2[q] = y + t2;
                const __m512d t3 = (feedback[q] * y - a3) * g[q];
                s3[q] = a3 + (t3 + t3);
            } else {
                const __m512d h = x - a;
                y = (h + feedbackTerm) * alpha0[q];
                const __m512d w = feedback[q] * y;
                const __m512d t3 = (w - a3) * g[q];
                const __m512d b = a3 + t3;
                s3[q] = b + t3;
                const __m512d t2 = (w - b - a2) * g[q];
                s2[q] = a2 + (t2 + t2);
            }
            s1[q] = a1;
            // Each voice's outputs follow each other frame by frame.
            double* row = out + (q * kLanes * kPiece + (i - begin)) * 2;
            _mm_storeu_pd(row, _mm512_castpd512_pd128(y));
            _mm_storeu_pd(row + 2 * kPiece, _mm512_extractf64x2_pd(y, 1));
            _mm_storeu_pd(row + 4 * kPiece, _mm512_extractf64x2_pd(y, 2));
            _mm_storeu_pd(row + 6 * kPiece, _mm512_extractf64x2_pd(y, 3));
        }
        sign = -sign;
    }
    if constexpr (!kChecked) {
        __m512d finite = zero;
        for (int q = 0; q < kQuads; ++q) {
            finite += (s1[q] - s1[q]) + (s2[q] - s2[q]) + (s3[q] - s3[q]);
        }
        if (_mm512_cmp_pd_mask(finite, zero, _CMP_EQ_OQ) != 0xff) {
            return false;
        }
    }
    for (int q = 0; q < kQuads; ++q) {
        quads[q].Scatter(&VoiceFilter::m_s1, s1[q]);
        quads[q].Scatter(&VoiceFilter::m_s2, s2[q]);
        quads[q].Scatter(&VoiceFilter::m_s3, s3[q]);
        quads[q].Scatter(&VoiceFilter::m_dither, dither[q] * sign);
    }
    return true;
}

namespace {

// The voices of a group in list order, as the bus additions need them.
struct MixPlan {
    struct Voice {
        const double* filtered;  // its row of outputs
        const double* dry;       // its input, frame i at dry + 2 * i
    };
    // Neighbouring voices on one note bus: their additions are summed in a
    // register and the bus is written once per frame.
    struct Run {
        int bus;
        int begin;
        int end;
    };
    Voice voice[VoiceFilterBank::kMaxVoices];
    Run run[VoiceFilterBank::kMaxVoices];
    int voiceCount = 0;
    int runCount = 0;
};

// One bus over four frames: (left, right) of frame i, i + 1, i + 2, i + 3.
inline __m512d LoadBus(const BusFrame* frames, int bus)
{
    return Join(frames[0].bus[bus], frames[1].bus[bus], frames[2].bus[bus], frames[3].bus[bus]);
}

inline void StoreBus(BusFrame* frames, int bus, __m512d value)
{
    _mm_storeu_pd(frames[0].bus[bus], _mm512_castpd512_pd128(value));
    _mm_storeu_pd(frames[1].bus[bus], _mm512_extractf64x2_pd(value, 1));
    _mm_storeu_pd(frames[2].bus[bus], _mm512_extractf64x2_pd(value, 2));
    _mm_storeu_pd(frames[3].bus[bus], _mm512_extractf64x2_pd(value, 3));
}

inline StereoDouble LoadPair(const double* p)
{
    StereoDouble value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Adds the plan's voices to the buses the routing names over kBlocks blocks
// of four frames from frame i (`row` values into the rows): each lane adds
// its frame's values in voice order, and the blocks' chains of additions run
// side by side. One pass over the voices serves the VCF bus and the note
// buses, a run of voices on one note bus summed in registers.
template <int kBlocks, bool kVcfBus, bool kNoteBuses, bool kSerial>
void MixBlocks(const MixPlan& plan, BusFrame* frames, int i, int row)
{
    __m512d vcf[kBlocks];
    if constexpr (kVcfBus) {
#pragma GCC unroll 4
        for (int b = 0; b < kBlocks; ++b) {
            vcf[b] = LoadBus(frames + i + 4 * b, BusFrame::kVcfBus);
        }
    }
    for (int r = 0; r < plan.runCount; ++r) {
        const MixPlan::Run& run = plan.run[r];
        __m512d sum[kBlocks];
        if constexpr (kNoteBuses) {
#pragma GCC unroll 4
            for (int b = 0; b < kBlocks; ++b) {
                sum[b] = LoadBus(frames + i + 4 * b, run.bus);
            }
        }
        for (int v = run.begin; v < run.end; ++v) {
            const double* filtered = plan.voice[v].filtered + row;
            const double* dry = plan.voice[v].dry + 2 * i;
#pragma GCC unroll 4
            for (int b = 0; b < kBlocks; ++b) {
                const __m512d y = _mm512_loadu_pd(filtered + 8 * b);
                if constexpr (kVcfBus) {
                    vcf[b] = vcf[b] + y;
                }
                if constexpr (kNoteBuses) {
                    sum[b] = sum[b] + (kSerial ? y : _mm512_loadu_pd(dry + 8 * b));
                }
            }
        }
        if constexpr (kNoteBuses) {
#pragma GCC unroll 4
            for (int b = 0; b < kBlocks; ++b) {
                StoreBus(frames + i + 4 * b, run.bus, sum[b]);
            }
        }
    }
    if constexpr (kVcfBus) {
#pragma GCC unroll 4
        for (int b = 0; b < kBlocks; ++b) {
            StoreBus(frames + i + 4 * b, BusFrame::kVcfBus, vcf[b]);
        }
    }
}

// Adds the outputs of frames first..last-1 (the rows start at frame first)
// to the buses the routing names, voices in order.
template <bool kVcfBus, bool kNoteBuses, bool kSerial>
void MixFrames(const MixPlan& plan, int first, int last, BusFrame* frames)
{
    const auto blocks = [&]<int kBlocks>(int i) {
        MixBlocks<kBlocks, kVcfBus, kNoteBuses, kSerial>(plan, frames, i, 2 * (i - first));
    };
    int i = first;
    for (; i + 16 <= last; i += 16) {
        blocks.template operator()<4>(i);
    }
    for (; i + 4 <= last; i += 4) {
        blocks.template operator()<1>(i);
    }
    for (; i < last; ++i) {
        const int row = 2 * (i - first);
        StereoPair* buses = frames[i].bus;
        if constexpr (kVcfBus) {
            StereoDouble vcf = Load(buses[BusFrame::kVcfBus]);
            for (int v = 0; v < plan.voiceCount; ++v) {
                vcf += LoadPair(plan.voice[v].filtered + row);
            }
            Store(buses[BusFrame::kVcfBus], vcf);
        }
        if constexpr (kNoteBuses) {
            for (int r = 0; r < plan.runCount; ++r) {
                const MixPlan::Run& run = plan.run[r];
                StereoDouble sum = Load(buses[run.bus]);
                for (int v = run.begin; v < run.end; ++v) {
                    sum += LoadPair(kSerial ? plan.voice[v].filtered + row : plan.voice[v].dry + 2 * i);
                }
                Store(buses[run.bus], sum);
            }
        }
    }
}

void Mix(const MixPlan& plan, int first, int last, BusFrame* frames, VoiceFilterBank::Routing routing)
{
    if (routing.vcfBus) {
        if (!routing.noteBuses) {
            MixFrames<true, false, false>(plan, first, last, frames);
        } else if (routing.serial) {
            MixFrames<true, true, true>(plan, first, last, frames);
        } else {
            MixFrames<true, true, false>(plan, first, last, frames);
        }
    } else if (routing.noteBuses) {
        routing.serial ? MixFrames<false, true, true>(plan, first, last, frames)
                       : MixFrames<false, true, false>(plan, first, last, frames);
    }
}

}  // namespace

template <int kQuads, bool kHighpass>
void VoiceFilterQuads::RunGroup(const Quad* quads, int begin, int end, BusFrame* frames,
                                VoiceFilterBank::Routing routing)
{
    double out[kQuads * kLanes * kPiece * 2];
    MixPlan plan;
    for (int q = 0; q < kQuads; ++q) {
        for (int k = 0; k < quads[q].count; ++k) {
            const VoiceFilterBank::Input& voice = *quads[q].voice[k];
            const int v = plan.voiceCount++;
            plan.voice[v] = {out + (q * kLanes + k) * kPiece * 2, voice.unfiltered};
            if (v == 0 || voice.bus != plan.run[plan.runCount - 1].bus) {
                plan.run[plan.runCount++] = {voice.bus, v, v};
            }
            ++plan.run[plan.runCount - 1].end;
        }
    }
    for (int first = begin; first < end; first += kPiece) {
        const int last = std::min(end, first + kPiece);
        if (!Filter<kQuads, kHighpass, false>(quads, first, last, out)) {
            Filter<kQuads, kHighpass, true>(quads, first, last, out);
        }
        Mix(plan, first, last, frames, routing);
    }
}

void VoiceFilterQuads::RunGroupOfSize(const Quad* quads, int size, int begin, int end, BusFrame* frames,
                                      VoiceFilterBank::Routing routing)
{
    const bool highpass = quads[0].highpass;
    const auto run = [&]<int kQuads>() {
        highpass ? RunGroup<kQuads, true>(quads, begin, end, frames, routing)
                 : RunGroup<kQuads, false>(quads, begin, end, frames, routing);
    };
    switch (size) {
        case 1:
            run.template operator()<1>();
            break;
        case 2:
            run.template operator()<2>();
            break;
        case 3:
            run.template operator()<3>();
            break;
        default:
            run.template operator()<4>();
            break;
    }
}

void VoiceFilterQuads::Run(const VoiceFilterBank::Input* voices, int count, int begin, int end,
                           BusFrame* frames, VoiceFilterBank::Routing routing)
{
    // Quads of neighbouring voices of one mode; groups of up to four quads
    // of one mode, in voice order.
    Quad quads[VoiceFilterBank::kMaxVoices];
    int quadCount = 0;
    for (int k = 0; k < count;) {
        Quad& quad = quads[quadCount++];
        quad.highpass = Highpass(*voices[k].filter);
        quad.count = 0;
        while (quad.count < kLanes && k < count && Highpass(*voices[k].filter) == quad.highpass) {
            quad.voice[quad.count++] = &voices[k++];
        }
        for (int lane = quad.count; lane < kLanes; ++lane) {
            quad.voice[lane] = quad.voice[0];
        }
    }
    for (int q = 0; q < quadCount;) {
        int size = 1;
        while (size < kGroup && q + size < quadCount && quads[q + size].highpass == quads[q].highpass) {
            ++size;
        }
        RunGroupOfSize(quads + q, size, begin, end, frames, routing);
        q += size;
    }
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC diagnostic pop
#pragma GCC pop_options
#endif

#else

void VoiceFilterQuads::Run(const VoiceFilterBank::Input*, int, int, int, BusFrame*, VoiceFilterBank::Routing)
{
}

#endif
