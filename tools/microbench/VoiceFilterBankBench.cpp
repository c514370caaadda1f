// Cost of the 64 voices' filters over one control period through
// VoiceFilterBank (serial routing, VCF bus and note buses), at each vector
// level the processor has: SSE2 pairs, 256-bit pairs of voices, 512-bit
// quads. Reported per voice frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/VectorLevel.h"
#include "engine/dsp/VoiceFilterBank.h"

namespace {

void RunBank(benchmark::State& state, VectorLevel level)
{
    if (ProcessorVectorLevel() < level) {
        state.SkipWithError("not on this processor");
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
    CapVectorLevel(level);
    for (auto _ : state) {
        VoiceFilterBank::Run(inputs.data(), kVoices, 0, kFrames, buses.data(), {true, true, true});
        benchmark::ClobberMemory();
    }
    CapVectorLevel(VectorLevel::kAvx512);
    state.SetItemsProcessed(state.iterations() * kVoices * kFrames);
}

void BM_VoiceFilterBankSse2(benchmark::State& state)
{
    RunBank(state, VectorLevel::kPairs);
}
BENCHMARK(BM_VoiceFilterBankSse2)->Arg(0)->Arg(1);

void BM_VoiceFilterBankAvx(benchmark::State& state)
{
    RunBank(state, VectorLevel::kAvx);
}
BENCHMARK(BM_VoiceFilterBankAvx)->Arg(0)->Arg(1);

void BM_VoiceFilterBankAvx512(benchmark::State& state)
{
    RunBank(state, VectorLevel::kAvx512);
}
BENCHMARK(BM_VoiceFilterBankAvx512)->Arg(0)->Arg(1);

}  // namespace
