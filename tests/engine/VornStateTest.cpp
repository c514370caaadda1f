// The product's state format: layout, the tagged and tag-less forms, cut-off
// and damaged states, and the chunks and files built on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "core/ProgramFiles.h"
#include "engine/VornState.h"

namespace {

void ClearSlots(IPluginBase& plugin)
{
    for (Preset& preset : plugin.Presets()) {
        preset.initialised = false;
        std::strcpy(preset.name, "empty");
        preset.state.Clear();
    }
}

// The product with its state hooks on the state format (as the product class
// is meant to have them), recording OnParameterChanged.
class StatefulVorn : public VORN {
public:
    // The slots as the framework constructs them (unused, "empty"), whatever
    // the start-up stored in them.
    StatefulVorn() : VORN(&SilentHost) { ClearSlots(*this); }

    bool WriteState(StateChunk& chunk) override { return WriteVornState(*this, snapshot, chunk); }
    int ReadState(const StateChunk& chunk, int position) override
    {
        return ReadVornState(*this, snapshot, chunk, position);
    }
    void OnParameterChanged(int index) override
    {
        changed.push_back(index);
        VORN::OnParameterChanged(index);
    }

    // The snapshot the ensemble buttons take and give back.
    TweakSnapshot& snapshot{Ensemble().Snapshot()};
    std::vector<int> changed;
};

std::vector<double> Values(const IPluginBase& plugin)
{
    std::vector<double> values;
    for (const Parameter& parameter : plugin.Parameters()) {
        values.push_back(parameter.Value());
    }
    return values;
}

// Distinct values in every parameter (reserved ones included) and the
// snapshot.
void Scramble(StatefulVorn& plugin, int seed)
{
    for (int i = 0; i < kParameterCount; ++i) {
        plugin.Parameters()[static_cast<std::size_t>(i)].SetFromNormalized(((i + seed) % 9 + 1) / 10.0);
    }
    for (int i = 0; i < kTweakSnapshotSize; ++i) {
        plugin.snapshot[static_cast<std::size_t>(i)] = ((i * 7 + seed) % 11) / 10.0;
    }
}

double ClampedZero(const Parameter& parameter)
{
    return std::clamp(0.0, parameter.Min(), parameter.Max());
}

template <typename T>
T At(const StateChunk& chunk, int position)
{
    T value{};
    EXPECT_GE(chunk.GetValue(value, position), 0) << "at " << position;
    return value;
}

std::vector<int> AllIndices()
{
    std::vector<int> indices(kParameterCount);
    for (int i = 0; i < kParameterCount; ++i) {
        indices[static_cast<std::size_t>(i)] = i;
    }
    return indices;
}

// The tag-less form: 71 values, 58 snapshot entries, 5, 1000.
StateChunk TaglessState(const std::vector<double>& values, const TweakSnapshot& snapshot)
{
    StateChunk chunk;
    for (double value : values) {
        chunk.PutValue(value);
    }
    for (double entry : snapshot) {
        chunk.PutValue(entry);
    }
    chunk.PutValue(std::int32_t{5});
    chunk.PutValue(std::int32_t{1000});
    return chunk;
}

TEST(VornState, TaggedLayoutAndRoundTrip)
{
    StatefulVorn plugin;
    plugin.FillEmptyPresets(kVornPresetCount);
    ASSERT_TRUE(plugin.LoadPreset(3));
    std::strcpy(plugin.Presets()[3].name, "Nine Char");
    Scramble(plugin, 1);
    plugin.Parameters()[kReserved4].SetClamped(1.0);
    const TweakSnapshot written = plugin.snapshot;

    StateChunk chunk;
    chunk.PutValue(std::int32_t{-7});  // the state need not start the chunk
    ASSERT_TRUE(WriteVornState(plugin, plugin.snapshot, chunk));
    ASSERT_EQ(chunk.Size(), 4 + kVornStateBaseSize + 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(chunk.Data()) + 4, 10), "VORN_1.0.2");
    EXPECT_EQ(At<std::int32_t>(chunk, 14), 3);
    EXPECT_EQ(At<std::int32_t>(chunk, 18), 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(chunk.Data()) + 22, 9), "Nine Char");
    EXPECT_EQ(plugin.Parameters()[kReserved4].Value(), 0.0) << "reserved parameters are zeroed";
    const std::vector<double> values = Values(plugin);
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(At<double>(chunk, 31 + 8 * i), values[static_cast<std::size_t>(i)]) << "parameter " << i;
    }
    for (int i = 0; i < kTweakSnapshotSize; ++i) {
        EXPECT_EQ(At<double>(chunk, 4 + 586 + 9 + 8 * i), written[static_cast<std::size_t>(i)])
            << "entry " << i;
    }
    EXPECT_EQ(At<std::int32_t>(chunk, 4 + 1050 + 9), 5);
    EXPECT_EQ(At<std::int32_t>(chunk, 4 + 1054 + 9), 1003);

    Scramble(plugin, 4);
    plugin.changed.clear();
    EXPECT_EQ(ReadVornState(plugin, plugin.snapshot, chunk, 4), chunk.Size());
    EXPECT_EQ(Values(plugin), values);
    EXPECT_EQ(plugin.snapshot, written);
    EXPECT_EQ(plugin.changed, AllIndices());
}

TEST(VornState, TaglessAndBareStates)
{
    StatefulVorn source;
    Scramble(source, 2);
    const std::vector<double> values = Values(source);
    const TweakSnapshot snapshot = source.snapshot;

    StatefulVorn plugin;
    StateChunk tagless;
    tagless.PutValue(std::int64_t{0});
    tagless.PutChunk(TaglessState(values, snapshot));
    ASSERT_EQ(tagless.Size(), 8 + kVornTaglessStateSize);
    plugin.changed.clear();
    EXPECT_EQ(ReadVornState(plugin, plugin.snapshot, tagless, 8), 8 + kVornTaglessStateSize);
    EXPECT_EQ(Values(plugin), values);
    EXPECT_EQ(plugin.snapshot, snapshot);
    EXPECT_EQ(plugin.changed, AllIndices());

    // 71 doubles alone: the values apply, the snapshot is cleared, -1.
    StatefulVorn bare;
    bare.snapshot.fill(0.5);
    StateChunk params;
    for (double value : values) {
        params.PutValue(value);
    }
    bare.changed.clear();
    EXPECT_EQ(ReadVornState(bare, bare.snapshot, params, 0), -1);
    EXPECT_EQ(Values(bare), values);
    EXPECT_EQ(bare.snapshot, TweakSnapshot{});
    EXPECT_EQ(bare.changed, AllIndices()) << "also after a failure";

    // Short chunks (fewer than 10 bytes included) read as the tag-less form.
    StateChunk tiny;
    tiny.Put("VORN", 4);
    EXPECT_EQ(ReadVornState(bare, bare.snapshot, tiny, 0), -1);
    EXPECT_EQ(ReadVornState(bare, bare.snapshot, tiny, 100), -1);
}

TEST(VornState, CutOffAndDamagedStates)
{
    StatefulVorn source;
    source.FillEmptyPresets(kVornPresetCount);
    std::strcpy(source.Presets()[0].name, "Cut");
    Scramble(source, 3);
    StateChunk chunk;
    ASSERT_TRUE(WriteVornState(source, source.snapshot, chunk));
    const std::vector<double> written = Values(source);
    const int valuesStart = 18 + 3;
    const int snapshotStart = valuesStart + 568;

    StatefulVorn target;
    Scramble(target, 6);
    const std::vector<double> original = Values(target);
    for (int cut = 0; cut < chunk.Size(); ++cut) {
        StateChunk partial;
        partial.Put(chunk.Data(), cut);
        Scramble(target, 6);
        target.snapshot.fill(0.5);
        target.changed.clear();
        bool valuesCut = false;
        ASSERT_EQ(ReadVornState(target, target.snapshot, partial, 0, &valuesCut), -1) << "cut at " << cut;
        const std::vector<double> values = Values(target);
        // A cut tag, a cut header or not even one value: nothing is applied.
        const bool anyValue = cut >= valuesStart + 8;
        ASSERT_EQ(valuesCut, anyValue) << "cut at " << cut;
        if (!anyValue) {
            ASSERT_TRUE(target.changed.empty()) << "cut at " << cut;
            ASSERT_EQ(values, original) << "cut at " << cut;
            ASSERT_EQ(target.snapshot[0], 0.5) << "cut at " << cut;
            continue;
        }
        ASSERT_EQ(target.changed, AllIndices()) << "cut at " << cut;
        // Parameters before the cut take the file's values, the one at the cut
        // 0 (limited to its range), the later ones keep theirs.
        const int complete = cut < valuesStart ? -1 : std::min<int>((cut - valuesStart) / 8, kParameterCount);
        for (int i = 0; i < kParameterCount; ++i) {
            const double expected = i < complete ? written[static_cast<std::size_t>(i)]
                                    : i == complete
                                        ? ClampedZero(target.Parameters()[static_cast<std::size_t>(i)])
                                        : original[static_cast<std::size_t>(i)];
            ASSERT_EQ(values[static_cast<std::size_t>(i)], expected)
                << "cut at " << cut << ", parameter " << i;
        }
        const int entries =
            cut < snapshotStart ? 0 : std::min<int>((cut - snapshotStart) / 8, kTweakSnapshotSize);
        for (int i = 0; i < kTweakSnapshotSize; ++i) {
            const double expected = i < entries ? source.snapshot[static_cast<std::size_t>(i)] : 0.0;
            ASSERT_EQ(target.snapshot[static_cast<std::size_t>(i)], expected)
                << "cut at " << cut << ", entry " << i;
        }
    }

    // Name lengths that are negative or run past the data: -1 at once, no
    // parameter read.
    for (std::int32_t length : {-1, -100000, std::numeric_limits<std::int32_t>::min(), 1062,
                                std::numeric_limits<std::int32_t>::max()}) {
        StateChunk damaged = chunk;
        std::memcpy(damaged.Data() + 14, &length, 4);
        Scramble(target, 6);
        target.snapshot.fill(0.5);
        EXPECT_EQ(ReadVornState(target, target.snapshot, damaged, 0), -1) << "length " << length;
        EXPECT_EQ(Values(target), original) << "length " << length;
        EXPECT_EQ(target.snapshot[0], 0.5) << "nothing applied";
    }

    // A snapshot entry out of 0..1 is limited to it, a subnormal one becomes
    // 0; a value that is not finite, anywhere, refuses the whole state.
    StateChunk odd = chunk;
    const double entries[] = {1e-310, 0.25, -2.0, 7.0};
    std::memcpy(odd.Data() + snapshotStart, entries, sizeof(entries));
    EXPECT_EQ(ReadVornState(target, target.snapshot, odd, 0), chunk.Size());
    EXPECT_EQ(target.snapshot[0], 0.0);
    EXPECT_EQ(target.snapshot[1], 0.25);
    EXPECT_EQ(target.snapshot[2], 0.0);
    EXPECT_EQ(target.snapshot[3], 1.0);
    for (const double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        for (const int at : {valuesStart, valuesStart + 8 * 40, snapshotStart + 8 * 57}) {
            StateChunk poisoned = chunk;
            std::memcpy(poisoned.Data() + at, &bad, 8);
            Scramble(target, 6);
            target.snapshot.fill(0.5);
            target.changed.clear();
            EXPECT_EQ(ReadVornState(target, target.snapshot, poisoned, 0), -1) << at;
            EXPECT_EQ(Values(target), original) << at;
            EXPECT_TRUE(target.changed.empty()) << at;
        }
    }

    // A trailer count of 0 ends the state after it; a positive count needs
    // the int32 after it.
    StateChunk noVersion = chunk;
    noVersion.Resize(chunk.Size() - 4);
    std::memset(noVersion.Data() + noVersion.Size() - 4, 0, 4);
    EXPECT_EQ(ReadVornState(target, target.snapshot, noVersion, 0), noVersion.Size());
}

TEST(VornState, ProgramAndBankChunksThroughTheDispatcher)
{
    StatefulVorn source;
    source.FillEmptyPresets(kVornPresetCount);
    ASSERT_TRUE(source.LoadPreset(3));
    source.ModifyCurrentPreset("Nine Char");
    Scramble(source, 5);

    void* data = nullptr;
    const VstIntPtr size = source.Effect()->dispatcher(source.Effect(), effGetChunk, 1, 0, &data, 0.0f);
    ASSERT_EQ(size, 1088);
    StateChunk program;
    program.Put(data, static_cast<int>(size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(program.Data()) + 8, 10), "VORN_1.0.2");
    EXPECT_EQ(At<std::int32_t>(program, 18), 3);
    EXPECT_EQ(At<std::int32_t>(program, 22), 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(program.Data()) + 1079, 9), "Nine Char");

    StatefulVorn target;
    target.FillEmptyPresets(kVornPresetCount);
    EXPECT_EQ(target.Effect()->dispatcher(target.Effect(), effSetChunk, 1, size, program.Data(), 0.0f), 1);
    EXPECT_EQ(Values(target), Values(source));
    EXPECT_EQ(target.snapshot, source.snapshot);
    EXPECT_STREQ(target.PresetName(0), "Nine Char");

    // A bank of 64 presets with distinct states, one slot unused.
    for (int i = 0; i < kVornPresetCount; ++i) {
        ASSERT_TRUE(source.LoadPreset(i));
        Scramble(source, i);
        source.ModifyCurrentPreset(("Preset " + std::to_string(i)).c_str());
    }
    source.Presets()[40].initialised = false;
    ASSERT_TRUE(source.LoadPreset(7));
    data = nullptr;
    const VstIntPtr bankSize = source.Effect()->dispatcher(source.Effect(), effGetChunk, 0, 0, &data, 0.0f);
    ASSERT_GT(bankSize, 64 * 1058);
    StateChunk bank;
    bank.Put(data, static_cast<int>(bankSize));

    StatefulVorn reader;
    reader.FillEmptyPresets(kVornPresetCount);
    ASSERT_TRUE(reader.LoadPreset(7));
    EXPECT_EQ(reader.Effect()->dispatcher(reader.Effect(), effSetChunk, 0, bankSize, bank.Data(), 0.0f), 1);
    for (int i = 0; i < kVornPresetCount; ++i) {
        const Preset& a = source.Presets()[static_cast<std::size_t>(i)];
        const Preset& b = reader.Presets()[static_cast<std::size_t>(i)];
        ASSERT_STREQ(a.name, b.name);
        ASSERT_EQ(a.initialised, b.initialised) << "preset " << i;
        // The stored index and name are the reader's current ones at reading time.
        if (a.initialised) {
            StatefulVorn check;
            ASSERT_GT(check.ReadState(a.state, 0), 0);
            const std::vector<double> expected = Values(check);
            ASSERT_GT(check.ReadState(b.state, 0), 0);
            ASSERT_EQ(Values(check), expected) << "preset " << i;
        }
    }
    EXPECT_EQ(Values(reader), Values(source)) << "the current slot (7) is reloaded";
}

TEST(VornState, ProgramFileSizeAndRoundTrip)
{
    StatefulVorn source;
    source.FillEmptyPresets(kVornPresetCount);
    ASSERT_TRUE(source.LoadPreset(5));
    Scramble(source, 8);
    source.ModifyCurrentPreset("Strings");

    StateChunk program;
    BuildProgramFile(source, program);
    ASSERT_EQ(program.Size(), 60 + 8 + kVornStateBaseSize + 7);
    std::uint32_t byteSize = 0;
    ASSERT_TRUE(GetBigEndian32(program, 4, byteSize));
    EXPECT_EQ(byteSize, static_cast<std::uint32_t>(program.Size()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(program.Data()) + 16, 4), "vorn");
    std::uint32_t version = 0;
    ASSERT_TRUE(GetBigEndian32(program, 20, version));
    EXPECT_EQ(version, 10003u);
    std::uint32_t numParams = 0;
    ASSERT_TRUE(GetBigEndian32(program, 24, numParams));
    EXPECT_EQ(numParams, 71u);

    StatefulVorn target;
    target.FillEmptyPresets(kVornPresetCount);
    ASSERT_TRUE(ApplyProgramFile(target, program));
    EXPECT_EQ(Values(target), Values(source));
    EXPECT_EQ(target.snapshot, source.snapshot);
    EXPECT_STREQ(target.PresetName(0), "Strings");
}

}  // namespace
