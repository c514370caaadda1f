// The subcommands of vornhost, independent of how their options were parsed.
#pragma once

#include "tools/host/PluginHost.h"
#include "tools/vornhost/AudioFileWriter.h"
#include "tools/vornhost/RenderLoop.h"

#include <string>
#include <vector>

struct InfoOptions {
    std::string modulePath;
    bool verbose = false;
};

// A --set INDEX=VALUE option: value normalized.
struct ParameterSetting {
    int index = 0;
    float value = 0.0f;
};

struct RenderOptions {
    std::string modulePath;
    std::vector<std::string> outputPaths;  // each WAV or FLAC by its extension
    double seconds = 0.0;                  // 0: the music's length plus tailSeconds
    double tailSeconds = 2.0;              // release tail after the last MIDI event
    int sampleRate = 44100;
    int blockSize = 512;
    int program = -1;                        // -1 keeps the plug-in's current program
    int buttons = -1;                        // ensemble-button state to light at the start; -1 leaves it
    std::vector<ParameterSetting> settings;  // made at the start, after the buttons
    std::string midiPath;                    // Standard MIDI File to play
    bool demo = false;                       // play the built-in demo phrase
    SampleFormat format = SampleFormat::Float32;
    ProcessMode mode = ProcessMode::Replacing;
    std::vector<TimedMidiEvent> events;  // --note events, absolute frames at sampleRate
    bool progress = true;                // progress bar on stderr when it is a terminal
    bool verbose = false;
};

struct BenchOptions {
    std::string modulePath;
    int notes = 64;    // held for the whole run, spread over the keyboard
    bool vcf = false;  // "VCF Level" 0.5 and the serial filter arrangement (VORN only)
    int runs = 1;      // the best of this many runs is reported
    double seconds = 20.0;
    int sampleRate = 48000;
    int blockSize = 512;
};

struct PlotOptions {
    std::string audioPath;
    std::string outputPath;
    std::string spectrogramPath;  // optional image placed above the waveform
    int plotLeft = -1;            // first column of the time axis; -1: the whole width
    int plotWidth = 0;            // columns of the time axis; 0: the whole width
    int width = 1000;             // without a spectrogram
    int channelHeight = 120;
};

struct EditOptions {
    std::string modulePath;
    int program = -1;
    bool verbose = false;
};

struct SnapshotOptions {
    std::string modulePath;
    std::string outputPath;
    int program = -1;
    bool editLayout = false;  // the edit layout (the panel's edit switch is clicked)
};

// Loads the module and brings the plug-in to the resumed state (program
// selected unless -1); false after printing why to stderr.
bool StartPlugin(PluginHost& host, const std::string& modulePath, int sampleRate, int blockSize,
                 ProcessMode mode, int program);

// Each returns the process exit code and prints its report to stdout, errors to stderr.
int RunInfo(const InfoOptions& options);
int RunRender(const RenderOptions& options);
// Renders without output and prints the real-time factor and the time per voice-sample.
int RunBench(const BenchOptions& options);
// Opens the plug-in's editor in a window of its own on the X display and
// runs the idle loop until the window is closed; prints parameter changes.
int RunEdit(const EditOptions& options);
// Opens the editor, waits for it to paint and saves the window as a PNG.
int RunSnapshot(const SnapshotOptions& options);
// Draws the waveform of an audio file (under a spectrogram image, if given) into a PNG.
int RunPlot(const PlotOptions& options);

// Keys for count held notes spread evenly over the piano range (21..108), or
// over all 128 keys for more than 88 notes; distinct and ascending. count is
// limited to 0..128.
std::vector<int> SpreadKeys(int count);
