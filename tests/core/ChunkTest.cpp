// Program and bank chunks through effGetChunk / effSetChunk, including the
// hosts that mix the two up.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "TestPlugin.h"

namespace {

class ChunkTest : public ::testing::Test {
protected:
    void SetUp() override { FakeHost::current = &host; }
    void TearDown() override { FakeHost::current = nullptr; }

    static std::vector<std::uint8_t> GetChunk(TestPlugin& plugin, bool bank)
    {
        void* data = nullptr;
        VstIntPtr size = Dispatch(plugin.Effect(), effGetChunk, bank ? 0 : 1, 0, &data);
        if (size <= 0 || data == nullptr) {
            return {};
        }
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }
    static VstIntPtr SetChunk(TestPlugin& plugin, bool bank, const std::vector<std::uint8_t>& bytes)
    {
        return Dispatch(plugin.Effect(), effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(bytes.size()),
                        const_cast<std::uint8_t*>(bytes.data()));
    }

    FakeHost host;
};

TEST_F(ChunkTest, ProgramChunkLayoutAndRoundTrip)
{
    TestPlugin source;
    source.FillEmptyPresets(4);
    source.Parameters()[0].SetClamped(0.3);
    source.Parameters()[1].SetClamped(-7);
    std::strcpy(source.Presets()[0].name, "Strings");
    std::vector<std::uint8_t> chunk = GetChunk(source, false);
    ASSERT_EQ(chunk.size(), 8u + 32u + 4u + 7u);
    EXPECT_EQ(std::memcmp(chunk.data(), "tffp\0\0\1\0", 8), 0);
    EXPECT_EQ(std::memcmp(chunk.data() + 44, "Strings", 7), 0);
    EXPECT_EQ(Dispatch(source.Effect(), effGetChunk, 1), 0) << "no pointer, no chunk";

    TestPlugin target;
    target.FillEmptyPresets(4);
    FakeEditor* editor = new FakeEditor;
    target.AttachEditor(std::unique_ptr<PluginEditor>(editor));
    EXPECT_EQ(SetChunk(target, false, chunk), 1);
    EXPECT_EQ(target.Parameters()[0].Value(), 0.3);
    EXPECT_EQ(target.Parameters()[1].Value(), -7.0);
    EXPECT_STREQ(target.PresetName(0), "Strings");
    EXPECT_EQ(target.Presets()[0].state.Size(), 32) << "the current slot holds the new state";
    EXPECT_EQ(editor->fromPlug.size(), 4u) << "parameters pushed to the editor";

    // A state without marker or name is read as a bare state.
    StateChunk bare;
    target.Parameters()[0].SetClamped(0.9);
    target.SerializeParams(bare);
    std::vector<std::uint8_t> bareBytes(bare.Data(), bare.Data() + bare.Size());
    target.Parameters()[0].SetClamped(0.0);
    EXPECT_EQ(SetChunk(target, false, bareBytes), 1);
    EXPECT_EQ(target.Parameters()[0].Value(), 0.9);
    EXPECT_STREQ(target.PresetName(0), "Strings");
}

TEST_F(ChunkTest, BankChunkRoundTrip)
{
    TestPlugin source;
    source.FillEmptyPresets(4);
    for (int i = 0; i < 4; ++i) {
        std::snprintf(source.Presets()[static_cast<std::size_t>(i)].name, kPresetNameSize, "P%d", i);
    }
    source.Parameters()[1].SetClamped(5);
    std::vector<std::uint8_t> bank = GetChunk(source, true);
    ASSERT_FALSE(bank.empty());
    EXPECT_EQ(std::memcmp(bank.data(), "tffp", 4), 0);

    TestPlugin target;
    EXPECT_EQ(SetChunk(target, true, bank), 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(target.PresetName(i), source.PresetName(i));
    }
    EXPECT_EQ(target.Parameters()[1].Value(), 5.0) << "bank read, then the current preset reloaded";
}

TEST_F(ChunkTest, DamagedChunksFailWithoutHarm)
{
    TestPlugin source;
    source.FillEmptyPresets(4);
    std::vector<std::uint8_t> program = GetChunk(source, false);
    std::vector<std::uint8_t> bank = GetChunk(source, true);

    TestPlugin target;
    target.FillEmptyPresets(4);
    for (std::size_t cut = 0; cut < bank.size(); cut += 7) {
        std::vector<std::uint8_t> partial(bank.begin(), bank.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(SetChunk(target, true, partial), 0) << "bank cut at " << cut;
    }
    // A program chunk cut inside the state, and one cut inside the name.
    std::vector<std::uint8_t> inState(program.begin(), program.begin() + 20);
    EXPECT_EQ(SetChunk(target, false, inState), 0);
    std::vector<std::uint8_t> inName(program.begin(), program.end() - 1);
    EXPECT_EQ(SetChunk(target, false, inName), 0);
    EXPECT_STREQ(target.PresetName(0), "Empty") << "the name stays";

    // Absurd sizes and missing data.
    std::uint8_t byte = 0;
    EXPECT_EQ(Dispatch(target.Effect(), effSetChunk, 0, -1, &byte), 0);
    EXPECT_EQ(Dispatch(target.Effect(), effSetChunk, 0, std::numeric_limits<VstIntPtr>::max(), &byte), 0);
    EXPECT_EQ(Dispatch(target.Effect(), effSetChunk, 0, StateChunk::kMaxSize + 1, &byte), 0);
    EXPECT_EQ(Dispatch(target.Effect(), effSetChunk, 0, 16, nullptr), 0);

    // A name length that claims more than the chunk holds.
    std::vector<std::uint8_t> lying = program;
    const std::int32_t huge = 0x7FFFFFF0;
    std::memcpy(lying.data() + 40, &huge, 4);
    EXPECT_EQ(SetChunk(target, false, lying), 0);
    EXPECT_GT(GetChunk(target, true).size(), 0u) << "still usable";
}

TEST_F(ChunkTest, HostHandsBackOurOwnBuffer)
{
    TestPlugin plugin;
    plugin.FillEmptyPresets(4);
    plugin.Parameters()[1].SetClamped(3);
    for (int index : {0, 1}) {
        void* data = nullptr;
        VstIntPtr size = Dispatch(plugin.Effect(), effGetChunk, index, 0, &data);
        ASSERT_GT(size, 0);
        plugin.Parameters()[1].SetClamped(0);
        EXPECT_EQ(Dispatch(plugin.Effect(), effSetChunk, index, size, data), 1) << "index " << index;
        EXPECT_EQ(plugin.Parameters()[1].Value(), 3.0);
        // A count beyond our buffer is not followed past its end.
        size = Dispatch(plugin.Effect(), effGetChunk, index, 0, &data);
        Dispatch(plugin.Effect(), effSetChunk, index, size + 4096, data);
    }
}

TEST_F(ChunkTest, NativeInstrumentsHostGetsProgramsForBanks)
{
    host.vendorString = "Native Instruments";
    TestPlugin plugin;
    plugin.FillEmptyPresets(4);
    std::strcpy(plugin.Presets()[0].name, "Brass");
    plugin.Parameters()[0].SetClamped(0.6);
    std::vector<std::uint8_t> chunk = GetChunk(plugin, true);
    ASSERT_EQ(chunk.size(), 8u + 32u + 4u + 5u) << "a program chunk ending in the preset name";
    EXPECT_EQ(std::memcmp(chunk.data() + chunk.size() - 5, "Brass", 5), 0);

    plugin.Parameters()[0].SetClamped(0.0);
    EXPECT_EQ(SetChunk(plugin, true, chunk), 1);
    EXPECT_EQ(plugin.Parameters()[0].Value(), 0.6);

    // Data that is not exactly one program is taken again as a bank.
    host.vendorString = "";
    TestPlugin bankSource;
    bankSource.FillEmptyPresets(4);
    std::snprintf(bankSource.Presets()[2].name, kPresetNameSize, "From bank");
    std::vector<std::uint8_t> bank = GetChunk(bankSource, true);
    EXPECT_EQ(SetChunk(plugin, true, bank), 1);
    EXPECT_STREQ(plugin.PresetName(2), "From bank");
    EXPECT_EQ(host.Count(audioMasterGetVendorString), 2) << "asked once per instance";

    host.vendorString = "JUCE VST Host";
    TestPlugin juce;
    EXPECT_TRUE(juce.HostVendorQuirk());
    host.vendorString = "native instruments gmbh";
    TestPlugin notQuite;
    EXPECT_FALSE(notQuite.HostVendorQuirk()) << "the whole string must match";
}

TEST_F(ChunkTest, ProgramSwitchStoresTheLiveState)
{
    TestPlugin plugin;
    plugin.FillEmptyPresets(4);
    plugin.Parameters()[1].SetClamped(4);
    Dispatch(plugin.Effect(), effSetProgram, 0, 2);
    EXPECT_EQ(Dispatch(plugin.Effect(), effGetProgram), 2);
    plugin.Parameters()[1].SetClamped(-4);
    Dispatch(plugin.Effect(), effSetProgram, 0, 0);
    EXPECT_EQ(plugin.Parameters()[1].Value(), 4.0) << "slot 0 kept the state it had when left";
    Dispatch(plugin.Effect(), effSetProgram, 0, 2);
    EXPECT_EQ(plugin.Parameters()[1].Value(), -4.0);

    plugin.Parameters()[1].SetClamped(9);
    Dispatch(plugin.Effect(), effSetProgram, 0, 64);
    Dispatch(plugin.Effect(), effSetProgram, 0, std::numeric_limits<VstIntPtr>::min());
    EXPECT_EQ(Dispatch(plugin.Effect(), effGetProgram), 2);
    Dispatch(plugin.Effect(), effSetProgram, 0, 0);
    Dispatch(plugin.Effect(), effSetProgram, 0, 2);
    EXPECT_EQ(plugin.Parameters()[1].Value(), 9.0) << "a bad index still stores the live state";
}

}  // namespace
