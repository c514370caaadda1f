// File output of the host: WAV and FLAC by extension, and the waveform picture
// drawn from a file and stacked under another image.
#include "tools/vornhost/AudioFileWriter.h"
#include "tools/vornhost/WaveformImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Writes one second at 1000 Hz: channel 0 a ramp from -0.5 to 0.5, channel 1 silent.
bool WriteRamp(const std::string& path, SampleFormat format, std::string& error)
{
    AudioFileWriter writer;
    if (!writer.Open(path, 1000, 2, format)) {
        error = writer.LastError();
        return false;
    }
    std::vector<float> ramp(1000), silence(1000, 0.0f);
    for (int i = 0; i < 1000; ++i) {
        ramp[static_cast<std::size_t>(i)] = -0.5f + static_cast<float>(i) / 999.0f;
    }
    const float* channels[] = {ramp.data(), silence.data()};
    const bool ok = writer.Write(channels, 600) && writer.Write(channels, 0);
    const float* rest[] = {ramp.data() + 600, silence.data() + 600};
    if (!ok || !writer.Write(rest, 400) || !writer.Close()) {
        error = writer.LastError();
        return false;
    }
    return true;
}

}  // namespace

TEST(AudioFileWriter, WritesWavOrFlacByExtension)
{
    EXPECT_TRUE(IsFlacPath("a/b/demo.flac"));
    EXPECT_TRUE(IsFlacPath("DEMO.FLAC"));
    EXPECT_FALSE(IsFlacPath("demo.wav"));
    EXPECT_FALSE(IsFlacPath("flac"));
    EXPECT_FALSE(IsFlacPath("demo.flac.wav"));

    for (const char* name : {"vorn-audio-test.wav", "vorn-audio-test.flac"}) {
        SCOPED_TRACE(name);
        const std::string path = testing::TempDir() + name;
        std::string error;
        ASSERT_TRUE(WriteRamp(path, SampleFormat::Float32, error)) << error;
        WaveformColumns columns;
        ASSERT_TRUE(ScanAudioFile(path, 10, columns, error)) << error;
        EXPECT_DOUBLE_EQ(columns.seconds, 1.0);
        ASSERT_EQ(columns.channels.size(), 2u);
        ASSERT_EQ(columns.channels[0].size(), 10u);
        // 24-bit FLAC keeps the ramp within a quantization step.
        EXPECT_NEAR(columns.channels[0][0].min, -0.5f, 1e-6);
        EXPECT_NEAR(columns.channels[0][9].max, 0.5f, 1e-6);
        EXPECT_NEAR(columns.channels[0][0].max, -0.5f + 99.0f / 999.0f, 1e-6);
        EXPECT_EQ(columns.channels[1][5].rms, 0.0f);
        std::remove(path.c_str());
    }

    AudioFileWriter writer;
    EXPECT_FALSE(writer.Open("/nonexistent/dir/out.flac", 44100, 2, SampleFormat::Pcm24));
    EXPECT_NE(writer.LastError().find("/nonexistent/dir/out.flac"), std::string::npos);
}

TEST(WaveformImage, DrawsStacksAndRoundTripsThroughPng)
{
    WaveformColumns columns;
    columns.channels = {{{-1.0f, 1.0f, 0.5f}, {0.0f, 0.0f, 0.0f}},
                        {{-0.25f, 0.25f, 0.1f}, {0.0f, 0.0f, 0.0f}}};
    const RgbImage wave = DrawWaveform(columns, 6, 40, 2);
    EXPECT_EQ(wave.width, 6);
    EXPECT_EQ(wave.height, 80);
    auto red = [](const RgbImage& image, int x, int y) {
        return image.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                             static_cast<std::size_t>(x)) *
                            3];
    };
    // Column 0 is drawn at x = 2; a full-scale column is marked as clipped (red).
    EXPECT_EQ(red(wave, 2, 3), 255);
    EXPECT_EQ(red(wave, 0, 3), 0) << "left of the plot area stays empty";
    EXPECT_EQ(red(wave, 2, 40 + 3), 0) << "the quieter channel reaches neither edge";

    const RgbImage top(10, 5, 200, 10, 10);
    const RgbImage stacked = StackVertically(top, wave);
    EXPECT_EQ(stacked.width, 10);
    EXPECT_EQ(stacked.height, 85);
    EXPECT_EQ(red(stacked, 9, 4), 200);
    EXPECT_EQ(red(stacked, 9, 6), 0) << "the narrower part is padded";

    const std::string path = testing::TempDir() + "vorn-waveform-test.png";
    std::string error;
    ASSERT_TRUE(WritePng(path, stacked, error)) << error;
    RgbImage read;
    ASSERT_TRUE(ReadPng(path, read, error)) << error;
    EXPECT_EQ(read.width, stacked.width);
    EXPECT_EQ(read.height, stacked.height);
    EXPECT_EQ(read.pixels, stacked.pixels);
    std::remove(path.c_str());

    EXPECT_FALSE(ReadPng("/nonexistent/image.png", read, error));
    EXPECT_FALSE(error.empty());
    WaveformColumns none;
    EXPECT_FALSE(ScanAudioFile("/nonexistent/audio.wav", 10, none, error));
}
