// Cost of the 64 voices' filters over one control period through
// VoiceFilterBank (serial routing, VCF bus and note buses), on the SSE2 path
// and on the 256-bit path where the processor has AVX. Reported per voice
// frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/VoiceFilterBank.h"

namespace {

void RunBank(benchmark::State& state, bool wide)
{
    if (wide && !VoiceFilterBank::WideVectorsInUse()) {
        state.SkipWithError("no AVX on this processor");
        return;
    }
    constexpr int kVoices = 64;
    constexpr int kFrames = 48;
    const CutoffTable table;
    std::vector<VoiceFilter> filters(kVoices, VoiceFilter(&table));
    std::vector<double> unfiltered(static_cast<std::size_t>(kVoices) * 2 * kFrames);
    for (std::size_t i = 0; i < unfiltered.size(); ++i) {
        unfiltered[i] = 2.0 * std::fmod(i * 0.0137, 1.0) - 1.0;
    }
    std::vector<VoiceFilterBank::Input> inputs;
    for (int v = 0; v < kVoices; ++v) {
        VoiceFilter& filter = filters[static_cast<std::size_t>(v)];
        filter.SetType(static_cast<double>(state.range(0)));
        filter.SetPeak(0.7);
        filter.SetCutoff(6000 + 97 * v);
        inputs.push_back({&filter, unfiltered.data() + 2 * kFrames * v, v % 12});
    }
    std::vector<BusFrame> buses(kFrames);
    VoiceFilterBank::AllowWideVectors(wide);
    for (auto _ : state) {
        VoiceFilterBank::Run(inputs.data(), kVoices, 0, kFrames, buses.data(), {true, true, true});
        benchmark::ClobberMemory();
    }
    VoiceFilterBank::AllowWideVectors(true);
    state.SetItemsProcessed(state.iterations() * kVoices * kFrames);
}

void BM_VoiceFilterBankSse2(benchmark::State& state)
{
    RunBank(state, false);
}
BENCHMARK(BM_VoiceFilterBankSse2)->Arg(0)->Arg(1);

void BM_VoiceFilterBankWide(benchmark::State& state)
{
    RunBank(state, true);
}
BENCHMARK(BM_VoiceFilterBankWide)->Arg(0)->Arg(1);

}  // namespace
