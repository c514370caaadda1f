#include "tools/vornhost/DemoPhrase.h"

#include "tools/vornhost/VornParameters.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

constexpr double kBeatsPerMinute = 88.0;
constexpr double kSecondsPerBeat = 60.0 / kBeatsPerMinute;
// Each section's last notes end this long before the next section, so the
// button change does not reach sounding notes, and the next button state is
// set this long before its first note.
constexpr double kBreathBeats = 0.35;
constexpr double kSwitchLeadBeats = 0.08;
// A note ends this much before its nominal length, so that a key struck again
// at once is released first.
constexpr double kLegatoGapBeats = 0.04;

constexpr int kPipeOrgan1 = 1 << 0;
constexpr int kChorus1 = 1 << 2;
constexpr int kBrass1 = 1 << 4;
constexpr int kStrings1 = 1 << 6;

// A value written in the parameter's own unit.
struct Setting {
    int index;
    double value;
};

struct Section {
    double startBeat;
    int buttons;
    const char* name;
    // Written after the recipe: the envelope, phaser and tail that suit the section.
    std::initializer_list<Setting> settings;
};

// The master volume evens out the sections, whose recipes differ in loudness by
// up to 12 dB, and keeps the peaks near -3 dBFS.
const Section kSections[] = {
    {0.0, kPipeOrgan1, "Pipe Organ 1", {{kMasterVolume, 0.6}, {kVcaAttack, 0.05}, {kPhaserRate, 0.0}}},
    {8.0, kChorus1, "Chorus 1", {{kMasterVolume, 0.65}, {kVcaAttack, 0.25}, {kPhaserRate, 0.0}}},
    {16.0, kBrass1, "Brass 1", {{kMasterVolume, 0.55}, {kVcaAttack, 0.12}, {kPhaserRate, 0.0}}},
    {24.0,
     kStrings1,
     "Strings 1",
     {{kMasterVolume, 0.85}, {kVcaAttack, 0.32}, {kVcaRelease, 0.25}, {kPhaserRate, 0.5}}},
    {32.0,
     kStrings1 | kChorus1,
     "Strings 1 + Chorus 1",
     {{kMasterVolume, 0.21},
      {kVcaAttack, 0.3},
      {kVcaRelease, 0.25},
      {kPhaserRate, 0.5},
      {kVorn2000Sustain, 0.45}}},
};

// Written once at the start: what the ensemble recipes leave alone.
constexpr Setting kGlobalSettings[] = {
    {kMasterVolume, 1.0},
    {kMasterTune, 0.0},
    {kBankATuning, 0.05},
    {kBankBTuning, -0.05},
    {kVorn2000Sustain, 0.0},
    {kBass, 2.0},
    {kTreble, 0.0},
    {kPhaserMode, 0.0},
    {kVelocityToVcfEg, 0.3},
    {kVelocityToVcaEg, 0.25},
    {kBankAPan, 0.4},
    {kBankBPan, 0.6},
    {kCPan, 0.5},
};

struct Note {
    double beat;
    double lengthBeats;
    int key;
    int velocity;
};

class ScoreBuilder {
public:
    explicit ScoreBuilder(int sampleRate) : m_sampleRate(sampleRate) {}

    std::int64_t Frame(double beat) const
    {
        return static_cast<std::int64_t>(std::llround(beat * kSecondsPerBeat * m_sampleRate));
    }

    void Play(const Note& note)
    {
        const auto key = static_cast<unsigned char>(note.key);
        const std::int64_t off = Frame(note.beat + note.lengthBeats - kLegatoGapBeats);
        m_score.events.push_back({Frame(note.beat), {0x90, key, static_cast<unsigned char>(note.velocity)}});
        m_score.events.push_back({off, {0x80, key, 0}});
        m_score.lengthFrames = std::max(m_score.lengthFrames, off);
    }

    void Chord(double beat, double lengthBeats, std::initializer_list<int> keys, int velocity)
    {
        for (const int key : keys) {
            Play({beat, lengthBeats, key, velocity});
        }
    }

    void Set(std::int64_t frame, int index, double value)
    {
        m_score.parameters.push_back({frame, index, VornNormalized(index, value)});
    }

    void Switch(const Section& section)
    {
        const std::int64_t frame = std::max<std::int64_t>(0, Frame(section.startBeat - kSwitchLeadBeats));
        for (const ParameterWrite& write : EnsembleWrites(section.buttons)) {
            m_score.parameters.push_back({frame, write.index, write.normalized});
        }
        for (const Setting& setting : section.settings) {
            Set(frame, setting.index, setting.value);
        }
        m_score.sections.push_back({section.startBeat * kSecondsPerBeat, section.buttons, section.name});
    }

    DemoScore Take() { return std::move(m_score); }

private:
    int m_sampleRate;
    DemoScore m_score;
};

// Keys: 36 = C2, 48 = C3, 60 = C4 (middle C), 72 = C5.
void WriteNotes(ScoreBuilder& s)
{
    const double end1 = 8.0 - kBreathBeats;
    // Pipe organ: a four-part chorale, C - Am - F - G - C.
    s.Chord(0.0, 2.0, {48, 60, 64, 67, 72}, 96);
    s.Chord(2.0, 2.0, {45, 57, 64, 69, 72}, 92);
    s.Chord(4.0, 1.0, {41, 57, 60, 65, 69}, 92);
    s.Chord(5.0, 1.0, {38, 57, 62, 65, 69}, 90);
    s.Chord(6.0, end1 - 6.0 + kLegatoGapBeats, {43, 55, 62, 67, 71}, 96);

    // Chorus: slow vocal chords, Am(add9) - Fmaj7, with a falling line on top.
    const double end2 = 16.0 - kBreathBeats;
    s.Chord(8.0, 4.0, {45, 57, 60, 64, 71}, 84);
    s.Chord(12.0, end2 - 12.0 + kLegatoGapBeats, {41, 57, 60, 64, 69}, 84);
    s.Play({8.0, 2.0, 76, 90});
    s.Play({10.0, 2.0, 74, 88});
    s.Play({12.0, end2 - 12.0 + kLegatoGapBeats, 72, 90});

    // Brass: a fanfare of stabs, C - F - G - C.
    const double end3 = 24.0 - kBreathBeats;
    s.Chord(16.0, 0.6, {48, 60, 64, 67}, 112);
    s.Chord(16.75, 0.25, {48, 60, 64, 67}, 96);
    s.Chord(17.0, 1.5, {48, 60, 64, 67, 72}, 110);
    s.Chord(18.75, 0.25, {53, 60, 65, 69}, 96);
    s.Chord(19.0, 1.0, {41, 57, 60, 65, 69}, 108);
    s.Chord(20.0, 1.0, {43, 59, 62, 67, 71}, 110);
    s.Chord(21.0, end3 - 21.0 + kLegatoGapBeats, {36, 48, 60, 64, 67, 72}, 118);

    // Strings: a pad, Am - F, under a melody.
    const double end4 = 32.0 - kBreathBeats;
    s.Chord(24.0, 4.0, {45, 57, 60, 64}, 80);
    s.Chord(28.0, end4 - 28.0 + kLegatoGapBeats, {41, 57, 60, 65}, 80);
    s.Play({24.0, 2.0, 76, 96});
    s.Play({26.0, 1.0, 79, 92});
    s.Play({27.0, 1.0, 77, 92});
    s.Play({28.0, 1.5, 76, 96});
    s.Play({29.5, 0.5, 74, 88});
    s.Play({30.0, end4 - 30.0 + kLegatoGapBeats, 72, 92});

    // Strings with chorus: the closing cadence F - G - C, the last chord held.
    s.Chord(32.0, 2.0, {41, 53, 57, 60, 65, 69}, 90);
    s.Chord(34.0, 2.0, {43, 55, 59, 62, 67, 71}, 94);
    s.Chord(36.0, 4.0, {36, 48, 55, 60, 64, 67, 72}, 96);
    s.Play({32.0, 2.0, 77, 92});
    s.Play({34.0, 1.0, 74, 92});
    s.Play({35.0, 1.0, 79, 94});
    s.Play({36.0, 4.0, 76, 96});
}

}  // namespace

DemoScore BuildDemoPhrase(int sampleRate)
{
    ScoreBuilder builder(std::max(sampleRate, 1));
    for (const Setting& setting : kGlobalSettings) {
        builder.Set(0, setting.index, setting.value);
    }
    for (const Section& section : kSections) {
        builder.Switch(section);
    }
    WriteNotes(builder);
    return builder.Take();
}
