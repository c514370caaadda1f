// Indices of the product's 71 parameters. The order is fixed: it is the host's
// parameter list, the order of the saved state and of the MIDI controller map.
#pragma once

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
