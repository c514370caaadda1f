#include "engine/dsp/VoiceArray.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/dsp/LimitParameter.h"
#include "engine/dsp/ReproducibleMath.h"
#include "engine/dsp/WaveTables.h"

namespace {

constexpr int kTableLength = WaveTables::kLength;
constexpr int kPremixedSize = WaveTables::kLevelCount * kTableLength;

// Bits above the 28 phase bits in a 32-bit word: a phase kept shifted up by
// this much wraps by itself, and its top 12 bits are the table position.
constexpr int kPhaseHeadroom = 32 - kPhaseBits;
static_assert(WaveTables::kLength == 1 << 12 && kPhaseToPositionShift + 12 == kPhaseBits &&
              VoiceReadout::kPositionShift == 32 - 12);

}  // namespace

VoiceArray::VoiceArray(const OscillatorBanks& banks, const CutoffTable& table)
    : m_banks(banks),
      m_premixed(static_cast<std::size_t>(OscillatorBanks::kBankCount) * kPremixedSize + 1, 0.0)
{
    m_silence = m_premixed.data() + OscillatorBanks::kBankCount * kPremixedSize;
    m_waveLevel0 = WaveTables::Get().Level(0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const WaveGains none = {nan, nan};
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        m_bankGains[b] = none;
        for (WaveGains& built : m_premixedFor[b]) {
            built = none;
        }
    }
    for (Voice& voice : m_voices) {
        voice.filter.SetCutoffTable(&table);
        voice.PrepareKeys(banks);
    }
}

void VoiceArray::Reset(double sampleRate, int controlPeriod)
{
    m_controlPeriod = std::max(controlPeriod, 1);
    const std::size_t frames = static_cast<std::size_t>(m_controlPeriod);
    m_gain.assign(frames * kVoiceCount, 0.0);
    m_unfiltered.assign(frames * 2 * kVoiceCount, 0.0);
    m_serialCounter = 0;
    for (Voice& voice : m_voices) {
        voice.Reset(sampleRate, m_banks);
    }
}

// ---- Notes -------------------------------------------------------------------

int VoiceArray::ChooseVoice(int key) const
{
    for (int i = 0; i < kVoiceCount; ++i) {
        if (m_voices[static_cast<std::size_t>(i)].note == key) {
            return i;
        }
    }
    for (int i = 0; i < kVoiceCount; ++i) {
        if (!m_voices[static_cast<std::size_t>(i)].active) {
            return i;
        }
    }
    int oldest = 0;
    for (int i = 1; i < kVoiceCount; ++i) {
        if (m_voices[static_cast<std::size_t>(i)].serial <
            m_voices[static_cast<std::size_t>(oldest)].serial) {
            oldest = i;
        }
    }
    return oldest;
}

void VoiceArray::RenumberSerials()
{
    std::array<int, kVoiceCount> order;
    for (int i = 0; i < kVoiceCount; ++i) {
        order[static_cast<std::size_t>(i)] = i;
    }
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_voices[static_cast<std::size_t>(a)].serial < m_voices[static_cast<std::size_t>(b)].serial;
    });
    for (int rank = 0; rank < kVoiceCount; ++rank) {
        m_voices[static_cast<std::size_t>(order[static_cast<std::size_t>(rank)])].serial = rank + 1;
    }
    m_serialCounter = kVoiceCount;
}

void VoiceArray::NoteOn(int key, int velocity)
{
    for (Voice& voice : m_voices) {
        if (voice.active && voice.ampEnvelope.IsReleasing()) {
            voice.ampEnvelope.EndExtendedSustain();
        }
    }
    Voice& voice = m_voices[static_cast<std::size_t>(ChooseVoice(key))];
    if (m_serialCounter == std::numeric_limits<std::int32_t>::max()) {
        RenumberSerials();
    }
    ++m_serialCounter;
    voice.Start(key, velocity, m_serialCounter, m_banks, m_vcfModulationOffset);
}

void VoiceArray::NoteOff(int key)
{
    for (Voice& voice : m_voices) {
        if (voice.active && voice.note == key) {
            voice.Release(false);
        }
    }
}

void VoiceArray::SetSustainPedal(bool down)
{
    m_sustainPedal = down;
    for (Voice& voice : m_voices) {
        voice.sustained = down;
    }
    if (down) {
        return;
    }
    for (Voice& voice : m_voices) {
        if (!voice.keyDown) {
            voice.Release(true);
        }
    }
}

void VoiceArray::AllNotesOff()
{
    SetSustainPedal(false);
    for (Voice& voice : m_voices) {
        voice.ampEnvelope.EndExtendedSustain();
    }
    for (Voice& voice : m_voices) {
        voice.Release(true);
    }
}

void VoiceArray::ControlTick(double vcfModulationOffset)
{
    m_vcfModulationOffset = vcfModulationOffset;
    for (Voice& voice : m_voices) {
        // Voice::ControlTick leaves inactive voices alone; not calling it
        // saves the call for the usually many silent ones.
        if (voice.active) {
            voice.ControlTick(vcfModulationOffset);
        }
    }
}

bool VoiceArray::AnyActive() const
{
    return std::any_of(m_voices.begin(), m_voices.end(), [](const Voice& v) { return v.active; });
}

int VoiceArray::ActiveCount() const
{
    return static_cast<int>(
        std::count_if(m_voices.begin(), m_voices.end(), [](const Voice& v) { return v.active; }));
}

// ---- Rendering -----------------------------------------------------------------

void VoiceArray::RenderFrameReference(BusFrame& frame)
{
    for (Voice& voice : m_voices) {
        if (voice.active) {
            voice.RenderSample(m_banks, m_vcfEnabled, m_serialRouting, frame.bus);
        }
    }
}

void VoiceArray::UpdateWaveMixTables()
{
    // Only the gains are taken here: a level's table is mixed when a voice
    // first reads it (PremixedLevel), so a wave-mix change costs nothing on
    // the spot and at most one table level per bank and level in use.
    bool changed = false;
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        const OscillatorBank& bank = m_banks.Bank(b);
        const WaveGains gains = {bank.SawGain(), bank.SquareGain()};
        if (!Same(gains, m_bankGains[b])) {
            m_bankGains[b] = gains;
            changed = true;
        }
    }
    if (changed) {
        // Tables may be shared between banks: every level is looked up anew.
        for (auto& levels : m_levelTable) {
            levels.fill(nullptr);
        }
    }
}

inline const double* VoiceArray::PremixedLevel(int bank, int level)
{
    const double*& known = m_levelTable[bank][level];
    if (known == nullptr) {
        known = MixLevel(bank, level);
    }
    return known;
}

const double* VoiceArray::MixLevel(int bank, int level)
{
    const WaveGains gains = m_bankGains[bank];
    // Banks with the same wave mix share one table (the default program has
    // all three at pure sawtooth), which keeps the cache footprint that of
    // the plain wave tables.
    for (int a = 0; a < bank; ++a) {
        if (Same(m_bankGains[a], gains) && Same(m_premixedFor[a][level], gains)) {
            return m_premixed.data() + a * kPremixedSize + level * kTableLength;
        }
    }
    double* mixed = m_premixed.data() + bank * kPremixedSize + level * kTableLength;
    if (!Same(m_premixedFor[bank][level], gains)) {
        const double* wave = WaveTables::Get().Level(level);
        for (int l = 0; l < kTableLength; ++l) {
            mixed[l] = wave[2 * l] * gains.saw + wave[2 * l + 1] * gains.square;
        }
        m_premixedFor[bank][level] = gains;
    }
    return mixed;
}

void VoiceArray::TakeBanks(int begin, BankFrame* banks) const
{
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        const OscillatorBank& bank = m_banks.Bank(b);
        BankFrame& frame = banks[b];
        for (int p = 0; p < OscillatorBank::kPitchClassCount; ++p) {
            frame.increment[p] = static_cast<std::uint32_t>(bank.Increment(p));
            frame.phase[p] = bank.Phase(p) + static_cast<std::uint32_t>(begin) * frame.increment[p];
        }
        frame.leftGain = bank.LeftGain();
        frame.rightGain = bank.RightGain();
    }
}

void VoiceArray::PrepareReadout(Voice& voice, int count, const BankFrame* banks, double* gain,
                                double* unfiltered, VoiceReadout::Voice& read)
{
    EnvelopeGenerator& envelope = voice.ampEnvelope;
    read.constantGain = voice.vcaVelocityFactor * envelope.Level();
    read.gain = nullptr;
    // An envelope that one step leaves unchanged (idle, or holding its
    // sustain level) stays unchanged for every step: its gain is constant and
    // it need not be stepped.
    if (!envelope.StepKeepsState()) {
        for (int i = 0; i < count; ++i) {
            envelope.Step();
            gain[i] = voice.vcaVelocityFactor * envelope.Level();
        }
        read.gain = gain;
    }
    for (int b = 0; b < OscillatorBanks::kBankCount; ++b) {
        // The bank's phase times the key's octave factor, shifted up by
        // kPhaseHeadroom (modulo 2^32), moves by increment times factor,
        // shifted likewise, per frame; its top 12 bits are the top 12 of the
        // 28 bits of the bank's wrapped phase times the factor, the table
        // position OscillatorBank::AddVoiceSample reads.
        const OscillatorTables::KeyRead& key = voice.keys.read[b];
        const BankFrame& bank = banks[b];
        const double* table = m_silence;
        if (key.octaveFactor != 0) {
            const auto level = static_cast<std::size_t>(key.wave - m_waveLevel0) / (2 * kTableLength);
            table = PremixedLevel(b, static_cast<int>(level));
        }
        VoiceReadout::Bank& out = read.bank[b];
        out.table = static_cast<std::int32_t>(table - m_premixed.data());
        out.phase = (bank.phase[key.pitchClass] * key.octaveFactor) << kPhaseHeadroom;
        out.step = (bank.increment[key.pitchClass] * key.octaveFactor) << kPhaseHeadroom;
        out.leftGain = bank.leftGain;
        out.rightGain = bank.rightGain;
    }
    read.bus = voice.bus;
    read.unfiltered = unfiltered;
}

bool VoiceArray::Render(int begin, int end, BusFrame* frames)
{
    begin = std::max(begin, 0);
    end = std::min(end, m_controlPeriod);
    if (end <= begin) {
        return false;
    }
    const bool filtered = m_vcfEnabled || m_serialRouting;
    UpdateWaveMixTables();
    std::array<VoiceFilterBank::Input, kVoiceCount> active;
    std::array<VoiceReadout::Voice, kVoiceCount> reads;
    BankFrame banks[OscillatorBanks::kBankCount];
    TakeBanks(begin, banks);
    int activeCount = 0;
    for (int v = 0; v < kVoiceCount; ++v) {
        Voice& voice = m_voices[static_cast<std::size_t>(v)];
        if (!voice.active) {
            continue;
        }
        double* unfiltered =
            filtered ? m_unfiltered.data() + static_cast<std::size_t>(v) * 2 * m_controlPeriod : nullptr;
        double* gain = m_gain.data() + static_cast<std::size_t>(activeCount) * m_controlPeriod;
        active[static_cast<std::size_t>(activeCount)] = {&voice.filter, unfiltered, voice.bus};
        PrepareReadout(voice, end - begin, banks, gain,
                       unfiltered != nullptr ? unfiltered + 2 * begin : nullptr,
                       reads[static_cast<std::size_t>(activeCount)]);
        ++activeCount;
    }
    VoiceReadout::Run(reads.data(), activeCount,
                      {m_premixed.data(), frames + begin, end - begin, m_rawBusUsed, m_noteBusesUsed});
    if (filtered) {
        VoiceFilterBank::Run(active.data(), activeCount, begin, end, frames,
                             {m_vcfEnabled, m_noteBusesUsed, m_serialRouting});
    }
    return activeCount > 0;
}

// ---- Parameters -------------------------------------------------------------------

// Hands an envelope setting (0..1) to the same envelope of every voice.
void VoiceArray::SetEnvelopeParameter(EnvelopeGenerator Voice::*envelope,
                                      void (EnvelopeGenerator::*set)(double), double x)
{
    const double value = LimitParameter(x, 0.0, 1.0);
    for (Voice& voice : m_voices) {
        ((voice.*envelope).*set)(value);
    }
}

void VoiceArray::SetVcaAttack(double x)
{
    SetEnvelopeParameter(&Voice::ampEnvelope, &EnvelopeGenerator::SetAttack, x);
}

void VoiceArray::SetVorn2000Sustain(double x)
{
    SetEnvelopeParameter(&Voice::ampEnvelope, &EnvelopeGenerator::SetExtendedSustain, x);
}

void VoiceArray::SetVelocityToVcfEg(double x)
{
    for (Voice& voice : m_voices) {
        voice.velocityToVcfEg = LimitParameter(x, 0.0, 1.0);
    }
}

void VoiceArray::SetVelocityToVcaEg(double x)
{
    for (Voice& voice : m_voices) {
        voice.velocityToVcaEg = LimitParameter(x, 0.0, 1.0);
    }
}

void VoiceArray::SetTranspose(int bank, double semitones)
{
    const int value = static_cast<int>(LimitParameter(semitones, -12.0, 12.0));
    for (Voice& voice : m_voices) {
        voice.SetTranspose(bank, value, m_banks);
    }
}

void VoiceArray::SetFilterArrangement(double x)
{
    m_serialRouting = x >= 0.5;
}

void VoiceArray::SetBusUse(bool rawBus, bool noteBuses)
{
    m_rawBusUsed = rawBus;
    m_noteBusesUsed = noteBuses;
}

void VoiceArray::SetVcfLevel(double x)
{
    m_vcfEnabled = x > 0.0;
}

void VoiceArray::SetVcfType(double x)
{
    for (Voice& voice : m_voices) {
        voice.filter.SetType(x);
    }
}

void VoiceArray::SetVcfCutoff(double x)
{
    const auto index = RoundHalfAway(LimitParameter(x, 0.0, 1.0) * kMaxPitchIndex);
    for (Voice& voice : m_voices) {
        voice.cutoffIndex = index;
    }
}

void VoiceArray::SetVcfPeak(double x)
{
    for (Voice& voice : m_voices) {
        voice.filter.SetPeak(x);
    }
}

void VoiceArray::SetVcfKeyTrack(double x)
{
    const double steps = std::round(LimitParameter(x, 0.0, 1.0) * kPitchStepsPerKey);
    for (Voice& voice : m_voices) {
        voice.keyTrack = steps;
    }
}

void VoiceArray::SetVcfEgIntensity(double x)
{
    const double steps = std::round(LimitParameter(x, 0.0, 1.0) * kMaxPitchIndex);
    for (Voice& voice : m_voices) {
        voice.egIntensity = steps;
    }
}

void VoiceArray::SetVcfEgAttack(double x)
{
    SetEnvelopeParameter(&Voice::filterEnvelope, &EnvelopeGenerator::SetAttack, x);
}

void VoiceArray::SetVcfEgDecay(double x)
{
    SetEnvelopeParameter(&Voice::filterEnvelope, &EnvelopeGenerator::SetDecay, x);
}

void VoiceArray::SetVcfEgSustain(double x)
{
    SetEnvelopeParameter(&Voice::filterEnvelope, &EnvelopeGenerator::SetSustain, x);
}

void VoiceArray::SetVcfEgRelease(double x)
{
    SetEnvelopeParameter(&Voice::filterEnvelope, &EnvelopeGenerator::SetRelease, x);
}

void VoiceArray::SetVcaDecay(double x)
{
    SetEnvelopeParameter(&Voice::ampEnvelope, &EnvelopeGenerator::SetDecay, x);
}

void VoiceArray::SetVcaSustain(double x)
{
    SetEnvelopeParameter(&Voice::ampEnvelope, &EnvelopeGenerator::SetSustain, x);
}

void VoiceArray::SetVcaRelease(double x)
{
    SetEnvelopeParameter(&Voice::ampEnvelope, &EnvelopeGenerator::SetRelease, x);
}
