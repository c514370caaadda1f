// vornhost info: identity, flags, pins, parameters and programs.
#include "tools/vornhost/Commands.h"
#include "tools/vornhost/VornParameters.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

namespace {

const char* CategoryName(VstIntPtr category)
{
    static constexpr const char* kNames[] = {
        "unknown",     "effect",          "synth",       "analysis",        "mastering", "spacializer",
        "room effect", "surround effect", "restoration", "offline process", "shell",     "generator"};
    if (category < 0 || category >= static_cast<VstIntPtr>(std::size(kNames))) {
        return "?";
    }
    return kNames[category];
}

std::string DescribeFlags(VstInt32 flags)
{
    struct FlagName {
        VstInt32 bit;
        const char* name;
    };
    static constexpr FlagName kFlags[] = {
        {effFlagsHasEditor, "has-editor"},
        {effFlagsCanMono, "can-mono"},
        {effFlagsCanReplacing, "can-replace"},
        {effFlagsProgramChunks, "program-chunks"},
        {effFlagsIsSynth, "is-synth"},
        {effFlagsNoSoundInStop, "no-sound-in-stop"},
        {effFlagsCanDoubleReplacing, "can-double-replace"},
    };
    std::string text;
    VstInt32 known = 0;
    for (const FlagName& flag : kFlags) {
        known |= flag.bit;
        if (flags & flag.bit) {
            text += text.empty() ? "" : " ";
            text += flag.name;
        }
    }
    if (flags & ~known) {
        char rest[32];
        std::snprintf(rest, sizeof(rest), "%sother 0x%x", text.empty() ? "" : " ",
                      static_cast<unsigned>(flags & ~known));
        text += rest;
    }
    return text.empty() ? "none" : text;
}

// Four-character code as text when all four bytes print, else hexadecimal only.
std::string FourCharCode(VstInt32 code)
{
    const auto value = static_cast<std::uint32_t>(code);
    std::string chars;
    for (int shift = 24; shift >= 0; shift -= 8) {
        chars += static_cast<char>((value >> shift) & 0xFF);
    }
    char text[48];
    const bool printable = std::all_of(
        chars.begin(), chars.end(), [](char c) { return std::isprint(static_cast<unsigned char>(c)) != 0; });
    if (printable) {
        std::snprintf(text, sizeof(text), "'%s' (0x%08x)", chars.c_str(), static_cast<unsigned>(value));
    } else {
        std::snprintf(text, sizeof(text), "0x%08x", static_cast<unsigned>(value));
    }
    return text;
}

void PrintPins(PluginHost& host, VstInt32 opcode, int count, const char* direction)
{
    for (int i = 0; i < count; ++i) {
        VstPinProperties pin{};
        const VstIntPtr answer = host.Dispatch(opcode, i, 0, &pin);
        pin.label[sizeof(pin.label) - 1] = '\0';
        if (answer) {
            std::printf("  %s %d: \"%s\" flags 0x%x\n", direction, i, pin.label,
                        static_cast<unsigned>(pin.flags));
        } else {
            std::printf("  %s %d: (no properties)\n", direction, i);
        }
    }
}

}  // namespace

int RunInfo(const InfoOptions& options)
{
    PluginHost host;
    host.SetVerbose(options.verbose);
    if (!host.Load(options.modulePath)) {
        std::fprintf(stderr, "vornhost: %s\n", host.LastError().c_str());
        return 1;
    }
    host.Open();
    host.SetSampleRate(44100.0);
    host.SetBlockSize(512);
    const AEffect& effect = *host.Effect();

    std::printf("module:          %s\n", options.modulePath.c_str());
    std::printf("effect name:     %s\n", host.DispatchText(effGetEffectName).c_str());
    std::printf("vendor:          %s\n", host.DispatchText(effGetVendorString).c_str());
    std::printf("product:         %s\n", host.DispatchText(effGetProductString).c_str());
    std::printf("unique id:       %s\n", FourCharCode(effect.uniqueID).c_str());
    std::printf("version:         %d (vendor version %lld)\n", effect.version,
                static_cast<long long>(host.Dispatch(effGetVendorVersion)));
    std::printf("VST version:     %lld\n", static_cast<long long>(host.Dispatch(effGetVstVersion)));
    const VstIntPtr category = host.Dispatch(effGetPlugCategory);
    std::printf("category:        %lld (%s)\n", static_cast<long long>(category), CategoryName(category));
    std::printf("flags:           0x%x (%s)\n", static_cast<unsigned>(effect.flags),
                DescribeFlags(effect.flags).c_str());
    std::printf("inputs/outputs:  %d/%d\n", effect.numInputs, effect.numOutputs);
    std::printf("initial delay:   %d frames; tail %lld frames\n", effect.initialDelay,
                static_cast<long long>(host.Dispatch(effGetTailSize)));
    std::printf("callbacks:       process %s, processReplacing %s, processDoubleReplacing %s\n",
                host.Supports(ProcessMode::Accumulating) ? "yes" : "no",
                host.Supports(ProcessMode::Replacing) ? "yes" : "no",
                host.Supports(ProcessMode::Double) ? "yes" : "no");

    static constexpr const char* kCanDos[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                              "sendVstMidiEvent", "receiveVstTimeInfo",  "offline",
                                              "bypass",           "midiProgramNames"};
    std::printf("can do:\n");
    for (const char* canDo : kCanDos) {
        char text[PluginHost::kTextBufferSize];
        std::snprintf(text, sizeof(text), "%s", canDo);
        std::printf("  %-22s %lld\n", canDo, static_cast<long long>(host.Dispatch(effCanDo, 0, 0, text)));
    }
    std::printf("pins:\n");
    PrintPins(host, effGetInputProperties, std::clamp(effect.numInputs, 0, PluginHost::kMaxChannels),
              "input");
    PrintPins(host, effGetOutputProperties, std::clamp(effect.numOutputs, 0, PluginHost::kMaxChannels),
              "output");

    const int numParams = std::max(effect.numParams, 0);
    std::printf("parameters: %d\n", numParams);
    std::printf("  %5s  %-30s %-20s %-10s %s\n", "index", "name", "display", "label", "value");
    for (int i = 0; i < numParams; ++i) {
        const std::string name = host.DispatchText(effGetParamName, i);
        const std::string display = host.DispatchText(effGetParamDisplay, i);
        const std::string label = host.DispatchText(effGetParamLabel, i);
        const float value = effect.getParameter ? effect.getParameter(host.Effect(), i) : 0.0f;
        std::printf("  %5d  %-30s %-20s %-10s %.6f\n", i, name.c_str(), display.c_str(), label.c_str(),
                    static_cast<double>(value));
    }

    const int numPrograms = std::max(effect.numPrograms, 0);
    const VstIntPtr current = host.Dispatch(effGetProgram);
    std::printf("programs: %d (current %lld \"%s\")\n", numPrograms, static_cast<long long>(current),
                host.DispatchText(effGetProgramName).c_str());
    for (int i = 0; i < numPrograms; ++i) {
        VstIntPtr answer = 0;
        const std::string name = host.DispatchText(effGetProgramNameIndexed, i, &answer);
        std::printf("  %5d  %s%s\n", i, name.c_str(), answer ? "" : "  (not answered)");
    }
    host.Unload();
    return 0;
}
