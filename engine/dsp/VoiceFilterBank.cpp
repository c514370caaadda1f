#include "engine/dsp/VoiceFilterBank.h"

#include <algorithm>

#include "engine/dsp/VectorLevel.h"
#include "engine/dsp/VoiceFilterQuads.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VORN_VOICE_FILTER_AVX 1
#include <immintrin.h>
#endif

namespace {

inline void AddTo(StereoPair& bus, StereoDouble value)
{
    Store(bus, Load(bus) + value);
}

// The straightforward order: every voice for one frame, then the next frame.
// Running all voices of a frame before the next frame still lets the
// processor overlap the voices' recursions.
void RunNarrow(const VoiceFilterBank::Input* voices, int count, int begin, int end, BusFrame* frames,
               VoiceFilterBank::Routing routing)
{
    for (int i = begin; i < end; ++i) {
        StereoPair* buses = frames[i].bus;
        for (int k = 0; k < count; ++k) {
            const VoiceFilterBank::Input& voice = voices[k];
            const double* x = voice.unfiltered + 2 * i;
            double left;
            double right;
            voice.filter->Process(x[0], x[1], left, right);
            if (routing.vcfBus) {
                AddTo(buses[BusFrame::kVcfBus], StereoDouble{left, right});
            }
            if (routing.noteBuses) {
                AddTo(buses[voice.bus],
                      routing.serial ? StereoDouble{left, right} : StereoDouble{x[0], x[1]});
            }
        }
    }
}

}  // namespace

#if VORN_VOICE_FILTER_AVX

// Two voices of the same filter mode in one 256-bit register: lanes
// (first left, first right, second left, second right). A pair without a
// second voice runs the first one twice and keeps one result.
struct VoiceFilterPair {
    const VoiceFilterBank::Input* first;
    const VoiceFilterBank::Input* second;  // null: lanes 2 and 3 unused
    bool highpass;
};

namespace {

#define VORN_AVX __attribute__((target("avx")))

VORN_AVX inline __m256d Join(const double* low, const double* high)
{
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(low)), _mm_loadu_pd(high), 1);
}

VORN_AVX inline __m256d BroadcastQuad(double value)
{
    return _mm256_set1_pd(value);
}

// DitherOrReset lane by lane.
VORN_AVX inline __m256d DitherOrResetQuad(__m256d s, __m256d dither)
{
    const __m256d zero = _mm256_setzero_pd();
    return (s - s == zero) ? s + dither : zero;
}

}  // namespace

// Lanes of VoiceFilter state and coefficients, read and written by the
// bank (a friend of VoiceFilter).
class VoiceFilterLanes {
public:
    VORN_AVX static __m256d Coefficient(const VoiceFilterPair& pair, const StereoPair VoiceFilter::*member)
    {
        const VoiceFilter* second = pair.second != nullptr ? pair.second->filter : pair.first->filter;
        return Join(pair.first->filter->*member, second->*member);
    }

    VORN_AVX static void Write(const VoiceFilterPair& pair, StereoPair VoiceFilter::*member, __m256d value)
    {
        _mm_storeu_pd(pair.first->filter->*member, _mm256_castpd256_pd128(value));
        if (pair.second != nullptr) {
            _mm_storeu_pd(pair.second->filter->*member, _mm256_extractf128_pd(value, 1));
        }
    }

    static bool Highpass(const VoiceFilter& filter) { return filter.m_activeHighpass; }

    // All pairs of the group run the lowpass (or all the highpass) mode.
    template <int kPairs, bool kHighpass>
    VORN_AVX static void Run(const VoiceFilterPair* pairs, int begin, int end, BusFrame* frames,
                             VoiceFilterBank::Routing routing)
    {
        __m256d s1[kPairs];
        __m256d s2[kPairs];
        __m256d s3[kPairs];
        __m256d dither[kPairs];
        __m256d g[kPairs];
        __m256d alpha0[kPairs];
        __m256d beta2[kPairs];
        __m256d beta3[kPairs];
        __m256d feedback[kPairs];
        const double* inputLow[kPairs];
        const double* inputHigh[kPairs];
        for (int p = 0; p < kPairs; ++p) {
            const VoiceFilterPair& pair = pairs[p];
            s1[p] = Coefficient(pair, &VoiceFilter::m_s1);
            s2[p] = Coefficient(pair, &VoiceFilter::m_s2);
            s3[p] = Coefficient(pair, &VoiceFilter::m_s3);
            dither[p] = Coefficient(pair, &VoiceFilter::m_dither);
            g[p] = Coefficient(pair, &VoiceFilter::m_g);
            alpha0[p] = Coefficient(pair, &VoiceFilter::m_alpha0);
            beta2[p] = Coefficient(pair, &VoiceFilter::m_beta2);
            beta3[p] = Coefficient(pair, &VoiceFilter::m_beta3);
            feedback[p] = Coefficient(pair, &VoiceFilter::m_activeFeedback);
            inputLow[p] = pair.first->unfiltered;
            inputHigh[p] = pair.second != nullptr ? pair.second->unfiltered : pair.first->unfiltered;
        }
        const __m256d zero = _mm256_setzero_pd();
        const __m256d boost = BroadcastQuad(VoiceFilter::kPositiveFeedbackBoost);
        const __m256d limit = BroadcastQuad(VoiceFilter::kFeedbackLimit);
        const __m256d negativeLimit = -limit;

        for (int i = begin; i < end; ++i) {
            __m256d x[kPairs];
            __m256d y[kPairs];
#pragma GCC unroll 4
            for (int p = 0; p < kPairs; ++p) {
                const __m256d d = dither[p];
                dither[p] = -d;
                __m256d a1 = DitherOrResetQuad(s1[p], d);
                const __m256d a2 = DitherOrResetQuad(s2[p], d);
                const __m256d a3 = DitherOrResetQuad(s3[p], d);
                x[p] = Join(inputLow[p] + 2 * i, inputHigh[p] + 2 * i);
                const __m256d t1 = (x[p] - a1) * g[p];
                const __m256d a = a1 + t1;
                a1 = a + t1;
                // VoiceFilter::ResonantFeedback.
                const __m256d u = beta2[p] * a2 + beta3[p] * a3;
                const __m256d boosted = boost * _mm256_max_pd(u, zero) + _mm256_min_pd(u, zero);
                const __m256d feedbackTerm = _mm256_max_pd(_mm256_min_pd(boosted, limit), negativeLimit);
                if constexpr (!kHighpass) {
                    const __m256d t2 = ((a + feedbackTerm) * alpha0[p] - a2) * g[p];
                    const __m256d out = a2 + t2;
                    s2[p] = out + t2;
                    const __m256d t3 = (feedback[p] * out - a3) * g[p];
                    s3[p] = a3 + (t3 + t3);
                    y[p] = out;
                } else {
                    const __m256d h = x[p] - a;
                    const __m256d out = (h + feedbackTerm) * alpha0[p];
                    const __m256d w = feedback[p] * out;
                    const __m256d t3 = (w - a3) * g[p];
                    const __m256d b = a3 + t3;
                    s3[p] = b + t3;
                    const __m256d t2 = (w - b - a2) * g[p];
                    s2[p] = a2 + (t2 + t2);
                    y[p] = out;
                }
                s1[p] = a1;
            }
            // Bus additions in voice order.
            StereoPair* buses = frames[i].bus;
            StereoDouble vcf = Load(buses[BusFrame::kVcfBus]);
#pragma GCC unroll 4
            for (int p = 0; p < kPairs; ++p) {
                const int halves = pairs[p].second != nullptr ? 2 : 1;
#pragma GCC unroll 2
                for (int half = 0; half < halves; ++half) {
                    const StereoDouble out =
                        half == 0 ? _mm256_castpd256_pd128(y[p]) : _mm256_extractf128_pd(y[p], 1);
                    if (routing.vcfBus) {
                        vcf += out;
                    }
                    if (routing.noteBuses) {
                        const int bus = half == 0 ? pairs[p].first->bus : pairs[p].second->bus;
                        const StereoDouble dry =
                            half == 0 ? _mm256_castpd256_pd128(x[p]) : _mm256_extractf128_pd(x[p], 1);
                        AddTo(buses[bus], routing.serial ? out : dry);
                    }
                }
            }
            if (routing.vcfBus) {
                Store(buses[BusFrame::kVcfBus], vcf);
            }
        }
        for (int p = 0; p < kPairs; ++p) {
            Write(pairs[p], &VoiceFilter::m_s1, s1[p]);
            Write(pairs[p], &VoiceFilter::m_s2, s2[p]);
            Write(pairs[p], &VoiceFilter::m_s3, s3[p]);
            Write(pairs[p], &VoiceFilter::m_dither, dither[p]);
        }
    }
};

namespace {

template <bool kHighpass>
void RunGroup(const VoiceFilterPair* pairs, int size, int begin, int end, BusFrame* frames,
              VoiceFilterBank::Routing routing)
{
    switch (size) {
        case 1:
            VoiceFilterLanes::Run<1, kHighpass>(pairs, begin, end, frames, routing);
            break;
        case 2:
            VoiceFilterLanes::Run<2, kHighpass>(pairs, begin, end, frames, routing);
            break;
        case 3:
            VoiceFilterLanes::Run<3, kHighpass>(pairs, begin, end, frames, routing);
            break;
        default:
            VoiceFilterLanes::Run<4, kHighpass>(pairs, begin, end, frames, routing);
            break;
    }
}

void RunWide(const VoiceFilterBank::Input* voices, int count, int begin, int end, BusFrame* frames,
             VoiceFilterBank::Routing routing)
{
    // Pairs of neighbouring voices; a voice whose neighbour runs the other
    // filter mode gets a pair of its own. Groups of up to four pairs run
    // interleaved over the stretch (a group holds pairs of one mode); each
    // group adds its voices in order, and the groups follow each other in
    // voice order.
    constexpr int kGroup = 4;
    VoiceFilterPair pairs[VoiceFilterBank::kMaxVoices];
    int pairCount = 0;
    for (int k = 0; k < count;) {
        const bool highpass = VoiceFilterLanes::Highpass(*voices[k].filter);
        const bool twin = k + 1 < count && VoiceFilterLanes::Highpass(*voices[k + 1].filter) == highpass;
        pairs[pairCount++] = {&voices[k], twin ? &voices[k + 1] : nullptr, highpass};
        k += twin ? 2 : 1;
    }
    for (int p = 0; p < pairCount;) {
        const bool highpass = pairs[p].highpass;
        int size = 1;
        while (size < kGroup && p + size < pairCount && pairs[p + size].highpass == highpass) {
            ++size;
        }
        if (highpass) {
            RunGroup<true>(pairs + p, size, begin, end, frames, routing);
        } else {
            RunGroup<false>(pairs + p, size, begin, end, frames, routing);
        }
        p += size;
    }
}

}  // namespace

#endif  // VORN_VOICE_FILTER_AVX

void VoiceFilterBank::Run(const Input* voices, int count, int begin, int end, BusFrame* frames,
                          Routing routing)
{
    if (count <= 0 || end <= begin) {
        return;
    }
#if VORN_VOICE_FILTER_AVX
    if (count <= kMaxVoices && ActiveVectorLevel() >= VectorLevel::kAvx512) {
        VoiceFilterQuads::Run(voices, count, begin, end, frames, routing);
        return;
    }
    if (count <= kMaxVoices && ActiveVectorLevel() >= VectorLevel::kAvx) {
        RunWide(voices, count, begin, end, frames, routing);
        return;
    }
#endif
    RunNarrow(voices, count, begin, end, frames, routing);
}
