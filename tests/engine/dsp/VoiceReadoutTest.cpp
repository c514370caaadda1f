// The voice read-out against the plain per-voice, per-frame sum it stands
// for, at every vector level the processor has: buses and filter rows bit
// for bit, for constant and moving gains, every output routing, voices that
// share a note bus, silent keys and tables whose products are all -0.
#include "engine/dsp/VoiceReadout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/dsp/VectorLevel.h"

namespace {

constexpr int kTable = 4096;
constexpr int kFrames = 37;

struct Fixture {
    std::vector<double> tables;  // three tables, one of -0.0, then a 0.0 for silent keys
    std::vector<VoiceReadout::Voice> voices;
    std::vector<std::vector<double>> gains;
    std::vector<std::vector<double>> rows;  // filter rows
    std::vector<BusFrame> frames;
};

Fixture Make(std::mt19937& random, int count, bool filtered)
{
    Fixture f;
    std::uniform_real_distribution<double> sample(-1.0, 1.0);
    f.tables.resize(4 * kTable + 1);
    for (int i = 0; i < 3 * kTable; ++i) {
        f.tables[static_cast<std::size_t>(i)] = sample(random);
    }
    for (int i = 3 * kTable; i < 4 * kTable; ++i) {
        f.tables[static_cast<std::size_t>(i)] = -0.0;
    }
    std::uniform_int_distribution<int> table(0, 4);
    std::uniform_int_distribution<std::uint32_t> word;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    f.gains.assign(static_cast<std::size_t>(count), std::vector<double>(kFrames));
    f.rows.assign(static_cast<std::size_t>(count), std::vector<double>(2 * kFrames, 7.0));
    for (int v = 0; v < count; ++v) {
        VoiceReadout::Voice voice{};
        const int kind = table(random);
        for (VoiceReadout::Bank& bank : voice.bank) {
            if (kind == 4) {
                bank = {4 * kTable, 0, 0, unit(random), unit(random)};  // a silent key
            } else {
                const int t = kind == 3 ? 3 : table(random) % 3;
                bank = {t * kTable, word(random), word(random) >> 4, unit(random), unit(random)};
            }
        }
        std::vector<double>& gain = f.gains[static_cast<std::size_t>(v)];
        for (double& g : gain) {
            g = unit(random);
        }
        voice.gain = v % 3 == 1 ? gain.data() : nullptr;
        voice.constantGain = unit(random);
        voice.bus = (v / 3) % BusFrame::kNoteBusCount;  // neighbours share buses
        voice.unfiltered = filtered ? f.rows[static_cast<std::size_t>(v)].data() : nullptr;
        f.voices.push_back(voice);
    }
    f.frames.resize(kFrames);
    for (BusFrame& frame : f.frames) {
        for (StereoPair& pair : frame.bus) {
            pair[0] = sample(random);
            pair[1] = sample(random);
        }
    }
    return f;
}

// Voice after voice, frame after frame, as one bank read is defined.
void Expected(Fixture& f, bool rawBus, bool noteBuses)
{
    for (const VoiceReadout::Voice& voice : f.voices) {
        for (int i = 0; i < kFrames; ++i) {
            double left = 0.0;
            double right = 0.0;
            for (const VoiceReadout::Bank& bank : voice.bank) {
                const std::uint32_t phase = bank.phase + static_cast<std::uint32_t>(i) * bank.step;
                const double s = f.tables[static_cast<std::size_t>(bank.table) + (phase >> 20)];
                left += s * bank.leftGain;
                right += s * bank.rightGain;
            }
            const double gain = voice.gain != nullptr ? voice.gain[i] : voice.constantGain;
            left *= gain;
            right *= gain;
            StereoPair* buses = f.frames[static_cast<std::size_t>(i)].bus;
            if (rawBus) {
                buses[BusFrame::kRawBus][0] += left;
                buses[BusFrame::kRawBus][1] += right;
            }
            if (voice.unfiltered != nullptr) {
                voice.unfiltered[2 * i] = left;
                voice.unfiltered[2 * i + 1] = right;
            } else if (noteBuses) {
                buses[voice.bus][0] += left;
                buses[voice.bus][1] += right;
            }
        }
    }
}

TEST(VoiceReadout, EveryLevelMatchesThePlainSum)
{
    std::mt19937 random(31);
    for (const VectorLevel level : {VectorLevel::kPairs, VectorLevel::kAvx2}) {
        if (level > ProcessorVectorLevel()) {
            continue;
        }
        CapVectorLevel(level);
        for (const int count : {1, 2, 5, 64}) {
            for (int routing = 0; routing < 5; ++routing) {
                const bool rawBus = routing % 2 == 0;
                const bool noteBuses = routing < 2;
                const bool filtered = routing >= 3;
                SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(level) << ", " << count
                                                << " voices, routing " << routing);
                std::mt19937 copy = random;
                Fixture expected = Make(copy, count, filtered);
                Fixture actual = Make(random, count, filtered);
                Expected(expected, rawBus, noteBuses);
                VoiceReadout::Run(actual.voices.data(), count,
                                  {actual.tables.data(), actual.frames.data(), kFrames, rawBus, noteBuses});
                EXPECT_EQ(
                    std::memcmp(actual.frames.data(), expected.frames.data(), kFrames * sizeof(BusFrame)), 0);
                for (int v = 0; v < count; ++v) {
                    const auto& a = actual.rows[static_cast<std::size_t>(v)];
                    const auto& e = expected.rows[static_cast<std::size_t>(v)];
                    EXPECT_EQ(std::memcmp(a.data(), e.data(), a.size() * sizeof(double)), 0) << "voice " << v;
                }
            }
        }
    }
    CapVectorLevel(VectorLevel::kAvx512);
}

TEST(VectorLevel, TheCapHoldsTheKernelsDownAndLiftsAgain)
{
    const VectorLevel processor = ProcessorVectorLevel();
    CapVectorLevel(VectorLevel::kPairs);
    EXPECT_EQ(ActiveVectorLevel(), VectorLevel::kPairs);
    CapVectorLevel(VectorLevel::kAvx);
    EXPECT_EQ(ActiveVectorLevel(), processor < VectorLevel::kAvx ? processor : VectorLevel::kAvx);
    CapVectorLevel(VectorLevel::kAvx512);
    EXPECT_EQ(ActiveVectorLevel(), processor);
#if !defined(__x86_64__)
    EXPECT_EQ(processor, VectorLevel::kPairs);  // the i386 module stays on SSE2
#endif
}

}  // namespace
