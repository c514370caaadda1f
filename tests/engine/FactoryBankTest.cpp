// The factory bank carried in the module's resources: its file layout, the 64
// preset records, their values, and loading and playing every program.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "core/ProgramFiles.h"
#include "engine/ParameterTable.h"
#include "engine/VornState.h"
#include "platform/Resources.h"

namespace {

constexpr int kBankSize = 67788;
constexpr int kPrograms = 64;

std::string Text(const StateChunk& data, int offset, int length)
{
    return {reinterpret_cast<const char*>(data.Data() + offset), static_cast<std::size_t>(length)};
}

std::uint32_t Header(const StateChunk& data, int offset)
{
    std::uint32_t value = 0;
    EXPECT_TRUE(GetBigEndian32(data, offset, value)) << "offset " << offset;
    return value;
}

struct Record {
    std::string name;
    std::uint8_t initialised = 0;
    std::array<double, kParameterCount> values{};
    TweakSnapshot snapshot{};
    std::int32_t marker = 0;
    std::int32_t trailer = 0;
};

std::array<Parameter, kParameterCount> DefinedParameters()
{
    std::array<Parameter, kParameterCount> params{};
    DefineVornParameters(params);
    return params;
}

// The committed bank as the module carries it, its preset records walked by
// their own layout (independent of the product's reader).
class FactoryBank : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::span<const std::uint8_t> resource = FindModuleResource("INIT", "PROGINIT");
        ASSERT_EQ(resource.size(), static_cast<std::size_t>(kBankSize));
        ASSERT_TRUE(bank.Assign(resource.data(), kBankSize));
        int position = 168;
        while (position >= 0 && records.size() < kPrograms) {
            Record record;
            std::int32_t length = 0;
            position = bank.GetValue(length, position);
            ASSERT_TRUE(position >= 0 && length >= 0 && position + length <= bank.Size());
            record.name = Text(bank, position, length);
            position = bank.GetValue(record.initialised, position + length);
            for (double& value : record.values) {
                position = bank.GetValue(value, position);
            }
            for (double& entry : record.snapshot) {
                position = bank.GetValue(entry, position);
            }
            position = bank.GetValue(record.marker, position);
            position = bank.GetValue(record.trailer, position);
            records.push_back(record);
        }
        ASSERT_EQ(position, kBankSize) << "64 records fill the chunk exactly";
    }

    StateChunk bank;
    std::vector<Record> records;
};

// The product with its state hooks on the state format, so that a load
// brings back the snapshot as well.
class StatefulVorn : public VORN {
public:
    StatefulVorn() : VORN(&SilentHost) {}

    bool WriteState(StateChunk& chunk) override
    {
        return WriteVornState(*this, Ensemble().Snapshot(), chunk);
    }
    int ReadState(const StateChunk& chunk, int position) override
    {
        return ReadVornState(*this, Ensemble().Snapshot(), chunk, position);
    }
};

TEST_F(FactoryBank, HeaderAndRecordLayout)
{
    EXPECT_EQ(Text(bank, 0, 4), "CcnK");
    EXPECT_EQ(Header(bank, 4), 67788u) << "byteSize counts the whole file";
    EXPECT_EQ(Text(bank, 8, 4), "FBCh");
    EXPECT_EQ(Header(bank, 12), 2u) << "version";
    EXPECT_EQ(Text(bank, 16, 4), "vorn");
    EXPECT_EQ(Header(bank, 20), 10000u) << "fxVersion";
    EXPECT_EQ(Header(bank, 24), 64u) << "numPrograms";
    EXPECT_EQ(Header(bank, 28), 0u) << "currentProgram";
    EXPECT_TRUE(std::all_of(bank.Data() + 32, bank.Data() + 156, [](std::uint8_t b) { return b == 0; }))
        << "future";
    EXPECT_EQ(Header(bank, 156), 67628u) << "chunkSize";
    EXPECT_EQ(Text(bank, 160, 4), "tffp");
    std::int32_t version = 0;
    bank.GetValue(version, 164);
    EXPECT_EQ(version, 0x00010000);

    EXPECT_EQ(records.front().name, "Phaser Strings 1");
    EXPECT_EQ(records.back().name, "Init");
    std::size_t nameLength = 0;
    std::set<std::string> names;
    for (const Record& record : records) {
        SCOPED_TRACE(record.name);
        nameLength += record.name.size();
        names.insert(record.name);
        EXPECT_FALSE(record.name.empty());
        EXPECT_LE(record.name.size(), 27u) << "fits a program file's name field";
        EXPECT_EQ(record.initialised, 1);
        EXPECT_EQ(record.marker, 5);
        EXPECT_EQ(record.trailer, 1000);
    }
    EXPECT_EQ(nameLength, 740u);
    EXPECT_EQ(names.size(), records.size()) << "names are unique";
}

TEST_F(FactoryBank, ValuesLieInTheirRangesAndTheSnapshotKeepsTheSound)
{
    std::array<Parameter, kParameterCount> params = DefinedParameters();
    for (const Record& record : records) {
        SCOPED_TRACE(record.name);
        for (int index = 0; index < kParameterCount; ++index) {
            Parameter& param = params[static_cast<std::size_t>(index)];
            const double value = record.values[static_cast<std::size_t>(index)];
            ASSERT_TRUE(std::isfinite(value)) << param.Name();
            EXPECT_GE(value, param.Min()) << param.Name();
            EXPECT_LE(value, param.Max()) << param.Name();
            if (param.Kind() != ParameterKind::Continuous) {
                EXPECT_EQ(value, std::round(value)) << param.Name() << " is stepped";
            }
            if (index >= kReserved1) {
                EXPECT_EQ(value, 0.0) << "reserved " << index;
            }
            if (index >= kFirstTweakParameter) {
                // Tweak mode right after loading gives back this program's
                // own sound.
                param.SetClamped(value);
                EXPECT_NEAR(record.snapshot[static_cast<std::size_t>(index - kFirstTweakParameter)],
                            param.Normalized(), 1e-12)
                    << param.Name();
            }
        }
    }
}

TEST_F(FactoryBank, InitIsTheInitialisedProgramAndEveryProgramDiffers)
{
    std::array<Parameter, kParameterCount> params = DefinedParameters();
    TweakSnapshot snapshot{};
    InitialiseProgram(params, snapshot);
    const Record& init = records.back();
    // The bank is generated on Linux; shaped parameters go through pow(),
    // whose last bit differs between C runtimes, so compare to a few ulps.
    for (int index = 0; index < kParameterCount; ++index) {
        const Parameter& param = params[static_cast<std::size_t>(index)];
        EXPECT_NEAR(init.values[static_cast<std::size_t>(index)], param.Value(),
                    1e-12 * (param.Max() - param.Min()))
            << param.Name();
    }
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        EXPECT_NEAR(init.snapshot[i], snapshot[i], 1e-12) << "snapshot entry " << i;
    }

    for (std::size_t a = 0; a < records.size(); ++a) {
        for (std::size_t b = a + 1; b < records.size(); ++b) {
            EXPECT_NE(records[a].values, records[b].values) << records[a].name << " and " << records[b].name;
        }
    }
}

TEST_F(FactoryBank, EveryProgramLoadsAndPlaysWithoutClipping)
{
    StatefulVorn plugin;
    ASSERT_TRUE(LoadBankImage(plugin, bank.Data(), static_cast<std::size_t>(bank.Size())));
    ASSERT_EQ(plugin.NumPresets(), kPrograms);
    for (int k = 0; k < kPrograms; ++k) {
        const Record& record = records[static_cast<std::size_t>(k)];
        SCOPED_TRACE(record.name);
        EXPECT_EQ(std::string(plugin.PresetName(k)), record.name);
        EXPECT_TRUE(plugin.Presets()[static_cast<std::size_t>(k)].initialised);
        ASSERT_TRUE(plugin.LoadPreset(k));
        for (int index = 0; index < kParameterCount; ++index) {
            EXPECT_EQ(plugin.GetParameter(index)->Value(), record.values[static_cast<std::size_t>(index)])
                << plugin.GetParameter(index)->Name();
        }
        EXPECT_EQ(plugin.Ensemble().Snapshot(), record.snapshot);
        EXPECT_EQ(plugin.ButtonState(), static_cast<int>(record.values[kButtonState]));
    }

    // A held C major chord over its bass note, then released, from every
    // program except "Init" (the bare defaults): audible, never near full scale.
    std::vector<TimedMidi> chord;
    for (std::int64_t time : {0, 88200}) {
        for (std::uint8_t key : {48, 60, 64, 67}) {
            chord.push_back({time, static_cast<std::uint8_t>(time == 0 ? 0x90 : 0x80), key, 100});
        }
    }
    for (int k = 0; k + 1 < kPrograms; ++k) {
        const Record& record = records[static_cast<std::size_t>(k)];
        SCOPED_TRACE(record.name);
        EngineHarness harness(44100.0, 512);
        for (int index = 0; index < kParameterCount; ++index) {
            harness.Set(index, record.values[static_cast<std::size_t>(index)]);
        }
        const StereoBuffer out = harness.Render(110250, 512, chord);
        ASSERT_TRUE(out.AllFinite());
        EXPECT_LT(out.PeakAbs(), 0.95);
        EXPECT_GT(out.Rms(0, 88200), 0.02);
    }
}

// Players hit a host's master bus with ordinary chords: the two-hand chord
// of the level check (10 notes, velocity 100, held 3 s, then released) peaks
// at -1 dBFS or below on every program but "Init" (the bare defaults), as
// the host receives it in single precision. `vornhost levels` prints the
// same measurement with loudness.
TEST_F(FactoryBank, EveryProgramsChordLeavesHeadroom)
{
    const double limit = std::pow(10.0, -1.0 / 20.0);
    std::vector<TimedMidi> chord;
    for (std::int64_t time : {std::int64_t{0}, std::int64_t{3 * 48000}}) {
        for (std::uint8_t key : {36, 43, 48, 52, 55, 60, 64, 67, 72, 76}) {
            chord.push_back({time, static_cast<std::uint8_t>(time == 0 ? 0x90 : 0x80), key, 100});
        }
    }
    double loudest = 0.0;
    for (int k = 0; k + 1 < kPrograms; ++k) {
        const Record& record = records[static_cast<std::size_t>(k)];
        EngineHarness harness(48000.0, 512);
        for (int index = 0; index < kParameterCount; ++index) {
            harness.Set(index, record.values[static_cast<std::size_t>(index)]);
        }
        const StereoBuffer out = harness.Render(5 * 48000, 512, chord);
        double peak = 0.0;
        for (const std::vector<double>* channel : {&out.left, &out.right}) {
            for (double sample : *channel) {
                peak = std::max(peak, static_cast<double>(std::fabs(static_cast<float>(sample))));
            }
        }
        EXPECT_LE(peak, limit) << record.name << " peaks at " << 20.0 * std::log10(peak) << " dBFS";
        loudest = std::max(loudest, peak);
    }
    std::printf("[ levels ] highest chord peak of the factory programs: %.2f dBFS\n",
                20.0 * std::log10(loudest));
}

}  // namespace
