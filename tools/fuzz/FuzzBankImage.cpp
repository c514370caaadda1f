// A bank held in memory (the factory bank's path), header unchecked.
#include <cstddef>
#include <cstdint>

#include "core/ProgramFiles.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    LoadBankImage(plugin.Plugin(), data, size);
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
