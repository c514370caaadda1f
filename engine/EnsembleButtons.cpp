#include "engine/EnsembleButtons.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/PluginEditor.h"
#include "engine/dsp/LimitParameter.h"
#include "engine/dsp/ParameterIds.h"
#include "engine/dsp/UiSoundPlayer.h"

namespace {

// Chorus filter Q written with every recipe: 1/sqrt(2), the flat Butterworth
// response.
constexpr double kRecipeChorusFilterQ = 0.7071067811865476;
constexpr double kRecipePreFilter1Q = 4.2;
// The brass VCF cutoff is given normalized (shape 0.5).
constexpr double kBrassVcfCutoffNormalized = 0.35;

bool IsLit(int bits, EnsembleBit bit)
{
    return (bits & EnsembleMask(bit)) != 0;
}

}  // namespace

EnsembleRecipe ComputeEnsembleRecipe(int bits)
{
    EnsembleRecipe r;
    for (int bit = 0; bit < kEnsembleButtonCount; ++bit) {
        if (bit == kChorus1Bit) {
            // These two follow the pipe organs unless a later button sets them.
            r.vibratoBDepth = r.vibratoACDepth;
            r.preFilter2Level = r.organStringsLevel;
        }
        if (!IsLit(bits, static_cast<EnsembleBit>(bit))) {
            continue;
        }
        switch (bit) {
            case kPipeOrgan1Bit:
            case kPipeOrgan2Bit:
                // Bank A an octave up and bank B an octave down, steady as
                // pipes: the organ's 4' and 16' stops around the 8'.
                r.bankATranspose = 12.0;
                r.bankBTranspose = -12.0;
                r.vibratoACDepth = 0.0;
                r.organStringsLevel = 1.0;
                r.organStringsFrequency =
                    bit == kPipeOrgan1Bit ? 9600.0 : std::max(780.0, r.organStringsFrequency);
                break;
            case kChorus1Bit:
            case kChorus2Bit:
                r.vibratoACDepth = 0.3;
                r.vibratoBDepth = 0.2;
                r.preFilter1Level = 1.0;
                r.vcaDecay = 0.38;
                r.vcaSustain = 0.5;
                if (bit == kChorus1Bit) {
                    r.chorusFrequency = 1160.0;
                } else {
                    r.preFilter1Shift = -1.0;
                    r.chorusFrequency = std::max(570.0, r.chorusFrequency);
                }
                break;
            case kBrass1Bit:
            case kBrass2Bit:
                r.vibratoACDepth = 0.1;
                r.vibratoBDepth = 0.1;
                r.preFilter2Level = 1.0;
                r.vcfLevel = 0.5;
                r.directLevel = 1.0;
                r.vcaDecay = 0.38;
                r.vcaSustain = 0.5;
                if (bit == kBrass2Bit) {
                    r.preFilter2Shift = -1.0;
                }
                break;
            case kStrings1Bit:
            case kStrings2Bit:
                r.preFilter2Level = 1.0;
                r.organStringsLevel = 1.0;
                r.organStringsFrequency =
                    std::max(bit == kStrings1Bit ? 5200.0 : 500.0, r.organStringsFrequency);
                break;
            default:
                break;
        }
    }
    return r;
}

double NormalizedForValue(const Parameter& param, double value)
{
    if (!(param.Max() > param.Min())) {
        return 0.0;
    }
    const double v = LimitParameter(value, param.Min(), param.Max());
    return std::pow((v - param.Min()) / (param.Max() - param.Min()), 1.0 / param.Shape());
}

void EnsembleButtons::Press(int mask, bool toggle, Target& target)
{
    mask &= kAllEnsembleBits;
    int bits = m_bits;
    if (toggle) {
        bits ^= mask;
    } else if ((mask & bits) == 0) {
        target.ClickIfVintageVibe();
        bits = mask;
    }
    // A lit button pressed again keeps the bits; the recipe below is written
    // again, which undoes any tweaks made since.
    if (bits == 0 && mask != 0) {
        // The last lit button cannot be toggled off: the button control has
        // already flipped its own image, the status update lights it again.
        target.UpdateStatusControls();
        return;
    }
    Apply(bits, target);
}

void EnsembleButtons::Apply(int bits, Target& target)
{
    bits &= kAllEnsembleBits;
    const int stored = m_bits;
    const std::span<const Parameter> params = target.ParameterList();
    if (static_cast<int>(params.size()) < kParameterCount) {
        return;
    }
    if (bits != 0 && stored == 0) {
        TakeSnapshot(params);
    }
    if (bits == 0 && stored != 0) {
        for (int index = kFirstTweakParameter; index < kParameterCount; ++index) {
            target.WriteNormalized(index, m_snapshot[static_cast<std::size_t>(index - kFirstTweakParameter)]);
        }
    }
    target.WriteNormalized(kButtonState, NormalizedForValue(params[kButtonState], bits));
    // OnParameterChanged(0) has stored the bits through the write; kept here
    // as well so the state is right whatever the route did.
    m_bits = bits;
    if (bits != 0) {
        WriteRecipe(bits, target);
    }
}

void EnsembleButtons::WriteRecipe(int bits, Target& target)
{
    const std::span<const Parameter> params = target.ParameterList();
    auto setValue = [&](int index, double value) {
        target.WriteNormalized(index, NormalizedForValue(params[static_cast<std::size_t>(index)], value));
    };
    auto setNormalized = [&](int index, double normalized) { target.WriteNormalized(index, normalized); };
    auto setDefault = [&](int index) { setValue(index, params[static_cast<std::size_t>(index)].Default()); };

    // Each write runs OnParameterChanged at once, so the order below is the
    // order in which the sound changes.
    const EnsembleRecipe r = ComputeEnsembleRecipe(bits);
    setValue(kBankATranspose, r.bankATranspose);
    setValue(kBankBTranspose, r.bankBTranspose);
    setValue(kVibratoADepth, r.vibratoACDepth);
    setValue(kVibratoBDepth, r.vibratoBDepth);
    setValue(kVibratoCDepth, r.vibratoACDepth);
    setValue(kPreFilter1Level, r.preFilter1Level);
    setValue(kPreFilter1Shift, r.preFilter1Shift);
    setValue(kPreFilter1Q, kRecipePreFilter1Q);
    setValue(kPreFilter2Level, r.preFilter2Level);
    setValue(kPreFilter2Shift, r.preFilter2Shift);
    setValue(kVcfLevel, r.vcfLevel);
    setNormalized(kRawSignalLevel, 0.0);
    setValue(kOrganStringsFilterFrequency, r.organStringsFrequency);
    setValue(kOrganStringsFilterLevel, r.organStringsLevel);
    setValue(kChorusFilterLevel, r.preFilter1Level);
    setValue(kChorusFilterFrequency, r.chorusFrequency);
    setValue(kChorusFilterQ, kRecipeChorusFilterQ);
    setValue(kDirectLevel, r.directLevel);
    setValue(kVcaDecay, r.vcaDecay);
    setValue(kVcaSustain, r.vcaSustain);

    if (IsLit(bits, kBrass1Bit) || IsLit(bits, kBrass2Bit)) {
        // Brass speaks through the voices' low-pass VCF (serial
        // arrangement) with a filter envelope for the attack's bite.
        setNormalized(kFilterArrangement, 1.0);
        setNormalized(kVcfType, 0.0);
        setNormalized(kVcfCutoff, kBrassVcfCutoffNormalized);
        setValue(kVcfPeak, 0.0);
        setValue(kVcfEgIntensity, 0.2);
        setValue(kVcfKeyTrack, 0.5);
        setValue(kVcfEgAttack, 0.2);
        setValue(kVcfEgDecay, 0.5);
        setValue(kVcfEgSustain, 0.0);
        setValue(kVcfEgRelease, 0.5);
    } else {
        setNormalized(kFilterArrangement, 0.0);
    }

    // Every ensemble resets bank C's pitch, the bank levels and wave mixes,
    // the vibrato rates, the VCA release and the modulator depth, so no
    // earlier tweak of these colours the ensemble.
    setValue(kCTranspose, 0.0);
    setValue(kCTuning, 0.0);
    setValue(kBankALevel, 1.0);
    setValue(kBankBLevel, 1.0);
    setValue(kCLevel, 1.0);
    setValue(kBankAWaveMix, 0.0);
    setValue(kBankBWaveMix, 0.0);
    setValue(kCWaveMix, 0.0);
    setDefault(kVibratoARate);
    setDefault(kVibratoBRate);
    setDefault(kVibratoCRate);
    setValue(kVcaRelease, 0.2);
    setValue(kModulatorDepth, 0.0);
}

void EnsembleButtons::TakeSnapshot(std::span<const Parameter> params)
{
    const int count = std::min(static_cast<int>(params.size()), static_cast<int>(kParameterCount));
    for (int index = kFirstTweakParameter; index < count; ++index) {
        m_snapshot[static_cast<std::size_t>(index - kFirstTweakParameter)] =
            params[static_cast<std::size_t>(index)].Normalized();
    }
}

void EnsembleButtons::StoreButtonState(double value)
{
    m_bits = static_cast<int>(LimitParameter(value, 0.0, kAllEnsembleBits));
}

PluginEnsembleTarget::PluginEnsembleTarget(IPluginBase& plugin, bool vintageVibe,
                                           std::function<void()> updateStatusControls)
    : m_plugin(plugin), m_vintageVibe(vintageVibe), m_updateStatusControls(std::move(updateStatusControls))
{
}

std::span<const Parameter> PluginEnsembleTarget::ParameterList() const
{
    return std::as_const(m_plugin).Parameters();
}

void PluginEnsembleTarget::WriteNormalized(int index, double normalized)
{
    m_plugin.WriteParameter(index, normalized, true, IPluginBase::ChangeSource::Product);
}

void PluginEnsembleTarget::ClickIfVintageVibe()
{
    if (m_vintageVibe) {
        UiSoundPlayer::Instance().TriggerClick(m_plugin.SampleRate());
    }
}

void PluginEnsembleTarget::UpdateStatusControls()
{
    if (m_updateStatusControls) {
        m_updateStatusControls();
    }
}
