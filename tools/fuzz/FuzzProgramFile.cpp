// A program file (fxp) of either form, as LoadProgramFile reads it.
#include <cstddef>
#include <cstdint>

#include "core/ProgramFiles.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    ApplyProgramFile(plugin.Plugin(), ChunkFromInput(data, size));
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
