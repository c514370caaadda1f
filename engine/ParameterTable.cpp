#include "engine/ParameterTable.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "engine/ValueFormatters.h"

namespace {

struct ContinuousDefinition {
    int index;
    const char* name;
    double min;
    double max;
    double step;
    // Shape 4 gives fine resolution at the low end of rates and frequencies;
    // 0.5 at the high end of the cutoff.
    double shape;
    DisplayFormatter formatter;
};

constexpr ContinuousDefinition kContinuous[] = {
    {kMasterVolume, "Master Volume", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kMasterTune, "Master Tune", -1.0, 1.0, 0.01, 1.0, FormatCents},
    {kBankATuning, "Bank A Tuning", -1.0, 1.0, 0.01, 1.0, FormatCents},
    {kBankBTuning, "Bank B Tuning", -1.0, 1.0, 0.01, 1.0, FormatCents},
    {kVcaAttack, "VCA Attack", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVorn2000Sustain, "VORN-2000 Sustain", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kBass, "Bass", -20.0, 20.0, 0.01, 1.0, nullptr},
    {kTreble, "Treble", -20.0, 20.0, 0.01, 1.0, nullptr},
    {kPhaserRate, "Phaser Rate", 0.0, 15.0, 0.01, 4.0, nullptr},
    {kVelocityToVcfEg, "Velocity to VCF EG", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVelocityToVcaEg, "Velocity to VCA EG", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kBankAWaveMix, "Bank A Wave Mix", 0.0, 1.0, 0.01, 1.0, FormatRatio},
    {kBankALevel, "Bank A Level", 0.0, 1.0, 0.01, 1.0, FormatLevel},
    {kBankAPan, "Bank A Pan", 0.0, 1.0, 0.01, 1.0, FormatRatio},
    {kVibratoARate, "Vibrato A Rate", 0.0, 25.0, 0.01, 4.0, nullptr},
    {kVibratoADepth, "Vibrato A Depth", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kBankBWaveMix, "Bank B Wave Mix", 0.0, 1.0, 0.01, 1.0, FormatRatio},
    {kBankBLevel, "Bank B Level", 0.0, 1.0, 0.01, 1.0, FormatLevel},
    {kBankBPan, "Bank B Pan", 0.0, 1.0, 0.01, 1.0, FormatRatio},
    {kVibratoBRate, "Vibrato B Rate", 0.0, 25.0, 0.01, 4.0, nullptr},
    {kVibratoBDepth, "Vibrato B Depth", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kCWaveMix, "C Wave Mix", 0.0, 1.0, 0.01, 1.0, FormatRatio},
    {kCLevel, "C Level", 0.0, 1.0, 0.01, 1.0, FormatLevel},
    {kCPan, "C Pan", 0.0, 1.0, 0.01, 1.0, FormatRatio},
    {kCTuning, "C Tuning", -1.0, 1.0, 0.01, 1.0, FormatCents},
    {kVibratoCRate, "Vibrato C Rate", 0.0, 25.0, 0.01, 4.0, nullptr},
    {kVibratoCDepth, "Vibrato C Depth", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kPreFilter1Level, "Pre-Filter 1 Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kPreFilter2Level, "Pre-Filter 2 Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kVcfLevel, "VCF Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kRawSignalLevel, "Raw Signal Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kOrganStringsFilterLevel, "Organ+Strings Filter Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kChorusFilterLevel, "Chorus Filter Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kDirectLevel, "Direct Level", 0.0, 2.0, 0.01, 1.0, FormatLevel},
    {kPreFilter1Shift, "Pre-Filter 1 Shift", -4.0, 4.0, 0.01, 1.0, FormatShiftFactor},
    {kPreFilter1Q, "Pre-Filter 1 Q", 0.5, 10.0, 0.01, 1.0, nullptr},
    {kPreFilter2Shift, "Pre-Filter 2 Shift", -4.0, 4.0, 0.01, 1.0, FormatShiftFactor},
    {kOrganStringsFilterFrequency, "Organ+Strings Filter Frequency", 500.0, 12000.0, 1.0, 4.0, nullptr},
    {kChorusFilterFrequency, "Chorus Filter Frequency", 500.0, 12000.0, 1.0, 4.0, nullptr},
    {kChorusFilterQ, "Chorus Filter Q", 0.5, 10.0, 0.01, 1.0, nullptr},
    {kVcfCutoff, "VCF Cutoff", 0.0, 1.0, 0.01, 0.5, FormatCutoff},
    {kVcfPeak, "VCF Peak", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcfKeyTrack, "VCF Key Track", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcfEgIntensity, "VCF EG Intensity", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcfEgAttack, "VCF EG Attack", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcfEgDecay, "VCF EG Decay", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcfEgSustain, "VCF EG Sustain", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcfEgRelease, "VCF EG Release", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcaDecay, "VCA Decay", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcaSustain, "VCA Sustain", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kVcaRelease, "VCA Release", 0.0, 1.0, 0.01, 1.0, nullptr},
    {kModulatorRate, "Modulator Rate", 0.0, 25.0, 0.01, 4.0, nullptr},
    {kModulatorDepth, "Modulator Depth", 0.0, 1.0, 0.01, 1.0, nullptr},
};

struct IntegerDefinition {
    int index;
    const char* name;
    double min;
    double max;
};

// All default to 0; transposes are in semitones.
constexpr IntegerDefinition kIntegers[] = {
    {kButtonState, "Button State", 0.0, 255.0},
    {kBankATranspose, "Bank A Transpose", -12.0, 12.0},
    {kBankBTranspose, "Bank B Transpose", -12.0, 12.0},
    {kCTranspose, "C Transpose", -12.0, 12.0},
};

constexpr const char* kPhaserModeTexts[] = {"Normal", "Pan"};
constexpr const char* kFilterArrangementTexts[] = {"Parallel", "Serial"};
constexpr const char* kVcfTypeTexts[] = {"Lowpass", "Highpass"};
// "Organ + Strings Filter" has blanks around the plus, unlike the parameter names.
constexpr const char* kModulatorDestinationTexts[] = {"VCF", "Pre-Filter 1", "Pre-Filter 2",
                                                      "Organ + Strings Filter", "Chorus Filter"};
constexpr const char* kModulatorSourceTexts[] = {"LFO", "Modulation Wheel"};

template <std::size_t N>
void DefineEnumerated(std::span<Parameter> params, int index, const char* name, const char* const (&texts)[N])
{
    params[static_cast<std::size_t>(index)].DefineEnumerated(name, static_cast<int>(N), texts);
}

}  // namespace

void DefineVornParameters(std::span<Parameter> params)
{
    assert(params.size() == kParameterCount);
    if (params.size() < kParameterCount) {
        return;
    }
    for (const ContinuousDefinition& d : kContinuous) {
        Parameter& param = params[static_cast<std::size_t>(d.index)];
        param.DefineContinuous(d.name, kParameterDefaults[static_cast<std::size_t>(d.index)], d.min, d.max,
                               d.step, "", "", d.shape);
        param.SetDisplayFormatter(d.formatter);
    }
    for (const IntegerDefinition& d : kIntegers) {
        params[static_cast<std::size_t>(d.index)].DefineInteger(d.name, 0.0, d.min, d.max);
    }
    params[kButtonState].SetDisplayFormatter(FormatButtonPattern);
    for (int index = kReserved1; index <= kReserved9; ++index) {
        params[static_cast<std::size_t>(index)].DefineInteger("reserved", 0.0, 0.0, 1.0);
    }
    DefineEnumerated(params, kPhaserMode, "Phaser Mode", kPhaserModeTexts);
    DefineEnumerated(params, kFilterArrangement, "Filter Arrangement", kFilterArrangementTexts);
    DefineEnumerated(params, kVcfType, "VCF Type", kVcfTypeTexts);
    DefineEnumerated(params, kModulatorDestination, "Modulator Destination", kModulatorDestinationTexts);
    DefineEnumerated(params, kModulatorSource, "Modulator Source", kModulatorSourceTexts);
}

double NormalizedDefault(const Parameter& param)
{
    return param.ToNormalized(param.Default());
}

void InitialiseProgram(std::span<Parameter> params, TweakSnapshot& snapshot, const NormalizedWriter& write)
{
    int count = std::min(static_cast<int>(params.size()), static_cast<int>(kParameterCount));
    for (int index = 0; index < count; ++index) {
        Parameter& param = params[static_cast<std::size_t>(index)];
        double normalized = NormalizedDefault(param);
        if (write) {
            write(index, normalized);
        } else {
            param.SetFromNormalized(normalized);
        }
        if (index >= kFirstTweakParameter) {
            snapshot[static_cast<std::size_t>(index - kFirstTweakParameter)] = normalized;
        }
    }
}
