// The product as the module hands it to hosts: VORN with its editor. The
// editor's graphics object is made at construction and attached, so host
// automation, program and state loads, mapped MIDI controllers and the
// ensemble buttons reach its controls, and its controls reach the plug-in.
// VORN itself stays free of graphics, for the engine and product suites and
// the tools.
#pragma once

#include "engine/VORN.h"

class IGraphics;

class VornWithEditor : public VORN {
public:
    explicit VornWithEditor(audioMasterCallback hostCallback);

    // The editor's graphics object (owned by the plug-in).
    IGraphics* Graphics() const { return m_graphics; }

private:
    IGraphics* m_graphics = nullptr;
};
