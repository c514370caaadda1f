// A bank file (fxb) of either form, as LoadBankFile reads it.
#include <cstddef>
#include <cstdint>

#include "core/ProgramFiles.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    ApplyBankFile(plugin.Plugin(), ChunkFromInput(data, size));
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
