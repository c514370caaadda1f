#include "core/ProgramFiles.h"

#include <algorithm>
#include <array>
#include <bit>
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

// SetFromNormalized for every parameter whose big-endian float lies inside
// the data, from position on; the parameters after the end keep their
// values. No OnParameterChanged.
void ApplyNormalizedValues(IPluginBase& plugin, const StateChunk& data, std::int64_t position)
{
    for (Parameter& parameter : plugin.Parameters()) {
        std::uint32_t bits = 0;
        if (position > StateChunk::kMaxSize || !GetBigEndian32(data, static_cast<int>(position), bits)) {
            return;
        }
        parameter.SetFromNormalized(static_cast<double>(std::bit_cast<float>(bits)));
        position += 4;
    }
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
    const std::optional<std::uint32_t> fxMagic = Field(file, kFxMagicOffset);
    if (Field(file, kChunkMagicOffset) != kChunkMagic || Field(file, kVersionOffset) != kProgramFileVersion ||
        Field(file, kFxIdOffset) != static_cast<std::uint32_t>(plugin.UniqueId())) {
        return false;
    }
    char name[kProgramNameFieldSize + 1] = {};
    ReadProgramName(file, kProgramNameOffset, name);

    if (fxMagic == kProgramChunkMagic && plugin.UsesStateChunks()) {
        plugin.ReadState(file, ChunkDataStart(file, kProgramFileHeaderSize));
    } else if (fxMagic == kProgramListMagic) {
        ApplyNormalizedValues(plugin, file, kProgramValuesOffset);
    } else {
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
    const std::optional<std::uint32_t> fxMagic = Field(file, kFxMagicOffset);
    if (Field(file, kChunkMagicOffset) != kChunkMagic ||
        Field(file, kFxIdOffset) != static_cast<std::uint32_t>(plugin.UniqueId())) {
        return false;
    }

    if (fxMagic == kBankChunkMagic && plugin.UsesStateChunks()) {
        plugin.UnserializePresets(file, ChunkDataStart(file, kBankFileHeaderSize));
    } else if (fxMagic == kBankListMagic) {
        // Records beyond the last slot are ignored: loading them would pour
        // their values into whichever slot is current.
        const auto numPrograms = static_cast<std::int32_t>(Field(file, kNumParamsOffset).value_or(0));
        const int count = std::min(numPrograms, static_cast<std::int32_t>(plugin.NumPresets()));
        const std::int64_t recordSize =
            kProgramValuesOffset + 4 * static_cast<std::int64_t>(plugin.NumParameters());
        std::int64_t record = kBankRecordsOffset;
        for (int k = 0; k < count; ++k, record += recordSize) {
            const bool recordValid =
                Field(file, record + kChunkMagicOffset) == kChunkMagic &&
                Field(file, record + kFxMagicOffset) == kProgramListMagic &&
                Field(file, record + kVersionOffset) == kProgramFileVersion &&
                Field(file, record + kNumParamsOffset) == static_cast<std::uint32_t>(plugin.NumParameters());
            if (!recordValid || !plugin.LoadPreset(k)) {
                // The values of the last record read went to the parameters
                // without OnParameterChanged (and a failed load applies what
                // it read): reload the current slot so that the engine and
                // the live values match it again.
                if (k > 0 || recordValid) {
                    plugin.LoadPreset(plugin.CurrentPresetIndex());
                    plugin.NotifyHostOfProgramChange();
                }
                return false;
            }
            char name[kProgramNameFieldSize + 1] = {};
            ReadProgramName(file, record + kProgramNameOffset, name);
            ApplyNormalizedValues(plugin, file, record + kProgramValuesOffset);
            plugin.ModifyCurrentPreset(name);
        }
        const auto currentProgram =
            static_cast<std::int32_t>(Field(file, kCurrentProgramOffset).value_or(0xFFFFFFFFu));
        if (!plugin.LoadPreset(currentProgram)) {
            // A currentProgram outside the slots: stay on the last slot read,
            // reloaded so that the engine hears its values.
            plugin.LoadPreset(plugin.CurrentPresetIndex());
        }
    } else {
        return false;
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
    if (length > static_cast<std::size_t>(StateChunk::kMaxSize) ||
        !image.Assign(bytes, static_cast<int>(length))) {
        image.Clear();
    }
    // The header is skipped unchecked; only its length matters.
    int position = image.Size() >= kBankFileHeaderSize ? ChunkDataStart(image, kBankFileHeaderSize) : -1;
    position = plugin.UnserializePresets(image, position);
    plugin.NotifyHostOfProgramChange();
    return position >= 0;
}
