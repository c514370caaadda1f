// The end-to-end suite's view of the shared host: the built module file, its
// instances, text replies checked against canaries and audio buffers with
// canaries. Portable: runs natively and under Wine.
#pragma once

#include "core/VstAbi.h"
#include "tools/host/PluginHost.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

// Path of the module under test, taken from the command line.
void SetModulePath(const std::string& path);
const std::string& ModulePath();

// Vendor string the instances created while it is alive report (opcode 32);
// some plug-ins change behaviour for particular hosts.
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

// One plug-in instance made through the entry point of the module under test
// (loaded once for the whole suite), driven by the shared host. Closes
// itself.
class PluginInstance : public PluginHost {
public:
    // Creates the instance with the "VSTPluginMain" export, or "main".
    explicit PluginInstance(const char* entryName = "VSTPluginMain");

    explicit operator bool() const { return Effect() != nullptr; }
    TextReply Text(VstInt32 opcode, VstInt32 index, std::size_t capacity, VstIntPtr value = 0);
    // suspend, close.
    void Close() { Unload(); }

    // Sends MIDI messages (status, data1, data2 at a frame) through effProcessEvents.
    struct Midi {
        VstInt32 frame;
        unsigned char status, data1, data2;
    };
    using PluginHost::SendMidi;
    VstIntPtr SendMidi(const std::vector<Midi>& messages);

private:
    std::vector<BlockMidiEvent> m_events;
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
