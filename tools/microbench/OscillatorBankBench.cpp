// Voice read-out of the three oscillator banks: 64 voices per sample, phase
// advance after each sample and a control tick every 44 samples, as the
// render loop does at 44.1 kHz. Reported per voice-sample.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "engine/dsp/OscillatorBank.h"

namespace {

constexpr int kVoices = 64;
constexpr int kControlPeriod = 44;
constexpr int kSamples = 4400;

std::unique_ptr<OscillatorBanks> MakeBanks()
{
    auto banks = std::make_unique<OscillatorBanks>();
    banks->SetSampleRate(44100.0);
    const double rates[] = {3.5, 1.0, 5.8};
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        banks->SetLevel(b, 1.0);
        banks->SetPan(b, 0.25 + 0.25 * b);
        banks->SetWaveMix(b, 0.3 * b);
        banks->SetVibratoRate(b, rates[b]);
        banks->SetVibratoDepth(b, 0.2);
    }
    return banks;
}

// Voices keep their prepared keys (the render loop's way) or look the keys up
// every sample.
template <bool kPrepared>
void ReadThreeBanks(benchmark::State& state, const OscillatorBanks::Transpose& transpose)
{
    auto banks = MakeBanks();
    std::array<int, kVoices> notes{};
    std::array<OscillatorBanks::VoiceKeys, kVoices> keys{};
    for (int v = 0; v < kVoices; ++v) {
        notes[v] = 30 + v;  // keys 30..93: many table levels and all shifts
        keys[v] = banks->PrepareVoice(notes[v], transpose);
    }
    // Each voice stores its pair, as it would before its envelope and bus
    // add; a running sum here would time the sum's dependency chain instead.
    std::array<StereoSample, kVoices> out{};
    for (auto _ : state) {
        for (int i = 0; i < kSamples; ++i) {
            if (i % kControlPeriod == 0) {
                banks->UpdateAtControlTick();
            }
            for (int v = 0; v < kVoices; ++v) {
                out[v] = kPrepared ? banks->ReadVoice(keys[v]) : banks->ReadVoice(notes[v], transpose);
            }
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
            banks->AdvancePhases();
        }
    }
    state.SetItemsProcessed(state.iterations() * kSamples * kVoices);
    // Seconds of 44.1 kHz audio per second of work, all 64 voices playing.
    state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(kSamples) / 44100.0,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}

void BM_VoiceReadThreeBanks(benchmark::State& state)
{
    ReadThreeBanks<true>(state, {0, 12, -12});
}
BENCHMARK(BM_VoiceReadThreeBanks);

// Transposes that silence the voices in one bank cost the same (no branch).
void BM_VoiceReadThreeBanksPartlySilent(benchmark::State& state)
{
    ReadThreeBanks<true>(state, {-12, 12, 40});
}
BENCHMARK(BM_VoiceReadThreeBanksPartlySilent);

void BM_VoiceReadThreeBanksByNote(benchmark::State& state)
{
    ReadThreeBanks<false>(state, {0, 12, -12});
}
BENCHMARK(BM_VoiceReadThreeBanksByNote);

}  // namespace
