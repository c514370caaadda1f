// Cost of one VoiceFilter stereo frame (the per-sample VCF work of one voice)
// and of the control-tick cutoff update.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/VoiceFilter.h"

namespace {

// A loud, busy input (two detuned saws), so the feedback limit is exercised.
std::vector<double> MakeInput()
{
    std::vector<double> input(4096);
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double a = std::fmod(i * 0.013, 1.0);
        const double b = std::fmod(i * 0.0171, 1.0);
        input[i] = 2.0 * (a + b) - 2.0;
    }
    return input;
}

void VoiceFilterFrame(benchmark::State& state, double type)
{
    const CutoffTable table;
    VoiceFilter filter(&table);
    filter.SetType(type);
    filter.SetPeak(0.8);
    filter.SetCutoff(9000);
    const std::vector<double> input = MakeInput();
    std::size_t i = 0;
    for (auto _ : state) {
        double l;
        double r;
        filter.Process(input[i], -input[i], l, r);
        benchmark::DoNotOptimize(l);
        benchmark::DoNotOptimize(r);
        i = (i + 1) & 4095;
    }
}

void BM_VoiceFilterLowpassFrame(benchmark::State& state)
{
    VoiceFilterFrame(state, 0.0);
}
BENCHMARK(BM_VoiceFilterLowpassFrame);

void BM_VoiceFilterHighpassFrame(benchmark::State& state)
{
    VoiceFilterFrame(state, 1.0);
}
BENCHMARK(BM_VoiceFilterHighpassFrame);

// A control tick whose cutoff moved: one coefficient computation.
void BM_VoiceFilterCutoffChange(benchmark::State& state)
{
    const CutoffTable table;
    VoiceFilter filter(&table);
    int pitch = 0;
    for (auto _ : state) {
        filter.SetCutoff(pitch);
        pitch = (pitch + 97) % (kMaxPitchIndex + 1);
    }
    benchmark::DoNotOptimize(filter.CoefficientUpdateCount());
}
BENCHMARK(BM_VoiceFilterCutoffChange);

}  // namespace

namespace {

// 64 voices' filters, one frame each: independent recursions can overlap, as
// in the render loop. Reported per voice frame.
void BM_VoiceFilter64Voices(benchmark::State& state)
{
    const CutoffTable table;
    std::vector<VoiceFilter> filters(64, VoiceFilter(&table));
    for (std::size_t v = 0; v < filters.size(); ++v) {
        filters[v].SetType(state.range(0));
        filters[v].SetPeak(0.8);
        filters[v].SetCutoff(6000 + 100 * static_cast<int>(v));
    }
    const std::vector<double> input = MakeInput();
    std::size_t i = 0;
    for (auto _ : state) {
        double sumL = 0.0;
        double sumR = 0.0;
        for (VoiceFilter& filter : filters) {
            double l;
            double r;
            filter.Process(input[i], -input[i], l, r);
            sumL += l;
            sumR += r;
        }
        benchmark::DoNotOptimize(sumL);
        benchmark::DoNotOptimize(sumR);
        i = (i + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_VoiceFilter64Voices)->Arg(0)->Arg(1);

}  // namespace
