// What the subcommands share: starting a plug-in and spreading held notes.
#include "tools/vornhost/Commands.h"

#include <cstdio>
#include <string>

bool StartPlugin(PluginHost& host, const std::string& modulePath, int sampleRate, int blockSize,
                 ProcessMode mode, int program)
{
    if (!host.Load(modulePath)) {
        std::fprintf(stderr, "vornhost: %s\n", host.LastError().c_str());
        return false;
    }
    if (!host.Supports(mode)) {
        std::fprintf(stderr, "vornhost: the plug-in does not support %s\n", ProcessModeName(mode));
        return false;
    }
    host.Open();
    host.SetSampleRate(sampleRate);
    host.SetBlockSize(blockSize);
    if (program >= 0) {
        if (program >= host.Effect()->numPrograms) {
            std::fprintf(stderr, "vornhost: program %d does not exist (the plug-in has %d)\n", program,
                         host.Effect()->numPrograms);
            return false;
        }
        host.Dispatch(effSetProgram, 0, program);
    }
    if (!host.Resume()) {
        std::fprintf(stderr, "vornhost: %s\n", host.LastError().c_str());
        return false;
    }
    if (host.NumOutputs() == 0) {
        std::fprintf(stderr, "vornhost: the plug-in has no outputs\n");
        return false;
    }
    return true;
}

std::vector<int> SpreadKeys(int count)
{
    constexpr int kLowestPianoKey = 21;
    constexpr int kPianoKeys = 88;
    count = std::clamp(count, 0, 128);
    const int low = count <= kPianoKeys ? kLowestPianoKey : 0;
    const int span = count <= kPianoKeys ? kPianoKeys : 128;
    std::vector<int> keys;
    for (int i = 0; i < count; ++i) {
        keys.push_back(low + i * span / count);
    }
    return keys;
}
