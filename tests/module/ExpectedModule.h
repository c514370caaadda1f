// What the module under test is expected to report at its VST 2.4 interface.
#pragma once

#include "core/VstAbi.h"

#include <cstddef>

constexpr int kExpectedParams = 71;
constexpr int kExpectedPrograms = 64;
constexpr int kExpectedOutputs = 2;
constexpr VstInt32 kExpectedUniqueId = VstFourCC('v', 'o', 'r', 'n');
constexpr VstInt32 kExpectedVersion = 10003;
constexpr VstInt32 kRequiredFlags =
    effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth | effFlagsCanDoubleReplacing;

// Host buffer sizes the tests hand out, terminator included (program names:
// 24 characters and a terminator). Parameter texts
// get 64 bytes: the interface's nominal 8 is exceeded by nearly every plug-in,
// and 64 is what common hosts allocate.
constexpr std::size_t kParamTextCapacity = 64;
constexpr std::size_t kProgramNameCapacity = kVstMaxProgNameLen + 1;
constexpr std::size_t kEffectNameCapacity = kVstMaxEffectNameLen;
constexpr std::size_t kVendorCapacity = kVstMaxVendorStrLen;
constexpr std::size_t kProductCapacity = kVstMaxProductStrLen;

// Output with no notes playing: the engine may leave denormal guards of about 1e-13.
constexpr double kSilence = 1e-5;
