// Loads of outside data through the real product: a bank or program that
// cannot be used changes nothing, the current program survives a bank round
// trip, and hosts that mix up banks and programs are held to well-formed data.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "SynthTestSupport.h"
#include "core/ProgramFiles.h"
#include "core/VstAbi.h"
#include "engine/dsp/ParameterIds.h"
#include "tests/support/PluginSnapshot.h"

namespace {

// Answers the vendor-string query with a name the test chooses.
struct VendorHost {
    static inline std::string vendor;
    static VstIntPtr VSTCALLBACK Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
    {
        if (opcode == audioMasterGetVendorString && ptr != nullptr) {
            std::strcpy(static_cast<char*>(ptr), vendor.c_str());
            return 1;
        }
        return 0;
    }
};

using Programs = PluginSnapshot;

VstIntPtr Dispatch(VORN& plugin, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr)
{
    AEffect* effect = plugin.Effect();
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
}

std::vector<std::uint8_t> GetChunk(VORN& plugin, bool bank)
{
    void* data = nullptr;
    const VstIntPtr size = Dispatch(plugin, effGetChunk, bank ? 0 : 1, 0, &data);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return size > 0 ? std::vector<std::uint8_t>(bytes, bytes + size) : std::vector<std::uint8_t>{};
}

VstIntPtr SetChunk(VORN& plugin, bool bank, std::vector<std::uint8_t> bytes)
{
    bytes.reserve(1);  // a valid pointer also for an empty chunk
    return Dispatch(plugin, effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(bytes.size()), bytes.data());
}

// Lengths worth cutting a buffer of size bytes at: the start densely, then a
// stride, and the last few hundred bytes densely.
// A bank without its 8-byte trailer is a complete bank as earlier versions
// wrote it, so that length is left out.
std::vector<int> CutLengths(int size, int dense = 1200, int stride = 97)
{
    std::vector<int> cuts;
    for (int cut = 0; cut < size; cut += cut < dense || cut > size - 300 ? 1 : stride) {
        if (cut != size - 8) {
            cuts.push_back(cut);
        }
    }
    return cuts;
}

class LoadsAllOrNothing : public ConfigurationSandbox {
protected:
    void SetUp() override
    {
        ConfigurationSandbox::SetUp();
        VendorHost::vendor = "Test Vendor";
    }

    // A running instance on program 5, with live edits that are not yet
    // stored in the slot.
    static std::unique_ptr<VORN> Edited()
    {
        auto plugin = std::make_unique<VORN>(&VendorHost::Callback);
        EXPECT_TRUE(plugin->LoadPreset(5));
        plugin->Parameters()[kMasterVolume].SetClamped(0.3);
        plugin->Parameters()[kVcfCutoff].SetClamped(0.42);
        plugin->OnParameterChanged(kMasterVolume);
        plugin->OnParameterChanged(kVcfCutoff);
        return plugin;
    }
};

TEST_F(LoadsAllOrNothing, BankChunksAndFilesLoadWholeOrNotAtAll)
{
    auto source = Edited();
    const std::vector<std::uint8_t> bank = GetChunk(*source, true);
    ASSERT_FALSE(bank.empty());
    StateChunk file;
    BuildBankFile(*source, file);

    VORN target(&VendorHost::Callback);
    ASSERT_TRUE(target.LoadPreset(2));
    const Programs before(target);
    for (int cut : CutLengths(static_cast<int>(bank.size()))) {
        std::vector<std::uint8_t> partial(bank.begin(), bank.begin() + cut);
        ASSERT_EQ(SetChunk(target, true, partial), 0) << "bank chunk cut at " << cut;
        ASSERT_TRUE(Programs(target) == before) << "bank chunk cut at " << cut;
    }
    for (int cut : CutLengths(file.Size())) {
        StateChunk partial;
        partial.Put(file.Data(), cut);
        ASSERT_FALSE(ApplyBankFile(target, partial)) << "bank file cut at " << cut;
        ASSERT_TRUE(Programs(target) == before) << "bank file cut at " << cut;
    }

    // A value that is not finite in any program refuses the bank.
    std::vector<std::uint8_t> poisoned = bank;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(poisoned.data() + poisoned.size() / 2 / 8 * 8, &nan, 8);
    EXPECT_EQ(SetChunk(target, true, poisoned), 0);
    EXPECT_TRUE(Programs(target) == before);

    // Whole, the bank comes back on program 5 with the live edits.
    ASSERT_EQ(SetChunk(target, true, bank), 1);
    EXPECT_EQ(target.CurrentPresetIndex(), 5);
    EXPECT_EQ(target.Parameters()[kMasterVolume].Value(), 0.3);
    EXPECT_EQ(target.Parameters()[kVcfCutoff].Value(), 0.42);
    VORN fromFile(&VendorHost::Callback);
    ASSERT_TRUE(ApplyBankFile(fromFile, file));
    EXPECT_EQ(fromFile.CurrentPresetIndex(), 5);
    EXPECT_EQ(fromFile.Parameters()[kVcfCutoff].Value(), 0.42);
    EXPECT_EQ(Programs(fromFile).names, Programs(target).names);
    EXPECT_EQ(Programs(fromFile).values, Programs(target).values);
}

TEST_F(LoadsAllOrNothing, ProgramChunksAndFilesLeaveTheSlotAloneWhenCut)
{
    auto source = Edited();
    source->ModifyCurrentPreset("Fifth");
    const std::vector<std::uint8_t> program = GetChunk(*source, false);
    StateChunk file;
    BuildProgramFile(*source, file);
    const int tagged = 8 + 18 + 5;  // marker, tag, index, name length, "Fifth"

    VORN target(&VendorHost::Callback);
    const Programs before(target);
    // A state without the name after it is a complete program chunk.
    const int withoutName = static_cast<int>(program.size()) - 4 - 5;
    for (int cut = 0; cut < static_cast<int>(program.size()); ++cut) {
        if (cut == withoutName) {
            continue;
        }
        VORN fresh(&VendorHost::Callback);
        std::vector<std::uint8_t> partial(program.begin(), program.begin() + cut);
        ASSERT_EQ(SetChunk(fresh, false, partial), 0) << "program chunk cut at " << cut;
        const Programs after(fresh);
        ASSERT_TRUE(after.SlotsEqual(before)) << "program chunk cut at " << cut;
        if (cut < tagged + 8) {
            ASSERT_EQ(after.values, before.values) << "header cut at " << cut << ": nothing applied";
        }
    }
    for (int cut = 0; cut < file.Size(); cut += 3) {
        VORN fresh(&VendorHost::Callback);
        StateChunk partial;
        partial.Put(file.Data(), cut);
        ASSERT_FALSE(ApplyProgramFile(fresh, partial)) << "program file cut at " << cut;
        ASSERT_TRUE(Programs(fresh).SlotsEqual(before)) << "program file cut at " << cut;
    }

    // Junk is refused with nothing changed; the whole chunk loads.
    std::vector<std::uint8_t> junk(1200);
    for (std::size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    std::memcpy(junk.data(), "tffp", 4);
    EXPECT_EQ(SetChunk(target, false, junk), 0);
    EXPECT_TRUE(Programs(target) == before);
    ASSERT_EQ(SetChunk(target, false, program), 1);
    EXPECT_STREQ(target.PresetName(target.CurrentPresetIndex()), "Fifth");
    EXPECT_EQ(target.Parameters()[kVcfCutoff].Value(), 0.42);
}

TEST_F(LoadsAllOrNothing, SubnormalValuesBecomeZero)
{
    auto source = Edited();
    std::vector<std::uint8_t> program = GetChunk(*source, false);
    // The bank A level sits in the 71 values after marker, tag, index and
    // the name.
    const std::size_t values = 8 + 18 + std::strlen(source->PresetName(5));
    const double tiny = 1e-310;
    std::memcpy(program.data() + values + 8 * kBankALevel, &tiny, 8);
    VORN target(&VendorHost::Callback);
    ASSERT_EQ(SetChunk(target, false, program), 1);
    EXPECT_EQ(target.Parameters()[kBankALevel].Value(), 0.0);
}

TEST_F(LoadsAllOrNothing, QuirkHostsGetWellFormedProgramsOrNothing)
{
    VendorHost::vendor = "Native Instruments";
    auto source = Edited();
    const std::vector<std::uint8_t> program = GetChunk(*source, true);  // a program for these hosts
    VendorHost::vendor = "Test Vendor";
    auto bankSource = Edited();
    const std::vector<std::uint8_t> bank = GetChunk(*bankSource, true);
    VendorHost::vendor = "Native Instruments";

    VORN target(&VendorHost::Callback);
    const Programs before(target);
    for (int cut : CutLengths(static_cast<int>(bank.size()), 300, 499)) {
        std::vector<std::uint8_t> partial(bank.begin(), bank.begin() + cut);
        ASSERT_EQ(SetChunk(target, true, partial), 0) << "bank cut at " << cut;
        ASSERT_TRUE(Programs(target) == before) << "bank cut at " << cut;
    }
    std::vector<std::uint8_t> trailing = program;
    trailing.push_back(0);
    EXPECT_EQ(SetChunk(target, true, trailing), 0) << "not exactly one program, not a bank";
    EXPECT_TRUE(Programs(target) == before);

    EXPECT_EQ(SetChunk(target, true, program), 1);
    EXPECT_EQ(target.Parameters()[kVcfCutoff].Value(), 0.42);
    EXPECT_EQ(SetChunk(target, true, bank), 1) << "a whole bank is still taken";
    EXPECT_EQ(target.CurrentPresetIndex(), 5);
}

TEST_F(LoadsAllOrNothing, LearnCapturesOnlySingleParameterChanges)
{
    auto plugin = MakeRunningVorn();
    const std::vector<std::uint8_t> bank = GetChunk(*plugin, true);
    const std::vector<std::uint8_t> program = GetChunk(*plugin, false);
    plugin->SetMidiLearn(true, false);
    SendMidi(*plugin, 0xC0, 7, 0);  // program change
    RenderFrames(*plugin);
    ASSERT_EQ(SetChunk(*plugin, true, bank), 1);
    ASSERT_EQ(SetChunk(*plugin, false, program), 1);
    plugin->PressEnsembleButton(1, false);
    Dispatch(*plugin, effMainsChanged, 0, 1, nullptr);
    EXPECT_TRUE(plugin->MidiLearnActive()) << "nothing was learned";
    EXPECT_EQ(plugin->LearnedParameter(), -1);

    // A single change still is.
    AEffect* effect = plugin->Effect();
    effect->setParameter(effect, kVcfCutoff, 0.5f);
    EXPECT_EQ(plugin->LearnedParameter(), kVcfCutoff);
}

}  // namespace
