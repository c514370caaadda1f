// State transfer through effGetChunk and effSetChunk between two instances.
#include "tests/module/ExpectedModule.h"
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

// The chunk the plug-in hands out, copied; empty when it gave none.
std::vector<char> GetChunk(PluginInstance& plugin, VstInt32 index)
{
    void* data = nullptr;
    const VstIntPtr size = plugin.Dispatch(effGetChunk, index, 0, &data);
    if (size <= 0 || !data) {
        return {};
    }
    const char* bytes = static_cast<const char*>(data);
    return std::vector<char>(bytes, bytes + size);
}

VstIntPtr SetChunk(PluginInstance& plugin, VstInt32 index, std::vector<char> bytes)
{
    return plugin.Dispatch(effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.data());
}

std::vector<float> ParameterValues(PluginInstance& plugin)
{
    std::vector<float> values;
    for (VstInt32 i = 0; i < kExpectedParams; ++i) {
        values.push_back(plugin.Effect()->getParameter(plugin.Effect(), i));
    }
    return values;
}

}  // namespace

TEST(Chunks, BankAndProgramMoveBetweenInstances)
{
    PluginInstance source;
    PluginInstance target;
    ASSERT_TRUE(source);
    ASSERT_TRUE(target);
    source.Start(44100.0, 512);
    target.Start(48000.0, 256);

    source.Dispatch(effSetProgram, 0, 3);
    for (VstInt32 i = 0; i < kExpectedParams; i += 3) {
        source.Effect()->setParameter(source.Effect(), i, static_cast<float>((i * 37) % 100) / 100.0f);
    }
    char name[] = "Moved";
    source.Dispatch(effSetProgramName, 0, 0, name);

    const std::vector<char> bank = GetChunk(source, 0);
    const std::vector<char> program = GetChunk(source, 1);
    ASSERT_FALSE(bank.empty());
    ASSERT_FALSE(program.empty());
    EXPECT_LT(program.size(), bank.size());
    // Taken after the chunks: writing the state clears the reserved parameters.
    const std::vector<float> wanted = ParameterValues(source);

    EXPECT_EQ(SetChunk(target, 1, program), 1);
    EXPECT_EQ(ParameterValues(target), wanted) << "after the program chunk";

    // A bank replaces every slot and reloads the receiver's current one.
    PluginInstance third;
    ASSERT_TRUE(third);
    third.Start(44100.0, 512);
    third.Dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(SetChunk(third, 0, bank), 1);
    EXPECT_EQ(third.Dispatch(effGetProgram), 3);
    EXPECT_EQ(ParameterValues(third), wanted) << "after the bank chunk";
    EXPECT_EQ(third.Text(effGetProgramNameIndexed, 3, kProgramNameCapacity).text, "Moved");

    EXPECT_EQ(source.Dispatch(effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(source.Dispatch(effSetChunk, 0, 10, nullptr), 0);
}

TEST(Chunks, DamagedChunksAreRefusedWithoutHarm)
{
    PluginInstance source;
    ASSERT_TRUE(source);
    source.Start(44100.0, 512);
    const std::vector<char> bank = GetChunk(source, 0);
    const std::vector<char> program = GetChunk(source, 1);
    ASSERT_GT(bank.size(), 16u);
    ASSERT_GT(program.size(), 16u);

    PluginInstance target;
    ASSERT_TRUE(target);
    target.Start(44100.0, 512);
    EXPECT_EQ(SetChunk(target, 0, std::vector<char>(bank.begin(), bank.begin() + bank.size() / 2)), 0)
        << "a bank cut in half";
    EXPECT_EQ(SetChunk(target, 1, std::vector<char>(program.begin(), program.begin() + 5)), 0)
        << "a program cut after five bytes";
    SetChunk(target, 0, std::vector<char>(3, '\xff'));
    SetChunk(target, 1, std::vector<char>(1, '\0'));
    SetChunk(target, 0, std::vector<char>(4096, '\x7f'));
    std::vector<char> empty = bank;
    target.Dispatch(effSetChunk, 0, 0, empty.data());

    // Still a working instance whose values are in range.
    for (float value : ParameterValues(target)) {
        EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << value;
    }
    EXPECT_EQ(SetChunk(target, 0, bank), 1);
    EXPECT_EQ(ParameterValues(target), ParameterValues(source));
}

TEST(Chunks, HostsOfOneVendorGetAProgramWhenAskingForTheBank)
{
    std::size_t bankSize = 0;
    {
        PluginInstance plugin;
        ASSERT_TRUE(plugin);
        plugin.Start(44100.0, 512);
        plugin.Dispatch(effSetProgram, 0, 2);
        bankSize = GetChunk(plugin, 0).size();
    }
    ScopedHostVendor vendor("Native Instruments");
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 512);
    plugin.Dispatch(effSetProgram, 0, 2);
    const std::vector<char> asBank = GetChunk(plugin, 0);
    EXPECT_EQ(asBank.size(), GetChunk(plugin, 1).size());
    EXPECT_LT(asBank.size(), bankSize);
    EXPECT_EQ(plugin.Log().Count(audioMasterGetVendorString), 1);

    // On such a host a program chunk given as a bank is applied as a program.
    PluginInstance other;
    ASSERT_TRUE(other);
    other.Start(44100.0, 512);
    EXPECT_EQ(SetChunk(other, 0, asBank), 1);
    EXPECT_EQ(ParameterValues(other), ParameterValues(plugin));
}
