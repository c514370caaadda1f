// The plug-in's editor on Windows: a window of the module's own class.
#include "graphics/PluginGraphics.h"

#include "graphics/win32/IGraphicsWin.h"
#include "platform/Module.h"

std::unique_ptr<IGraphics> CreatePluginGraphics(EditorHost& host)
{
    auto graphics = std::make_unique<IGraphicsWin>(host);
    graphics->SetModuleInstance(ThisModuleHandle());
    return graphics;
}
