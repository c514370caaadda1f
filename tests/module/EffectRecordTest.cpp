// The effect record, identity answers, capability queries and pin properties.
#include "tests/module/ExpectedModule.h"
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

namespace {

std::string Hex(VstIntPtr value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

void ExpectRecordFields(const AEffect& effect)
{
    EXPECT_EQ(effect.magic, kEffectMagic);
    EXPECT_EQ(effect.numParams, kExpectedParams);
    EXPECT_EQ(effect.numPrograms, kExpectedPrograms);
    EXPECT_EQ(effect.numInputs, 0);
    EXPECT_EQ(effect.numOutputs, kExpectedOutputs);
    EXPECT_EQ(effect.uniqueID, kExpectedUniqueId) << Hex(effect.uniqueID);
    EXPECT_EQ(effect.version, kExpectedVersion);
    EXPECT_EQ(effect.flags & kRequiredFlags, kRequiredFlags) << "flags " << Hex(effect.flags);
    EXPECT_EQ(effect.flags & effFlagsCanMono, 0) << "flags " << Hex(effect.flags);
    EXPECT_EQ(effect.initialDelay, 0);
    EXPECT_EQ(effect.ioRatio, 1.0f);
    EXPECT_NE(effect.object, nullptr);
    EXPECT_NE(effect.dispatcher, nullptr);
    EXPECT_NE(effect.process, nullptr);
    EXPECT_NE(effect.processReplacing, nullptr);
    EXPECT_NE(effect.processDoubleReplacing, nullptr);
    EXPECT_NE(effect.setParameter, nullptr);
    EXPECT_NE(effect.getParameter, nullptr);
}

}  // namespace

TEST(EffectRecord, BothExportsCreateCompleteIndependentRecords)
{
    PluginInstance first("VSTPluginMain");
    PluginInstance second("main");
    ASSERT_TRUE(first) << "VSTPluginMain returned no effect record for " << ModulePath();
    ASSERT_TRUE(second) << "main returned no effect record";
    EXPECT_NE(first.Effect(), second.Effect());
    EXPECT_NE(first.Effect()->object, second.Effect()->object);

    SCOPED_TRACE("as returned by the entry point");
    ExpectRecordFields(*first.Effect());
    ExpectRecordFields(*second.Effect());

    first.Dispatch(effOpen);
    SCOPED_TRACE("after effOpen");
    ExpectRecordFields(*first.Effect());
}

TEST(EffectRecord, IdentityAnswers)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Dispatch(effOpen);

    const TextReply name = plugin.Text(effGetEffectName, 0, kEffectNameCapacity);
    EXPECT_EQ(name.result, 1);
    EXPECT_EQ(name.text, "VORN");
    const TextReply vendor = plugin.Text(effGetVendorString, 0, kVendorCapacity);
    EXPECT_EQ(vendor.result, 1);
    EXPECT_EQ(vendor.text, "Taskel Rorev");
    const TextReply product = plugin.Text(effGetProductString, 0, kProductCapacity);
    EXPECT_EQ(product.result, 1);
    EXPECT_TRUE(product.terminated) << "an empty product name must still be written";
    EXPECT_EQ(product.text, "");
    for (const TextReply* reply : {&name, &vendor, &product}) {
        EXPECT_FALSE(reply->overran) << "wrote past the host's buffer: " << reply->text;
    }
    for (VstInt32 opcode : {effGetEffectName, effGetVendorString, effGetProductString}) {
        EXPECT_EQ(plugin.Dispatch(opcode, 0, 0, nullptr), 0) << "opcode " << opcode << " with a null buffer";
    }

    EXPECT_EQ(plugin.Dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin.Dispatch(effGetVendorVersion), kExpectedVersion);
    EXPECT_EQ(plugin.Dispatch(effIdentify), VstFourCC('N', 'v', 'E', 'f'))
        << Hex(plugin.Dispatch(effIdentify));
    EXPECT_EQ(plugin.Dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(plugin.Dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin.Dispatch(effCanBeAutomated, 0), 1);
    EXPECT_EQ(plugin.Dispatch(effCanBeAutomated, kExpectedParams - 1), 1);
    EXPECT_EQ(plugin.Dispatch(effProcessVarIo), 0);
    EXPECT_EQ(plugin.Dispatch(effIdle), 0);
    EXPECT_EQ(plugin.Dispatch(effEditIdle), 0);

    // No note names: the key name is emptied and the answer is no.
    MidiKeyName key{};
    key.thisKeyNumber = 60;
    std::snprintf(key.keyName, sizeof(key.keyName), "stale");
    EXPECT_EQ(plugin.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_EQ(key.keyName[0], '\0');
    EXPECT_EQ(plugin.Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);

    // The editor rectangle exists exactly when the record says there is an editor.
    ERect* rect = nullptr;
    const VstIntPtr hasRect = plugin.Dispatch(effEditGetRect, 0, 0, &rect);
    if (plugin.Effect()->flags & effFlagsHasEditor) {
        EXPECT_EQ(hasRect, 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_GT(rect->bottom, 0);
        EXPECT_GT(rect->right, 0);
    } else {
        EXPECT_EQ(hasRect, 0);
        EXPECT_EQ(rect, nullptr);
    }
    EXPECT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
    // Opcodes the plug-in does not know, including ones far outside the table.
    for (VstInt32 opcode : {9, 16, 40, 70, 1000, -1}) {
        EXPECT_EQ(plugin.Dispatch(opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
    }
}

TEST(EffectRecord, DispatcherOnARecordWithoutInstanceDoesNothing)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    AEffect orphan = *plugin.Effect();
    orphan.object = nullptr;
    EXPECT_EQ(orphan.dispatcher(&orphan, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    char name[kEffectNameCapacity] = "unchanged";
    EXPECT_EQ(orphan.dispatcher(&orphan, effGetEffectName, 0, 0, name, 0.0f), 0);
    EXPECT_STREQ(name, "unchanged");
    // The real record still answers.
    EXPECT_EQ(plugin.Dispatch(effGetVendorVersion), kExpectedVersion);
}

TEST(EffectRecord, CanDoAnswers)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    struct Case {
        const char* text;
        VstIntPtr expected;
    };
    const Case cases[] = {
        {"receiveVstTimeInfo", 1},
        {"sendVstEvents", 1},
        {"sendVstMidiEvent", 1},
        {"receiveVstEvents", 1},
        {"receiveVstMidiEvent", 1},
        {"ReceiveVstEvents", 0},
        {"receiveVstEvents ", 0},
        {"bypass", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        char text[64];
        std::snprintf(text, sizeof(text), "%s", c.text);
        EXPECT_EQ(plugin.Dispatch(effCanDo, 0, 0, text), c.expected) << "canDo \"" << c.text << "\"";
    }
    EXPECT_EQ(plugin.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(EffectRecord, PinPropertiesDescribeOneStereoOutputPair)
{
    PluginInstance plugin;
    ASSERT_TRUE(plugin);
    plugin.Dispatch(effOpen);

    struct Expected {
        VstInt32 index;
        VstInt32 flags;
        const char* label;
    };
    for (const Expected& pin : {Expected{0, kVstPinIsActive | kVstPinIsStereo, "Output 1"},
                                Expected{1, kVstPinIsActive, "Output 2"}}) {
        VstPinProperties properties{};
        EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, pin.index, 0, &properties), 1)
            << "output " << pin.index;
        EXPECT_EQ(properties.flags, pin.flags) << "output " << pin.index;
        EXPECT_EQ(
            std::string(properties.label, std::find(properties.label, std::end(properties.label), '\0')),
            pin.label);
    }
    for (VstInt32 index : {2, -1, 1000}) {
        VstPinProperties properties{};
        EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, index, 0, &properties), 0) << "output " << index;
    }
    for (VstInt32 index : {0, 1, -1}) {
        VstPinProperties properties{};
        EXPECT_EQ(plugin.Dispatch(effGetInputProperties, index, 0, &properties), 0) << "input " << index;
    }
    EXPECT_EQ(plugin.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);

    VstSpeakerArrangement* input = nullptr;
    VstSpeakerArrangement* output = nullptr;
    EXPECT_EQ(plugin.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 1);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(input->numChannels, 0);
    EXPECT_EQ(input->type, kSpeakerArrEmpty);
    EXPECT_EQ(output->numChannels, 2);
    EXPECT_EQ(output->type, kSpeakerArrStereo);
}

TEST(EffectRecord, HostIsAskedForItsProductOncePerInstance)
{
    PluginInstance first;
    PluginInstance second;
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    for (PluginInstance* plugin : {&first, &second}) {
        plugin->Start(44100.0, 256);
        plugin->Dispatch(effOpen);  // hosts sometimes open twice
        plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
        void* chunk = nullptr;
        plugin->Dispatch(effGetChunk, 0, 0, &chunk);
        plugin->Dispatch(effGetChunk, 1, 0, &chunk);
        plugin->Text(effGetEffectName, 0, kEffectNameCapacity);
        plugin->Dispatch(effMainsChanged, 0, 0);
        plugin->Dispatch(effMainsChanged, 0, 1);
    }
    for (PluginInstance* plugin : {&first, &second}) {
        const int asked = plugin->Log().Count(audioMasterGetProductString) +
                          plugin->CreationLog().Count(audioMasterGetProductString);
        EXPECT_EQ(asked, 1) << "product string requests of one instance";
        const int versions = plugin->Log().Count(audioMasterGetVendorVersion) +
                             plugin->CreationLog().Count(audioMasterGetVendorVersion);
        EXPECT_LE(versions, 1) << "host version requests of one instance";
        EXPECT_LE(plugin->Log().Count(audioMasterGetVendorString), 1)
            << "vendor string requests of one instance";
    }
}
