// effSetChunk with index 0 (a bank): the marker, then 64 preset records, from
// a host's project. A refused bank changes nothing; data without the bank
// marker version is read as a program, whose cut values may stay applied.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    const FuzzPlugin::Programs before = plugin.Take();
    std::int32_t version = 0;
    const bool asBank = size >= 8 && std::memcmp(data, "tffp", 4) == 0 &&
                        (std::memcpy(&version, data + 4, 4), version >= 0x10000);
    if (plugin.SetChunk(true, data, size) == 0) {
        plugin.ExpectUnchanged(before, asBank);
    }
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
