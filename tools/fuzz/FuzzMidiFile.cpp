// The command-line host's Standard MIDI File reader: any bytes end in a
// sequence in time order or in an error, never outside the input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tools/vornhost/MidiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MidiSequence sequence;
    std::string error;
    if (ParseMidiFile(std::span<const unsigned char>(data, size), sequence, error)) {
        for (std::size_t i = 1; i < sequence.events.size(); ++i) {
            if (sequence.events[i].tick < sequence.events[i - 1].tick ||
                sequence.events[i].seconds < sequence.events[i - 1].seconds) {
                __builtin_trap();
            }
        }
    } else if (!sequence.events.empty() || error.empty()) {
        __builtin_trap();
    }
    return 0;
}
