#include "core/ProgramFiles.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/Text.h"
#include "platform/File.h"

namespace {

constexpr std::uint32_t kChunkMagic = FileMagic("CcnK");
constexpr std::uint32_t kProgramChunkMagic = FileMagic("FPCh");
constexpr std::uint32_t kBankChunkMagic = FileMagic("FBCh");
constexpr std::uint32_t kProgramListMagic = FileMagic("FxCk");
constexpr std::uint32_t kBankListMagic = FileMagic("FxBk");
constexpr std::uint32_t kProgramFileVersion = 1;
constexpr std::uint32_t kBankFileVersion = 2;
constexpr int kBankFutureSize = 124;

// Field offsets shared by program files, bank files and the program records
// of a parameter-list bank (relative to the record's start).
constexpr int kChunkMagicOffset = 0;
constexpr int kFxMagicOffset = 8;
constexpr int kVersionOffset = 12;
constexpr int kFxIdOffset = 16;
constexpr int kNumParamsOffset = 24;  // numPrograms in a bank header
constexpr int kCurrentProgramOffset = 28;
constexpr int kProgramNameOffset = 28;
constexpr int kProgramValuesOffset = 56;

// A header field; empty when it lies beyond the data, so that it matches no
// expected value.
std::optional<std::uint32_t> Field(const StateChunk& data, std::int64_t position)
{
    std::uint32_t value = 0;
    if (position < 0 || position > StateChunk::kMaxSize ||
        !GetBigEndian32(data, static_cast<int>(position), value)) {
        return std::nullopt;
    }
    return value;
}

// The prgName field at position: its text up to the first zero byte, at most
// 28 characters; empty when the field is not all inside the data.
void ReadProgramName(const StateChunk& data, std::int64_t position, char (&name)[kProgramNameFieldSize + 1])
{
    std::array<char, kProgramNameFieldSize> field{};
    name[0] = '\0';
    if (position < 0 || position > StateChunk::kMaxSize ||
        data.Get(field.data(), kProgramNameFieldSize, static_cast<int>(position)) < 0) {
        return;
    }
    CopyText(name, kProgramNameFieldSize + 1, field.data(), BoundedLength(field.data(), field.size()));
}

// Where the state or the preset records of a chunk at offset begin: after
// the "tffp" marker and its version when they are there (the version is not
// checked), else at offset itself.
int ChunkDataStart(const StateChunk& data, int offset)
{
    std::uint32_t marker = 0;
    if (data.GetValue(marker, offset) >= 0 && marker == kChunkMarker) {
        return offset + 8;
    }
    return offset;
}

// How many of count big-endian floats from position lie inside the data;
// -1 when one of them is not finite.
int CountNormalizedValues(const StateChunk& data, std::int64_t position, int count)
{
    for (int i = 0; i < count; ++i, position += 4) {
        std::uint32_t bits = 0;
        if (position > StateChunk::kMaxSize || !GetBigEndian32(data, static_cast<int>(position), bits)) {
            return i;
        }
        if (!std::isfinite(std::bit_cast<float>(bits))) {
            return -1;
        }
    }
    return count;
}

// SetFromNormalized for the first count parameters from the big-endian
// floats at position (which CountNormalizedValues found inside the data).
// No OnParameterChanged.
void ApplyNormalizedValues(IPluginBase& plugin, const StateChunk& data, std::int64_t position, int count)
{
    for (Parameter& parameter : plugin.Parameters().first(static_cast<std::size_t>(count))) {
        std::uint32_t bits = 0;
        GetBigEndian32(data, static_cast<int>(position), bits);
        parameter.SetFromNormalized(static_cast<double>(std::bit_cast<float>(bits)));
        position += 4;
    }
}

// A header field as the signed count it holds; 0 when it is missing.
int SignedField(const StateChunk& data, std::int64_t position)
{
    return static_cast<std::int32_t>(Field(data, position).value_or(0));
}

}  // namespace

void PutBigEndian32(StateChunk& data, std::uint32_t value)
{
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value >> 24),
                                   static_cast<std::uint8_t>(value >> 16),
                                   static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    data.Put(bytes, 4);
}

bool GetBigEndian32(const StateChunk& data, int position, std::uint32_t& value)
{
    std::uint8_t bytes[4] = {};
    if (data.Get(bytes, 4, position) < 0) {
        return false;
    }
    value = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
            static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
    return true;
}

void BuildProgramFile(IPluginBase& plugin, StateChunk& file)
{
    InstanceLock lock(plugin.InstanceMutex());
    StateChunk chunk;
    BeginVersionedChunk(chunk);
    plugin.WriteState(chunk);

    char name[kProgramNameFieldSize] = {};
    CopyText(name, kProgramNameFieldSize, plugin.PresetName(plugin.CurrentPresetIndex()));

    file.Clear();
    PutBigEndian32(file, kChunkMagic);
    PutBigEndian32(file, static_cast<std::uint32_t>(chunk.Size() + kProgramFileHeaderSize));
    PutBigEndian32(file, kProgramChunkMagic);
    PutBigEndian32(file, kProgramFileVersion);
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.UniqueId()));
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.DecimalVersion()));
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.NumParameters()));
    file.Put(name, kProgramNameFieldSize);
    PutBigEndian32(file, static_cast<std::uint32_t>(chunk.Size()));
    file.PutChunk(chunk);
}

void BuildBankFile(IPluginBase& plugin, StateChunk& file)
{
    InstanceLock lock(plugin.InstanceMutex());
    StateChunk chunk;
    BeginVersionedChunk(chunk);
    plugin.SerializePresets(chunk);

    const std::array<std::uint8_t, kBankFutureSize> future{};
    file.Clear();
    PutBigEndian32(file, kChunkMagic);
    PutBigEndian32(file, static_cast<std::uint32_t>(chunk.Size() + kBankFileHeaderSize));
    PutBigEndian32(file, kBankChunkMagic);
    PutBigEndian32(file, kBankFileVersion);
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.UniqueId()));
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.DecimalVersion()));
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.NumPresets()));
    PutBigEndian32(file, static_cast<std::uint32_t>(plugin.CurrentPresetIndex()));
    file.Put(future.data(), kBankFutureSize);
    PutBigEndian32(file, static_cast<std::uint32_t>(chunk.Size()));
    file.PutChunk(chunk);
}

bool ApplyProgramFile(IPluginBase& plugin, const StateChunk& file)
{
    InstanceLock lock(plugin.InstanceMutex());
    IPluginBase::BulkUpdate bulk(plugin);
    const std::optional<std::uint32_t> fxMagic = Field(file, kFxMagicOffset);
    if (Field(file, kChunkMagicOffset) != kChunkMagic || Field(file, kVersionOffset) != kProgramFileVersion ||
        Field(file, kFxIdOffset) != static_cast<std::uint32_t>(plugin.UniqueId())) {
        return false;
    }
    char name[kProgramNameFieldSize + 1] = {};
    ReadProgramName(file, kProgramNameOffset, name);

    bool valuesCut = false;
    if (fxMagic == kProgramChunkMagic && plugin.UsesStateChunks()) {
        if (file.Size() <= kProgramFileHeaderSize) {
            return false;
        }
        const IPluginBase::Snapshot before = plugin.TakeSnapshot();
        const int read = plugin.ReadProgramState(file, ChunkDataStart(file, kProgramFileHeaderSize));
        if (read == kStateValuesCut) {
            valuesCut = true;
        } else if (read < 0) {
            plugin.RestoreSnapshot(before);
            return false;
        }
    } else if (fxMagic == kProgramListMagic) {
        // Files written for fewer parameters hold fewer values; the others
        // keep theirs.
        const int declared = std::min(SignedField(file, kNumParamsOffset), plugin.NumParameters());
        const int present = CountNormalizedValues(file, kProgramValuesOffset, std::max(declared, 0));
        if (declared <= 0 || present <= 0) {
            return false;
        }
        ApplyNormalizedValues(plugin, file, kProgramValuesOffset, present);
        valuesCut = present < declared;
        if (valuesCut) {
            plugin.ApplyAllParameters();
        }
    } else {
        return false;
    }
    if (valuesCut) {
        // The values that fit stay applied; the slot keeps what it held.
        plugin.PushParametersToEditor();
        return false;
    }
    plugin.ModifyCurrentPreset(name);
    plugin.LoadPreset(plugin.CurrentPresetIndex());
    plugin.NotifyHostOfProgramChange();
    return true;
}

bool ApplyBankFile(IPluginBase& plugin, const StateChunk& file)
{
    InstanceLock lock(plugin.InstanceMutex());
    IPluginBase::BulkUpdate bulk(plugin);
    const std::optional<std::uint32_t> fxMagic = Field(file, kFxMagicOffset);
    if (Field(file, kChunkMagicOffset) != kChunkMagic ||
        Field(file, kFxIdOffset) != static_cast<std::uint32_t>(plugin.UniqueId())) {
        return false;
    }
    const int numPrograms = SignedField(file, kNumParamsOffset);
    const int currentProgram = SignedField(file, kCurrentProgramOffset);
    if (numPrograms <= 0) {
        return false;
    }

    if (fxMagic == kBankChunkMagic && plugin.UsesStateChunks()) {
        if (file.Size() < kBankFileHeaderSize ||
            plugin.UnserializePresets(file, ChunkDataStart(file, kBankFileHeaderSize), numPrograms) < 0) {
            return false;
        }
    } else if (fxMagic == kBankListMagic) {
        // Every record is checked before any is applied. Records beyond the
        // last slot are ignored: loading them would pour their values into
        // whichever slot is current.
        const int count = std::min(numPrograms, plugin.NumPresets());
        const std::int64_t recordSize =
            kProgramValuesOffset + 4 * static_cast<std::int64_t>(plugin.NumParameters());
        for (int k = 0; k < count; ++k) {
            const std::int64_t record = kBankRecordsOffset + k * recordSize;
            const bool recordValid = Field(file, record + kChunkMagicOffset) == kChunkMagic &&
                                     Field(file, record + kFxMagicOffset) == kProgramListMagic &&
                                     Field(file, record + kVersionOffset) == kProgramFileVersion &&
                                     Field(file, record + kNumParamsOffset) ==
                                         static_cast<std::uint32_t>(plugin.NumParameters()) &&
                                     CountNormalizedValues(file, record + kProgramValuesOffset,
                                                           plugin.NumParameters()) == plugin.NumParameters();
            if (!recordValid) {
                return false;
            }
        }
        for (int k = 0; k < count; ++k) {
            const std::int64_t record = kBankRecordsOffset + k * recordSize;
            plugin.LoadPreset(k);
            char name[kProgramNameFieldSize + 1] = {};
            ReadProgramName(file, record + kProgramNameOffset, name);
            ApplyNormalizedValues(plugin, file, record + kProgramValuesOffset, plugin.NumParameters());
            plugin.ModifyCurrentPreset(name);
        }
        if (currentProgram < 0 || currentProgram >= plugin.NumPresets()) {
            // Stay on the last slot written, reloaded so that the engine
            // hears its values.
            plugin.LoadPreset(plugin.CurrentPresetIndex());
        }
    } else {
        return false;
    }
    // The program the bank was saved on becomes current again.
    if (currentProgram >= 0 && currentProgram < plugin.NumPresets()) {
        plugin.LoadPreset(currentProgram);
    }
    plugin.NotifyHostOfProgramChange();
    return true;
}

bool ReadWholeFile(const char* fileName, StateChunk& data)
{
    std::FILE* file = OpenFile(fileName, "rb");
    if (file == nullptr) {
        return false;
    }
    StateChunk contents;
    std::vector<std::uint8_t> buffer(64 * 1024);
    bool success = true;
    for (;;) {
        const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file);
        if (count > 0) {
            if (static_cast<std::size_t>(contents.Size()) + count >
                static_cast<std::size_t>(StateChunk::kMaxSize)) {
                success = false;
                break;
            }
            contents.Put(buffer.data(), static_cast<int>(count));
        }
        if (count < buffer.size()) {
            success = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (success) {
        data = std::move(contents);
    }
    return success;
}

bool SaveProgramFile(IPluginBase& plugin, const char* fileName)
{
    // Open first: building the file runs WriteState, which may change the
    // live state (the product zeroes its reserved parameters).
    std::FILE* file = OpenFile(fileName, "wb");
    if (file == nullptr) {
        return false;
    }
    StateChunk contents;
    BuildProgramFile(plugin, contents);
    std::fwrite(contents.Data(), 1, static_cast<std::size_t>(contents.Size()), file);
    std::fclose(file);
    return true;
}

bool SaveBankFile(IPluginBase& plugin, const char* fileName)
{
    std::FILE* file = OpenFile(fileName, "wb");
    if (file == nullptr) {
        return false;
    }
    StateChunk contents;
    BuildBankFile(plugin, contents);
    std::fwrite(contents.Data(), 1, static_cast<std::size_t>(contents.Size()), file);
    std::fclose(file);
    return true;
}

bool LoadProgramFile(IPluginBase& plugin, const char* fileName)
{
    StateChunk contents;
    return ReadWholeFile(fileName, contents) && ApplyProgramFile(plugin, contents);
}

bool LoadBankFile(IPluginBase& plugin, const char* fileName)
{
    StateChunk contents;
    return ReadWholeFile(fileName, contents) && ApplyBankFile(plugin, contents);
}

bool LoadBankImage(IPluginBase& plugin, const std::uint8_t* bytes, std::size_t length)
{
    InstanceLock lock(plugin.InstanceMutex());
    StateChunk image;
    if (length < static_cast<std::size_t>(kBankFileHeaderSize) ||
        length > static_cast<std::size_t>(StateChunk::kMaxSize) ||
        !image.Assign(bytes, static_cast<int>(length))) {
        return false;
    }
    // The header is skipped unchecked; only its length matters.
    if (plugin.UnserializePresets(image, ChunkDataStart(image, kBankFileHeaderSize)) < 0) {
        return false;
    }
    plugin.NotifyHostOfProgramChange();
    return true;
}
