#include "engine/dsp/VoiceReadout.h"

#include <cstring>

#include "engine/dsp/VectorLevel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VORN_READOUT_AVX2 1
#endif

namespace {

constexpr int kBanks = OscillatorBanks::kBankCount;
constexpr int kStride = sizeof(BusFrame) / sizeof(StereoPair);

// Where a voice's output goes besides the raw bus.
enum class Output { None, NoteBus, Filter };

inline void AddTo(StereoPair& bus, StereoDouble value)
{
    Store(bus, Load(bus) + value);
}

struct PairBank {
    const double* table;
    std::uint32_t phase;
    std::uint32_t step;
    StereoDouble gain;  // left, right
};

// `shift` is VoiceReadout::kPositionShift, passed in from a variable: a shift
// by a register lets BMI2 code shift into another register (SHRX) instead of
// copying the phase first.
inline void AddBank(PairBank& bank, StereoDouble& sum, unsigned shift)
{
    const double s = bank.table[bank.phase >> shift];
    sum += Broadcast(s) * bank.gain;
    bank.phase += bank.step;
}

inline StereoDouble FirstBank(PairBank& bank, unsigned shift)
{
    const double s = bank.table[bank.phase >> shift];
    bank.phase += bank.step;
    return Broadcast(s) * bank.gain;
}

// kConstantGain: the VCA gain is the same for every frame. kRawBus: the raw
// bus is mixed. Compiled into each instruction set's copy below.
template <bool kConstantGain, bool kRawBus, Output kOutput>
[[gnu::always_inline]] inline void ReadVoiceBody(const VoiceReadout::Voice& voice,
                                                 const VoiceReadout::Stretch& s)
{
    PairBank bank[kBanks];
    for (int b = 0; b < kBanks; ++b) {
        const VoiceReadout::Bank& from = voice.bank[b];
        bank[b] = {s.tables + from.table, from.phase, from.step, StereoDouble{from.leftGain, from.rightGain}};
    }
    PairBank a = bank[0];
    PairBank b = bank[1];
    PairBank c = bank[2];
    const StereoDouble constantGain = Broadcast(voice.constantGain);
    StereoPair* noteBus = &s.frames[0].bus[voice.bus];
    StereoPair* rawBus = &s.frames[0].bus[BusFrame::kRawBus];
    const int count = s.count;
    const unsigned shift = s.shift;
#pragma GCC unroll 4
    for (int i = 0; i < count; ++i) {
        StereoDouble sum = {0.0, 0.0};
        if constexpr (kOutput == Output::Filter) {
            AddBank(a, sum, shift);
        } else {
            // The sum starts at the first bank's product rather than at 0
            // plus it. That differs only where all three products are -0:
            // the sum is -0 instead of +0, and so is the voice's output.
            // Added to a bus, which starts at +0 and therefore never holds
            // -0, both give the same bits. The filter's input is kept as
            // it is, so there the addition stays.
            sum = FirstBank(a, shift);
        }
        AddBank(b, sum, shift);
        AddBank(c, sum, shift);
        const StereoDouble out = sum * (kConstantGain ? constantGain : Broadcast(voice.gain[i]));
        if constexpr (kRawBus) {
            AddTo(rawBus[i * kStride], out);
        }
        if constexpr (kOutput == Output::NoteBus) {
            AddTo(noteBus[i * kStride], out);
        } else if constexpr (kOutput == Output::Filter) {
            std::memcpy(voice.unfiltered + 2 * i, &out, sizeof out);
        }
    }
}

template <bool kConstantGain, bool kRawBus, Output kOutput>
void ReadVoice(const VoiceReadout::Voice& voice, const VoiceReadout::Stretch& s)
{
    ReadVoiceBody<kConstantGain, kRawBus, kOutput>(voice, s);
}

#if VORN_READOUT_AVX2
// The same loop in the AVX2 and BMI2 encodings: three-operand arithmetic,
// broadcasting loads and shifts into another register take about a fifth of
// its instructions away. Same operations, same bits.
template <bool kConstantGain, bool kRawBus, Output kOutput>
__attribute__((target("avx2,bmi2"))) void ReadVoiceAvx2(const VoiceReadout::Voice& voice,
                                                        const VoiceReadout::Stretch& s)
{
    ReadVoiceBody<kConstantGain, kRawBus, kOutput>(voice, s);
}
#endif

// One function per combination, so that the per-frame loops have no
// branches.
template <typename Kernel>
void Dispatch(bool constantGain, bool rawBus, Output output, Kernel&& kernel)
{
    const auto withOutput = [&]<bool kConstantGain, bool kRawBus>() {
        switch (output) {
            case Output::None:
                kernel.template operator()<kConstantGain, kRawBus, Output::None>();
                break;
            case Output::NoteBus:
                kernel.template operator()<kConstantGain, kRawBus, Output::NoteBus>();
                break;
            case Output::Filter:
                kernel.template operator()<kConstantGain, kRawBus, Output::Filter>();
                break;
        }
    };
    if (constantGain) {
        rawBus ? withOutput.template operator()<true, true>() : withOutput.template operator()<true, false>();
    } else {
        rawBus ? withOutput.template operator()<false, true>()
               : withOutput.template operator()<false, false>();
    }
}

}  // namespace

void VoiceReadout::Run(const Voice* voices, int count, const Stretch& stretch)
{
    if (count <= 0 || stretch.count <= 0) {
        return;
    }
    const Output output = voices[0].unfiltered != nullptr ? Output::Filter
                          : stretch.noteBuses             ? Output::NoteBus
                                                          : Output::None;
#if VORN_READOUT_AVX2
    const bool avx2 = ActiveVectorLevel() >= VectorLevel::kAvx2;
#endif
    for (int v = 0; v < count; ++v) {
        const Voice& voice = voices[v];
        Dispatch(voice.gain == nullptr, stretch.rawBus, output,
                 [&]<bool kConstantGain, bool kRawBus, Output kOutput>() {
#if VORN_READOUT_AVX2
                     if (avx2) {
                         ReadVoiceAvx2<kConstantGain, kRawBus, kOutput>(voice, stretch);
                         return;
                     }
#endif
                     ReadVoice<kConstantGain, kRawBus, kOutput>(voice, stretch);
                 });
    }
}
