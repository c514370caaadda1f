#include "tools/vornhost/VornParameters.h"

#include <algorithm>
#include <cmath>

ParameterRange VornParameterRange(int index)
{
    switch (index) {
        case kButtonState:
            return {0.0, 255.0, 1.0};
        case kMasterVolume:
        case kPreFilter1Level:
        case kPreFilter2Level:
        case kVcfLevel:
        case kRawSignalLevel:
        case kOrganStringsFilterLevel:
        case kChorusFilterLevel:
        case kDirectLevel:
            return {0.0, 2.0, 1.0};
        case kMasterTune:
        case kBankATuning:
        case kBankBTuning:
        case kCTuning:
            return {-1.0, 1.0, 1.0};
        case kBass:
        case kTreble:
            return {-20.0, 20.0, 1.0};
        case kPhaserRate:
            return {0.0, 15.0, 4.0};
        case kBankATranspose:
        case kBankBTranspose:
        case kCTranspose:
            return {-12.0, 12.0, 1.0};
        case kVibratoARate:
        case kVibratoBRate:
        case kVibratoCRate:
        case kModulatorRate:
            return {0.0, 25.0, 4.0};
        case kPreFilter1Shift:
        case kPreFilter2Shift:
            return {-4.0, 4.0, 1.0};
        case kPreFilter1Q:
        case kChorusFilterQ:
            return {0.5, 10.0, 1.0};
        case kOrganStringsFilterFrequency:
        case kChorusFilterFrequency:
            return {500.0, 12000.0, 4.0};
        case kVcfCutoff:
            return {0.0, 1.0, 0.5};
        case kModulatorDestination:
            return {0.0, 4.0, 1.0};
        default:
            return {0.0, 1.0, 1.0};
    }
}

float VornNormalized(int index, double value)
{
    const ParameterRange range = VornParameterRange(index);
    const double v = std::clamp(value, range.min, range.max);
    return static_cast<float>(std::pow((v - range.min) / (range.max - range.min), 1.0 / range.shape));
}

namespace {

// The values one lit combination writes; see EnsembleWrites for the order.
struct Recipe {
    double transposeA = 0.0;
    double transposeB = 0.0;
    double vibratoAcDepth = 0.2;
    double vibratoBDepth = 0.2;
    double preFilter1Level = 0.0;  // also the chorus filter level
    double preFilter1Shift = -0.55;
    double preFilter2Level = 0.0;
    double preFilter2Shift = 0.5;
    double vcfLevel = 0.0;
    double organStringsFrequency = 780.0;
    double organStringsLevel = 0.0;
    double chorusFrequency = 570.0;
    double directLevel = 0.0;
    double vcaDecay = 0.0;
    double vcaSustain = 1.0;
};

constexpr int kPipeOrgan1 = 1 << 0;
constexpr int kPipeOrgan2 = 1 << 1;
constexpr int kChorus1 = 1 << 2;
constexpr int kChorus2 = 1 << 3;
constexpr int kBrass1 = 1 << 4;
constexpr int kBrass2 = 1 << 5;
constexpr int kStrings1 = 1 << 6;
constexpr int kStrings2 = 1 << 7;

// Later buttons (higher bits) win; two defaults depend on the organ buttons.
Recipe ComputeRecipe(int bits)
{
    Recipe r;
    if (bits & (kPipeOrgan1 | kPipeOrgan2)) {
        r.transposeA = 12.0;
        r.transposeB = -12.0;
        r.vibratoAcDepth = 0.0;
        r.organStringsLevel = 1.0;
        r.organStringsFrequency = (bits & kPipeOrgan1) ? 9600.0 : r.organStringsFrequency;
    }
    r.vibratoBDepth = r.vibratoAcDepth;
    r.preFilter2Level = r.organStringsLevel;
    if (bits & (kChorus1 | kChorus2)) {
        r.vibratoAcDepth = 0.3;
        r.vibratoBDepth = 0.2;
        r.preFilter1Level = 1.0;
        r.vcaDecay = 0.38;
        r.vcaSustain = 0.5;
        if (bits & kChorus1) {
            r.chorusFrequency = 1160.0;
        }
        if (bits & kChorus2) {
            r.preFilter1Shift = -1.0;
            r.chorusFrequency = std::max(570.0, r.chorusFrequency);
        }
    }
    if (bits & (kBrass1 | kBrass2)) {
        r.vibratoAcDepth = 0.1;
        r.vibratoBDepth = 0.1;
        r.preFilter2Level = 1.0;
        r.vcfLevel = 0.5;
        r.directLevel = 1.0;
        r.vcaDecay = 0.38;
        r.vcaSustain = 0.5;
        if (bits & kBrass2) {
            r.preFilter2Shift = -1.0;
        }
    }
    if (bits & kStrings1) {
        r.preFilter2Level = 1.0;
        r.organStringsFrequency = std::max(5200.0, r.organStringsFrequency);
        r.organStringsLevel = 1.0;
    }
    if (bits & kStrings2) {
        r.preFilter2Level = 1.0;
        r.organStringsFrequency = std::max(500.0, r.organStringsFrequency);
        r.organStringsLevel = 1.0;
    }
    return r;
}

}  // namespace

std::vector<ParameterWrite> EnsembleWrites(int bits)
{
    bits = std::clamp(bits, 0, 255);
    std::vector<ParameterWrite> writes;
    auto value = [&](int index, double v) { writes.push_back({index, VornNormalized(index, v)}); };
    auto normalized = [&](int index, double n) { writes.push_back({index, static_cast<float>(n)}); };

    value(kButtonState, bits);
    if (bits == 0) {
        return writes;
    }
    const Recipe r = ComputeRecipe(bits);
    value(kBankATranspose, r.transposeA);
    value(kBankBTranspose, r.transposeB);
    value(kVibratoADepth, r.vibratoAcDepth);
    value(kVibratoBDepth, r.vibratoBDepth);
    value(kVibratoCDepth, r.vibratoAcDepth);
    value(kPreFilter1Level, r.preFilter1Level);
    value(kPreFilter1Shift, r.preFilter1Shift);
    value(kPreFilter1Q, 4.2);
    value(kPreFilter2Level, r.preFilter2Level);
    value(kPreFilter2Shift, r.preFilter2Shift);
    value(kVcfLevel, r.vcfLevel);
    normalized(kRawSignalLevel, 0.0);
    value(kOrganStringsFilterFrequency, r.organStringsFrequency);
    value(kOrganStringsFilterLevel, r.organStringsLevel);
    value(kChorusFilterLevel, r.preFilter1Level);
    value(kChorusFilterFrequency, r.chorusFrequency);
    value(kChorusFilterQ, 0.7071067811865476);
    value(kDirectLevel, r.directLevel);
    value(kVcaDecay, r.vcaDecay);
    value(kVcaSustain, r.vcaSustain);

    if (bits & (kBrass1 | kBrass2)) {
        normalized(kFilterArrangement, 1.0);
        normalized(kVcfType, 0.0);
        normalized(kVcfCutoff, 0.35);
        value(kVcfPeak, 0.0);
        value(kVcfEgIntensity, 0.2);
        value(kVcfKeyTrack, 0.5);
        value(kVcfEgAttack, 0.2);
        value(kVcfEgDecay, 0.5);
        value(kVcfEgSustain, 0.0);
        value(kVcfEgRelease, 0.5);
    } else {
        normalized(kFilterArrangement, 0.0);
    }

    value(kCTranspose, 0.0);
    value(kCTuning, 0.0);
    value(kBankALevel, 1.0);
    value(kBankBLevel, 1.0);
    value(kCLevel, 1.0);
    value(kBankAWaveMix, 0.0);
    value(kBankBWaveMix, 0.0);
    value(kCWaveMix, 0.0);
    value(kVibratoARate, 3.5);
    value(kVibratoBRate, 1.0);
    value(kVibratoCRate, 5.8);
    value(kVcaRelease, 0.2);
    value(kModulatorDepth, 0.0);
    return writes;
}
