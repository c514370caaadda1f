#include "graphics/PluginGraphics.h"

#include "core/IPluginBase.h"
#include "graphics/EditorHost.h"
#include "graphics/PngImage.h"

namespace {

class PluginEditorHost final : public EditorHost {
public:
    explicit PluginEditorHost(IPluginBase& plugin) : m_plugin(plugin) {}

    int NumParameters() const override { return m_plugin.NumParameters(); }
    const Parameter* GetParameter(int index) const override
    {
        return static_cast<const IPluginBase&>(m_plugin).GetParameter(index);
    }
    void SetParameterFromEditor(int index, double normalized) override
    {
        m_plugin.SetParameterFromEditor(index, normalized);
    }
    void BeginHostEdit(int index) override { m_plugin.BeginHostEdit(index); }
    void EndHostEdit(int index) override { m_plugin.EndHostEdit(index); }
    void RefreshEditorRect() override { m_plugin.RefreshEditorRect(); }

private:
    IPluginBase& m_plugin;
};

}  // namespace

std::unique_ptr<EditorHost> MakePluginEditorHost(IPluginBase& plugin)
{
    return std::make_unique<PluginEditorHost>(plugin);
}

WindowlessGraphics::WindowlessGraphics(std::unique_ptr<EditorHost> host, int width, int height)
    : IGraphics(host.get(), width, height), m_ownedHost(std::move(host))
{
}

std::unique_ptr<PixBitmap> WindowlessGraphics::LoadBitmapResource(int id, const char*)
{
    return LoadPngResource(id);
}
