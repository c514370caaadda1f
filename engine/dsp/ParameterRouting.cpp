// The one place where a parameter value becomes engine state: every index
// 0..70 is dispatched here to the oscillator banks, the voices or the signal
// chain. Values arrive in the parameter's own unit; the consumers scale them
// (the cutoff and EG intensity to pitch steps, key track to steps per
// semitone, the master volume to a gain of half its normalized value).
#include <cmath>

#include "engine/dsp/Engine.h"
#include "engine/dsp/LimitParameter.h"
#include "engine/dsp/ParameterIds.h"

void Engine::SetParameter(int index, double x)
{
    switch (index) {
        // Oscillator banks.
        case kMasterTune:
            m_banks.SetMasterTune(x);
            break;
        case kBankATuning:
            m_banks.SetTuning(kBankA, x);
            break;
        case kBankBTuning:
            m_banks.SetTuning(kBankB, x);
            break;
        case kCTuning:
            m_banks.SetTuning(kBankC, x);
            break;
        case kBankAWaveMix:
            m_banks.SetWaveMix(kBankA, x);
            m_voices.UpdateWaveMixTables();
            break;
        case kBankBWaveMix:
            m_banks.SetWaveMix(kBankB, x);
            m_voices.UpdateWaveMixTables();
            break;
        case kCWaveMix:
            m_banks.SetWaveMix(kBankC, x);
            m_voices.UpdateWaveMixTables();
            break;
        case kBankALevel:
            m_banks.SetLevel(kBankA, x);
            break;
        case kBankBLevel:
            m_banks.SetLevel(kBankB, x);
            break;
        case kCLevel:
            m_banks.SetLevel(kBankC, x);
            break;
        case kBankAPan:
            m_banks.SetPan(kBankA, x);
            break;
        case kBankBPan:
            m_banks.SetPan(kBankB, x);
            break;
        case kCPan:
            m_banks.SetPan(kBankC, x);
            break;
        case kVibratoARate:
            m_banks.SetVibratoRate(kBankA, x);
            break;
        case kVibratoBRate:
            m_banks.SetVibratoRate(kBankB, x);
            break;
        case kVibratoCRate:
            m_banks.SetVibratoRate(kBankC, x);
            break;
        case kVibratoADepth:
            m_banks.SetVibratoDepth(kBankA, x);
            break;
        case kVibratoBDepth:
            m_banks.SetVibratoDepth(kBankB, x);
            break;
        case kVibratoCDepth:
            m_banks.SetVibratoDepth(kBankC, x);
            break;

        // Voices.
        case kVcaAttack:
            m_voices.SetVcaAttack(x);
            break;
        case kVorn2000Sustain:
            m_voices.SetVorn2000Sustain(x);
            break;
        case kVelocityToVcfEg:
            m_voices.SetVelocityToVcfEg(x);
            break;
        case kVelocityToVcaEg:
            m_voices.SetVelocityToVcaEg(x);
            break;
        case kBankATranspose:
            m_voices.SetTranspose(kBankA, x);
            break;
        case kBankBTranspose:
            m_voices.SetTranspose(kBankB, x);
            break;
        case kCTranspose:
            m_voices.SetTranspose(kBankC, x);
            break;
        case kVcfType:
            m_voices.SetVcfType(x);
            break;
        case kVcfCutoff:
            m_voices.SetVcfCutoff(x);
            break;
        case kVcfPeak:
            m_voices.SetVcfPeak(x);
            break;
        case kVcfKeyTrack:
            m_voices.SetVcfKeyTrack(x);
            break;
        case kVcfEgIntensity:
            m_voices.SetVcfEgIntensity(x);
            break;
        case kVcfEgAttack:
            m_voices.SetVcfEgAttack(x);
            break;
        case kVcfEgDecay:
            m_voices.SetVcfEgDecay(x);
            break;
        case kVcfEgSustain:
            m_voices.SetVcfEgSustain(x);
            break;
        case kVcfEgRelease:
            m_voices.SetVcfEgRelease(x);
            break;
        case kVcaDecay:
            m_voices.SetVcaDecay(x);
            break;
        case kVcaSustain:
            m_voices.SetVcaSustain(x);
            break;
        case kVcaRelease:
            m_voices.SetVcaRelease(x);
            break;

        // Voices and chain.
        case kFilterArrangement:
            // The editor's status lamps follow this setting once they exist.
            m_voices.SetFilterArrangement(x);
            break;
        case kVcfLevel:
            m_chain.SetVcfLevel(x);
            m_voices.SetVcfLevel(x);
            break;

        // Signal chain.
        case kMasterVolume:
            m_chain.SetMasterVolume(x);
            break;
        case kBass:
            m_chain.SetBass(x);
            break;
        case kTreble:
            m_chain.SetTreble(x);
            break;
        case kPhaserMode:
            m_chain.SetPhaserMode(x);
            break;
        case kPhaserRate:
            m_chain.SetPhaserRate(x);
            break;
        case kPreFilter1Level:
            m_chain.SetPreFilter1Level(x);
            m_preFilter1Level = x;
            UpdateBusUse();
            break;
        case kPreFilter2Level:
            m_chain.SetPreFilter2Level(x);
            m_preFilter2Level = x;
            UpdateBusUse();
            break;
        case kRawSignalLevel:
            m_chain.SetRawLevel(x);
            m_rawLevel = x;
            UpdateBusUse();
            break;
        case kOrganStringsFilterLevel:
            m_chain.SetOrganStringsLevel(x);
            break;
        case kChorusFilterLevel:
            m_chain.SetChorusLevel(x);
            break;
        case kDirectLevel:
            m_chain.SetDirectLevel(x);
            break;
        case kPreFilter1Shift:
            m_chain.SetPreFilter1Shift(x);
            break;
        case kPreFilter1Q:
            m_chain.SetPreFilter1Q(x);
            break;
        case kPreFilter2Shift:
            m_chain.SetPreFilter2Shift(x);
            break;
        case kOrganStringsFilterFrequency:
            m_chain.SetOrganStringsFrequency(x);
            break;
        case kChorusFilterFrequency:
            m_chain.SetChorusFrequency(x);
            break;
        case kChorusFilterQ:
            m_chain.SetChorusQ(x);
            break;
        case kModulatorDestination:
            m_chain.SetModulatorDestination(x);
            break;
        case kModulatorSource:
            m_chain.SetModulatorSource(x);
            break;
        case kModulatorRate:
            m_chain.SetModulatorRate(x);
            break;
        case kModulatorDepth:
            m_chain.SetModulatorDepth(x);
            break;

        // "Button State" is the product's; "reserved" 62..70 change nothing.
        default:
            break;
    }
}

void Engine::UpdateBusUse()
{
    // The voice mixer reads a bus only while its level is above 0.
    m_voices.SetBusUse(m_rawLevel > 0.0, m_preFilter1Level > 0.0 || m_preFilter2Level > 0.0);
}
