// effProcessEvents with event lists of any length and content (MIDI and
// system-exclusive events, offsets anywhere), rendered over a few blocks,
// with MIDI learn, MIDI thru and program-change handling switched by the
// input. Nothing may allocate on the way, and the instance stays usable.
//
// Input: byte 0 options (bit 0 learn, bit 1 unlearn mode, bit 2 thru, bit 3
// ignore program change), byte 1 blocks to render (1..8); then records of 8
// bytes per event: type (odd: system exclusive), offset (int32, any value),
// status, data 1, data 2 (a system-exclusive event points at the rest of the
// input, data 2 bytes long at most).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "synth/Synth.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    if (size < 2) {
        return 0;
    }
    const std::uint8_t options = data[0];
    const int blocks = 1 + data[1] % 8;
    Synth& synth = plugin.SynthBase();
    synth.SetMidiLearn((options & 1) != 0, (options & 2) != 0);
    synth.SetMidiThru((options & 4) != 0);
    synth.SetIgnoreProgramChange((options & 8) != 0);

    const std::size_t count = (size - 2) / 8;
    std::vector<VstMidiEvent> midi(count);
    std::vector<VstMidiSysexEvent> sysex(count);
    // VstEvents declares two entries; a host appends the rest.
    std::vector<std::uint8_t> list(sizeof(VstEvents) + count * sizeof(VstEvent*));
    auto* events = reinterpret_cast<VstEvents*>(list.data());
    events->numEvents = static_cast<VstInt32>(count);
    VstEvent** entries = &events->events[0];
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* record = data + 2 + 8 * i;
        std::int32_t offset = 0;
        std::memcpy(&offset, record + 1, 4);
        if ((record[0] & 1) != 0) {
            VstMidiSysexEvent& event = sysex[i];
            event.type = kVstSysExType;
            event.byteSize = sizeof(VstMidiSysexEvent);
            event.deltaFrames = offset;
            const std::size_t rest = size - (2 + 8 * i);
            event.dumpBytes = static_cast<VstInt32>(std::min<std::size_t>(record[7], rest));
            event.sysexDump = reinterpret_cast<char*>(const_cast<std::uint8_t*>(record));
            entries[i] = reinterpret_cast<VstEvent*>(&event);
        } else if ((record[0] & 6) == 6) {
            entries[i] = nullptr;  // hosts have been seen to leave holes
        } else {
            VstMidiEvent& event = midi[i];
            event.type = kVstMidiType;
            event.byteSize = sizeof(VstMidiEvent);
            event.deltaFrames = offset;
            event.midiData[0] = static_cast<char>(record[5]);
            event.midiData[1] = static_cast<char>(record[6]);
            event.midiData[2] = static_cast<char>(record[7]);
            entries[i] = reinterpret_cast<VstEvent*>(&event);
        }
    }
    plugin.Dispatch(effProcessEvents, 0, 0, events);
    for (int b = 0; b < blocks; ++b) {
        plugin.RenderShortBlock();
    }
    plugin.CheckConsistent();
    return 0;
}
