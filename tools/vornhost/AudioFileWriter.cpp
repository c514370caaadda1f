#include "tools/vornhost/AudioFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <string_view>

bool IsFlacPath(const std::string& path)
{
    constexpr std::string_view kExtension = ".flac";
    if (path.size() < kExtension.size()) {
        return false;
    }
    return std::equal(kExtension.begin(), kExtension.end(),
                      path.end() - static_cast<std::ptrdiff_t>(kExtension.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

AudioFileWriter::~AudioFileWriter()
{
    Close();
}

bool AudioFileWriter::Open(const std::string& path, int sampleRate, int channels, SampleFormat format)
{
    Close();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    const bool flac = IsFlacPath(path);
    if (flac) {
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    } else {
        info.format = SF_FORMAT_WAV | (format == SampleFormat::Float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
    }
    if (channels <= 0 || !sf_format_check(&info)) {
        m_error = std::string("unsupported ") + (flac ? "FLAC" : "WAV") +
                  " layout: " + std::to_string(channels) + " channels at " + std::to_string(sampleRate) +
                  " Hz";
        return false;
    }
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        m_error = "cannot create " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Integer output: clip instead of wrapping around on overs.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    m_file = file;
    m_channels = channels;
    return true;
}

bool AudioFileWriter::Write(const float* const* channels, int frames)
{
    if (!m_file || frames <= 0) {
        return m_file != nullptr;
    }
    const std::size_t channelCount = static_cast<std::size_t>(m_channels);
    m_interleaved.resize(static_cast<std::size_t>(frames) * channelCount);
    for (std::size_t c = 0; c < channelCount; ++c) {
        const float* source = channels[c];
        for (std::size_t i = 0; i < static_cast<std::size_t>(frames); ++i) {
            m_interleaved[i * channelCount + c] = source ? source[i] : 0.0f;
        }
    }
    SNDFILE* file = static_cast<SNDFILE*>(m_file);
    if (sf_writef_float(file, m_interleaved.data(), frames) != frames) {
        m_error = std::string("write failed: ") + sf_strerror(file);
        return false;
    }
    return true;
}

bool AudioFileWriter::Close()
{
    if (!m_file) {
        return true;
    }
    SNDFILE* file = static_cast<SNDFILE*>(m_file);
    m_file = nullptr;
    if (sf_close(file) != 0) {
        m_error = "closing the file failed";
        return false;
    }
    return true;
}
