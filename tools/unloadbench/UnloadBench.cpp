// Loads the module, makes an instance, plays a few blocks and unloads it
// again, 100 times, and prints how much the process grew: the module's caches
// (decoded images, fonts) and everything else it makes must go with it.
//
//   vorn_unloadbench <module> [cycles]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/host/PluginHost.h"

namespace {

// Resident set size in KiB, from /proc/self/status.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

bool Cycle(const char* module)
{
    PluginHost host;
    if (!host.Load(module) || !host.Start(48000.0, 512)) {
        std::fprintf(stderr, "unloadbench: %s\n", host.LastError().c_str());
        return false;
    }
    const BlockMidiEvent note{0, {0x90, 60, 100}};
    host.SendMidi({&note, 1});
    for (int block = 0; block < 20; ++block) {
        host.Process(512, ProcessMode::Replacing);
    }
    host.Unload();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorn_unloadbench <module> [cycles]\n");
        return 2;
    }
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 100;
    // The first cycles settle the allocator and the loader's own caches.
    for (int i = 0; i < 5; ++i) {
        if (!Cycle(argv[1])) {
            return 1;
        }
    }
    const long before = ResidentKiB();
    for (int i = 0; i < cycles; ++i) {
        if (!Cycle(argv[1])) {
            return 1;
        }
    }
    const long after = ResidentKiB();
    std::printf("unload: %d load/unload cycles, resident %ld KiB -> %ld KiB (%+ld KiB, %.1f KiB per cycle)\n",
                cycles, before, after, after - before, static_cast<double>(after - before) / cycles);
    return 0;
}
