// Program (fxp) and bank (fxb) files on the test plug-in: layouts, round
// trips through real files, the parameter-list forms, damaged and foreign
// files, and applying a bank image from memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestPlugin.h"
#include "core/ProgramFiles.h"
#include "tests/support/PluginSnapshot.h"

namespace {

namespace fs = std::filesystem;

std::uint32_t BigEndianAt(const StateChunk& data, int position)
{
    std::uint32_t value = 0;
    EXPECT_TRUE(GetBigEndian32(data, position, value)) << "at " << position;
    return value;
}

std::string TextAt(const StateChunk& data, int position, int count)
{
    return std::string(reinterpret_cast<const char*>(data.Data()) + position,
                       static_cast<std::size_t>(count));
}

// A parameter-list program record ("FxCk").
void PutProgramRecord(StateChunk& data, const char* name, const std::vector<float>& values,
                      std::uint32_t version = 1, std::uint32_t numParams = 4,
                      std::uint32_t fxMagic = FileMagic("FxCk"))
{
    PutBigEndian32(data, FileMagic("CcnK"));
    PutBigEndian32(data, static_cast<std::uint32_t>(48 + 4 * values.size()));
    PutBigEndian32(data, fxMagic);
    PutBigEndian32(data, version);
    PutBigEndian32(data, FileMagic("test"));
    PutBigEndian32(data, 1);
    PutBigEndian32(data, numParams);
    char field[kProgramNameFieldSize] = {};
    std::memcpy(field, name, std::min<std::size_t>(std::strlen(name), sizeof(field)));
    data.Put(field, sizeof(field));
    for (float value : values) {
        PutBigEndian32(data, std::bit_cast<std::uint32_t>(value));
    }
}

// A parameter-list bank header ("FxBk"), records to follow.
void PutBankListHeader(StateChunk& data, std::uint32_t numPrograms, std::uint32_t currentProgram)
{
    PutBigEndian32(data, FileMagic("CcnK"));
    PutBigEndian32(data, 0);
    PutBigEndian32(data, FileMagic("FxBk"));
    PutBigEndian32(data, 2);
    PutBigEndian32(data, FileMagic("test"));
    PutBigEndian32(data, 1);
    PutBigEndian32(data, numPrograms);
    PutBigEndian32(data, currentProgram);
    const std::vector<std::uint8_t> future(124, 0);
    data.Put(future.data(), static_cast<int>(future.size()));
}

class ProgramFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeHost::current = &host;
        std::random_device random;
        m_folder = fs::temp_directory_path() / ("vorn-files-" + std::to_string(random()));
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        FakeHost::current = nullptr;
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // A UTF-8 path in the test's folder; the file name has non-ASCII
    // characters so that the Windows build must open it through UTF-16.
    std::string PathFor(const char* stem) const
    {
        const fs::path path = m_folder / (std::u8string(u8"Pr\u00f6gr\u00e4mm \u266b ") +
                                          std::u8string(reinterpret_cast<const char8_t*>(stem)));
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
    static StateChunk ReadBack(const std::string& path)
    {
        StateChunk data;
        EXPECT_TRUE(ReadWholeFile(path.c_str(), data)) << path;
        return data;
    }
    static void WriteBytes(const std::string& path, const StateChunk& data)
    {
        const std::u8string text(path.begin(), path.end());
        std::ofstream out(fs::path(text), std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.Data()), data.Size());
    }

    // Four filled slots with distinct values and names; slot 2 current.
    static void FillDistinct(TestPlugin& plugin)
    {
        for (int i = 0; i < plugin.NumPresets(); ++i) {
            ASSERT_TRUE(plugin.LoadPreset(i));
            plugin.Parameters()[0].SetClamped(0.1 * (i + 1));
            plugin.Parameters()[1].SetClamped(i - 3);
            plugin.Parameters()[2].SetClamped(i % 3);
            plugin.Parameters()[3].SetClamped(1.5 * i);
            const std::string name = "Slot " + std::to_string(i);
            plugin.ModifyCurrentPreset(name.c_str());
        }
        ASSERT_TRUE(plugin.LoadPreset(2));
    }

    FakeHost host;
    fs::path m_folder;
};

TEST_F(ProgramFilesTest, ProgramFileLayoutAndRoundTripThroughAFile)
{
    TestPlugin source;
    FillDistinct(source);
    source.Parameters()[3].SetClamped(9.25);  // live, not yet stored in the slot

    StateChunk built;
    BuildProgramFile(source, built);
    // 60-byte header, "tffp" and version, four doubles.
    ASSERT_EQ(built.Size(), 60 + 8 + 32);
    EXPECT_EQ(TextAt(built, 0, 4), "CcnK");
    EXPECT_EQ(BigEndianAt(built, 4), 100u) << "byteSize is the whole file";
    EXPECT_EQ(TextAt(built, 8, 4), "FPCh");
    EXPECT_EQ(BigEndianAt(built, 12), 1u);
    EXPECT_EQ(TextAt(built, 16, 4), "test");
    EXPECT_EQ(BigEndianAt(built, 20), 10203u);
    EXPECT_EQ(BigEndianAt(built, 24), 4u);
    EXPECT_EQ(TextAt(built, 28, 28), std::string("Slot 2") + std::string(22, '\0'));
    EXPECT_EQ(BigEndianAt(built, 56), 40u);
    EXPECT_EQ(TextAt(built, 60, 4), "tffp");
    double stored = 0.0;
    std::memcpy(&stored, built.Data() + 68 + 3 * 8, 8);
    EXPECT_EQ(stored, 9.25) << "the live state is saved";
    std::memcpy(&stored, source.Presets()[2].state.Data() + 3 * 8, 8);
    EXPECT_EQ(stored, 3.0) << "saving leaves the slot as it was";

    const std::string path = PathFor("a.fxp");
    ASSERT_TRUE(SaveProgramFile(source, path.c_str()));
    EXPECT_EQ(ReadBack(path), built);

    TestPlugin target;
    target.FillEmptyPresets(4);
    target.changed.clear();
    ASSERT_TRUE(LoadProgramFile(target, path.c_str()));
    EXPECT_EQ(target.CurrentPresetIndex(), 0);
    EXPECT_STREQ(target.PresetName(0), "Slot 2");
    EXPECT_EQ(target.Parameters()[3].Value(), 9.25);
    StateChunk expected;
    source.WriteState(expected);
    EXPECT_EQ(target.Presets()[0].state, expected);
    EXPECT_GE(target.changed.size(), 4u) << "the slot is reloaded, with OnParameterChanged";
    EXPECT_EQ(host.Count(audioMasterUpdateDisplay), 1);
}

TEST_F(ProgramFilesTest, BankFileLayoutAndRoundTripThroughAFile)
{
    TestPlugin source;
    FillDistinct(source);
    source.Presets()[3].initialised = false;

    StateChunk built;
    BuildBankFile(source, built);
    // Three records of 4 + 6 name bytes, a flag and 32 state bytes; one without state.
    const int chunkSize = 8 + 3 * 43 + 11 + 8;
    ASSERT_EQ(built.Size(), 160 + chunkSize);
    EXPECT_EQ(TextAt(built, 0, 4), "CcnK");
    EXPECT_EQ(BigEndianAt(built, 4), static_cast<std::uint32_t>(built.Size()));
    EXPECT_EQ(TextAt(built, 8, 4), "FBCh");
    EXPECT_EQ(BigEndianAt(built, 12), 2u);
    EXPECT_EQ(TextAt(built, 16, 4), "test");
    EXPECT_EQ(BigEndianAt(built, 20), 10203u);
    EXPECT_EQ(BigEndianAt(built, 24), 4u);
    EXPECT_EQ(BigEndianAt(built, 28), 2u) << "currentProgram";
    EXPECT_EQ(TextAt(built, 32, 124), std::string(124, '\0'));
    EXPECT_EQ(BigEndianAt(built, 156), static_cast<std::uint32_t>(chunkSize));
    EXPECT_EQ(TextAt(built, 160, 4), "tffp");

    const std::string path = PathFor("b.fxb");
    ASSERT_TRUE(SaveBankFile(source, path.c_str()));
    EXPECT_EQ(ReadBack(path), built);

    TestPlugin target;
    target.FillEmptyPresets(4);
    ASSERT_TRUE(LoadBankFile(target, path.c_str()));
    for (int i = 0; i < 4; ++i) {
        const Preset& a = source.Presets()[static_cast<std::size_t>(i)];
        const Preset& b = target.Presets()[static_cast<std::size_t>(i)];
        EXPECT_STREQ(a.name, b.name);
        EXPECT_EQ(a.initialised, b.initialised);
        if (a.initialised) {
            EXPECT_EQ(a.state, b.state) << "slot " << i;
        }
    }
    EXPECT_EQ(target.CurrentPresetIndex(), 2) << "the program the bank was saved on";
    EXPECT_EQ(target.Parameters()[1].Value(), -1.0) << "with its values";
    EXPECT_EQ(host.Count(audioMasterUpdateDisplay), 1);

    // The bank version is not checked, nor is fxVersion.
    StateChunk variant = built;
    variant.Data()[15] = 1;
    variant.Data()[23] = 0x10;
    TestPlugin other;
    EXPECT_TRUE(ApplyBankFile(other, variant));
    EXPECT_STREQ(other.PresetName(1), "Slot 1");
}

TEST_F(ProgramFilesTest, ForeignFilesAndMissingFilesChangeNothing)
{
    TestPlugin source;
    FillDistinct(source);
    StateChunk program;
    BuildProgramFile(source, program);
    StateChunk bank;
    BuildBankFile(source, bank);

    TestPlugin target;
    FillDistinct(target);
    target.Parameters()[0].SetClamped(0.77);
    const PluginSnapshot before(target);
    const std::string missing = PathFor("missing.fxp");

    EXPECT_FALSE(LoadProgramFile(target, ""));
    EXPECT_FALSE(LoadProgramFile(target, nullptr));
    EXPECT_FALSE(LoadBankFile(target, missing.c_str()));
    EXPECT_FALSE(SaveProgramFile(target, ""));
    EXPECT_FALSE(SaveBankFile(target, (PathFor("no folder") + "/x.fxb").c_str()));

    struct Damage {
        const char* what;
        int offset;
        std::uint8_t byte;
    };
    for (const Damage& damage : {Damage{"chunkMagic", 0, 'X'}, Damage{"fxID", 19, 'X'},
                                 Damage{"fxMagic", 8, 'X'}, Damage{"program version 2", 15, 2}}) {
        StateChunk bad = program;
        bad.Data()[damage.offset] = damage.byte;
        EXPECT_FALSE(ApplyProgramFile(target, bad)) << damage.what;
    }
    for (const Damage& damage :
         {Damage{"chunkMagic", 3, 'k'}, Damage{"fxID", 16, 'T'}, Damage{"fxMagic", 11, 'K'}}) {
        StateChunk bad = bank;
        bad.Data()[damage.offset] = damage.byte;
        EXPECT_FALSE(ApplyBankFile(target, bad)) << damage.what;
    }
    // A program file handed to the bank loader and the other way round.
    EXPECT_FALSE(ApplyBankFile(target, program));
    EXPECT_FALSE(ApplyProgramFile(target, bank));
    // Headers cut before the fields that are checked.
    for (int cut : {0, 3, 11, 15, 19}) {
        StateChunk shortProgram;
        shortProgram.Put(program.Data(), cut);
        EXPECT_FALSE(ApplyProgramFile(target, shortProgram)) << "cut at " << cut;
        StateChunk shortBank;
        shortBank.Put(bank.Data(), cut);
        EXPECT_FALSE(ApplyBankFile(target, shortBank)) << "cut at " << cut;
    }
    EXPECT_TRUE(PluginSnapshot(target) == before);
    EXPECT_EQ(host.Count(audioMasterUpdateDisplay), 0);
}

TEST_F(ProgramFilesTest, ProgramChunkVariants)
{
    TestPlugin source;
    FillDistinct(source);
    StateChunk program;
    BuildProgramFile(source, program);

    // Without the "tffp" marker the state starts at offset 60.
    StateChunk unmarked;
    unmarked.Put(program.Data(), 60);
    unmarked.Put(program.Data() + 68, program.Size() - 68);
    TestPlugin target;
    target.FillEmptyPresets(4);
    ASSERT_TRUE(ApplyProgramFile(target, unmarked));
    EXPECT_EQ(target.Parameters()[1].Value(), -1.0);
    EXPECT_EQ(target.Parameters()[3].Value(), 3.0);

    // An empty name field keeps the slot's name.
    StateChunk unnamed = program;
    std::memset(unnamed.Data() + 28, 0, 28);
    ASSERT_TRUE(ApplyProgramFile(target, unnamed));
    EXPECT_STREQ(target.PresetName(0), "Slot 2");

    // A name field of 28 characters without a zero byte is taken whole.
    StateChunk fullName = program;
    std::memset(fullName.Data() + 28, 'n', 28);
    ASSERT_TRUE(ApplyProgramFile(target, fullName));
    EXPECT_EQ(std::string(target.PresetName(0)), std::string(28, 'n'));

    // A chunk cut inside a state the framework reads (no header to tell a
    // shorter state from a cut one) is refused with nothing changed.
    StateChunk cut;
    cut.Put(program.Data(), 68 + 20);
    target.Parameters()[2].SetClamped(1);
    const PluginSnapshot unchanged(target);
    ASSERT_FALSE(ApplyProgramFile(target, cut));
    EXPECT_TRUE(PluginSnapshot(target) == unchanged);

    // The header alone, or the header and the marker: nothing to load.
    for (int size : {60, 64, 68}) {
        StateChunk headerOnly;
        headerOnly.Put(program.Data(), size);
        const IPluginBase::Snapshot before = target.TakeSnapshot();
        EXPECT_FALSE(ApplyProgramFile(target, headerOnly)) << size;
        EXPECT_EQ(target.TakeSnapshot().values, before.values) << size;
        EXPECT_EQ(target.Presets()[0].state, before.presets[0].state) << size;
    }
}

TEST_F(ProgramFilesTest, LongPresetNamesAreCutToTheNameField)
{
    TestPlugin source;
    source.FillEmptyPresets(4);
    const std::string longName(255, 'x');
    source.ModifyCurrentPreset(longName.c_str());
    ASSERT_EQ(std::string(source.PresetName(0)), longName);

    StateChunk program;
    BuildProgramFile(source, program);
    EXPECT_EQ(TextAt(program, 28, 28), std::string(27, 'x') + '\0');
    EXPECT_EQ(BigEndianAt(program, 56), 40u) << "chunkSize right after the name field";

    // A bank keeps all 255 characters; a longer one in a chunk is cut to 255.
    StateChunk bank;
    BuildBankFile(source, bank);
    TestPlugin target;
    ASSERT_TRUE(ApplyBankFile(target, bank));
    EXPECT_EQ(std::string(target.PresetName(0)), longName);

    const std::string tooLong(300, 'y');
    StateChunk records;
    BeginVersionedChunk(records);
    for (int i = 0; i < 4; ++i) {
        records.PutString(tooLong.c_str());
        records.PutValue(std::uint8_t{1});
        source.WriteState(records);
    }
    ASSERT_EQ(target.UnserializePresets(records, 8), records.Size());
    EXPECT_EQ(std::string(target.PresetName(0)), std::string(255, 'y'));
}

TEST_F(ProgramFilesTest, NameLengthsOutsideTheDataEndTheBank)
{
    TestPlugin source;
    FillDistinct(source);
    std::strcpy(source.Presets()[0].name, "Source");
    StateChunk bank;
    BuildBankFile(source, bank);
    // The second record starts after the marker and the first record (4 + 6
    // name bytes, a flag, 32 state bytes).
    const int second = 168 + 43;
    for (std::int32_t length :
         {-1, std::numeric_limits<std::int32_t>::min(), 100000, std::numeric_limits<std::int32_t>::max()}) {
        StateChunk damaged = bank;
        std::memcpy(damaged.Data() + second, &length, 4);
        TestPlugin target;
        FillDistinct(target);
        const StateChunk kept = target.Presets()[1].state;
        target.Parameters()[0].SetClamped(0.5);
        EXPECT_FALSE(ApplyBankFile(target, damaged)) << "a damaged bank is refused whole";
        EXPECT_STREQ(target.PresetName(0), "Slot 0") << length;
        EXPECT_STREQ(target.PresetName(1), "Slot 1") << length;
        EXPECT_EQ(target.Presets()[1].state, kept) << length;
        EXPECT_DOUBLE_EQ(target.Parameters()[0].Value(), 0.5) << "the live value stays";
    }
}

TEST_F(ProgramFilesTest, ParameterListProgramFiles)
{
    TestPlugin target;
    FillDistinct(target);  // slot 2 current: 0.3, -1, 2, 3
    target.changed.clear();

    StateChunk full;
    PutProgramRecord(full, "Listed", {0.25f, 1.0f, 0.0f, 0.5f});
    const std::string path = PathFor("list.fxp");
    WriteBytes(path, full);
    ASSERT_TRUE(LoadProgramFile(target, path.c_str()));
    EXPECT_STREQ(target.PresetName(2), "Listed");
    EXPECT_DOUBLE_EQ(target.Parameters()[0].Value(), 0.25);
    EXPECT_EQ(target.Parameters()[1].Value(), 12.0);
    EXPECT_EQ(target.Parameters()[2].Value(), 0.0);
    EXPECT_DOUBLE_EQ(target.Parameters()[3].Value(), target.Parameters()[3].FromNormalized(0.5f));
    EXPECT_EQ(target.changed.size(), 4u) << "OnParameterChanged once each, from reloading the slot";

    // A NaN anywhere refuses the file with nothing changed.
    FillDistinct(target);
    StateChunk withNaN;
    PutProgramRecord(withNaN, "", {0.5f, 0.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f});
    const IPluginBase::Snapshot before = target.TakeSnapshot();
    EXPECT_FALSE(ApplyProgramFile(target, withNaN));
    EXPECT_EQ(target.TakeSnapshot().values, before.values);

    // A file cut after two values: those two apply to the live parameters,
    // the rest keep theirs, the load fails and the slot keeps its state.
    StateChunk shortList;
    PutProgramRecord(shortList, "", {0.5f, 0.0f, 1.0f, 1.0f});
    shortList.Resize(56 + 8);
    const StateChunk slot = target.Presets()[2].state;
    EXPECT_FALSE(ApplyProgramFile(target, shortList));
    EXPECT_STREQ(target.PresetName(2), "Slot 2");
    EXPECT_DOUBLE_EQ(target.Parameters()[0].Value(), 0.5);
    EXPECT_EQ(target.Parameters()[1].Value(), -12.0);
    EXPECT_EQ(target.Parameters()[2].Value(), 2.0);
    EXPECT_EQ(target.Parameters()[3].Value(), 3.0);
    EXPECT_EQ(target.Presets()[2].state, slot);

    // numParams is not checked by the program reader; version is.
    StateChunk otherCount;
    PutProgramRecord(otherCount, "N", {0.0f, 0.0f, 0.0f, 0.0f}, 1, 99);
    EXPECT_TRUE(ApplyProgramFile(target, otherCount));
    StateChunk version2;
    PutProgramRecord(version2, "N", {0.0f, 0.0f, 0.0f, 0.0f}, 2);
    EXPECT_FALSE(ApplyProgramFile(target, version2));
}

TEST_F(ProgramFilesTest, ParameterListBanks)
{
    const std::vector<float> values[] = {{0.0f, 0.0f, 0.0f, 0.0f}, {0.1f, 0.25f, 0.5f, 0.1f},
                                         {0.2f, 0.5f, 1.0f, 0.2f}, {0.3f, 0.75f, 0.5f, 0.3f},
                                         {0.9f, 1.0f, 1.0f, 0.9f}, {0.8f, 1.0f, 1.0f, 0.8f}};

    // Six records for four slots: the first four are read, the others
    // ignored (they must not end up in the current slot).
    StateChunk bank;
    PutBankListHeader(bank, 6, 1);
    for (int k = 0; k < 6; ++k) {
        PutProgramRecord(bank, ("Listed " + std::to_string(k)).c_str(), values[k]);
    }
    TestPlugin target;
    FillDistinct(target);
    ASSERT_TRUE(ApplyBankFile(target, bank));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(target.PresetName(k), "Listed " + std::to_string(k));
        ASSERT_TRUE(target.LoadPreset(k));
        EXPECT_FLOAT_EQ(static_cast<float>(target.Parameters()[0].Value()), values[k][0]) << "slot " << k;
    }
    ASSERT_TRUE(ApplyBankFile(target, bank));
    EXPECT_EQ(target.CurrentPresetIndex(), 1) << "currentProgram of the header";
    EXPECT_FLOAT_EQ(static_cast<float>(target.Parameters()[0].Value()), 0.1f);

    // A bad third record: false, nothing changed.
    StateChunk damaged;
    PutBankListHeader(damaged, 4, 0);
    PutProgramRecord(damaged, "First", values[1]);
    PutProgramRecord(damaged, "Second", values[2]);
    PutProgramRecord(damaged, "Third", values[3], 1, 5);
    PutProgramRecord(damaged, "Fourth", values[4]);
    TestPlugin other;
    FillDistinct(other);
    other.changed.clear();
    const PluginSnapshot untouched(other);
    EXPECT_FALSE(ApplyBankFile(other, damaged));
    EXPECT_TRUE(PluginSnapshot(other) == untouched);
    EXPECT_TRUE(other.changed.empty()) << "refused before anything was applied";

    // A currentProgram outside the slots and a negative numPrograms.
    StateChunk wild;
    PutBankListHeader(wild, 2, 1000);
    PutProgramRecord(wild, "A", values[4]);
    PutProgramRecord(wild, "B", values[5]);
    TestPlugin third;
    third.FillEmptyPresets(4);
    ASSERT_TRUE(ApplyBankFile(third, wild));
    EXPECT_EQ(third.CurrentPresetIndex(), 1);
    StateChunk thirdLive;
    third.WriteState(thirdLive);
    EXPECT_EQ(third.Presets()[1].state, thirdLive);
    StateChunk negative;
    PutBankListHeader(negative, 0xFFFFFFFFu, 0);
    PutProgramRecord(negative, "C", values[1]);
    const PluginSnapshot before(third);
    EXPECT_FALSE(ApplyBankFile(third, negative)) << "a program count of 0 or less is refused";
    EXPECT_TRUE(PluginSnapshot(third) == before);
}

TEST_F(ProgramFilesTest, BankImageFromMemory)
{
    TestPlugin source;
    FillDistinct(source);
    StateChunk bank;
    BuildBankFile(source, bank);

    // The header fields are not checked.
    std::memcpy(bank.Data() + 16, "xxxx", 4);
    TestPlugin target;
    target.FillEmptyPresets(4);
    ASSERT_TRUE(LoadBankImage(target, bank.Data(), static_cast<std::size_t>(bank.Size())));
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(target.PresetName(i), source.PresetName(i));
    }
    EXPECT_EQ(host.Count(audioMasterUpdateDisplay), 1);

    // Without the marker the records start at 160.
    StateChunk unmarked;
    unmarked.Put(bank.Data(), 160);
    unmarked.Put(bank.Data() + 168, bank.Size() - 168);
    TestPlugin second;
    ASSERT_TRUE(LoadBankImage(second, unmarked.Data(), static_cast<std::size_t>(unmarked.Size())));
    EXPECT_STREQ(second.PresetName(3), "Slot 3");

    // Shorter than the header, null, or cut inside a record: false, and no
    // slot is left initialised without a readable state.
    TestPlugin third;
    third.FillEmptyPresets(4);
    const PluginSnapshot before(third);
    EXPECT_FALSE(LoadBankImage(third, bank.Data(), 159));
    EXPECT_FALSE(LoadBankImage(third, nullptr, 0));
    EXPECT_TRUE(PluginSnapshot(third) == before);
    TestPlugin fresh;  // slots unused, "empty"
    EXPECT_FALSE(LoadBankImage(fresh, bank.Data(), static_cast<std::size_t>(bank.Size() - 5)));
    EXPECT_STREQ(fresh.PresetName(2), "empty") << "a cut image changes nothing";
    EXPECT_FALSE(fresh.Presets()[3].initialised);
    StateChunk saved;
    fresh.SerializePresets(saved);
    TestPlugin reread;
    EXPECT_EQ(reread.UnserializePresets(saved, 0), saved.Size()) << "the bank stays readable";
}

}  // namespace
