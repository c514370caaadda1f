// A program file (fxp) of either form, as LoadProgramFile reads it. A refused
// file leaves every program alone (a program cut inside its values applies
// what fits to the live values).
#include <cstddef>
#include <cstdint>

#include "core/ProgramFiles.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    const FuzzPlugin::Programs before = plugin.Take();
    if (!ApplyProgramFile(plugin.Plugin(), ChunkFromInput(data, size))) {
        plugin.ExpectUnchanged(before, false);
    }
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
