// The subcommands of vornhost, independent of how their options were parsed.
#pragma once

#include "tools/vornhost/AudioFileWriter.h"
#include "tools/vornhost/PluginHost.h"
#include "tools/vornhost/RenderLoop.h"

#include <string>
#include <vector>

struct InfoOptions {
    std::string modulePath;
    bool verbose = false;
};

struct RenderOptions {
    std::string modulePath;
    std::string outputPath;
    double seconds = 2.0;
    int sampleRate = 44100;
    int blockSize = 512;
    int program = -1;  // -1 keeps the plug-in's current program
    SampleFormat format = SampleFormat::Float32;
    ProcessMode mode = ProcessMode::Replacing;
    std::vector<TimedMidiEvent> events;  // absolute frames at sampleRate
    bool verbose = false;
};

// Each returns the process exit code and prints its report to stdout, errors to stderr.
int RunInfo(const InfoOptions& options);
int RunRender(const RenderOptions& options);
