// effSetChunk with index 1 (a program): the product's state followed by the
// preset name, from a host's project. Also the state reader on its own, and
// the same bytes handed over by a host that mixes programs and banks up.
#include <cstddef>
#include <cstdint>

#include "engine/VornState.h"
#include "tools/fuzz/FuzzPlugin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    static FuzzPlugin quirky(true);
    static FuzzPlugin reader;

    plugin.SetChunk(false, data, size);
    plugin.RenderShortBlock();
    plugin.CheckConsistent();

    quirky.SetChunk(false, data, size);
    quirky.CheckConsistent();

    const StateChunk chunk = ChunkFromInput(data, size);
    TweakSnapshot snapshot{};
    const int position = ReadVornState(reader.Plugin(), snapshot, chunk, 0);
    if (position > chunk.Size()) {
        __builtin_trap();
    }
    return 0;
}
