// effSetChunk with index 0 (a bank): the marker, then 64 preset records, from
// a host's project.
#include <cstddef>
#include <cstdint>

#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.SetChunk(true, data, size);
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
