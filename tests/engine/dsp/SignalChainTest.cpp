// The chain as the render loop drives it: mixer levels, master section,
// modulator destinations and rate, chunking, extremes and NaN recovery.
#include "engine/dsp/SignalChain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Output {
    std::vector<double> left;
    std::vector<double> right;
};

// Bus frames with independent noise on every bus (or only on `onlyBus`).
std::vector<BusFrame> NoiseBuses(int count, unsigned seed, int onlyBus = -1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<BusFrame> frames(static_cast<std::size_t>(count));
    for (BusFrame& frame : frames) {
        for (int bus = 0; bus < BusFrame::kBusCount; ++bus) {
            const double l = uniform(random);
            const double r = uniform(random);
            if (onlyBus < 0 || bus == onlyBus) {
                frame.bus[bus][0] = l;
                frame.bus[bus][1] = r;
            }
        }
    }
    return frames;
}

// Runs the render loop's schedule: a control tick (modulation, phaser) every
// period, chunks of at most `chunk` frames.
Output Render(SignalChain& chain, const std::vector<BusFrame>& buses, int chunk, double wheel = 0.0)
{
    const int count = static_cast<int>(buses.size());
    Output out{std::vector<double>(buses.size()), std::vector<double>(buses.size())};
    const int period = chain.ControlPeriod();
    int position = 0;
    while (position < count) {
        if (position % period == 0) {
            chain.UpdateModulation(wheel);
            chain.UpdatePhaser();
        }
        const int untilTick = period - position % period;
        const int n = std::min({chunk, untilTick, count - position});
        for (int i = 0; i < n; ++i) {
            chain.MixFrame(buses[static_cast<std::size_t>(position + i)], i);
        }
        chain.RenderChunk(n, out.left.data() + position, out.right.data() + position);
        position += n;
    }
    return out;
}

// Master mixer and master volume: silence with all three levels at 0, the
// filtered signal alone with only organ+strings, master gain volume / 4.
TEST(SignalChain, MasterMixerLevelsAndMasterGain)
{
    const std::vector<BusFrame> buses = NoiseBuses(2000, 11, BusFrame::kRawBus);
    SignalChain chain;
    chain.SetSampleRate(44100.0);
    chain.SetPreFilter2Level(0.0);
    chain.SetRawLevel(1.5);
    chain.SetDirectLevel(0.0);
    const Output silent = Render(chain, buses, 44);
    for (std::size_t i = 0; i < buses.size(); ++i) {
        ASSERT_EQ(silent.left[i], 0.0);
        ASSERT_EQ(silent.right[i], 0.0);
    }

    // Direct only: raw level * master gain, exactly.
    chain.SetDirectLevel(2.0);
    chain.SetMasterVolume(2.0);
    EXPECT_EQ(chain.MasterGain(), 0.5);
    const Output direct = Render(chain, buses, 44);
    for (std::size_t i = 0; i < buses.size(); ++i) {
        ASSERT_DOUBLE_EQ(direct.left[i], 0.5 * 2.0 * 1.5 * buses[i].bus[BusFrame::kRawBus][0]);
        ASSERT_DOUBLE_EQ(direct.right[i], 0.5 * 2.0 * 1.5 * buses[i].bus[BusFrame::kRawBus][1]);
    }

    // Organ+strings only: a one-pole lowpass at its frequency.
    SignalChain filtered;
    filtered.SetSampleRate(44100.0);
    filtered.SetPreFilter2Level(0.0);
    filtered.SetRawLevel(1.0);
    filtered.SetDirectLevel(0.0);
    filtered.SetOrganStringsLevel(1.0);
    filtered.SetOrganStringsFrequency(2000.0);
    filtered.SetMasterVolume(1.0);
    const Output organ = Render(filtered, buses, 44);
    LowPass6dB reference;
    reference.SetSampleRate(44100.0);
    reference.ClearState();
    reference.SetFrequency(2000.0);
    reference.UpdateCoefficients();
    for (std::size_t i = 0; i < buses.size(); ++i) {
        double l;
        double r;
        reference.ProcessSample(buses[i].bus[BusFrame::kRawBus][0], buses[i].bus[BusFrame::kRawBus][1], l, r);
        ASSERT_NEAR(organ.left[i], 0.25 * l, 1e-12);
        ASSERT_NEAR(organ.right[i], 0.25 * r, 1e-12);
    }
}

TEST(SignalChain, VoiceMixerLevelsSelectTheSources)
{
    const std::vector<BusFrame> buses = NoiseBuses(500, 12);
    SignalChain chain;
    chain.SetSampleRate(48000.0);
    chain.SetMasterVolume(2.0);  // gain 0.5
    chain.SetPreFilter2Level(0.0);
    chain.SetVcfLevel(0.5);
    chain.SetRawLevel(0.25);
    const Output out = Render(chain, buses, 48);
    for (std::size_t i = 0; i < buses.size(); ++i) {
        const double expected =
            0.5 * (0.5 * buses[i].bus[BusFrame::kVcfBus][0] + 0.25 * buses[i].bus[BusFrame::kRawBus][0]);
        ASSERT_NEAR(out.left[i], expected, 1e-15);
    }

    // Pre-filter 1 alone at shift 0, only bus 0 fed: band 0 at 560 Hz.
    const std::vector<BusFrame> low = NoiseBuses(500, 13, 0);
    SignalChain pre;
    pre.SetSampleRate(48000.0);
    pre.SetMasterVolume(2.0);
    pre.SetPreFilter2Level(0.0);
    pre.SetPreFilter1Level(1.0);
    pre.SetPreFilter1Shift(0.0);
    pre.SetPreFilter1Q(2.0);
    const Output pre1 = Render(pre, low, 48);
    LowPass band;
    band.SetSampleRate(48000.0);
    band.ClearState();
    band.SetFrequency(560.0);
    band.SetQ(2.0);
    band.UpdateCoefficients();
    for (std::size_t i = 0; i < low.size(); ++i) {
        double l;
        double r;
        band.ProcessSample(low[i].bus[0][0], low[i].bus[0][1], l, r);
        ASSERT_NEAR(pre1.left[i], 0.5 * l, 1e-12) << i;
        ASSERT_NEAR(pre1.right[i], 0.5 * r, 1e-12) << i;
    }
}

// Each destination moves only its own target, by the full swing at depth 1
// and full wheel, limited to the target's range; depth 0 removes all of it
// at the next tick.
TEST(SignalChain, ModulatorDestinationsMoveTheRightTarget)
{
    struct Expect {
        double vcf;
        double shift1;
        double shift2;
        double organ;
        double chorus;
    };
    const Expect plain = {0.0, -1.0, 0.5, 9600.0, 1160.0};
    const Expect full[5] = {
        {8640.0, -1.0, 0.5, 9600.0, 1160.0}, {0.0, 3.0, 0.5, 9600.0, 1160.0},
        {0.0, -1.0, 4.0, 9600.0, 1160.0},    {0.0, -1.0, 0.5, 12000.0, 1160.0},
        {0.0, -1.0, 0.5, 9600.0, 6910.0},
    };
    const auto check = [](const SignalChain& chain, const Expect& e) {
        EXPECT_EQ(chain.VcfModulationOffset(), e.vcf);
        EXPECT_EQ(chain.GetPreFilter1().Shift(), e.shift1);
        EXPECT_EQ(chain.GetPreFilter2().Shift(), e.shift2);
        EXPECT_EQ(chain.GetPreFilter1().BandFrequency(0), 560.0 * PreFilter1::ShiftFactor(e.shift1));
        EXPECT_EQ(chain.GetOrganStringsFilter().Frequency(), e.organ);
        EXPECT_EQ(chain.GetChorusFilter().Frequency(), e.chorus);
    };
    for (int destination = 0; destination < 5; ++destination) {
        SCOPED_TRACE(destination);
        SignalChain chain;
        chain.SetSampleRate(44100.0);
        chain.UpdateModulation(1.0);
        check(chain, plain);  // depth 0 by default
        chain.SetModulatorSource(1.0);
        chain.SetModulatorDestination(destination + 0.3);
        chain.SetModulatorDepth(1.0);
        chain.UpdateModulation(1.0);
        check(chain, full[destination]);
        chain.SetModulatorDepth(0.0);
        chain.UpdateModulation(1.0);
        check(chain, plain);
    }

    // Half depth, half wheel on the chorus filter: a quarter swing; the
    // organ+strings frequency stays inside 500..12000 whatever the depth.
    SignalChain chain;
    chain.SetSampleRate(44100.0);
    chain.SetModulatorSource(1.0);
    chain.SetModulatorDestination(4.0);
    chain.SetModulatorDepth(0.5);
    chain.UpdateModulation(0.5);
    EXPECT_DOUBLE_EQ(chain.GetChorusFilter().Frequency(), 1160.0 + 5750.0 / 4.0);
    chain.SetModulatorSource(0.0);
    chain.SetModulatorDestination(3.0);
    chain.SetModulatorDepth(1.0);
    chain.SetModulatorRate(25.0);
    chain.SetOrganStringsFrequency(600.0);
    for (int tick = 0; tick < 200; ++tick) {
        chain.UpdateModulation(0.0);
        const double f = chain.GetOrganStringsFilter().Frequency();
        ASSERT_TRUE(f >= 500.0 && f <= 12000.0) << f;
    }
}

TEST(SignalChain, ModulatorLfoRateAndFreeze)
{
    SignalChain chain;
    chain.SetSampleRate(44100.0);
    chain.SetModulatorDepth(1.0);
    chain.SetModulatorRate(4.0);  // 4 cycles per 1000 ticks
    std::vector<double> offset;
    for (int tick = 0; tick < 500; ++tick) {
        chain.UpdateModulation(0.0);
        offset.push_back(chain.VcfModulationOffset());
    }
    // A triangle from -8640 over 250 ticks: +8640 at tick 125, back at 250.
    EXPECT_EQ(offset[0], -8640.0);
    EXPECT_NEAR(offset[125], 8640.0, 1e-6);
    EXPECT_NEAR(offset[250], -8640.0, 1e-6);
    EXPECT_NEAR(offset[62], 8640.0 * (2.0 * 62.0 / 125.0 - 1.0), 1e-6);
    for (int tick = 0; tick < 250; ++tick) {
        ASSERT_NEAR(offset[static_cast<std::size_t>(tick)], offset[static_cast<std::size_t>(tick) + 250],
                    1e-6);
    }

    // Depth 0 stops the LFO where it is: after a pause it continues with the
    // value an uninterrupted run reaches one tick later.
    SignalChain paused;
    paused.SetSampleRate(44100.0);
    paused.SetModulatorDepth(1.0);
    paused.SetModulatorRate(3.0);
    SignalChain steady;
    steady.SetSampleRate(44100.0);
    steady.SetModulatorDepth(1.0);
    steady.SetModulatorRate(3.0);
    for (int tick = 0; tick < 100; ++tick) {
        paused.UpdateModulation(0.0);
        steady.UpdateModulation(0.0);
    }
    paused.SetModulatorDepth(0.0);
    for (int tick = 0; tick < 10; ++tick) {
        paused.UpdateModulation(0.0);
        EXPECT_EQ(paused.VcfModulationOffset(), 0.0);
    }
    paused.SetModulatorDepth(1.0);
    paused.UpdateModulation(0.0);
    steady.UpdateModulation(0.0);
    EXPECT_EQ(paused.VcfModulationOffset(), steady.VcfModulationOffset());
}

// The master section works on whole chunks without state between them, so
// host blocks of 1 frame, one under and at the control period give the same
// samples.
TEST(SignalChain, ChunkSizeDoesNotChangeTheOutput)
{
    const std::vector<BusFrame> buses = NoiseBuses(3000, 14);
    const auto configure = [](SignalChain& chain) {
        chain.SetSampleRate(44100.0);
        chain.SetPreFilter1Level(1.0);
        chain.SetVcfLevel(1.0);
        chain.SetOrganStringsLevel(1.0);
        chain.SetChorusLevel(1.0);
        chain.SetBass(6.0);
        chain.SetTreble(-6.0);
        chain.SetPhaserRate(5.0);
        chain.SetModulatorDepth(1.0);
        chain.SetModulatorDestination(1.0);
        chain.SetModulatorRate(20.0);
    };
    SignalChain whole;
    configure(whole);
    const Output reference = Render(whole, buses, 44);
    for (int chunk : {1, 43}) {
        SignalChain split;
        configure(split);
        const Output out = Render(split, buses, chunk);
        EXPECT_EQ(out.left, reference.left) << chunk;
        EXPECT_EQ(out.right, reference.right) << chunk;
    }
    // ProcessChunk cuts a long block into control periods itself.
    SignalChain pieces;
    configure(pieces);
    Output out{std::vector<double>(100), std::vector<double>(100)};
    pieces.UpdateModulation(0.0);
    pieces.UpdatePhaser();
    pieces.ProcessChunk(buses.data(), 100, out.left.data(), out.right.data());
    for (int i = 0; i < 44; ++i) {
        EXPECT_EQ(out.left[static_cast<std::size_t>(i)], reference.left[static_cast<std::size_t>(i)]);
    }
    EXPECT_NE(out.left[99], 0.0);
}

// Every stage at its extremes, with full-scale square waves on all buses,
// for two seconds: the output stays finite and bounded; a NaN and an
// infinity on the buses are forgotten within a few samples.
TEST(SignalChain, ExtremeSettingsStayBoundedAndRecoverFromNaN)
{
    struct Extreme {
        double level;
        double shift;
        double q;
        double frequency;
        double shelf;
        double phaserRate;
        double phaserMode;
        double depth;
    };
    const Extreme extremes[] = {
        {2.0, 4.0, 10.0, 12000.0, 20.0, 15.0, 1.0, 1.0}, {2.0, -4.0, 10.0, 500.0, 20.0, 15.0, 0.0, 1.0},
        {2.0, -4.0, 0.5, 500.0, -20.0, 0.01, 1.0, 1.0},  {1e300, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9},
        {NAN, NAN, NAN, NAN, NAN, NAN, NAN, NAN},
    };
    for (double sampleRate : {44100.0, 96000.0, 8000.0}) {
        const int count = static_cast<int>(2.0 * sampleRate);
        std::vector<BusFrame> buses(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            for (int bus = 0; bus < BusFrame::kBusCount; ++bus) {
                // Squares at different low rates, all at amplitude 1.
                const double v = ((i / (20 + 3 * bus)) % 2) ? 1.0 : -1.0;
                buses[static_cast<std::size_t>(i)].bus[bus][0] = v;
                buses[static_cast<std::size_t>(i)].bus[bus][1] = -v;
            }
        }
        const int bad = count / 2;
        buses[static_cast<std::size_t>(bad)].bus[0][0] = NAN;
        buses[static_cast<std::size_t>(bad)].bus[13][1] = INFINITY;
        buses[static_cast<std::size_t>(bad)].bus[12][0] = -INFINITY;
        for (const Extreme& e : extremes) {
            // Every destination at the loudest settings; one each otherwise.
            const int first = &e == extremes ? 0 : static_cast<int>(&e - extremes);
            const int last = &e == extremes ? 4 : first;
            for (int destination = first; destination <= last; ++destination) {
                SCOPED_TRACE(::testing::Message()
                             << sampleRate << " level " << e.level << " dest " << destination);
                SignalChain chain;
                chain.SetSampleRate(sampleRate);
                chain.SetMasterVolume(e.level);
                chain.SetPreFilter1Level(e.level);
                chain.SetPreFilter2Level(e.level);
                chain.SetVcfLevel(e.level);
                chain.SetRawLevel(e.level);
                chain.SetOrganStringsLevel(e.level);
                chain.SetChorusLevel(e.level);
                chain.SetDirectLevel(e.level);
                chain.SetPreFilter1Shift(e.shift);
                chain.SetPreFilter2Shift(-e.shift);
                chain.SetPreFilter1Q(e.q);
                chain.SetChorusQ(e.q);
                chain.SetOrganStringsFrequency(e.frequency);
                chain.SetChorusFrequency(e.frequency);
                chain.SetBass(e.shelf);
                chain.SetTreble(e.shelf);
                chain.SetPhaserRate(e.phaserRate);
                chain.SetPhaserMode(e.phaserMode);
                chain.SetModulatorDestination(destination);
                chain.SetModulatorDepth(e.depth);
                chain.SetModulatorRate(25.0);
                const Output out = Render(chain, buses, chain.ControlPeriod());
                double peak = 0.0;
                for (int i = 0; i < count; ++i) {
                    if (i >= bad && i < bad + 8) {
                        continue;  // the bad frame itself and the filters' memory of it
                    }
                    const double l = out.left[static_cast<std::size_t>(i)];
                    const double r = out.right[static_cast<std::size_t>(i)];
                    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << i;
                    peak = std::max({peak, std::fabs(l), std::fabs(r)});
                }
                // Peaks stay below 4000 for inputs of 1 (pre-filter resonance,
                // three paths at level 2, two shelves at +20 dB).
                EXPECT_LT(peak, 2e4);
            }
        }
    }
}

TEST(SignalChain, UiSoundsOnlyWithVintageVibe)
{
    static UiSoundPlayer player;  // outlives every chain of the test
    std::vector<std::uint8_t> click(2048);
    for (std::size_t k = 0; k < click.size(); ++k) {
        click[k] = static_cast<std::uint8_t>(static_cast<std::int8_t>(100.0 * std::sin(0.05 * kPi * k)));
    }
    player.LoadTables(click, click, {});
    const std::vector<BusFrame> silence(441);
    for (bool vibe : {false, true}) {
        SignalChain chain;
        chain.SetSampleRate(44100.0);
        chain.SetUiSoundPlayer(&player);
        chain.SetVintageVibe(vibe);
        ASSERT_TRUE(player.TriggerClick(44100.0));
        const Output out = Render(chain, silence, 44);
        double energy = 0.0;
        for (std::size_t i = 0; i < silence.size(); ++i) {
            energy += out.left[i] * out.left[i];
            EXPECT_EQ(out.left[i], out.right[i]);
        }
        // (The filters' anti-denormal offsets leave about 1e-26 without it.)
        EXPECT_EQ(energy > 1e-6, vibe) << energy;
        // Without the switch the sound waits; with it, it runs to its end.
        chain.SetVintageVibe(true);
        Render(chain, std::vector<BusFrame>(4000), 44);
        EXPECT_TRUE(player.IsIdle());
    }
}

}  // namespace
