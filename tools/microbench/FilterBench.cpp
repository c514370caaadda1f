// Cost of one stereo frame of the chain's filters (the pre-filters run twelve
// of them per sample) and of a block through ProcessBlockAdd.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/Filter.h"

namespace {

template <typename F>
void FilterFrame(benchmark::State& state)
{
    F filter;
    filter.SetSampleRate(44100.0);
    filter.ClearState();
    filter.SetFrequency(1200.0);
    filter.SetQ(4.2);
    filter.UpdateCoefficients();
    std::vector<double> input(4096);
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = std::sin(0.01 * static_cast<double>(i));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        double l;
        double r;
        filter.ProcessSample(input[i], input[i], l, r);
        benchmark::DoNotOptimize(l);
        benchmark::DoNotOptimize(r);
        i = (i + 1) & 4095;
    }
}
BENCHMARK_TEMPLATE(FilterFrame, LowPass);
BENCHMARK_TEMPLATE(FilterFrame, BandPass);
BENCHMARK_TEMPLATE(FilterFrame, LowPass6dB);

// One control period of 44 frames; reported per frame.
template <typename F>
void FilterBlockAdd(benchmark::State& state)
{
    F filter;
    filter.SetSampleRate(44100.0);
    filter.ClearState();
    filter.SetFrequency(1200.0);
    filter.SetQ(0.7071067811865476);
    filter.UpdateCoefficients();
    constexpr int kFrames = 44;
    std::vector<double> inL(kFrames);
    std::vector<double> inR(kFrames);
    std::vector<double> outL(kFrames, 0.0);
    std::vector<double> outR(kFrames, 0.0);
    for (int i = 0; i < kFrames; ++i) {
        inL[static_cast<std::size_t>(i)] = std::sin(0.1 * i);
        inR[static_cast<std::size_t>(i)] = std::cos(0.1 * i);
    }
    for (auto _ : state) {
        filter.ProcessBlockAdd(inL.data(), inR.data(), outL.data(), outR.data(), kFrames, 0.5);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK_TEMPLATE(FilterBlockAdd, BandPass);
BENCHMARK_TEMPLATE(FilterBlockAdd, LowPass6dB);

}  // namespace
