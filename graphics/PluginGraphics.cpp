#include "graphics/PluginGraphics.h"

#include "core/IPluginBase.h"
#include "graphics/EditorHost.h"
#include "graphics/PngImage.h"

int PluginEditorHost::NumParameters() const
{
    return m_plugin.NumParameters();
}

const Parameter* PluginEditorHost::GetParameter(int index) const
{
    return static_cast<const IPluginBase&>(m_plugin).GetParameter(index);
}

void PluginEditorHost::SetParameterFromEditor(int index, double normalized)
{
    m_plugin.SetParameterFromEditor(index, normalized);
}

void PluginEditorHost::BeginHostEdit(int index)
{
    m_plugin.BeginHostEdit(index);
}

void PluginEditorHost::EndHostEdit(int index)
{
    m_plugin.EndHostEdit(index);
}

void PluginEditorHost::RefreshEditorRect()
{
    m_plugin.RefreshEditorRect();
}

bool PluginEditorHost::RequestWindowSize(int width, int height)
{
    return m_plugin.ResizeHostWindow(width, height);
}

WindowlessGraphics::WindowlessGraphics(EditorHost& host, int width, int height)
    : IGraphics(&host, width, height)
{
}

std::unique_ptr<PixBitmap> WindowlessGraphics::LoadBitmapResource(int id, const char*)
{
    return LoadPngResource(id);
}
