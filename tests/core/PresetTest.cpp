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
    // 3 records of 4 + 6 name bytes, 1 flag, 32 state bytes; one of 4 + 6 + 1.
    EXPECT_EQ(bank.Size(), 3 * 43 + 11);

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
    EXPECT_EQ(other.Parameters()[1].Value(), 0.0) << "the current slot (0) is reloaded at the end";

    // Cut inside the third record's state: the first two are replaced, the
    // reading fails, the current preset is reloaded all the same.
    for (int cut : {0, 3, 50, 43 * 2 + 20, bank.Size() - 1}) {
        StateChunk partial;
        partial.Put(bank.Data(), cut);
        TestPlugin target;
        target.changed.clear();
        EXPECT_EQ(target.UnserializePresets(partial, 0), -1) << "cut at " << cut;
    }
    StateChunk partial;
    partial.Put(bank.Data(), 43 * 2 + 20);
    TestPlugin target;
    target.UnserializePresets(partial, 0);
    EXPECT_STREQ(target.PresetName(1), "Bank 1");
    EXPECT_STREQ(target.PresetName(3), "empty") << "records after the failure keep their contents";
}

}  // namespace
