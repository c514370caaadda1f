// MIDI messages as the plug-in receives and sends them, with their position
// inside the host's current audio block.
#pragma once

#include <cstdint>

// A short (channel or system common) message.
struct MidiMessage {
    std::int32_t frameOffset = 0;  // frames from the start of the host block
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

// A system-exclusive dump. The bytes belong to the sender and are valid only
// during the call that hands the message on.
struct SysExMessage {
    std::int32_t frameOffset = 0;  // frames from the start of the host block
    std::int32_t size = 0;         // bytes at data
    const std::uint8_t* data = nullptr;
};
