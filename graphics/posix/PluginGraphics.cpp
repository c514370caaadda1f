// Away from Windows the editor has no window yet: the plug-in gets the
// windowless stand-in and announces no editor.
#include "graphics/PluginGraphics.h"

std::unique_ptr<IGraphics> CreatePluginGraphics(EditorHost& host)
{
    return std::make_unique<WindowlessGraphics>(host);
}
