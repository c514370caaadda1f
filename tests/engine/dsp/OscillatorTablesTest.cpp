#include "engine/dsp/OscillatorTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr double kTwoPow28 = 268435456.0;

std::int32_t ExpectedIncrement(double hz, double sampleRate)
{
    return static_cast<std::int32_t>(hz * kTwoPow28 / sampleRate);
}

// The level loop on its own: c from the top 16 bits, multiplied by 1/sqrt(2)
// (kept as a real number) while above 1, capped at 21.
int ExpectedLevel(std::int32_t increment)
{
    double c = increment / 65536;
    int level = 0;
    while (c > 1.0) {
        c = c * 0.7071067811865476;
        level = level + 1;
    }
    return level > 21 ? 21 : level;
}

class OscillatorTablesTest : public ::testing::TestWithParam<double> {};

TEST_P(OscillatorTablesTest, IncrementsArePitchFrequencyTimesTwoPow28OverRate)
{
    const double rate = GetParam();
    auto tables = std::make_unique<OscillatorTables>();
    tables->Build(rate);
    EXPECT_EQ(tables->Increment(0), ExpectedIncrement(8.176, rate));
    EXPECT_EQ(tables->Increment(69 * 128), ExpectedIncrement(440.0, rate));
    EXPECT_EQ(tables->Increment(69 * 128 + 64), ExpectedIncrement(453.082, rate));
    EXPECT_EQ(tables->Increment(21 * 128), ExpectedIncrement(27.5, rate));
    EXPECT_EQ(tables->Increment(17280), ExpectedIncrement(19912.127, rate));
    // Out-of-range indices are clamped to the ends of the table.
    EXPECT_EQ(tables->Increment(-100), tables->Increment(0));
    EXPECT_EQ(tables->Increment(20000), tables->Increment(17280));
}

TEST_P(OscillatorTablesTest, TableLevelKeepsTheTopHarmonicNearHalfTheSampleRate)
{
    const double rate = GetParam();
    auto tables = std::make_unique<OscillatorTables>();
    tables->Build(rate);
    for (int key = 21; key < 128; ++key) {
        const double hz = 440.0 * std::pow(2.0, (key - 69) / 12.0);
        const int level = tables->TableLevel(key);
        const double speed = hz * 4096.0 / rate;  // table samples per output sample
        if (speed >= 2.0) {
            EXPECT_EQ(level, ExpectedLevel(ExpectedIncrement(hz, rate))) << "key " << key;
        }
        // The top harmonic stays below Nyquist up to the rounding of the
        // harmonic count (6 for 5.66 at level 17) and the truncated speed;
        // one level richer would reach it.
        const double top = WaveTables::HarmonicCount(level) * speed / 4096.0;
        EXPECT_LE(top, 0.5 * 1.07) << "key " << key;
        if (level > 0 && level < 21) {
            const double richer = WaveTables::HarmonicCount(level - 1) * speed / 4096.0;
            EXPECT_GT(richer, 0.45) << "key " << key;
        }
    }
    EXPECT_EQ(tables->TableLevel(-1), 0);
    EXPECT_EQ(tables->TableLevel(128), 0);
}

INSTANTIATE_TEST_SUITE_P(SampleRates, OscillatorTablesTest, ::testing::Values(44100.0, 48000.0, 96000.0));

TEST(OscillatorTables, LevelOfA4At44100And48000)
{
    // c = 40 at 44.1 kHz and 37 at 48 kHz: 40 * 0.7071^10 = 1.25 > 1 and
    // 37 * 0.7071^11 < 1, so both give level 11.
    auto tables = std::make_unique<OscillatorTables>();
    tables->Build(44100.0);
    EXPECT_EQ(tables->Increment(69 * 128) >> 16, 40);
    EXPECT_EQ(tables->TableLevel(69), 11);
    tables->Build(48000.0);
    EXPECT_EQ(tables->Increment(69 * 128) >> 16, 37);
    EXPECT_EQ(tables->TableLevel(69), 11);
}

TEST(OscillatorTables, ExactPowersOfSqrtTwoTakeTheExtraLevelOfTheRealProduct)
{
    // 0.7071067811865476 is a hair above 1/sqrt(2), so c = 2 gives
    // 2 -> 1.414.. -> 1.0000000000000002 -> 0.707..: level 3, not 2.
    auto tables = std::make_unique<OscillatorTables>();
    // Key 33 (55 Hz) at 112640 Hz is exactly 2 table samples per sample.
    tables->Build(55.0 * 4096.0 / 2.0);
    EXPECT_EQ(tables->Increment(33 * 128) >> 16, 2);
    EXPECT_EQ(tables->TableLevel(33), 3);
}

TEST(OscillatorTables, KeyTablesShiftOctavesFromKey21)
{
    struct Case {
        int key, shift, pitchClass;
    };
    const Case cases[] = {{0, -2, 3},  {8, -2, 11}, {9, -1, 0}, {20, -1, 11}, {21, 0, 0},
                          {32, 0, 11}, {33, 1, 0},  {45, 2, 0}, {60, 3, 3},   {127, 8, 10}};
    for (const Case& c : cases) {
        EXPECT_EQ(KeyOctaveShift(c.key), c.shift) << "key " << c.key;
        EXPECT_EQ(KeyPitchClass(c.key), c.pitchClass) << "key " << c.key;
    }
    for (int key : {-12, -1, 128, 139}) {
        EXPECT_LT(KeyOctaveShift(key), 0) << "key " << key;
    }
}

TEST(OscillatorTables, InvalidOrTinySampleRatesGiveDefinedIncrements)
{
    auto tables = std::make_unique<OscillatorTables>();
    tables->Build(0.0);
    EXPECT_EQ(tables->Increment(8832), 0);
    tables->Build(std::nan(""));
    EXPECT_EQ(tables->Increment(17280), 0);
    // At 1 kHz the top pitches exceed 32 bits and saturate.
    tables->Build(1000.0);
    EXPECT_EQ(tables->Increment(17280), INT32_MAX);
    EXPECT_EQ(tables->Increment(0), ExpectedIncrement(8.176, 1000.0));
    EXPECT_EQ(tables->TableLevel(127), 21);
}

// FNV-1a over the little-endian bytes of each value.
class Fnv1a {
public:
    void Add(std::uint64_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i) {
            m_hash = (m_hash ^ ((value >> (8 * i)) & 0xff)) * 0x100000001b3ull;
        }
    }
    void Add(double value)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        Add(bits, 8);
    }
    std::uint64_t Value() const { return m_hash; }

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ull;
};

// The same bits on every target (x86-64, i386 with SSE2, native test build):
// a mismatch means a module would play different pitches or waves.
TEST(OscillatorTables, ChecksumsAreTheSameOnEveryTarget)
{
    auto tables = std::make_unique<OscillatorTables>();
    tables->Build(44100.0);
    Fnv1a increments;
    for (int i = 0; i <= 17280; ++i) {
        increments.Add(static_cast<std::uint32_t>(tables->Increment(i)), 4);
    }
    Fnv1a levels;
    for (int key = 0; key < 128; ++key) {
        levels.Add(static_cast<std::uint32_t>(tables->TableLevel(key)), 4);
    }
    Fnv1a waves;
    const WaveTables& wave = WaveTables::Get();
    for (int level = 0; level < WaveTables::kLevelCount; ++level) {
        for (int l = 0; l < WaveTables::kLength; ++l) {
            waves.Add(wave.Saw(level, l));
            waves.Add(wave.Square(level, l));
        }
    }
    EXPECT_EQ(increments.Value(), 0x90b432fe06efeef1ull);
    EXPECT_EQ(levels.Value(), 0x59ac30c019fab66full);
    EXPECT_EQ(waves.Value(), 0x7067eba09d79d5d1ull);
}

}  // namespace

TEST(OscillatorTables, BankIncrementRowsAreTheTablesEntries)
{
    OscillatorTables tables;
    for (const double rate : {44100.0, 96000.0}) {
        tables.Build(rate);
        for (int offset = -OscillatorTables::kMaxBankOffset; offset <= OscillatorTables::kMaxBankOffset;
             ++offset) {
            const std::int32_t* row = tables.BankIncrements(offset);
            ASSERT_NE(row, nullptr);
            for (int p = 0; p < OscillatorTables::kBankOscillators; ++p) {
                ASSERT_EQ(row[p], tables.Increment((kLowestBankKey + p) * kPitchStepsPerKey + offset))
                    << offset;
            }
        }
    }
    EXPECT_EQ(tables.BankIncrements(OscillatorTables::kMaxBankOffset + 1), nullptr);
    EXPECT_EQ(tables.BankIncrements(-OscillatorTables::kMaxBankOffset - 1), nullptr);
}
