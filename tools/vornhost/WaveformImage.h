// Pictures of rendered audio: a waveform drawn from an audio file (minimum,
// maximum and RMS per pixel column, one band per channel), stacked under
// another image such as a spectrogram, read and written as PNG.
#pragma once

#include <string>
#include <vector>

// 8-bit RGB pixels, row by row from the top.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // width * height * 3

    RgbImage() = default;
    RgbImage(int w, int h, unsigned char r, unsigned char g, unsigned char b);
    void Set(int x, int y, unsigned char r, unsigned char g, unsigned char b);
};

struct WaveformColumn {
    float min = 0.0f;
    float max = 0.0f;
    float rms = 0.0f;
};

struct WaveformColumns {
    double seconds = 0.0;
    std::vector<std::vector<WaveformColumn>> channels;  // [channel][column]
};

// Reads the file once, frame by frame, into columns columns per channel
// (memory does not grow with the file's length).
bool ScanAudioFile(const std::string& path, int columns, WaveformColumns& result, std::string& error);

// A width-wide image of channelHeight rows per channel; column i of the
// waveform is drawn at x = left + i.
RgbImage DrawWaveform(const WaveformColumns& columns, int width, int channelHeight, int left);

// top above bottom, as wide as the wider one; the narrower is padded with black.
RgbImage StackVertically(const RgbImage& top, const RgbImage& bottom);

bool ReadPng(const std::string& path, RgbImage& image, std::string& error);
bool WritePng(const std::string& path, const RgbImage& image, std::string& error);
