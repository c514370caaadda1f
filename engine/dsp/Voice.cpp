#include "engine/dsp/Voice.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/BusFrame.h"
#include "engine/dsp/ReproducibleMath.h"

namespace {

constexpr int kLowestSplitKey = 43;  // first key of bus 1
constexpr int kKeysPerBus = 4;

}  // namespace

int NoteBusOfKey(int key)
{
    if (key < kLowestSplitKey) {
        return 0;
    }
    return std::min(BusFrame::kNoteBusCount - 1, (key - kLowestSplitKey) / kKeysPerBus + 1);
}

void Voice::Start(int key, int velocity, std::int32_t serialNumber, const OscillatorBanks& banks,
                  double vcfModulationOffset)
{
    keyDown = true;
    note = key;
    serial = serialNumber;
    bus = NoteBusOfKey(key);
    PrepareKeys(banks);
    const double d = velocity * (1.0 / 127.0) - 1.0;
    vcfVelocityFactor = d * velocityToVcfEg + 1.0;
    vcaVelocityFactor = d * velocityToVcaEg + 1.0;
    keyTrackOffset = static_cast<std::int32_t>((key - 60) * keyTrack);
    filterEnvelope.Trigger();
    ampEnvelope.Trigger();
    filterEnvelope.Step();
    filter.SetCutoff(CutoffPitch(vcfModulationOffset));
    active = !filterEnvelope.IsIdle() || !ampEnvelope.IsIdle();
}

void Voice::Release(bool force)
{
    keyDown = false;
    if (!force && sustained) {
        return;
    }
    filterEnvelope.Release();
    ampEnvelope.Release();
}

void Voice::Reset(double sampleRate, const OscillatorBanks& banks)
{
    serial = 0;
    active = false;
    sustained = false;
    keyDown = false;
    filterEnvelope.Reset(EnvelopeGenerator::kControlStepsPerSecond);
    ampEnvelope.Reset(sampleRate);
    filter.Restart();
    // The table levels of the keys depend on the sample rate.
    PrepareKeys(banks);
}

void Voice::RenderSample(const OscillatorBanks& banks, bool vcfEnabled, bool serialRouting, StereoPair* buses)
{
    StereoSample sum = banks.ReadVoice(keys);
    ampEnvelope.Step();
    const double gain = vcaVelocityFactor * ampEnvelope.Level();
    double left = sum.left * gain;
    double right = sum.right * gain;
    buses[BusFrame::kRawBus][0] += left;
    buses[BusFrame::kRawBus][1] += right;
    if (vcfEnabled || serialRouting) {
        double filteredLeft;
        double filteredRight;
        filter.Process(left, right, filteredLeft, filteredRight);
        buses[BusFrame::kVcfBus][0] += filteredLeft;
        buses[BusFrame::kVcfBus][1] += filteredRight;
        if (serialRouting) {
            left = filteredLeft;
            right = filteredRight;
        }
    }
    buses[bus][0] += left;
    buses[bus][1] += right;
}

void Voice::SetTranspose(int bankIndex, int semitones, const OscillatorBanks& banks)
{
    if (bankIndex < 0 || bankIndex >= OscillatorBanks::kBankCount) {
        return;
    }
    transpose[static_cast<std::size_t>(bankIndex)] = semitones;
    PrepareKeys(banks);
}
