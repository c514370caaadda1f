// Cost of one envelope step (the amp envelope runs once per sample per voice).
#include <benchmark/benchmark.h>

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
