// Test host for the end-to-end suite: loads the built module file through its
// exported entry point, answers its host callback and records what the
// plug-in asked, per effect record. Portable: runs natively and under Wine.
#pragma once

#include "core/VstAbi.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

// Path of the module under test, taken from the command line.
void SetModulePath(const std::string& path);
const std::string& ModulePath();

// What the plug-in asked of the host, for one instance.
struct HostLog {
    std::array<int, 128> counts{};  // callbacks by opcode
    int wantMidiInAudio = 0;        // opcode 6 made while an audio callback ran
    int wantMidiWithArguments = 0;  // opcode 6 with any argument other than zero

    int Count(VstInt32 opcode) const
    {
        return opcode >= 0 && opcode < static_cast<VstInt32>(counts.size()) ? counts[opcode] : 0;
    }
};

// Vendor string the test host reports (opcode 32) while it is alive; some
// plug-ins change behaviour for particular hosts.
class ScopedHostVendor {
public:
    explicit ScopedHostVendor(const char* vendor);
    ~ScopedHostVendor();
    ScopedHostVendor(const ScopedHostVendor&) = delete;
    ScopedHostVendor& operator=(const ScopedHostVendor&) = delete;

private:
    const char* m_previous;
};

// Result of a text opcode run on a buffer of a given capacity followed by canary bytes.
struct TextReply {
    std::string text;         // up to the first terminator within the capacity
    VstIntPtr result = 0;     // the dispatcher's result
    bool terminated = false;  // a terminator lies within the capacity
    bool overran = false;     // a canary byte after the capacity was changed
    bool untouched = false;   // the whole buffer still holds its fill pattern
};

// One plug-in instance made through the module's entry point. Closes itself.
class PluginInstance {
public:
    // Creates the instance with the "VSTPluginMain" export, or "main".
    explicit PluginInstance(const char* entryName = "VSTPluginMain");
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* Effect() const { return m_effect; }
    explicit operator bool() const { return m_effect != nullptr; }
    // Read these while no other thread drives this instance.
    const HostLog& Log() const;
    // Callbacks made while the entry point ran, before the record existed.
    const HostLog& CreationLog() const;

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    TextReply Text(VstInt32 opcode, VstInt32 index, std::size_t capacity, VstIntPtr value = 0);

    // open, sample rate, block size, resume.
    void Start(double sampleRate, int blockSize);
    // suspend, close.
    void Close();

    // The audio callbacks, with the host-side "in audio callback" state set.
    void ProcessReplacing(float** inputs, float** outputs, VstInt32 frames);
    void ProcessAccumulating(float** inputs, float** outputs, VstInt32 frames);
    void ProcessDouble(double** inputs, double** outputs, VstInt32 frames);

    // Sends MIDI messages (status, data1, data2 at a frame) through effProcessEvents.
    struct Midi {
        VstInt32 frame;
        unsigned char status, data1, data2;
    };
    VstIntPtr SendMidi(const std::vector<Midi>& messages);

private:
    int m_slot = -1;
    AEffect* m_effect = nullptr;
    bool m_resumed = false;
    std::vector<VstMidiEvent> m_events;
    std::vector<VstIntPtr> m_eventList;
};

// Audio buffers for numChannels channels of frames samples each, followed by
// canary samples that the plug-in must never write.
template <typename Sample>
class CanaryBuffers {
public:
    static constexpr std::size_t kCanaryFrames = 64;
    static constexpr Sample kCanary = static_cast<Sample>(-12345.0);

    CanaryBuffers(int numChannels, std::size_t frames, Sample fill) : m_frames(frames)
    {
        m_data.resize(static_cast<std::size_t>(numChannels));
        m_pointers.resize(m_data.size());
        for (std::size_t c = 0; c < m_data.size(); ++c) {
            m_data[c].assign(frames + kCanaryFrames, kCanary);
            std::fill(m_data[c].begin(), m_data[c].begin() + static_cast<std::ptrdiff_t>(frames), fill);
            m_pointers[c] = m_data[c].data();
        }
    }

    Sample** Pointers() { return m_pointers.data(); }
    const Sample* Channel(std::size_t c) const { return m_data[c].data(); }
    std::size_t Frames() const { return m_frames; }

    // Whether the first frames samples of channel c all equal value.
    bool AllEqual(std::size_t c, Sample value, std::size_t frames) const
    {
        for (std::size_t i = 0; i < frames; ++i) {
            if (m_data[c][i] != value) {
                return false;
            }
        }
        return true;
    }
    bool CanariesIntact() const
    {
        for (const std::vector<Sample>& channel : m_data) {
            for (std::size_t i = m_frames; i < channel.size(); ++i) {
                if (channel[i] != kCanary) {
                    return false;
                }
            }
        }
        return true;
    }
    // Largest magnitude within [0, frames); infinity when a sample is not finite.
    double Peak(std::size_t c, std::size_t frames) const;

private:
    std::size_t m_frames;
    std::vector<std::vector<Sample>> m_data;
    std::vector<Sample*> m_pointers;
};

template <typename Sample>
double CanaryBuffers<Sample>::Peak(std::size_t c, std::size_t frames) const
{
    double peak = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double sample = static_cast<double>(m_data[c][i]);
        if (!std::isfinite(sample)) {
            return HUGE_VAL;
        }
        peak = std::max(peak, std::fabs(sample));
    }
    return peak;
}
