// The INI reader and the controller-map parsing: the input is the whole
// configuration file; it is read as at start-up, then every controller is
// sent once, so that whatever the map holds is used.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "synth/Synth.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    Synth& synth = plugin.SynthBase();
    if (std::FILE* file = std::fopen(synth.IniPath().c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    synth.ReadConfiguration();
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    for (int controller = 0; controller < 120; ++controller) {
        event.midiData[0] = static_cast<char>(0xB0);
        event.midiData[1] = static_cast<char>(controller);
        event.midiData[2] = static_cast<char>(controller % 128);
        plugin.Dispatch(effProcessEvents, 0, 0, &events);
    }
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
