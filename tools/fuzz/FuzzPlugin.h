// Shared by the fuzz targets: an in-process product instance set up as a host
// sets it up, and the effect record's dispatcher.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/IPluginVST.h"
#include "core/StateChunk.h"

// Owns a product instance made by CreatePluginInstance, opened, with the
// empty slots filled (as the entry point does), sample rate and block size
// set and processing switched on. With vendorQuirk the host reports itself
// as "Native Instruments", whose chunk handling differs.
class FuzzPlugin {
public:
    explicit FuzzPlugin(bool vendorQuirk = false);
    ~FuzzPlugin();
    FuzzPlugin(const FuzzPlugin&) = delete;
    FuzzPlugin& operator=(const FuzzPlugin&) = delete;

    IPluginVST& Plugin() { return *m_plugin; }
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr);
    // effSetChunk with a copy of the bytes (the host's buffer is not ours to keep).
    VstIntPtr SetChunk(bool bank, const std::uint8_t* data, std::size_t size);
    // Renders a short block, so that whatever state was loaded is played.
    void RenderShortBlock();
    // Checks that survive any input: the live parameters are inside their
    // ranges, every slot that claims a state can be read back, and the
    // instance still hands out both chunks. Aborts otherwise.
    void CheckConsistent();

private:
    std::unique_ptr<IPluginVST> m_plugin;
};

// The input as a StateChunk (inputs larger than a chunk may be are cut).
StateChunk ChunkFromInput(const std::uint8_t* data, std::size_t size);
