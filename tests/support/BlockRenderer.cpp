#include "tests/support/BlockRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/dsp/ParameterIds.h"

double StereoBuffer::Rms(std::size_t begin, std::size_t end) const
{
    end = std::min(end, left.size());
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        sum += left[i] * left[i] + right[i] * right[i];
    }
    return end > begin ? std::sqrt(sum / (2.0 * static_cast<double>(end - begin))) : 0.0;
}

double StereoBuffer::PeakAbs() const
{
    double peak = 0.0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    return peak;
}

bool StereoBuffer::AllFinite() const
{
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (!std::isfinite(left[i]) || !std::isfinite(right[i])) {
            return false;
        }
    }
    return true;
}

bool Identical(const StereoBuffer& a, const StereoBuffer& b)
{
    return a.left.size() == b.left.size() &&
           std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(double)) == 0 &&
           std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(double)) == 0;
}

void BlockRenderer::Midi(int offset, int status, int data1, int data2)
{
    MidiMessage message;
    message.frameOffset = offset;
    message.status = static_cast<std::uint8_t>(status);
    message.data1 = static_cast<std::uint8_t>(data1);
    message.data2 = static_cast<std::uint8_t>(data2);
    Deliver(message);
}

StereoBuffer BlockRenderer::Render(std::int64_t frames, int blockSize, const std::vector<TimedMidi>& script,
                                   bool upfront)
{
    StereoBuffer out;
    out.left.assign(static_cast<std::size_t>(frames), 0.0);
    out.right.assign(static_cast<std::size_t>(frames), 0.0);
    std::size_t next = 0;
    const std::int64_t start = m_time;
    if (upfront) {
        for (const TimedMidi& m : script) {
            Midi(static_cast<int>(m.time - start), m.status, m.data1, m.data2);
        }
        next = script.size();
    }
    for (std::int64_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<std::int64_t>(blockSize, frames - done));
        while (next < script.size() && script[next].time < start + done + n) {
            const TimedMidi& m = script[next++];
            Midi(static_cast<int>(m.time - (start + done)), m.status, m.data1, m.data2);
        }
        RenderBlock(out.left.data() + done, out.right.data() + done, n);
        done += n;
    }
    m_time += frames;
    return out;
}

void VcfSerialBrass(BlockRenderer& engine)
{
    engine.Set(kFilterArrangement, 1.0);
    engine.Set(kVcfLevel, 1.2);
    engine.Set(kVcfCutoff, 0.6);
    engine.Set(kVcfPeak, 0.8);
    engine.Set(kVcfEgIntensity, 0.4);
    engine.Set(kVcfKeyTrack, 0.5);
    engine.Set(kVelocityToVcfEg, 0.7);
    engine.Set(kVelocityToVcaEg, 0.5);
    engine.Set(kVcaDecay, 0.3);
    engine.Set(kVcaSustain, 0.6);
    engine.Set(kModulatorDepth, 0.5);
    engine.Set(kModulatorRate, 7.0);
    engine.Set(kPreFilter1Level, 1.0);
    engine.Set(kRawSignalLevel, 0.5);
    engine.Set(kChorusFilterLevel, 0.8);
    engine.Set(kPhaserRate, 3.0);
}
