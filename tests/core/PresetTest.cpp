// Preset slots, parameter serialization and bank chunks, on the test plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestPlugin.h"

namespace {

class PresetTest : public ::testing::Test {
protected:
    void SetUp() override { FakeHost::current = &host; }
    void TearDown() override { FakeHost::current = nullptr; }

    void SetValues(double a, double b, double c, double d)
    {
        plugin.Parameters()[0].SetClamped(a);
        plugin.Parameters()[1].SetClamped(b);
        plugin.Parameters()[2].SetClamped(c);
        plugin.Parameters()[3].SetClamped(d);
    }
    std::vector<double> Values() const
    {
        std::vector<double> v;
        for (const Parameter& p : plugin.Parameters()) {
            v.push_back(p.Value());
        }
        return v;
    }

    FakeHost host;
    TestPlugin plugin;
};

TEST_F(PresetTest, ConstructionState)
{
    ASSERT_EQ(plugin.NumPresets(), 4);
    for (const Preset& preset : plugin.Presets()) {
        EXPECT_FALSE(preset.initialised);
        EXPECT_STREQ(preset.name, "empty");
    }
    EXPECT_STREQ(plugin.PresetName(-1), "");
    EXPECT_STREQ(plugin.PresetName(4), "");
}

TEST_F(PresetTest, ParamsSerializeAndClampOnRead)
{
    SetValues(0.25, 5, 2, 7.5);
    StateChunk chunk;
    ASSERT_TRUE(plugin.SerializeParams(chunk));
    EXPECT_EQ(chunk.Size(), 4 * 8);

    SetValues(0, 0, 0, 0);
    plugin.changed.clear();
    EXPECT_EQ(plugin.UnserializeParams(chunk, 0), 32);
    EXPECT_EQ(Values(), (std::vector<double>{0.25, 5, 2, 7.5}));
    EXPECT_EQ(plugin.changed, (std::vector<int>{0, 1, 2, 3}));

    // Out-of-range values are clamped; a cut-off state applies what is there,
    // sets the first missing value to 0 and reports -1.
    StateChunk partial;
    partial.PutValue(9.0);
    partial.PutValue(-40.0);
    partial.Put("\x01\x02", 2);
    SetValues(0.5, 1, 1, 1);
    plugin.changed.clear();
    EXPECT_EQ(plugin.UnserializeParams(partial, 0), -1);
    EXPECT_EQ(Values(), (std::vector<double>{1.0, -12, 0, 1}));
    EXPECT_EQ(plugin.changed.size(), 4u) << "every parameter is announced after a failure too";
}

TEST_F(PresetTest, StateEquals)
{
    SetValues(0.25, 5, 2, 7.5);
    const double same[] = {99.0, 0.25, 5.0, 2.0, 7.500001};
    EXPECT_TRUE(plugin.StateEquals(same, 1));
    EXPECT_FALSE(plugin.StateEquals(same, 0));
    EXPECT_FALSE(plugin.StateEquals(same, 2)) << "too few values after position";
    EXPECT_FALSE(plugin.StateEquals(same, -1));
}

TEST_F(PresetTest, LoadingAnUnusedSlotCapturesTheLiveState)
{
    std::strcpy(plugin.Presets()[0].name, "user preset 1");
    std::strcpy(plugin.Presets()[1].name, "my user preset 2");
    SetValues(0.75, 3, 1, 2);
    ASSERT_TRUE(plugin.LoadPreset(2));
    EXPECT_EQ(plugin.CurrentPresetIndex(), 2);
    EXPECT_STREQ(plugin.PresetName(2), "user preset 3");
    EXPECT_TRUE(plugin.Presets()[2].initialised);
    EXPECT_EQ(plugin.presetsChanged, 1);

    SetValues(0, 0, 0, 0);
    ASSERT_TRUE(plugin.LoadPreset(2));
    EXPECT_EQ(Values(), (std::vector<double>{0.75, 3, 1, 2}));

    EXPECT_FALSE(plugin.LoadPreset(4));
    EXPECT_FALSE(plugin.LoadPreset(-1));
    EXPECT_EQ(plugin.CurrentPresetIndex(), 2);

    // An initialised slot whose state cannot be read is not made current.
    plugin.Presets()[3].initialised = true;
    plugin.Presets()[3].state.Clear();
    EXPECT_FALSE(plugin.LoadPreset(3));
    EXPECT_EQ(plugin.CurrentPresetIndex(), 2);
}

TEST_F(PresetTest, ModifyAndFill)
{
    SetValues(0.1, 1, 1, 1);
    plugin.ModifyCurrentPreset("Lead");
    EXPECT_STREQ(plugin.PresetName(0), "Lead");
    EXPECT_EQ(plugin.Presets()[0].state.Size(), 32);
    EXPECT_FALSE(plugin.Presets()[0].initialised) << "the flag is not changed";
    plugin.ModifyCurrentPreset("");
    EXPECT_STREQ(plugin.PresetName(0), "Lead");
    std::string longName(300, 'n');
    plugin.ModifyCurrentPreset(longName.c_str());
    EXPECT_EQ(std::strlen(plugin.PresetName(0)), 255u);

    plugin.Presets()[1].initialised = true;
    plugin.FillEmptyPresets(2);
    EXPECT_STREQ(plugin.PresetName(0), "Empty");
    EXPECT_STREQ(plugin.PresetName(1), "empty") << "used slots are skipped";
    EXPECT_STREQ(plugin.PresetName(2), "Empty");
    EXPECT_FALSE(plugin.Presets()[3].initialised);
    plugin.FillEmptyPresets(10);
    EXPECT_TRUE(plugin.Presets()[3].initialised);
}

TEST_F(PresetTest, BankRoundTripAndCutOffBanks)
{
    plugin.FillEmptyPresets(4);
    for (int i = 0; i < 4; ++i) {
        SetValues(0.1 * i, i, i % 3, i);
        plugin.Presets()[static_cast<std::size_t>(i)].state.Clear();
        plugin.WriteState(plugin.Presets()[static_cast<std::size_t>(i)].state);
        std::snprintf(plugin.Presets()[static_cast<std::size_t>(i)].name, kPresetNameSize, "Bank %d", i);
    }
    plugin.Presets()[3].initialised = false;
    ASSERT_TRUE(plugin.LoadPreset(1));

    StateChunk bank;
    ASSERT_TRUE(plugin.SerializePresets(bank));
    // 3 records of 4 + 6 name bytes, 1 flag, 32 state bytes; one of 4 + 6 + 1;
    // the trailer naming the current slot.
    EXPECT_EQ(bank.Size(), 3 * 43 + 11 + 8);

    TestPlugin other;
    ASSERT_EQ(other.UnserializePresets(bank, 0), bank.Size());
    for (int i = 0; i < 4; ++i) {
        const Preset& a = plugin.Presets()[static_cast<std::size_t>(i)];
        const Preset& b = other.Presets()[static_cast<std::size_t>(i)];
        EXPECT_STREQ(a.name, b.name);
        EXPECT_EQ(a.initialised, b.initialised);
        if (a.initialised) {
            EXPECT_EQ(a.state, b.state) << "preset " << i;
        }
    }
    EXPECT_EQ(other.CurrentPresetIndex(), 1) << "the bank reloads on the program it was saved on";
    EXPECT_EQ(other.Parameters()[1].Value(), 1.0);

    // Cut anywhere, the trailer included: the reading fails and nothing
    // changes.
    for (int cut = 0; cut < bank.Size(); ++cut) {
        if (cut == bank.Size() - 8) {
            continue;  // complete records without the trailer: see below
        }
        StateChunk partial;
        partial.Put(bank.Data(), cut);
        TestPlugin target;
        target.FillEmptyPresets(2);
        target.Parameters()[0].SetClamped(0.75);
        const IPluginBase::Snapshot before = target.TakeSnapshot();
        target.changed.clear();
        ASSERT_EQ(target.UnserializePresets(partial, 0), -1) << "cut at " << cut;
        const IPluginBase::Snapshot after = target.TakeSnapshot();
        ASSERT_EQ(after.values, before.values) << "cut at " << cut;
        ASSERT_EQ(after.currentPreset, before.currentPreset);
        for (int i = 0; i < 4; ++i) {
            const Preset& a = before.presets[static_cast<std::size_t>(i)];
            const Preset& b = after.presets[static_cast<std::size_t>(i)];
            ASSERT_STREQ(a.name, b.name) << "cut at " << cut;
            ASSERT_EQ(a.initialised, b.initialised) << "cut at " << cut;
            ASSERT_EQ(a.state, b.state) << "cut at " << cut;
        }
    }
    // A bank without the trailer (as earlier versions wrote it) still loads,
    // on the current slot.
    StateChunk untrailed;
    untrailed.Put(bank.Data(), bank.Size() - 8);
    TestPlugin target;
    EXPECT_EQ(target.UnserializePresets(untrailed, 0), untrailed.Size());
    EXPECT_EQ(target.CurrentPresetIndex(), 0);
    EXPECT_STREQ(target.PresetName(1), "Bank 1");
}

}  // namespace
