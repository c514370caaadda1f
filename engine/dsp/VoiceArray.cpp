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
constexpr int kPositionShift = 32 - 12;
static_assert(WaveTables::kLength == 1 << 12 && kPhaseToPositionShift + 12 == kPhaseBits);

// One bank as one voice reads it over a stretch of frames: the bank's
// premixed table of the key's level, and the phase of the key's pitch class
// times the key's octave factor, shifted up by kPhaseHeadroom (modulo 2^32).
// That value moves by increment times factor, shifted likewise, per frame;
// its top 12 bits are the top 12 of the 28 bits of the bank's wrapped phase
// times the factor, the table position OscillatorBank::AddVoiceSample reads.
struct BankRead {
    const double* table;
    std::uint32_t phase;
    std::uint32_t step;
    StereoDouble panGain;  // left and right gain
};

// Adds the bank's sample to sum and moves on one frame.
inline void AddBank(BankRead& read, StereoDouble& sum)
{
    const double s = read.table[read.phase >> kPositionShift];
    sum += Broadcast(s) * read.panGain;
    read.phase += read.step;
}

inline void AddTo(StereoPair& bus, StereoDouble value)
{
    Store(bus, Load(bus) + value);
}

// One voice over a stretch of frames.
struct Stretch {
    BankRead bank[OscillatorBanks::kBankCount];
    double* gain;  // VCA gain per frame, unless constant
    double constantGain;
    BusFrame* frame;     // the stretch's first frame
    int bus;             // note bus
    int count;           // frames
    double* unfiltered;  // pairs per frame for the filter, or null
};

// Where a voice's output goes besides the raw bus.
enum class Output { None, NoteBus, Filter };

// kConstantGain: the VCA gain is the same for every frame. kRawBus: the raw
// bus is mixed (else nothing reads it).
template <bool kConstantGain, bool kRawBus, Output kOutput>
void RenderStretch(Stretch& s)
{
    BankRead a = s.bank[0];
    BankRead b = s.bank[1];
    BankRead c = s.bank[2];
    const StereoDouble constantGain = Broadcast(s.constantGain);
    StereoPair* noteBus = &s.frame[0].bus[s.bus];
    StereoPair* rawBus = &s.frame[0].bus[BusFrame::kRawBus];
    constexpr int kStride = sizeof(BusFrame) / sizeof(StereoPair);
    for (int i = 0; i < s.count; ++i) {
        StereoDouble sum = {0.0, 0.0};
        AddBank(a, sum);
        AddBank(b, sum);
        AddBank(c, sum);
        const StereoDouble out = sum * (kConstantGain ? constantGain : Broadcast(s.gain[i]));
        if constexpr (kRawBus) {
            AddTo(rawBus[i * kStride], out);
        }
        if constexpr (kOutput == Output::NoteBus) {
            AddTo(noteBus[i * kStride], out);
        } else if constexpr (kOutput == Output::Filter) {
            std::memcpy(s.unfiltered + 2 * i, &out, sizeof out);
        }
    }
}

}  // namespace

VoiceArray::VoiceArray(const OscillatorBanks& banks, const CutoffTable& table)
    : m_banks(banks),
      m_premixed(static_cast<std::size_t>(OscillatorBanks::kBankCount) * kPremixedSize + 1, 0.0)
{
    m_silence = m_premixed.data() + OscillatorBanks::kBankCount * kPremixedSize;
    const WaveGains none = {std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::quiet_NaN()};
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
    m_gain.assign(frames, 0.0);
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
        if (!(gains.saw == m_bankGains[b].saw && gains.square == m_bankGains[b].square)) {
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

const double* VoiceArray::PremixedLevel(int bank, int level)
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
    const auto same = [](const WaveGains& x, const WaveGains& y) {
        return x.saw == y.saw && x.square == y.square;
    };
    // Banks with the same wave mix share one table (the default program has
    // all three at pure sawtooth), which keeps the cache footprint that of
    // the plain wave tables.
    for (int a = 0; a < bank; ++a) {
        if (same(m_bankGains[a], gains) && same(m_premixedFor[a][level], gains)) {
            return m_premixed.data() + a * kPremixedSize + level * kTableLength;
        }
    }
    double* mixed = m_premixed.data() + bank * kPremixedSize + level * kTableLength;
    if (!same(m_premixedFor[bank][level], gains)) {
        const double* wave = WaveTables::Get().Level(level);
        for (int l = 0; l < kTableLength; ++l) {
            mixed[l] = wave[2 * l] * gains.saw + wave[2 * l + 1] * gains.square;
        }
        m_premixedFor[bank][level] = gains;
    }
    return mixed;
}

VoiceArray::BankStretch VoiceArray::MakeBankStretch(int bankIndex, const OscillatorTables::KeyRead& key,
                                                    int begin)
{
    const OscillatorBank& bank = m_banks.Bank(bankIndex);
    const std::uint32_t increment =
        static_cast<std::uint32_t>(bank.Increment(static_cast<int>(key.pitchClass)));
    const std::uint32_t phase =
        bank.Phase(static_cast<int>(key.pitchClass)) + static_cast<std::uint32_t>(begin) * increment;
    const double* table = m_silence;
    if (key.octaveFactor != 0) {
        const auto level = (key.wave - WaveTables::Get().Level(0)) / (2 * kTableLength);
        table = PremixedLevel(bankIndex, static_cast<int>(level));
    }
    return {table, (phase * key.octaveFactor) << kPhaseHeadroom,
            (increment * key.octaveFactor) << kPhaseHeadroom, bank.LeftGain(), bank.RightGain()};
}

void VoiceArray::RenderVoiceBanks(Voice& voice, int begin, int end, BusFrame* frames, double* unfiltered)
{
    const int count = end - begin;
    EnvelopeGenerator& envelope = voice.ampEnvelope;
    // An envelope that one step leaves unchanged (idle, or holding its
    // sustain level) stays unchanged for every step: its gain is constant and
    // it need not be stepped.
    EnvelopeGenerator probe = envelope;
    probe.Step();
    const bool steady = probe.Level() == envelope.Level() && probe.CurrentStage() == envelope.CurrentStage();
    Stretch stretch;
    stretch.gain = m_gain.data();
    stretch.constantGain = voice.vcaVelocityFactor * envelope.Level();
    if (!steady) {
        for (int i = 0; i < count; ++i) {
            envelope.Step();
            stretch.gain[i] = voice.vcaVelocityFactor * envelope.Level();
        }
    }
    for (int bank = 0; bank < OscillatorBanks::kBankCount; ++bank) {
        const BankStretch s = MakeBankStretch(bank, voice.keys.read[bank], begin);
        stretch.bank[bank] = {s.table, s.phase, s.step, StereoDouble{s.leftGain, s.rightGain}};
    }
    stretch.frame = frames + begin;
    stretch.bus = voice.bus;
    stretch.count = count;
    stretch.unfiltered = unfiltered != nullptr ? unfiltered + 2 * begin : nullptr;

    // One loop per combination, so that the per-frame loop has no branches.
    const Output output = unfiltered != nullptr ? Output::Filter
                          : m_noteBusesUsed     ? Output::NoteBus
                                                : Output::None;
    const auto withOutput = [&]<bool kConstantGain, bool kRawBus>() {
        switch (output) {
            case Output::None:
                RenderStretch<kConstantGain, kRawBus, Output::None>(stretch);
                break;
            case Output::NoteBus:
                RenderStretch<kConstantGain, kRawBus, Output::NoteBus>(stretch);
                break;
            case Output::Filter:
                RenderStretch<kConstantGain, kRawBus, Output::Filter>(stretch);
                break;
        }
    };
    if (steady) {
        m_rawBusUsed ? withOutput.template operator()<true, true>()
                     : withOutput.template operator()<true, false>();
    } else {
        m_rawBusUsed ? withOutput.template operator()<false, true>()
                     : withOutput.template operator()<false, false>();
    }
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
    int activeCount = 0;
    for (int v = 0; v < kVoiceCount; ++v) {
        Voice& voice = m_voices[static_cast<std::size_t>(v)];
        if (!voice.active) {
            continue;
        }
        double* unfiltered =
            filtered ? m_unfiltered.data() + static_cast<std::size_t>(v) * 2 * m_controlPeriod : nullptr;
        active[static_cast<std::size_t>(activeCount++)] = {&voice.filter, unfiltered, voice.bus};
        RenderVoiceBanks(voice, begin, end, frames, unfiltered);
    }
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
