// vornhost plot: the waveform of an audio file under a spectrogram image.
#include "tools/vornhost/Commands.h"
#include "tools/vornhost/WaveformImage.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

int RunPlot(const PlotOptions& options)
{
    RgbImage spectrogram;
    std::string error;
    if (!options.spectrogramPath.empty() && !ReadPng(options.spectrogramPath, spectrogram, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    const int width = spectrogram.width > 0 ? spectrogram.width : options.width;
    const int left = options.plotLeft >= 0 ? std::min(options.plotLeft, width - 1) : 0;
    const int plotWidth = options.plotWidth > 0 ? std::min(options.plotWidth, width - left) : width - left;
    WaveformColumns columns;
    if (!ScanAudioFile(options.audioPath, plotWidth, columns, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    RgbImage picture = DrawWaveform(columns, width, options.channelHeight, left);
    if (spectrogram.width > 0) {
        picture = StackVertically(spectrogram, picture);
    }
    if (!WritePng(options.outputPath, picture, error)) {
        std::fprintf(stderr, "vornhost: %s\n", error.c_str());
        return 1;
    }
    std::printf("plotted %s (%d channels, %.2f s) to %s (%d x %d)\n", options.audioPath.c_str(),
                static_cast<int>(columns.channels.size()), columns.seconds, options.outputPath.c_str(),
                picture.width, picture.height);
    return 0;
}
