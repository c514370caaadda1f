// Robustness of the render path against hostile input: parameters swept at
// random while notes play, storms of random MIDI bytes, every common sample
// rate (and changes between them mid-note), and a golden render that every
// build target must reproduce.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "core/ProgramFiles.h"
#include "platform/Resources.h"
#include "tests/support/AllocationCounter.h"

namespace {

// The loudest settings (every level at 2, the shelves at +20 dB, the filters
// at Q 10) give peaks of a few hundred with many notes; an unstable filter
// grows far beyond this.
constexpr double kBound = 1000.0;

void Append(StereoBuffer& out, const StereoBuffer& more)
{
    out.left.insert(out.left.end(), more.left.begin(), more.left.end());
    out.right.insert(out.right.end(), more.right.begin(), more.right.end());
}

// Half the values at an end of the range, the rest anywhere in it.
double RandomNormalized(std::mt19937& random)
{
    const int pick = std::uniform_int_distribution<int>(0, 3)(random);
    return pick == 0 ? 0.0 : pick == 1 ? 1.0 : std::uniform_real_distribution<double>(0.0, 1.0)(random);
}

void SetNormalized(EngineHarness& engine, int index, double normalized)
{
    engine.Plugin().GetParameter(index)->SetFromNormalized(normalized);
    engine.Plugin().OnParameterChanged(index);
}

// Unlike RenderLoop.ExtremeRandomSettings..., which fixes the settings before
// the notes, this changes them while voices and filters hold state.
TEST(Robustness, ParametersSweptWhileNotesPlayStayFiniteAndBounded)
{
    std::mt19937 random(5150);
    for (int trial = 0; trial < 4; ++trial) {
        SCOPED_TRACE(trial);
        EngineHarness engine(trial % 2 == 0 ? 44100.0 : 96000.0, 512);
        std::vector<TimedMidi> notes;
        for (int k = 0; k < 24; ++k) {
            const auto key = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(24, 108)(random));
            const std::int64_t on = std::uniform_int_distribution<int>(0, 30000)(random);
            notes.push_back({on, 0x90, key, static_cast<std::uint8_t>(1 + k * 5)});
            notes.push_back({on + 3000 + k * 400, 0x80, key, 0});
        }
        std::sort(notes.begin(), notes.end(),
                  [](const TimedMidi& a, const TimedMidi& b) { return a.time < b.time; });
        // Every parameter, Button State included, once before the notes;
        // then a handful at a time every few hundred frames.
        for (int i = 0; i < kParameterCount; ++i) {
            SetNormalized(engine, i, RandomNormalized(random));
        }
        StereoBuffer out;
        std::int64_t done = 0;
        std::size_t next = 0;
        while (done < 48000) {
            const int frames = std::uniform_int_distribution<int>(100, 600)(random);
            std::vector<TimedMidi> slice;
            for (; next < notes.size() && notes[next].time < done + frames; ++next) {
                slice.push_back(notes[next]);
            }
            Append(out, engine.Render(frames, std::uniform_int_distribution<int>(1, 512)(random), slice));
            done += frames;
            for (int change = 0; change < 6; ++change) {
                SetNormalized(engine, std::uniform_int_distribution<int>(0, kParameterCount - 1)(random),
                              RandomNormalized(random));
            }
        }
        EXPECT_TRUE(out.AllFinite());
        EXPECT_LT(out.PeakAbs(), kBound);
    }
}

TEST(Robustness, RandomMidiStormsAreSurvivedWithoutAllocationInRender)
{
    std::mt19937 random(8086);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> offset(-600, 6000);
    EngineHarness engine(48000.0, 512);
    VORN& plugin = engine.Plugin();
    // Intake and render together never allocate.
    double left[512];
    double right[512];
    double* outputs[2] = {left, right};
    StereoBuffer out;
    long renderAllocations = 0;
    auto renderBlock = [&](int frames) {
        const long before = AllocationCount();
        plugin.RenderBlock(nullptr, outputs, frames);
        renderAllocations += AllocationCount() - before;
        out.left.insert(out.left.end(), left, left + frames);
        out.right.insert(out.right.end(), right, right + frames);
    };
    auto storm = [&](int count) {
        const long before = AllocationCount();
        for (int i = 0; i < count; ++i) {
            // Mostly channel messages with valid data, so that notes really
            // start and stop; the rest is any byte at all.
            const bool anything = i % 4 == 0;
            const int status = anything ? byte(random) : 0x80 + byte(random) % 0x70;
            const int data1 = anything ? byte(random) : byte(random) % 128;
            const int data2 = anything ? byte(random) : byte(random) % 128;
            const int time = i % 97 == 0 ? (i % 2 == 0 ? INT_MAX : INT_MIN) : offset(random);
            MidiMessage message;
            message.frameOffset = time;
            message.status = static_cast<std::uint8_t>(status);
            message.data1 = static_cast<std::uint8_t>(data1);
            message.data2 = static_cast<std::uint8_t>(data2);
            plugin.HandleMidiMessage(message);
        }
        renderAllocations += AllocationCount() - before;
    };
    for (int block = 0; block < 4; ++block) {
        storm(4000);
        renderBlock(512);
    }
    for (int block = 0; block < 12; ++block) {
        storm(block % 3 == 0 ? 3000 : 50);
        renderBlock(1 + block * 41 % 512);
    }
    for (int block = 0; block < 20; ++block) {
        renderBlock(512);
    }
    EXPECT_EQ(renderAllocations, 0);
    EXPECT_GT(out.Rms(), 0.0) << "the storms' notes sound";
    EXPECT_TRUE(out.AllFinite());
    EXPECT_LT(out.PeakAbs(), kBound);
    // Far-future messages wait at the one-second horizon: let them play
    // out. Then everything still works: all notes off, then one note sounds.
    engine.Render(60000, 512);
    engine.Midi(0, 0xB0, 123, 0);
    engine.Midi(0, 0xB0, 64, 0);
    engine.Midi(0, 0xE0, 0, 64);
    engine.Render(48000, 512);
    EXPECT_EQ(plugin.Core().Voices().ActiveCount(), 0);
    EXPECT_GT(engine.Render(4800, 512, {{0, 0x90, 60, 100}}).Rms(), 0.0);
}

// Every filter of the chain in use with its frequency at the top of the
// range (above the Nyquist frequency of the low rates) and the VCF open with
// full peak.
void EveryFilterWideOpen(EngineHarness& engine)
{
    VcfSerialBrass(engine);
    engine.Set(kVcfCutoff, 1.0);
    engine.Set(kVcfPeak, 1.0);
    engine.Set(kVcfEgIntensity, 1.0);
    engine.Set(kVcfKeyTrack, 1.0);
    engine.Set(kPreFilter1Shift, 4.0);
    engine.Set(kPreFilter1Q, 10.0);
    engine.Set(kPreFilter2Shift, 4.0);
    engine.Set(kOrganStringsFilterLevel, 1.0);
    engine.Set(kOrganStringsFilterFrequency, 12000.0);
    engine.Set(kChorusFilterFrequency, 12000.0);
    engine.Set(kChorusFilterQ, 10.0);
    engine.Set(kBass, 20.0);
    engine.Set(kTreble, 20.0);
    engine.Set(kPhaserRate, 15.0);
    engine.Set(kModulatorRate, 25.0);
    engine.Set(kModulatorDepth, 1.0);
}

std::vector<TimedMidi> HeldChord(std::int64_t release)
{
    std::vector<TimedMidi> chord;
    for (const std::uint8_t key : {36, 60, 64, 67, 108}) {
        chord.push_back({0, 0x90, key, 110});
    }
    for (const std::uint8_t key : {36, 60, 64, 67, 108}) {
        chord.push_back({release, 0x80, key, 0});
    }
    return chord;
}

TEST(Robustness, EverySampleRatePlaysAndFallsSilent)
{
    for (const double rate :
         {8000.0, 11025.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0}) {
        for (auto* setup : {static_cast<void (*)(EngineHarness&)>(nullptr), &EveryFilterWideOpen}) {
            SCOPED_TRACE(testing::Message() << "rate " << rate << (setup != nullptr ? ", filters open" : ""));
            EngineHarness engine(rate, 1024);
            if (setup != nullptr) {
                setup(engine);
                engine.Set(kVcaRelease, 0.2);
                engine.Set(kVcfEgRelease, 0.2);
            }
            // The voices are done some 50 ms after the release; with every
            // filter at Q 10 the chain still rings for a good second at the
            // lowest rates (down by about 3 every 50 ms at 8 kHz).
            const auto held = static_cast<std::int64_t>(rate * 0.2);
            const auto tail = static_cast<std::int64_t>(rate * (setup != nullptr ? 1.5 : 0.5));
            const StereoBuffer sound = engine.Render(held + tail, 1024, HeldChord(held));
            EXPECT_TRUE(sound.AllFinite());
            // Five loud notes of the initialised program peak near 1.1 at
            // every rate; a gain that depends on the rate would show here.
            EXPECT_LT(sound.PeakAbs(), setup != nullptr ? kBound : 1.5);
            EXPECT_GT(sound.Rms(0, static_cast<std::size_t>(held)), 1e-3);
            const StereoBuffer after = engine.Render(static_cast<std::int64_t>(rate * 0.05), 1024);
            EXPECT_LT(after.PeakAbs(), 1e-9);
            EXPECT_EQ(engine.Plugin().Core().Voices().ActiveCount(), 0);
        }
    }
}

TEST(Robustness, SampleRateChangesMidNoteAreSafe)
{
    EngineHarness engine(44100.0, 512);
    VcfSerialBrass(engine);
    VORN& plugin = engine.Plugin();
    StereoBuffer out = engine.Render(4410, 512, {{0, 0x90, 60, 100}, {0, 0x90, 67, 100}});
    for (const double rate : {192000.0, 8000.0, 44100.0, 96000.0, 11025.0, 44100.0}) {
        SCOPED_TRACE(rate);
        // A host switches the rate between suspend and resume; some change
        // it and render before resuming.
        plugin.SetSampleRate(rate);
        Append(out, engine.Render(100, 100, {{0, 0x90, 72, 90}}));
        plugin.OnReset();
        EXPECT_EQ(plugin.Core().Voices().ActiveCount(), 0);
        const StereoBuffer sounding = engine.Render(static_cast<std::int64_t>(rate * 0.05), 333,
                                                    {{0, 0x90, 48, 100}, {5, 0x90, 64, 100}});
        EXPECT_GT(sounding.Rms(), 0.0);
        Append(out, sounding);
    }
    EXPECT_TRUE(out.AllFinite());
    EXPECT_LT(out.PeakAbs(), kBound);
}

// ---- Golden render ----
// A fixed phrase rendered from factory programs and from the serial brass
// setting must give the same numbers on every build target. The reference
// holds every 64th frame of each channel and the per-channel sums of squares,
// as the bits of the doubles in hexadecimal. With VORN_GOLDEN=1 in the
// environment the test rewrites the reference instead of comparing.

constexpr int kGoldenFrames = 22050;
constexpr int kGoldenStride = 64;

std::string GoldenPath()
{
    std::string path = VORN_SOURCE_DIR "/tests/engine/data/golden-render.txt";
#ifdef _WIN32
    // Under Wine the Linux root is the Z: drive.
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
#endif
    return path;
}

// A chord with a melody over it, the pedal, a retriggered key and releases.
std::vector<TimedMidi> GoldenPhrase()
{
    return {
        {0, 0x90, 48, 96},      {0, 0x90, 55, 80},     {2, 0x90, 64, 88},     {3, 0x90, 72, 110},
        {3000, 0x80, 72, 0},    {3001, 0x90, 74, 100}, {5500, 0xB0, 64, 127}, {6000, 0x80, 74, 0},
        {6010, 0x90, 76, 120},  {9000, 0x80, 76, 0},   {9000, 0x90, 79, 70},  {11000, 0xB0, 1, 90},
        {12000, 0x90, 79, 127}, {14000, 0xB0, 64, 0},  {15000, 0x80, 79, 0},  {15000, 0x90, 84, 105},
        {18000, 0x80, 48, 0},   {18000, 0x80, 55, 0},  {18001, 0x80, 64, 0},  {19000, 0x80, 84, 0},
    };
}

struct GoldenCase {
    std::string name;
    std::vector<double> left;  // every kGoldenStride-th frame
    std::vector<double> right;
    double sumLeft = 0.0;
    double sumRight = 0.0;
};

GoldenCase RenderGolden(int program)
{
    EngineHarness engine(44100.0, 512);
    VORN& plugin = engine.Plugin();
    GoldenCase result;
    if (program >= 0) {
        // The factory bank from the resources, whatever the user's startup
        // bank is.
        const std::span<const std::uint8_t> bank = FindModuleResource("INIT", "PROGINIT");
        EXPECT_TRUE(LoadBankImage(plugin, bank.data(), bank.size()));
        EXPECT_TRUE(plugin.LoadPreset(program));
        result.name = "program-" + std::to_string(program);
    } else {
        VcfSerialBrass(engine);
        result.name = "vcf-serial-brass";
    }
    const StereoBuffer out = engine.Render(kGoldenFrames, 512, GoldenPhrase());
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        result.sumLeft += out.left[i] * out.left[i];
        result.sumRight += out.right[i] * out.right[i];
        if (i % kGoldenStride == 0) {
            result.left.push_back(out.left[i]);
            result.right.push_back(out.right[i]);
        }
    }
    return result;
}

std::vector<GoldenCase> RenderAllGolden()
{
    std::vector<GoldenCase> cases;
    for (const int program : {0, 14, 33, -1}) {
        cases.push_back(RenderGolden(program));
    }
    return cases;
}

std::string Hex(double value)
{
    char text[24];
    std::snprintf(text, sizeof(text), "%016llx",
                  static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
    return text;
}

bool ParseHex(const char* text, double& value)
{
    char* end = nullptr;
    const unsigned long long bits = std::strtoull(text, &end, 16);
    if (end == text) {
        return false;
    }
    value = std::bit_cast<double>(static_cast<std::uint64_t>(bits));
    return true;
}

bool WriteGolden(const std::string& path, const std::vector<GoldenCase>& cases)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "# VORN golden render, 44100 Hz, %d frames, every %d-th frame; doubles as hex bits\n",
                 kGoldenFrames, kGoldenStride);
    for (const GoldenCase& c : cases) {
        std::fprintf(file, "case %s %zu\n", c.name.c_str(), c.left.size());
        std::fprintf(file, "sum %s %s\n", Hex(c.sumLeft).c_str(), Hex(c.sumRight).c_str());
        for (std::size_t i = 0; i < c.left.size(); ++i) {
            std::fprintf(file, "%s %s\n", Hex(c.left[i]).c_str(), Hex(c.right[i]).c_str());
        }
    }
    return std::fclose(file) == 0;
}

bool ReadGolden(const std::string& path, std::vector<GoldenCase>& cases)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char line[256];
    bool ok = true;
    std::size_t expected = 0;
    while (ok && std::fgets(line, sizeof(line), file) != nullptr) {
        char a[64];
        char b[64];
        if (line[0] == '#') {
            continue;
        }
        if (std::sscanf(line, "case %63s %zu", a, &expected) == 2) {
            cases.push_back({a, {}, {}, 0.0, 0.0});
        } else if (std::sscanf(line, "sum %63s %63s", a, b) == 2 && !cases.empty()) {
            ok = ParseHex(a, cases.back().sumLeft) && ParseHex(b, cases.back().sumRight);
        } else if (std::sscanf(line, "%63s %63s", a, b) == 2 && !cases.empty()) {
            double l = 0.0;
            double r = 0.0;
            ok = ParseHex(a, l) && ParseHex(b, r);
            cases.back().left.push_back(l);
            cases.back().right.push_back(r);
        } else {
            ok = false;
        }
    }
    std::fclose(file);
    return ok;
}

TEST(Golden, FixedPhraseMatchesTheCommittedReference)
{
    const std::vector<GoldenCase> rendered = RenderAllGolden();
    for (const GoldenCase& c : rendered) {
        // A silent case would prove nothing about the arithmetic.
        EXPECT_GT(c.sumLeft + c.sumRight, 1.0) << c.name;
    }
    const std::string path = GoldenPath();
    const char* regenerate = std::getenv("VORN_GOLDEN");
    if (regenerate != nullptr && std::string(regenerate) == "1") {
        ASSERT_TRUE(WriteGolden(path, rendered)) << path;
        std::printf("[ golden ] reference rewritten: %s\n", path.c_str());
        return;
    }
    std::vector<GoldenCase> reference;
    ASSERT_TRUE(ReadGolden(path, reference)) << path;
    ASSERT_EQ(reference.size(), rendered.size());
    bool identical = true;
    double largest = 0.0;
    auto compare = [&](double got, double want, const std::string& where) {
        const bool same = std::bit_cast<std::uint64_t>(got) == std::bit_cast<std::uint64_t>(want);
        identical = identical && same;
        largest = std::max(largest, std::fabs(got - want));
        EXPECT_TRUE(same) << where << ": " << got << " instead of " << want;
    };
    // Every target computes the same bits: the transcendental functions come
    // from the engine's own tables and reproducible maths, floating-point
    // contraction is off and i386 uses SSE2, so no tolerance is allowed.
    for (std::size_t k = 0; k < rendered.size(); ++k) {
        const GoldenCase& got = rendered[k];
        const GoldenCase& want = reference[k];
        ASSERT_EQ(got.name, want.name);
        ASSERT_EQ(got.left.size(), want.left.size()) << got.name;
        ASSERT_EQ(got.right.size(), want.right.size()) << got.name;
        for (std::size_t i = 0; i < got.left.size(); ++i) {
            const std::string where = got.name + " frame " + std::to_string(i * kGoldenStride);
            compare(got.left[i], want.left[i], where + " left");
            compare(got.right[i], want.right[i], where + " right");
        }
        // The sums run over every frame.
        compare(got.sumLeft, want.sumLeft, got.name + " sum left");
        compare(got.sumRight, want.sumRight, got.name + " sum right");
    }
    std::printf("[ golden ] %s, largest difference %g\n", identical ? "bit-identical" : "not bit-identical",
                largest);
    RecordProperty("golden_bit_identical", identical ? "yes" : "no");
}

}  // namespace
