// The level check of the factory programs: a two-hand chord of 10 notes
// (keys 36 43 48 52 55 60 64 67 72 76, velocity 100) held 3 s, then released
// and rendered 2 s more, at 48 kHz in blocks of 512, from a fresh engine (the
// host suspends and resumes the plug-in before each program). Reports the
// peak of both channels in dBFS and the EBU R128 integrated loudness in LUFS.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/host/PluginHost.h"

inline constexpr std::array<int, 10> kLevelChordKeys = {36, 43, 48, 52, 55, 60, 64, 67, 72, 76};
inline constexpr int kLevelChordVelocity = 100;
inline constexpr double kLevelChordSeconds = 3.0;
inline constexpr double kLevelTailSeconds = 2.0;
inline constexpr int kLevelSampleRate = 48000;

struct ChordLevel {
    int program = 0;
    std::string name;
    double peakDb = -1e9;        // dBFS of the largest sample, either channel
    double loudnessLufs = -1e9;  // integrated, gated (-inf: silence)
};

// Measures one program of a started host (sample rate kLevelSampleRate);
// false with error when the loudness cannot be measured.
bool MeasureChordLevel(PluginHost& host, int program, ChordLevel& level, std::string& error);

struct LevelsOptions {
    std::string modulePath;
    int program = -1;  // -1: every program
};

// Prints the table of programs, peaks and loudness and a summary line.
int RunLevels(const LevelsOptions& options);
