// Cost of one envelope step (the amp envelope runs once per sample per voice).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/dsp/EnvelopeGenerator.h"

namespace {

// A long decay towards a sustain level: the step never changes stage.
void BM_EnvelopeStep(benchmark::State& state)
{
    EnvelopeGenerator env;
    env.Reset(44100.0);
    env.SetAttack(0.0);
    env.SetDecay(1.0);
    env.SetSustain(0.5);
    env.Trigger();
    while (env.CurrentStage() == EnvelopeGenerator::kAttack) {
        env.Step();
    }
    for (auto _ : state) {
        env.Step();
        benchmark::DoNotOptimize(env.Level());
    }
}
BENCHMARK(BM_EnvelopeStep);

// Step plus the retrigger/release work of a note every 4410 samples.
void BM_EnvelopeStepWithNotes(benchmark::State& state)
{
    EnvelopeGenerator env;
    env.Reset(44100.0);
    env.SetAttack(0.1);
    env.SetDecay(0.3);
    env.SetSustain(0.6);
    env.SetRelease(0.2);
    int n = 0;
    for (auto _ : state) {
        if (n == 0) {
            env.Trigger();
        } else if (n == 2205) {
            env.Release();
        }
        env.Step();
        benchmark::DoNotOptimize(env.Level());
        n = n == 4409 ? 0 : n + 1;
    }
}
BENCHMARK(BM_EnvelopeStepWithNotes);

}  // namespace

namespace {

// 64 voices' amp envelopes, one step each, as in the render loop (the
// independent steps overlap). Reported per step.
void BM_EnvelopeStep64Voices(benchmark::State& state)
{
    std::vector<EnvelopeGenerator> envelopes(64);
    for (std::size_t v = 0; v < envelopes.size(); ++v) {
        EnvelopeGenerator& env = envelopes[v];
        env.Reset(44100.0);
        env.SetAttack(0.0);
        env.SetDecay(1.0);
        env.SetSustain(0.5);
        env.Trigger();
        for (std::size_t i = 0; i < 300 + v; ++i) {
            env.Step();
        }
    }
    for (auto _ : state) {
        double sum = 0.0;
        for (EnvelopeGenerator& env : envelopes) {
            env.Step();
            sum += env.Level();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_EnvelopeStep64Voices);

}  // namespace
