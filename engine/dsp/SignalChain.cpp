#include "engine/dsp/SignalChain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/dsp/LimitParameter.h"

namespace {

constexpr double kMaxLevel = 2.0;
constexpr double kMinShift = -4.0;
constexpr double kMaxShift = 4.0;
constexpr double kMinQ = 0.5;
constexpr double kMaxQ = 10.0;
constexpr double kDefaultChorusQ = 0.7071067811865476;
constexpr double kDefaultPreFilter1Q = 4.2;

}  // namespace

SignalChain::SignalChain()
{
    m_preFilter1.SetQ(kDefaultPreFilter1Q);
    m_organStrings.ClearState();
    m_chorus.ClearState();
    m_chorus.SetQ(kDefaultChorusQ);
    m_modulator.SetRate(0.03);
}

void SignalChain::SetSampleRate(double sampleRate)
{
    m_sampleRate = sampleRate;
    // The period is taken from the whole-number rate: 44 at 44.1 kHz. Rates
    // below 1 kHz (or not a number) still get one frame, absurd ones at most
    // kMaxControlPeriod.
    const double wholeRate = sampleRate > 0.0 ? std::floor(sampleRate) : 0.0;
    m_controlPeriod =
        std::max(1, static_cast<int>(std::min(wholeRate / 1000.0, static_cast<double>(kMaxControlPeriod))));
    const std::size_t size = static_cast<std::size_t>(m_controlPeriod);
    m_mixLeft.assign(size, 0.0);
    m_mixRight.assign(size, 0.0);
    m_outLeft.assign(size, 0.0);
    m_outRight.assign(size, 0.0);

    m_preFilter1.Reset(sampleRate);
    m_preFilter2.Reset(sampleRate);
    // The master-mixer filters start at their parameter frequencies; the next
    // control tick adds the modulation.
    m_organStrings.SetSampleRate(sampleRate);
    m_organStrings.ClearState();
    m_organStrings.SetFrequency(m_organStringsFrequency);
    m_organStrings.UpdateCoefficients();
    m_chorus.SetSampleRate(sampleRate);
    m_chorus.ClearState();
    m_chorus.SetFrequency(m_chorusFrequency);
    m_chorus.UpdateCoefficients();
    m_bass.SetSampleRate(sampleRate, kBassFrequency);
    m_treble.SetSampleRate(sampleRate, kTrebleFrequency);
    m_phaser.Reset(sampleRate);
    m_modulator.Restart();
    ++m_settingsGeneration;
    m_steady.valid = false;
}

void SignalChain::SetMasterVolume(double volume)
{
    // Half the normalized value (volume / 2).
    m_masterGain = 0.5 * (LimitParameter(volume, 0.0, kMaxLevel) / kMaxLevel);
}

void SignalChain::SetPreFilter1Level(double level)
{
    m_preFilter1Level = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetPreFilter2Level(double level)
{
    m_preFilter2Level = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetVcfLevel(double level)
{
    m_vcfLevel = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetRawLevel(double level)
{
    m_rawLevel = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetOrganStringsLevel(double level)
{
    m_organStringsLevel = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetChorusLevel(double level)
{
    m_chorusLevel = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetDirectLevel(double level)
{
    m_directLevel = LimitParameter(level, 0.0, kMaxLevel);
    ++m_settingsGeneration;
}

void SignalChain::SetPreFilter1Shift(double shift)
{
    m_preFilter1Shift = LimitParameter(shift, kMinShift, kMaxShift);
    ++m_settingsGeneration;
}

void SignalChain::SetPreFilter2Shift(double shift)
{
    m_preFilter2Shift = LimitParameter(shift, kMinShift, kMaxShift);
    ++m_settingsGeneration;
}

void SignalChain::SetOrganStringsFrequency(double frequency)
{
    m_organStringsFrequency = LimitParameter(frequency, kMinFilterFrequency, kMaxFilterFrequency);
    ++m_settingsGeneration;
}

void SignalChain::SetChorusFrequency(double frequency)
{
    m_chorusFrequency = LimitParameter(frequency, kMinFilterFrequency, kMaxFilterFrequency);
    ++m_settingsGeneration;
}

void SignalChain::SetChorusQ(double q)
{
    m_chorus.SetQ(LimitParameter(q, kMinQ, kMaxQ));
    m_chorus.UpdateCoefficients();
    ++m_settingsGeneration;
}

void SignalChain::SetUiSoundPlayer(UiSoundPlayer* player)
{
    if (player == nullptr) {
        SetUiSoundSource(nullptr, nullptr);
        return;
    }
    SetUiSoundSource([](void* context, double* left, double* right,
                        int frames) { static_cast<UiSoundPlayer*>(context)->AddTo(left, right, frames); },
                     player);
}

void SignalChain::UpdateModulation(double modulationWheel)
{
    const bool modulated = m_modulator.Depth() > 0.0;
    ApplyModulation(modulated, modulated ? m_modulator.Step(modulationWheel) : 0.0);
}

void SignalChain::ApplyModulation(bool modulated, double m)
{
    m_vcfModulationOffset = 0.0;
    double shift1 = m_preFilter1Shift;
    double shift2 = m_preFilter2Shift;
    double organStrings = m_organStringsFrequency;
    double chorus = m_chorusFrequency;
    if (modulated) {
        switch (m_modulator.GetDestination()) {
            case Modulator::kVcf:
                m_vcfModulationOffset = kVcfModulationRange * m;
                break;
            case Modulator::kPreFilter1:
                shift1 = std::clamp(shift1 + kShiftModulationRange * m, kMinShift, kMaxShift);
                break;
            case Modulator::kPreFilter2:
                shift2 = std::clamp(shift2 + kShiftModulationRange * m, kMinShift, kMaxShift);
                break;
            case Modulator::kOrganStrings:
                organStrings = std::clamp(organStrings + kFrequencyModulationRange * m, kMinFilterFrequency,
                                          kMaxFilterFrequency);
                break;
            case Modulator::kChorus:
                chorus = std::clamp(chorus + kFrequencyModulationRange * m, kMinFilterFrequency,
                                    kMaxFilterFrequency);
                break;
            default:
                break;
        }
    }
    bool changed = m_preFilter1.ApplyShift(shift1);
    changed = m_preFilter2.ApplyShift(shift2) || changed;
    if (organStrings != m_organStrings.Frequency()) {
        m_organStrings.SetFrequency(organStrings);
        m_organStrings.UpdateCoefficients();
        changed = true;
    }
    if (chorus != m_chorus.Frequency()) {
        m_chorus.SetFrequency(chorus);
        m_chorus.UpdateCoefficients();
        changed = true;
    }
    if (changed) {
        ++m_settingsGeneration;
    }
}

bool SignalChain::CanSkipSilentPeriod(double limit) const
{
    if (!m_steady.valid || m_steady.generation != m_settingsGeneration || m_steady.period < 1 ||
        m_controlPeriod % m_steady.period != 0 || m_vintageVibe.load(std::memory_order_relaxed)) {
        return false;
    }
    for (int i = 0; i < m_steady.period; ++i) {
        if (!(std::fabs(m_steady.left[i]) < limit) || !(std::fabs(m_steady.right[i]) < limit)) {
            return false;
        }
    }
    return !m_phaser.IsEnabled() || m_phaser.LargestState() < limit;
}

void SignalChain::SkipControlTick(double modulationWheel)
{
    m_skippedModulated = m_modulator.Depth() > 0.0;
    m_skippedModulation = m_skippedModulated ? m_modulator.Step(modulationWheel) : 0.0;
    if (m_phaser.IsEnabled()) {
        m_phaser.StepLfo();
    }
}

void SignalChain::CompleteSkippedTick()
{
    ApplyModulation(m_skippedModulated, m_skippedModulation);
    if (m_phaser.IsEnabled()) {
        m_phaser.RefreshCoefficients();
    }
}

void SignalChain::UpdatePhaser()
{
    if (m_phaser.IsEnabled()) {
        m_phaser.Update();
    }
}

void SignalChain::MixChunk(const BusFrame* buses, int frames)
{
    MixRange(buses, 0, std::clamp(frames, 0, m_controlPeriod));
}

void SignalChain::MixRange(const BusFrame* buses, int first, int count)
{
    double* mixLeft = m_mixLeft.data() + first;
    double* mixRight = m_mixRight.data() + first;
    buses += first;
    m_mixWritten = true;
    if (m_preFilter1Level > 0.0) {
        m_preFilter1.ProcessAdd(buses, count, m_preFilter1Level, mixLeft, mixRight);
    }
    if (m_preFilter2Level > 0.0) {
        m_preFilter2.ProcessAdd(buses, count, m_preFilter2Level, mixLeft, mixRight);
    }
    const auto addBus = [&](int bus, double level) {
        const StereoDouble gain = Broadcast(level);
        for (int i = 0; i < count; ++i) {
            const StereoDouble mix = StereoDouble{mixLeft[i], mixRight[i]} + gain * Load(buses[i].bus[bus]);
            mixLeft[i] = mix[0];
            mixRight[i] = mix[1];
        }
    };
    if (m_vcfLevel > 0.0) {
        addBus(BusFrame::kVcfBus, m_vcfLevel);
    }
    if (m_rawLevel > 0.0) {
        addBus(BusFrame::kRawBus, m_rawLevel);
    }
}

void SignalChain::RenderChunk(int frames, double* outLeft, double* outRight)
{
    const int n = std::clamp(frames, 0, m_controlPeriod);
    m_steady.valid = false;
    m_searchCountdown = 0;
    m_searchInterval = 1;
    MasterBeforePhaser(0, n);
    MasterAfterTreble(n, outLeft, outRight);
}

void SignalChain::MasterBeforePhaser(int first, int n)
{
    const double* mixLeft = m_mixLeft.data() + first;
    const double* mixRight = m_mixRight.data() + first;
    double* left = m_outLeft.data() + first;
    double* right = m_outRight.data() + first;

    if (m_directLevel > 0.0) {
        for (int i = 0; i < n; ++i) {
            left[i] = m_directLevel * mixLeft[i];
            right[i] = m_directLevel * mixRight[i];
        }
    } else {
        std::fill(left, left + n, 0.0);
        std::fill(right, right + n, 0.0);
    }
    if (m_organStringsLevel > 0.0) {
        m_organStrings.ProcessBlockAdd(mixLeft, mixRight, left, right, n, m_organStringsLevel);
    }
    if (m_chorusLevel > 0.0) {
        m_chorus.ProcessBlockAdd(mixLeft, mixRight, left, right, n, m_chorusLevel);
    }
    if (m_bass.IsEnabled()) {
        m_bass.Process(left, right, n);
    }
    if (m_treble.IsEnabled()) {
        m_treble.Process(left, right, n);
    }
}

void SignalChain::MasterAfterTreble(int n, double* outLeft, double* outRight)
{
    double* left = m_outLeft.data();
    double* right = m_outRight.data();
    if (m_phaser.IsEnabled()) {
        m_phaser.Process(left, right, n);
    }
    if (m_uiSoundSource != nullptr && m_vintageVibe.load(std::memory_order_relaxed)) {
        m_uiSoundSource(m_uiSoundContext, left, right, n);
    }
    for (int i = 0; i < n; ++i) {
        outLeft[i] = left[i] * m_masterGain;
        outRight[i] = right[i] * m_masterGain;
    }
    if (m_mixWritten) {
        std::fill(m_mixLeft.begin(), m_mixLeft.end(), 0.0);
        std::fill(m_mixRight.begin(), m_mixRight.end(), 0.0);
        m_mixWritten = false;
    }
}

void SignalChain::RenderSilentChunk(const BusFrame* silentBuses, int frames, double* outLeft,
                                    double* outRight)
{
    const int n = std::clamp(frames, 0, m_controlPeriod);
    double* left = m_outLeft.data();
    double* right = m_outRight.data();
    if (m_steady.valid && m_steady.generation == m_settingsGeneration && n % m_steady.period == 0) {
        // A whole number of cycles on, every state is back where it was.
        const int period = m_steady.period;
        for (int i = 0, k = 0; i < n; ++i) {
            left[i] = m_steady.left[k];
            right[i] = m_steady.right[k];
            k = k + 1 == period ? 0 : k + 1;
        }
        ++m_replayedChunks;
        MasterAfterTreble(n, outLeft, outRight);
        return;
    }
    if (m_steady.valid && m_steady.generation == m_settingsGeneration) {
        // The cycle goes on, but this chunk ends inside it: search again at
        // its end.
        m_searchCountdown = 0;
        m_searchInterval = 1;
    }
    m_steady.valid = false;
    const int tail = std::min(kMaxCyclePeriod, n) & ~1;
    if (tail < 2 || m_searchCountdown-- > 0) {
        MixRange(silentBuses, 0, n);
        MasterBeforePhaser(0, n);
        MasterAfterTreble(n, outLeft, outRight);
        return;
    }
    // The chunk's last `tail` frames in pieces of two, with the state taken
    // before and after each piece.
    const int head = n - tail;
    MixRange(silentBuses, 0, head);
    MasterBeforePhaser(0, head);
    int size = CaptureSteadyState(m_captured[0]);
    for (int t = 0; t < tail; t += 2) {
        MixRange(silentBuses, head + t, 2);
        MasterBeforePhaser(head + t, 2);
        size = CaptureSteadyState(m_captured[(t + 2) / 2]);
    }
    const double* last = m_captured[tail / 2];
    for (int period = 2; period <= tail; period += 2) {
        if (std::memcmp(m_captured[(tail - period) / 2], last,
                        sizeof(double) * static_cast<std::size_t>(size)) == 0) {
            m_steady.valid = true;
            m_steady.generation = m_settingsGeneration;
            m_steady.period = period;
            std::copy(left + n - period, left + n, m_steady.left);
            std::copy(right + n - period, right + n, m_steady.right);
            break;
        }
    }
    if (!m_steady.valid) {
        m_searchCountdown = m_searchInterval;
        m_searchInterval = std::min(2 * m_searchInterval, kMaxSearchInterval);
    }
    MasterAfterTreble(n, outLeft, outRight);
}

int SignalChain::CaptureSteadyState(double* values) const
{
    int count = 0;
    const auto put = [&](double value) { values[count++] = value; };
    const auto putFilter = [&](const Filter& filter) {
        for (const StereoPair& pair : filter.m_coefficient) {
            put(pair[0]);
            put(pair[1]);
        }
        for (const StereoPair& pair : filter.m_state) {
            put(pair[0]);
            put(pair[1]);
        }
        put(filter.m_dither);
    };
    for (int band = 0; band < PreFilter1::kBandCount; ++band) {
        putFilter(m_preFilter1.GetBand(band));
        putFilter(m_preFilter2.GetBand(band));
    }
    putFilter(m_organStrings);
    putFilter(m_chorus);
    count += m_bass.CaptureState(values + count);
    count += m_treble.CaptureState(values + count);
    for (const double level : {m_preFilter1Level, m_preFilter2Level, m_vcfLevel, m_rawLevel,
                               m_organStringsLevel, m_chorusLevel, m_directLevel}) {
        put(level);
    }
    return count;
}

void SignalChain::ProcessChunk(const BusFrame* buses, int frames, double* outLeft, double* outRight)
{
    int done = 0;
    while (done < frames) {
        const int n = std::min(frames - done, m_controlPeriod);
        if (n <= 0) {
            return;
        }
        for (int i = 0; i < n; ++i) {
            MixFrame(buses[done + i], i);
        }
        RenderChunk(n, outLeft + done, outRight + done);
        done += n;
    }
}
