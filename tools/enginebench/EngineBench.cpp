// Whole-engine speed: holds N notes and renders 20 s at 48 kHz in 512-frame
// blocks, printing the real-time factor and the time per voice-sample.
//
//   vorn_enginebench [seconds]
//
// Scenarios: no notes (default program, and with pre-filter 2 off, which
// leaves no bus in use); 16 and 64 notes with the VCF off (default program,
// and with three different bank wave mixes, levels and pans); 64 notes with
// the VCF on every voice (serial arrangement, resonance, filter envelope).
// Each runs three times; the best run counts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/VORN.h"

namespace {

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;

struct Scenario {
    const char* name;
    int notes;
    bool vcf;
    bool preFilter2 = true;   // on in the default program
    bool mixedBanks = false;  // three different wave mixes, levels and pans
};

void Set(VORN& plugin, int index, double value)
{
    plugin.GetParameter(index)->SetClamped(value);
    plugin.OnParameterChanged(index);
}

double RunOnce(const Scenario& scenario, double seconds, double& checksum)
{
    auto plugin = std::make_unique<VORN>(&SilentHost);
    plugin->SetSampleRate(kSampleRate);
    plugin->SetBlockSize(kBlockSize);
    plugin->OnReset();
    plugin->OnActivation(true);
    if (!scenario.preFilter2) {
        Set(*plugin, kPreFilter2Level, 0.0);
    }
    if (scenario.mixedBanks) {
        Set(*plugin, kBankAWaveMix, 0.3);
        Set(*plugin, kBankBWaveMix, 0.7);
        Set(*plugin, kCWaveMix, 1.0);
        Set(*plugin, kBankALevel, 0.8);
        Set(*plugin, kBankBPan, 0.2);
        Set(*plugin, kCPan, 0.9);
    }
    if (scenario.vcf) {
        Set(*plugin, kFilterArrangement, 1.0);
        Set(*plugin, kVcfLevel, 1.0);
        Set(*plugin, kVcfCutoff, 0.7);
        Set(*plugin, kVcfPeak, 0.6);
        Set(*plugin, kVcfEgIntensity, 0.2);
        Set(*plugin, kVcfEgSustain, 0.5);
    }
    for (int i = 0; i < scenario.notes; ++i) {
        MidiMessage message;
        message.frameOffset = i;
        message.status = 0x90;
        message.data1 = static_cast<std::uint8_t>(24 + i);
        message.data2 = 100;
        plugin->HandleMidiMessage(message);
    }
    std::vector<double> left(kBlockSize);
    std::vector<double> right(kBlockSize);
    double* outputs[2] = {left.data(), right.data()};
    const long long blocks = static_cast<long long>(seconds * kSampleRate) / kBlockSize;
    const auto start = std::chrono::steady_clock::now();
    for (long long b = 0; b < blocks; ++b) {
        plugin->RenderBlock(nullptr, outputs, kBlockSize);
        checksum += left[0] + right[kBlockSize - 1];
    }
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(stop - start).count();
}

// The cost of a wave-mix change made inside the audio callback (a mapped
// controller or host automation): a 10-note chord spread over the keyboard
// renders block after block; every other block first changes bank A's wave
// mix. The difference of the two kinds of block, per change, in
// microseconds (best of 3).
double WaveMixChangeMicroseconds(double& checksum)
{
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        auto plugin = std::make_unique<VORN>(&SilentHost);
        plugin->SetSampleRate(kSampleRate);
        plugin->SetBlockSize(kBlockSize);
        plugin->OnReset();
        plugin->OnActivation(true);
        for (int key : {36, 43, 48, 52, 55, 60, 64, 67, 72, 76}) {
            plugin->HandleMidiMessage({0, 0x90, static_cast<std::uint8_t>(key), 100});
        }
        std::vector<double> left(kBlockSize);
        std::vector<double> right(kBlockSize);
        double* outputs[2] = {left.data(), right.data()};
        plugin->RenderBlock(nullptr, outputs, kBlockSize);
        constexpr int kPairs = 2000;
        std::chrono::duration<double> plain{0};
        std::chrono::duration<double> changed{0};
        for (int i = 0; i < kPairs; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            plugin->RenderBlock(nullptr, outputs, kBlockSize);
            auto t1 = std::chrono::steady_clock::now();
            plugin->SetParameterFromEditor(kBankAWaveMix, (i % 100) / 99.0);
            plugin->RenderBlock(nullptr, outputs, kBlockSize);
            auto t2 = std::chrono::steady_clock::now();
            plain += t1 - t0;
            changed += t2 - t1;
            checksum += left[0];
        }
        best = std::min(best, (changed - plain).count() / kPairs * 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 20.0;
    const Scenario scenarios[] = {
        {"no notes", 0, false},
        {"no notes, pre-filter 2 off", 0, false, false},
        {"16 notes, VCF off", 16, false},
        {"64 notes, VCF off", 64, false},
        {"64 notes, VCF off, mixed banks", 64, false, true, true},
        {"64 notes, VCF on (serial)", 64, true},
    };
    double checksum = 0.0;
    std::printf("%.0f s at %.0f Hz in blocks of %d frames\n", seconds, kSampleRate, kBlockSize);
    for (const Scenario& scenario : scenarios) {
        double best = 1e300;
        for (int run = 0; run < 3; ++run) {
            best = std::min(best, RunOnce(scenario, seconds, checksum));
        }
        const double samples = seconds * kSampleRate;
        std::printf("%-32s %8.1fx real time", scenario.name, seconds / best);
        if (scenario.notes > 0) {
            std::printf("  %6.2f ns per voice-sample", best * 1e9 / (samples * scenario.notes));
        }
        std::printf("\n");
    }
    std::printf("%-32s %8.1f us per change (10-note chord, render included)\n",
                "wave-mix change in the callback", WaveMixChangeMicroseconds(checksum));
    std::printf("(checksum %g)\n", checksum);
    return 0;
}
