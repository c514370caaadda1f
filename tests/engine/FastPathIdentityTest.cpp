// The optimised render path (voice stretches, chunked pre-filters, side-by-side
// voice filters, the replayed silent cycle, the phaser without per-frame
// checks) against the straightforward frame-by-frame loop: the output must be
// the same bit for bit, over random settings, notes coming and going, long
// silences and settings changed during them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "EngineHarness.h"
#include "engine/dsp/VectorLevel.h"

namespace {

// First frame where the buffers differ, for the failure message.
std::size_t FirstDifference(const StereoBuffer& a, const StereoBuffer& b)
{
    for (std::size_t i = 0; i < std::min(a.left.size(), b.left.size()); ++i) {
        if (std::memcmp(&a.left[i], &b.left[i], sizeof(double)) != 0 ||
            std::memcmp(&a.right[i], &b.right[i], sizeof(double)) != 0) {
            return i;
        }
    }
    return std::min(a.left.size(), b.left.size());
}

struct Scenario {
    std::vector<double> values;  // parameter values, own unit (index 0 unused)
    std::vector<TimedMidi> phrase;
    int heldNotes;
};

// Random settings with the chain's switches forced into the combinations
// that matter: phaser on or off, each pre-filter on or off, VCF off,
// parallel or serial, lowpass or highpass.
Scenario RandomScenario(std::mt19937& random, int trial)
{
    Scenario scenario;
    EngineHarness probe;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    scenario.values.assign(kParameterCount, 0.0);
    for (int i = 1; i < kParameterCount; ++i) {
        const Parameter& p = *probe.Plugin().GetParameter(i);
        scenario.values[static_cast<std::size_t>(i)] = p.FromNormalized(unit(random));
    }
    auto set = [&](int index, double value) { scenario.values[static_cast<std::size_t>(index)] = value; };
    set(kPhaserRate, trial % 2 == 0 ? 0.0 : 0.5 + 5.0 * unit(random));
    set(kPreFilter1Level, (trial / 2) % 2 == 0 ? 0.0 : 0.2 + unit(random));
    set(kPreFilter2Level, (trial / 4) % 2 == 0 ? 0.0 : 0.2 + unit(random));
    set(kVcfLevel, trial % 3 == 0 ? 0.0 : 0.5);
    set(kFilterArrangement, trial % 3 == 2 ? 1.0 : 0.0);
    set(kVcfType, (trial / 3) % 2 == 0 ? 0.0 : 1.0);
    // Short envelopes, so that the voices fall silent well inside the render.
    set(kVcaRelease, 0.2 * unit(random));
    set(kVorn2000Sustain, 0.0);
    set(kVcfEgRelease, 0.2 * unit(random));
    set(kMasterVolume, 1.0);
    // Half the trials keep the two-pole filters and the shelves out of the
    // chain: their silent states rarely repeat within a few frames, while the
    // one-pole filters' do, so those trials exercise the replayed silence.
    if (trial % 4 >= 2) {
        set(kPreFilter1Level, 0.0);
        set(kChorusFilterLevel, 0.0);
        set(kBass, 0.0);
        set(kTreble, 0.0);
    }
    // Every other trial moves a chain filter with the modulator.
    set(kModulatorDepth, trial % 4 == 1 ? 0.5 : 0.0);

    std::uniform_int_distribution<int> key(21, 108);
    std::uniform_int_distribution<int> velocity(1, 127);
    std::uniform_int_distribution<int> time(0, 20000);
    scenario.heldNotes = 1 + trial * 9 % 64;
    for (int n = 0; n < scenario.heldNotes; ++n) {
        const std::int64_t on = time(random);
        const int k = key(random);
        scenario.phrase.push_back(
            {on, 0x90, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(velocity(random))});
        scenario.phrase.push_back({on + 100 + time(random), 0x80, static_cast<std::uint8_t>(k), 0});
    }
    // Insertion sort by time, equal times kept in order (std::stable_sort
    // would take its buffer from the nothrow operator new, which the
    // allocation counter of the test support does not pair).
    std::vector<TimedMidi>& phrase = scenario.phrase;
    for (std::size_t i = 1; i < phrase.size(); ++i) {
        for (std::size_t j = i; j > 0 && phrase[j].time < phrase[j - 1].time; --j) {
            std::swap(phrase[j], phrase[j - 1]);
        }
    }
    return scenario;
}

// Renders the scenario: the phrase, then a long silence in which settings of
// the chain change, then one more note and another silence.
StereoBuffer RenderScenario(const Scenario& scenario, bool reference, int blockSize,
                            std::uint64_t* replayed = nullptr)
{
    EngineHarness engine(44100.0, 4096);
    for (int i = 1; i < kParameterCount; ++i) {
        engine.Set(i, scenario.values[static_cast<std::size_t>(i)]);
    }
    engine.Plugin().Core().SetReferenceRendering(reference);
    // The exact paths only: skipped silence is compared in IdleTest.
    engine.Plugin().Core().SetIdleRendering(false);
    StereoBuffer out = engine.Render(100000, blockSize, scenario.phrase);
    auto append = [&out](const StereoBuffer& more) {
        out.left.insert(out.left.end(), more.left.begin(), more.left.end());
        out.right.insert(out.right.end(), more.right.begin(), more.right.end());
    };
    append(engine.Render(30000, blockSize));
    engine.Set(kPreFilter2Shift, -1.5);
    engine.Set(kOrganStringsFilterLevel, 0.9);
    append(engine.Render(30000, blockSize));
    append(engine.Render(20000, blockSize, {{1000, 0x90, 60, 100}, {3000, 0x80, 60, 0}}));
    engine.Set(kDirectLevel, 0.7);
    append(engine.Render(40000, blockSize));
    if (replayed != nullptr) {
        *replayed = engine.Plugin().Core().Chain().ReplayedChunkCount();
    }
    return out;
}

TEST(FastPathIdentity, RandomSettingsNotesAndLongSilencesMatchTheReferenceLoop)
{
    std::mt19937 random(20261208);
    std::uint64_t totalReplayed = 0;
    for (int trial = 0; trial < 12; ++trial) {
        SCOPED_TRACE(trial);
        const Scenario scenario = RandomScenario(random, trial);
        const StereoBuffer expected = RenderScenario(scenario, true, 4096);
        ASSERT_TRUE(expected.AllFinite());
        // Odd blocks give odd chunks, which must leave the replayed cycle.
        for (const int block : {4096, 37}) {
            std::uint64_t replayed = 0;
            const StereoBuffer fast = RenderScenario(scenario, false, block, &replayed);
            EXPECT_TRUE(Identical(fast, expected))
                << "blocks of " << block << ", first difference at frame " << FirstDifference(fast, expected);
            totalReplayed += replayed;
        }
    }
    // The silences must actually have been replayed somewhere, or the
    // comparison above proves nothing about that path.
    EXPECT_GT(totalReplayed, 2000u);
}

// The voice read-out and the voice filters have paths for wider vectors
// where the processor has them; every level must give the reference's bits
// (VCF off, parallel and serial).
TEST(FastPathIdentity, EveryVectorLevelMatches)
{
    std::mt19937 random(77);
    for (int trial = 0; trial < 6; ++trial) {
        SCOPED_TRACE(trial);
        Scenario scenario = RandomScenario(random, trial);
        const StereoBuffer expected = RenderScenario(scenario, true, 4096);
        for (const VectorLevel level :
             {VectorLevel::kPairs, VectorLevel::kAvx, VectorLevel::kAvx2, VectorLevel::kAvx512}) {
            if (level > ProcessorVectorLevel()) {
                continue;
            }
            CapVectorLevel(level);
            const StereoBuffer rendered = RenderScenario(scenario, false, 512);
            EXPECT_TRUE(Identical(rendered, expected)) << "vector level " << static_cast<int>(level);
        }
        CapVectorLevel(VectorLevel::kAvx512);
    }
}

// A type change takes effect voice by voice (at each voice's next cutoff
// update), so neighbouring voices can briefly run different filter modes.
TEST(FastPathIdentity, MixedFilterModesAcrossVoicesMatch)
{
    auto render = [](bool reference) {
        EngineHarness engine(48000.0, 4096);
        engine.Set(kVcfLevel, 1.0);
        engine.Set(kFilterArrangement, 1.0);
        engine.Set(kVcfPeak, 0.9);
        engine.Plugin().Core().SetReferenceRendering(reference);
        std::vector<TimedMidi> notes;
        for (int k = 0; k < 40; ++k) {
            notes.push_back({k * 7, 0x90, static_cast<std::uint8_t>(40 + k), 100});
        }
        StereoBuffer out = engine.Render(2000, 256, notes);
        // Highpass from now: voices started after this point switch at once,
        // the held ones at the next control tick.
        engine.Set(kVcfType, 1.0);
        std::vector<TimedMidi> more;
        for (int k = 0; k < 10; ++k) {
            more.push_back({k, 0x90, static_cast<std::uint8_t>(90 + k), 90});
        }
        const StereoBuffer tail = engine.Render(3000, 5, more);
        out.left.insert(out.left.end(), tail.left.begin(), tail.left.end());
        out.right.insert(out.right.end(), tail.right.begin(), tail.right.end());
        return out;
    };
    const StereoBuffer expected = render(true);
    EXPECT_TRUE(Identical(render(false), expected));
}

}  // namespace
