// Writes audio to a WAV or FLAC file through libsndfile; the file name's
// extension chooses the container (".flac" for FLAC, anything else WAV).
#pragma once

#include <string>
#include <vector>

enum class SampleFormat {
    Float32,
    Pcm24,
};

// True when path ends in ".flac" (any case).
bool IsFlacPath(const std::string& path);

class AudioFileWriter {
public:
    AudioFileWriter() = default;
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Creates (or replaces) the file; false with LastError() on failure. FLAC
    // holds integers only, so it is written as 24-bit whatever format says.
    bool Open(const std::string& path, int sampleRate, int channels, SampleFormat format);
    // Appends frames frames taken from one buffer per channel; 24-bit output clips to -1..1.
    bool Write(const float* const* channels, int frames);
    // Flushes and closes; false when the file could not be completed.
    bool Close();

    const std::string& LastError() const { return m_error; }

private:
    void* m_file = nullptr;  // SNDFILE*
    int m_channels = 0;
    std::vector<float> m_interleaved;
    std::string m_error;
};
