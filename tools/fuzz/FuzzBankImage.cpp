// A bank held in memory (the factory bank's path), header unchecked. A
// refused image changes nothing.
#include <cstddef>
#include <cstdint>

#include "core/ProgramFiles.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    const FuzzPlugin::Programs before = plugin.Take();
    if (!LoadBankImage(plugin.Plugin(), data, size)) {
        plugin.ExpectUnchanged(before, true);
    }
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
