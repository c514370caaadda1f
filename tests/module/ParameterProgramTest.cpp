// Parameters and programs as a host sees them: texts bounded by the host's
// buffers, invalid indices, program selection and names.
#include "tests/module/ExpectedModule.h"
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace {

std::vector<float> ParameterValues(PluginInstance& plugin)
{
    std::vector<float> values;
    for (VstInt32 i = 0; i < kExpectedParams; ++i) {
        values.push_back(plugin.Effect()->getParameter(plugin.Effect(), i));
    }
    return values;
}

}  // namespace

TEST(Parameters, TextsAreTerminatedWithinHostBuffers)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    ASSERT_EQ(plugin.Effect()->numParams, kExpectedParams);
    // Before and after effOpen: hosts list parameters at either time.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            plugin.Start(44100.0, 512);
        }
        for (VstInt32 i = 0; i < kExpectedParams; ++i) {
            SCOPED_TRACE("parameter " + std::to_string(i) + (pass ? " after effOpen" : " before effOpen"));
            const TextReply name = plugin.Text(effGetParamName, i, kParamTextCapacity);
            EXPECT_TRUE(name.terminated);
            EXPECT_FALSE(name.overran);
            EXPECT_FALSE(name.text.empty());
            const TextReply display = plugin.Text(effGetParamDisplay, i, kParamTextCapacity);
            EXPECT_TRUE(display.terminated);
            EXPECT_FALSE(display.overran);
            const TextReply label = plugin.Text(effGetParamLabel, i, kParamTextCapacity);
            EXPECT_TRUE(label.terminated);
            EXPECT_FALSE(label.overran);
            const float value = plugin.Effect()->getParameter(plugin.Effect(), i);
            EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << "normalized value " << value;
        }
    }
}

TEST(Parameters, EndsOfTheRangeRoundTripAndDisplayFollows)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 512);
    AEffect* effect = plugin.Effect();
    for (VstInt32 i = 0; i < kExpectedParams; ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i));
        const float original = effect->getParameter(effect, i);
        effect->setParameter(effect, i, 0.0f);
        EXPECT_NEAR(effect->getParameter(effect, i), 0.0f, 1e-6f);
        const std::string low = plugin.Text(effGetParamDisplay, i, kParamTextCapacity).text;
        effect->setParameter(effect, i, 1.0f);
        EXPECT_NEAR(effect->getParameter(effect, i), 1.0f, 1e-6f);
        const std::string high = plugin.Text(effGetParamDisplay, i, kParamTextCapacity).text;
        EXPECT_NE(low, high) << "the display text ignores the value";
        // Out-of-range values from sloppy hosts end up inside the range.
        for (float wild : {-3.0f, 7.5f}) {
            effect->setParameter(effect, i, wild);
            const float value = effect->getParameter(effect, i);
            EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << "after setParameter(" << wild << "): " << value;
        }
        effect->setParameter(effect, i, original);
    }
}

TEST(Parameters, InvalidIndicesChangeNothing)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 512);
    AEffect* effect = plugin.Effect();
    const std::vector<float> before = ParameterValues(plugin);

    for (VstInt32 index : {-1, kExpectedParams, kExpectedParams + 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE("index " + std::to_string(index));
        for (VstInt32 opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel}) {
            const TextReply reply = plugin.Text(opcode, index, kParamTextCapacity);
            EXPECT_TRUE(reply.untouched) << "opcode " << opcode << " wrote \"" << reply.text << "\"";
        }
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
        effect->setParameter(effect, index, 0.5f);
        char text[] = "0.5";
        EXPECT_EQ(plugin.Dispatch(effString2Parameter, index, 0, text), 0);
        // Vendor-specific value-to-text query: the fixed answer, nothing written.
        const TextReply vendor = plugin.Text(effVendorSpecific, 7, kParamTextCapacity, index);
        EXPECT_EQ(vendor.result, 0xBEEF);
        EXPECT_TRUE(vendor.untouched);
        EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 8, index), 0);
    }
    EXPECT_EQ(ParameterValues(plugin), before);

    // A null text asks whether text entry is supported at all.
    EXPECT_EQ(plugin.Dispatch(effString2Parameter, 0, 0, nullptr), 1);
    EXPECT_EQ(plugin.Dispatch(effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
}

TEST(Programs, SixtyFourNamesBoundedToTheProgramNameBuffer)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Start(44100.0, 512);
    ASSERT_EQ(plugin.Effect()->numPrograms, kExpectedPrograms);

    std::vector<std::string> names;
    for (VstInt32 i = 0; i < kExpectedPrograms; ++i) {
        const TextReply name = plugin.Text(effGetProgramNameIndexed, i, kProgramNameCapacity);
        EXPECT_EQ(name.result, 1) << "program " << i;
        EXPECT_TRUE(name.terminated) << "program " << i;
        EXPECT_FALSE(name.overran) << "program " << i;
        EXPECT_FALSE(name.text.empty()) << "program " << i;
        names.push_back(name.text);
    }
    for (VstInt32 index : {-1, kExpectedPrograms, INT_MAX}) {
        const TextReply name = plugin.Text(effGetProgramNameIndexed, index, kProgramNameCapacity);
        EXPECT_EQ(name.result, 0) << "program " << index;
        EXPECT_TRUE(name.terminated && name.text.empty())
            << "program " << index << ": \"" << name.text << "\"";
        EXPECT_FALSE(name.overran);
    }
    EXPECT_EQ(plugin.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);

    EXPECT_EQ(plugin.Dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin.Text(effGetProgramName, 0, kProgramNameCapacity).text, names[0]);
    plugin.Dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(plugin.Dispatch(effGetProgram), 5);
    EXPECT_EQ(plugin.Text(effGetProgramName, 0, kProgramNameCapacity).text, names[5]);
    for (VstIntPtr bad : {VstIntPtr{-1}, VstIntPtr{kExpectedPrograms}, VstIntPtr{1} << 30}) {
        plugin.Dispatch(effSetProgram, 0, bad);
        EXPECT_EQ(plugin.Dispatch(effGetProgram), 5) << "after effSetProgram(" << bad << ")";
    }

    // Names longer than the host's buffer come back cut and terminated.
    char longName[] = "A program name much longer than twenty-four characters";
    plugin.Dispatch(effSetProgramName, 0, 0, longName);
    const TextReply renamed = plugin.Text(effGetProgramName, 0, kProgramNameCapacity);
    EXPECT_TRUE(renamed.terminated);
    EXPECT_FALSE(renamed.overran);
    EXPECT_FALSE(renamed.text.empty());
    EXPECT_EQ(std::string(longName).rfind(renamed.text, 0), 0u) << "\"" << renamed.text << "\"";
    const TextReply indexed = plugin.Text(effGetProgramNameIndexed, 5, kProgramNameCapacity);
    EXPECT_EQ(indexed.text, renamed.text);
    EXPECT_FALSE(indexed.overran);
    EXPECT_EQ(plugin.Text(effGetProgramNameIndexed, 4, kProgramNameCapacity).text, names[4]);
    EXPECT_EQ(plugin.Dispatch(effGetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin.Dispatch(effSetProgramName, 0, 0, nullptr), 0);
}
