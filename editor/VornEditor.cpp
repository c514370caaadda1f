#include "editor/VornEditor.h"

#include <memory>

#include "core/PluginFactory.h"
#include "graphics/PluginGraphics.h"

VornWithEditor::VornWithEditor(audioMasterCallback hostCallback) : VORN(hostCallback)
{
    std::unique_ptr<IGraphics> graphics = CreatePluginGraphics(*this);
    m_graphics = graphics.get();
    // Every parameter's value goes to the controls, then the drawing
    // surfaces are made.
    AttachEditor(std::move(graphics));
}

IPluginVST* CreatePluginInstance(audioMasterCallback hostCallback)
{
    return new VornWithEditor(hostCallback);
}
