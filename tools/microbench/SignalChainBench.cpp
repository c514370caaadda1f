// Cost of the signal chain per sample frame: the voice mixer with both
// pre-filters (twelve band filters) and the master section with every stage
// on, in chunks of one control period at 44.1 kHz; and one control tick.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/dsp/SignalChain.h"

namespace {

void ConfigureFull(SignalChain& chain)
{
    chain.SetSampleRate(44100.0);
    chain.SetPreFilter1Level(1.0);
    chain.SetPreFilter2Level(1.0);
    chain.SetVcfLevel(1.0);
    chain.SetRawLevel(1.0);
    chain.SetOrganStringsLevel(1.0);
    chain.SetChorusLevel(1.0);
    chain.SetBass(6.0);
    chain.SetTreble(6.0);
    chain.SetPhaserRate(5.0);
    chain.SetModulatorDepth(0.5);
    chain.SetModulatorDestination(1.0);
}

std::vector<BusFrame> TestBuses(int count)
{
    std::vector<BusFrame> buses(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        for (int bus = 0; bus < BusFrame::kBusCount; ++bus) {
            buses[static_cast<std::size_t>(i)].bus[bus][0] = std::sin(0.01 * (bus + 1) * i);
            buses[static_cast<std::size_t>(i)].bus[bus][1] = std::cos(0.01 * (bus + 1) * i);
        }
    }
    return buses;
}

void SignalChainFullChunk(benchmark::State& state)
{
    SignalChain chain;
    ConfigureFull(chain);
    const int period = chain.ControlPeriod();
    const std::vector<BusFrame> buses = TestBuses(period);
    std::vector<double> left(static_cast<std::size_t>(period));
    std::vector<double> right(static_cast<std::size_t>(period));
    for (auto _ : state) {
        chain.UpdateModulation(0.0);
        chain.UpdatePhaser();
        chain.ProcessChunk(buses.data(), period, left.data(), right.data());
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * period);
}
BENCHMARK(SignalChainFullChunk);

// The default program's path: pre-filter 2 and the direct signal only.
void SignalChainDefaultChunk(benchmark::State& state)
{
    SignalChain chain;
    chain.SetSampleRate(44100.0);
    const int period = chain.ControlPeriod();
    const std::vector<BusFrame> buses = TestBuses(period);
    std::vector<double> left(static_cast<std::size_t>(period));
    std::vector<double> right(static_cast<std::size_t>(period));
    for (auto _ : state) {
        chain.UpdateModulation(0.0);
        chain.UpdatePhaser();
        chain.ProcessChunk(buses.data(), period, left.data(), right.data());
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * period);
}
BENCHMARK(SignalChainDefaultChunk);

// A control tick whose modulation moves pre-filter 1 (six coefficient sets)
// and the phaser.
void SignalChainControlTick(benchmark::State& state)
{
    SignalChain chain;
    ConfigureFull(chain);
    chain.SetModulatorRate(25.0);
    chain.SetModulatorDepth(1.0);
    for (auto _ : state) {
        chain.UpdateModulation(0.0);
        chain.UpdatePhaser();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(SignalChainControlTick);

}  // namespace
