// Indices of the product's 71 parameters. The order is fixed: it is the host's
// parameter list, the order of the saved state and of the MIDI controller map.
#pragma once

#include <array>

enum VornParameter : int {
    kButtonState = 0,  // lit ensemble buttons, one bit each; 0 is tweak mode
    kMasterVolume,
    kMasterTune,
    kBankATuning,
    kBankBTuning,
    kVcaAttack,
    kVorn2000Sustain,
    kBass,
    kTreble,
    kPhaserMode,
    kPhaserRate,
    kVelocityToVcfEg,
    kVelocityToVcaEg,
    kBankAWaveMix,  // 13: first parameter of the tweak snapshot
    kBankALevel,
    kBankAPan,
    kBankATranspose,
    kVibratoARate,
    kVibratoADepth,
    kBankBWaveMix,
    kBankBLevel,
    kBankBPan,
    kBankBTranspose,
    kVibratoBRate,
    kVibratoBDepth,
    kCWaveMix,
    kCLevel,
    kCPan,
    kCTranspose,
    kCTuning,
    kVibratoCRate,
    kVibratoCDepth,
    kFilterArrangement,
    kPreFilter1Level,
    kPreFilter2Level,
    kVcfLevel,
    kRawSignalLevel,
    kOrganStringsFilterLevel,
    kChorusFilterLevel,
    kDirectLevel,
    kPreFilter1Shift,
    kPreFilter1Q,
    kPreFilter2Shift,
    kOrganStringsFilterFrequency,
    kChorusFilterFrequency,
    kChorusFilterQ,
    kVcfType,
    kVcfCutoff,
    kVcfPeak,
    kVcfKeyTrack,
    kVcfEgIntensity,
    kVcfEgAttack,
    kVcfEgDecay,
    kVcfEgSustain,
    kVcfEgRelease,
    kVcaDecay,
    kVcaSustain,
    kVcaRelease,
    kModulatorDestination,
    kModulatorSource,
    kModulatorRate,
    kModulatorDepth,
    kReserved1,  // 62..70: nine "reserved" parameters that change nothing audible
    kReserved2,
    kReserved3,
    kReserved4,
    kReserved5,
    kReserved6,
    kReserved7,
    kReserved8,
    kReserved9,
    kParameterCount  // 71
};

static_assert(kBankAWaveMix == 13 && kFilterArrangement == 32 && kModulatorDepth == 61 &&
              kParameterCount == 71);

// Values of the enumerated parameters.
enum PhaserModeValue : int { kPhaserNormal = 0, kPhaserPan = 1 };
enum FilterArrangementValue : int { kArrangementParallel = 0, kArrangementSerial = 1 };
enum VcfTypeValue : int { kVcfLowpass = 0, kVcfHighpass = 1 };
enum ModulatorDestinationValue : int {
    kModulateVcf = 0,
    kModulatePreFilter1,
    kModulatePreFilter2,
    kModulateOrganStringsFilter,
    kModulateChorusFilter
};
enum ModulatorSourceValue : int { kModulatorLfo = 0, kModulatorWheel = 1 };

// The default of every parameter in its own unit (the values of the
// initialised program); those not listed default to 0.
inline constexpr std::array<double, kParameterCount> kParameterDefaults = [] {
    std::array<double, kParameterCount> d{};
    d[kMasterVolume] = 1.0;
    d[kVcaAttack] = 0.1;
    d[kBankALevel] = 1.0;
    d[kBankAPan] = 0.5;
    d[kVibratoARate] = 3.5;
    d[kVibratoADepth] = 0.2;
    d[kBankBLevel] = 1.0;
    d[kBankBPan] = 0.5;
    d[kVibratoBRate] = 1.0;
    d[kVibratoBDepth] = 0.2;
    d[kCLevel] = 1.0;
    d[kCPan] = 0.5;
    d[kVibratoCRate] = 5.8;
    d[kVibratoCDepth] = 0.2;
    d[kPreFilter2Level] = 1.0;
    d[kDirectLevel] = 1.0;
    d[kPreFilter1Shift] = -1.0;
    d[kPreFilter1Q] = 4.2;
    d[kPreFilter2Shift] = 0.5;
    d[kOrganStringsFilterFrequency] = 9600.0;
    d[kChorusFilterFrequency] = 1160.0;
    d[kChorusFilterQ] = 0.7071067811865476;
    d[kVcfCutoff] = 1.0;
    d[kVcfEgAttack] = 0.1;
    d[kVcfEgRelease] = 0.2;
    d[kVcaSustain] = 1.0;
    d[kVcaRelease] = 0.2;
    d[kModulatorRate] = 0.03;
    return d;
}();
