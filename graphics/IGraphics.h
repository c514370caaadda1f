// The editor's drawing surface and event router. For now it is only the
// interface the plug-in core drives (PluginEditor); the graphics core grows
// here.
#pragma once

#include "core/PluginEditor.h"

class IGraphics : public PluginEditor {};
