// A bank file (fxb) of either form, as LoadBankFile reads it. A refused file
// changes nothing.
#include <cstddef>
#include <cstdint>

#include "core/ProgramFiles.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    const FuzzPlugin::Programs before = plugin.Take();
    if (!ApplyBankFile(plugin.Plugin(), ChunkFromInput(data, size))) {
        plugin.ExpectUnchanged(before, true);
    }
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
