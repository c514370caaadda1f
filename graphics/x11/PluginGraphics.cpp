// On Linux the editor is an X11 child window of the host's.
#include "graphics/PluginGraphics.h"
#include "graphics/x11/IGraphicsX11.h"

std::unique_ptr<IGraphics> CreatePluginGraphics(EditorHost& host)
{
    return std::make_unique<IGraphicsX11>(host);
}
