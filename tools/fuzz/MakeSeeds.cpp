// Writes the seed inputs of the fuzz targets: valid program and bank chunks
// and files of every form this product reads, made by the product itself,
// plus a few cut and unmarked variants. Usage: make-fuzz-seeds <folder>;
// writes <folder>/<target>/<seed> for each target.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/ProgramFiles.h"
#include "engine/VORN.h"
#include "engine/VornState.h"
#include "platform/Resources.h"

namespace {

namespace fs = std::filesystem;

VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

// The product with its state hooks on the state format (as the product class
// is meant to have them).
class SeedVorn : public VORN {
public:
    // The slots as the framework constructs them, whatever the start-up
    // stored in them.
    SeedVorn() : VORN(&QuietHost)
    {
        for (Preset& preset : Presets()) {
            preset.initialised = false;
            std::strcpy(preset.name, "empty");
            preset.state.Clear();
        }
    }
    bool WriteState(StateChunk& chunk) override { return WriteVornState(*this, snapshot, chunk); }
    int ReadState(const StateChunk& chunk, int position) override
    {
        return ReadVornState(*this, snapshot, chunk, position);
    }
    // The snapshot the ensemble buttons take and give back.
    TweakSnapshot& snapshot{Ensemble().Snapshot()};
};

void Scramble(SeedVorn& plugin, int seed)
{
    for (int i = 0; i < kParameterCount; ++i) {
        plugin.Parameters()[static_cast<std::size_t>(i)].SetFromNormalized(((i * 3 + seed) % 17) / 16.0);
    }
    for (int i = 0; i < kTweakSnapshotSize; ++i) {
        plugin.snapshot[static_cast<std::size_t>(i)] = ((i + seed) % 5) / 4.0;
    }
}

void Write(const fs::path& folder, const char* target, const char* name, const std::uint8_t* data, int size)
{
    fs::create_directories(folder / target);
    std::ofstream out(folder / target / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), size);
}

void Write(const fs::path& folder, const char* target, const char* name, const StateChunk& chunk,
           int size = -1)
{
    Write(folder, target, name, chunk.Data(), size < 0 ? chunk.Size() : std::min(size, chunk.Size()));
}

void WriteText(const fs::path& folder, const char* target, const char* name, const std::string& text)
{
    Write(folder, target, name, reinterpret_cast<const std::uint8_t*>(text.data()),
          static_cast<int>(text.size()));
}

// Seeds of the MIDI, configuration, dispatcher and MIDI file targets.
void WriteSmallSeeds(const fs::path& folder)
{
    // A chord, a controller, a program change and a far-future note; the
    // same with learn on.
    std::vector<std::uint8_t> midi = {0, 3};
    const auto event = [&midi](std::uint8_t type, std::int32_t offset, std::uint8_t status, std::uint8_t d1,
                               std::uint8_t d2) {
        midi.push_back(type);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&offset);
        midi.insert(midi.end(), bytes, bytes + 4);
        midi.insert(midi.end(), {status, d1, d2});
    };
    event(0, 0, 0x90, 60, 100);
    event(0, 5, 0x90, 64, 100);
    event(0, 100, 0xB0, 7, 90);
    event(0, 200, 0xC0, 3, 0);
    event(0, 1 << 30, 0x90, 67, 100);
    event(1, 10, 0xF0, 0x7E, 4);
    Write(folder, "midi_events", "chord", midi.data(), static_cast<int>(midi.size()));
    midi[0] = 1;
    Write(folder, "midi_events", "learn", midi.data(), static_cast<int>(midi.size()));

    WriteText(folder, "configuration", "typical",
              "[Startup Bank]\nFile=\n[Editor]\nStart In Edit Mode=TRUE\n[MIDI Global]\nMIDI Thru=false\n"
              "Ignore Program Change=true\n[MIDI Control]\nCC7=0\nCC10=32\nCC74=500\nCC75=-3\nCC76=abc\n");

    // setSampleRate, setBlockSize, open, a program name, a process call.
    const std::vector<std::uint8_t> calls = {effSetSampleRate,
                                             0,
                                             0,
                                             0,
                                             0,
                                             6,
                                             0,
                                             0,
                                             effSetBlockSize,
                                             0,
                                             0,
                                             0,
                                             2,
                                             0,
                                             0,
                                             0,
                                             effOpen,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             effSetProgram,
                                             0,
                                             0,
                                             5,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0xF0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             64,
                                             0};
    Write(folder, "dispatcher", "start", calls.data(), static_cast<int>(calls.size()));

    // Format 0, one track: tempo, a note on and off.
    const std::vector<std::uint8_t> smf = {
        'M', 'T', 'h',  'd',  0, 0, 0,    6,    0, 0,    0,  1,   0,  96,   'M', 'T', 'r', 'k',  0,    0, 0,
        19,  0,   0xFF, 0x51, 3, 7, 0xA1, 0x20, 0, 0x90, 60, 100, 96, 0x80, 60,  0,   0,   0xFF, 0x2F, 0};
    Write(folder, "midi_file", "note", smf.data(), static_cast<int>(smf.size()));

    // A 2 x 2 palette image, 4 bits per pixel, with a transparent entry.
    const std::vector<std::uint8_t> png = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x04, 0x03, 0x00, 0x00, 0x00, 0x80, 0x98, 0x10, 0x17, 0x00,
        0x00, 0x00, 0x06, 0x50, 0x4C, 0x54, 0x45, 0xC8, 0x64, 0x32, 0x01, 0x02, 0x03, 0xC4, 0xB1, 0x9D, 0xBE,
        0x00, 0x00, 0x00, 0x02, 0x74, 0x52, 0x4E, 0x53, 0xFF, 0x00, 0xE5, 0xB7, 0x30, 0x4A, 0x00, 0x00, 0x00,
        0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x60, 0x64, 0x10, 0x00, 0x00, 0x00, 0x17, 0x00, 0x12,
        0x3A, 0x16, 0x69, 0xDF, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    Write(folder, "png", "palette", png.data(), static_cast<int>(png.size()));
}

StateChunk GetChunk(SeedVorn& plugin, bool bank)
{
    void* data = nullptr;
    AEffect* effect = plugin.Effect();
    const VstIntPtr size = effect->dispatcher(effect, effGetChunk, bank ? 0 : 1, 0, &data, 0.0f);
    StateChunk chunk;
    if (size > 0 && data != nullptr) {
        chunk.Put(data, static_cast<int>(size));
    }
    return chunk;
}

// The tag-less state of the factory bank's presets.
void PutTaglessState(StateChunk& chunk, SeedVorn& plugin)
{
    for (const Parameter& parameter : plugin.Parameters()) {
        chunk.PutValue(parameter.Value());
    }
    for (double entry : plugin.snapshot) {
        chunk.PutValue(entry);
    }
    chunk.PutValue(std::int32_t{5});
    chunk.PutValue(std::int32_t{1000});
}

void PutBigEndianHeader(StateChunk& file, const char* fxMagic, std::uint32_t version, std::uint32_t fxVersion,
                        std::uint32_t count)
{
    PutBigEndian32(file, FileMagic("CcnK"));
    PutBigEndian32(file, 0);
    file.Put(fxMagic, 4);
    PutBigEndian32(file, version);
    PutBigEndian32(file, FileMagic("vorn"));
    PutBigEndian32(file, fxVersion);
    PutBigEndian32(file, count);
}

void PutListRecord(StateChunk& file, SeedVorn& plugin, const char* name)
{
    PutBigEndianHeader(file, "FxCk", 1, 10003, kParameterCount);
    char field[kProgramNameFieldSize] = {};
    std::strncpy(field, name, sizeof(field) - 1);
    file.Put(field, sizeof(field));
    for (const Parameter& parameter : plugin.Parameters()) {
        PutBigEndian32(file, std::bit_cast<std::uint32_t>(static_cast<float>(parameter.Normalized())));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    SeedVorn plugin;
    plugin.FillEmptyPresets(plugin.NumPresets());
    for (int i = 0; i < plugin.NumPresets(); ++i) {
        plugin.LoadPreset(i);
        Scramble(plugin, i);
        plugin.ModifyCurrentPreset(("Seed preset " + std::to_string(i)).c_str());
    }
    plugin.LoadPreset(3);

    // Program chunks: tagged, tag-less, without the marker, cut in the name.
    const StateChunk program = GetChunk(plugin, false);
    Write(folder, "program_chunk", "tagged", program);
    Write(folder, "program_chunk", "cut-name", program, program.Size() - 3);
    StateChunk unmarked;
    unmarked.Put(program.Data() + 8, program.Size() - 8);
    Write(folder, "program_chunk", "unmarked", unmarked);
    StateChunk tagless;
    BeginVersionedChunk(tagless);
    PutTaglessState(tagless, plugin);
    tagless.PutString("Tagless");
    Write(folder, "program_chunk", "tagless", tagless);

    // Bank chunks: written by the product, the factory form, a short bank.
    const StateChunk bank = GetChunk(plugin, true);
    Write(folder, "bank_chunk", "tagged", bank);
    StateChunk factory;
    BeginVersionedChunk(factory);
    for (int i = 0; i < plugin.NumPresets(); ++i) {
        Scramble(plugin, i + 100);
        factory.PutString(("Factory " + std::to_string(i)).c_str());
        factory.PutValue(std::uint8_t{1});
        PutTaglessState(factory, plugin);
    }
    Write(folder, "bank_chunk", "factory", factory);
    Write(folder, "bank_chunk", "three-records", bank, 8 + 3 * (4 + 13 + 1 + kVornStateBaseSize + 14) + 40);
    plugin.LoadPreset(3);

    // Program files: chunk form, unmarked chunk, parameter list.
    StateChunk fxp;
    BuildProgramFile(plugin, fxp);
    Write(folder, "program_file", "chunk", fxp);
    StateChunk fxpUnmarked;
    fxpUnmarked.Put(fxp.Data(), kProgramFileHeaderSize);
    fxpUnmarked.Put(fxp.Data() + kProgramFileHeaderSize + 8, fxp.Size() - kProgramFileHeaderSize - 8);
    Write(folder, "program_file", "chunk-unmarked", fxpUnmarked);
    StateChunk fxpList;
    PutListRecord(fxpList, plugin, "Listed program");
    Write(folder, "program_file", "list", fxpList);

    // Bank files: chunk form, the factory form, parameter list.
    StateChunk fxb;
    BuildBankFile(plugin, fxb);
    Write(folder, "bank_file", "chunk", fxb);
    Write(folder, "bank_image", "chunk", fxb);
    StateChunk factoryFile;
    PutBigEndianHeader(factoryFile, "FBCh", 2, 10000, 64);
    const std::vector<std::uint8_t> future(128, 0);
    factoryFile.Put(future.data(), static_cast<int>(future.size()));
    PutBigEndian32(factoryFile, static_cast<std::uint32_t>(factory.Size()));
    factoryFile.PutChunk(factory);
    Write(folder, "bank_file", "factory", factoryFile);
    Write(folder, "bank_image", "factory", factoryFile);
    StateChunk fxbList;
    PutBigEndianHeader(fxbList, "FxBk", 2, 10003, 64);
    PutBigEndian32(fxbList, 5);
    fxbList.Put(future.data(), 124);
    for (int i = 0; i < plugin.NumPresets(); ++i) {
        Scramble(plugin, i + 200);
        PutListRecord(fxbList, plugin, ("Listed " + std::to_string(i)).c_str());
    }
    Write(folder, "bank_file", "list", fxbList);

    // The module's factory bank.
    const std::span<const std::uint8_t> resource = FindModuleResource("INIT", "PROGINIT");
    if (!resource.empty()) {
        Write(folder, "bank_image", "factory-resource", resource.data(), static_cast<int>(resource.size()));
        Write(folder, "bank_file", "factory-resource", resource.data(), static_cast<int>(resource.size()));
    }
    WriteSmallSeeds(folder);
    return 0;
}
