#include "editor/VornEditor.h"

#include <cstdio>
#include <memory>

#include "core/PluginFactory.h"
#include "editor/PanelLayout.h"
#include "editor/TaskelControls.h"
#include "engine/ParameterTable.h"
#include "graphics/ITextControl.h"

namespace {

constexpr int kFirstTweakable = kBankAWaveMix;   // 13
constexpr int kLastTweakable = kModulatorDepth;  // 61

IBitmapStrip Strip(IGraphics& graphics, int id)
{
    const PanelImage* image = FindPanelImage(id);
    return image != nullptr ? graphics.LoadBitmap(id, image->name, image->frames) : IBitmapStrip{};
}

}  // namespace

// The editor host of the product: the plug-in's parameters and host calls,
// and the pending status update at every redraw tick.
class VornWithEditor::Host final : public PluginEditorHost {
public:
    explicit Host(VornWithEditor& vorn) : PluginEditorHost(vorn), m_vorn(vorn) {}
    void OnRedrawTick() override
    {
        if (m_vorn.m_statusPending.exchange(false, std::memory_order_acquire)) {
            m_vorn.ApplyStatusControls();
        }
    }
    void OnFileChosen() override { m_vorn.OnFileChosen(); }

private:
    VornWithEditor& m_vorn;
};

VornWithEditor::VornWithEditor(audioMasterCallback hostCallback, const GraphicsFactory& factory)
    : VORN(hostCallback), m_editorHost(std::make_unique<Host>(*this))
{
    std::unique_ptr<IGraphics> graphics =
        factory ? factory(*m_editorHost) : CreatePluginGraphics(*m_editorHost);
    m_graphics = graphics.get();
    m_graphics->SetScale(PanelScale() / 100.0);
    m_editLayout = StartInEditMode();
    BuildEditor();
    // Every parameter's value goes to the controls, then the drawing
    // surfaces are made and the host learns of the editor.
    AttachEditor(std::move(graphics));
    ApplyStatusControls();
}

VornWithEditor::~VornWithEditor()
{
    AttachMidiLearnSwitch(nullptr);
}

// ---- Building ----------------------------------------------------------------------

void VornWithEditor::ClearReferences()
{
    m_buttons.fill(nullptr);
    m_tweak = nullptr;
    m_pull.fill(nullptr);
    m_vibe = nullptr;
    m_diagram = nullptr;
    m_tweakable.fill(nullptr);
}

void VornWithEditor::BuildEditor()
{
    IGraphics& graphics = *m_graphics;
    const PanelLayout& layout = m_editLayout ? EditPanelLayout() : CompactPanelLayout();
    // The learn switch goes with the old controls.
    AttachMidiLearnSwitch(nullptr);
    ClearReferences();
    graphics.Resize(layout.width, layout.height);
    for (int id : {kImageButton, kImageKnob, kImageKnobBig, kImageKnobSmall, kImageSwitch, kImageFlip,
                   kImagePrevious, kImageNext, kImageEdit, kImageLearn, kImageUnlearn, kImageVibe}) {
        Strip(graphics, id);
    }
    graphics.SetHandleMouseOver(true);
    graphics.SetTooltips(true);
    for (const PanelControl& control : CommonPanelControls()) {
        AttachPanelControl(control);
    }
    if (m_editLayout) {
        Strip(graphics, kImageSwitch5);
        Strip(graphics, kImageDiagram);
    }
    graphics.AttachBackground(layout.background, FindPanelImage(layout.background)->name);
    for (const PanelControl& control : layout.controls) {
        AttachPanelControl(control);
    }
    UpdatePresetButtons();
}

void VornWithEditor::AttachPanelControl(const PanelControl& control)
{
    IGraphics& graphics = *m_graphics;
    const IBitmapStrip strip = Strip(graphics, control.image);
    const PanelRect r = ControlRect(control);
    const IRectangle rect{r.left, r.top, r.right, r.bottom};
    switch (control.kind) {
        case PanelControlKind::PresetMenu:
            graphics.AttachControl(std::make_unique<ITaskelPresetMenu>(
                *this,
                IRectangle{kProgramNumberBox.left, kProgramNumberBox.top, kProgramNumberBox.right,
                           kProgramNumberBox.bottom},
                IRectangle{kProgramNameBox.left, kProgramNameBox.top, kProgramNameBox.right,
                           kProgramNameBox.bottom}));
            break;
        case PanelControlKind::UtilityKick:
            graphics.AttachControl(
                std::make_unique<ITaskelUtilityKick>(*this, control.x, control.y, control.binding, strip));
            break;
        case PanelControlKind::OptionMenu:
            graphics.AttachControl(std::make_unique<ITaskelOptionMenu>(*this, rect));
            break;
        case PanelControlKind::VersionText: {
            char version[32];
            std::snprintf(version, sizeof version, "v.%d.%d.%d.N", (VORN_VERSION_PACKED >> 16) & 0xFF,
                          (VORN_VERSION_PACKED >> 8) & 0xFF, VORN_VERSION_PACKED & 0xFF);
            graphics.AttachControl(std::make_unique<ITextControl>(
                m_editorHost.get(), rect, ITextStyle("Arial", 12, IColour{128, 255, 255, 255}), version));
            break;
        }
        case PanelControlKind::LearnSwitch: {
            SetMidiLearn(false, false);
            auto learn = std::make_unique<ITaskelSwitchMidiLearn>(*this, control.x, control.y, strip);
            ITaskelSwitchMidiLearn* raw = learn.get();
            graphics.AttachControl(std::move(learn));
            AttachMidiLearnSwitch(raw);
            break;
        }
        case PanelControlKind::Switch: {
            auto control2 =
                std::make_unique<ITaskelSwitchControl>(*this, control.x, control.y, control.binding, strip);
            ITaskelSwitchControl* raw = control2.get();
            graphics.AttachControl(std::move(control2));
            if (control.binding == kCodeEditSwitch) {
                raw->SetValue(m_editLayout ? 1.0 : 0.0);
            } else if (control.binding == kCodeTweakSwitch) {
                m_tweak = raw;
            } else if (control.binding == kCodePullSwitchA || control.binding == kCodePullSwitchB) {
                m_pull[control.binding == kCodePullSwitchA ? 0 : 1] = raw;
            } else if (control.binding >= kFirstTweakable && control.binding <= kLastTweakable) {
                m_tweakable[static_cast<std::size_t>(control.binding - kFirstTweakable)] = raw;
            }
            break;
        }
        case PanelControlKind::VibeIndicator: {
            auto vibe = std::make_unique<IBitmapControl>(m_editorHost.get(), control.x, control.y, -1, strip);
            m_vibe = vibe.get();
            graphics.AttachControl(std::move(vibe));
            break;
        }
        case PanelControlKind::Knob: {
            const double gearing = control.binding == kModulatorDestination ? 1.0 : 4.0;
            auto knob = std::make_unique<ITaskelKnobControl>(*this, 2 * control.x, 2 * control.y, strip,
                                                             control.binding, gearing);
            if (control.binding >= kFirstTweakable && control.binding <= kLastTweakable) {
                m_tweakable[static_cast<std::size_t>(control.binding - kFirstTweakable)] = knob.get();
            }
            graphics.AttachControl(std::move(knob));
            break;
        }
        case PanelControlKind::PresetButton: {
            const int bit = kCodeFirstEnsembleButton - control.binding;
            auto button = std::make_unique<ITaskelPresetButton>(*this, control.x, control.y, control.binding,
                                                                1 << bit, strip);
            m_buttons[static_cast<std::size_t>(bit)] = button.get();
            graphics.AttachControl(std::move(button));
            break;
        }
        case PanelControlKind::Diagram: {
            auto diagram =
                std::make_unique<IBitmapControl>(m_editorHost.get(), control.x, control.y, -1, strip);
            m_diagram = diagram.get();
            graphics.AttachControl(std::move(diagram));
            break;
        }
    }
}

IControl* VornWithEditor::TweakableControl(int index) const
{
    return index >= kFirstTweakable && index <= kLastTweakable
               ? m_tweakable[static_cast<std::size_t>(index - kFirstTweakable)]
               : nullptr;
}

// ---- Status controls -----------------------------------------------------------------

void VornWithEditor::UpdatePresetButtons()
{
    const int bits = ButtonState();
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i] != nullptr) {
            m_buttons[i]->ApplyPlugValue((bits >> i) & 1 ? 1.0 : 0.0);
            m_buttons[i]->MarkDirty(false);
        }
    }
    if (m_tweak != nullptr) {
        m_tweak->ApplyPlugValue(bits == 0 ? 1.0 : 0.0);
        m_tweak->MarkDirty(false);
    }
}

void VornWithEditor::UpdateStatusControls()
{
    m_statusPending.store(true, std::memory_order_release);
}

void VornWithEditor::ApplyStatusControls()
{
    m_statusPending.store(false, std::memory_order_relaxed);
    if (m_graphics == nullptr || !m_graphics->IsWindowOpen()) {
        return;
    }
    UpdatePresetButtons();
    const int bits = ButtonState();
    auto show = [](IControl* control, bool on) {
        if (control != nullptr) {
            control->ApplyPlugValue(on ? 1.0 : 0.0);
            control->MarkDirty(false);
        }
    };
    show(m_vibe, VintageVibe());
    if (m_editLayout) {
        show(m_diagram, GetParameter(kFilterArrangement)->Value() >= 0.5);
        for (IControl* control : m_tweakable) {
            if (control != nullptr) {
                control->SetGrayed(bits != 0);
            }
        }
    } else {
        const bool organ = (bits & 0x3) != 0;
        show(m_pull[0], organ && GetParameter(kBankBLevel)->Value() == 0.0);
        show(m_pull[1], organ && GetParameter(kBankALevel)->Value() == 0.0);
    }
}

void VornWithEditor::OnEditorOpened()
{
    VORN::OnEditorOpened();
    UpdateStatusControls();
}

// ---- Commands of the controls -----------------------------------------------------

void VornWithEditor::SetParameterFromPanel(int index, double value)
{
    const Parameter* parameter = GetParameter(index);
    if (parameter == nullptr) {
        return;
    }
    m_graphics->SetParameterFromPlug(index, value, false);
    SetParameterFromEditor(index, parameter->ToNormalized(value));
}

void VornWithEditor::TakeTweakSnapshot()
{
    InstanceLock lock(InstanceMutex());
    Ensemble().TakeSnapshot(Parameters());
}

void VornWithEditor::RenameCurrentProgram(const char* name)
{
    InstanceLock lock(InstanceMutex());
    ModifyCurrentPreset(name);
    NotifyHostOfProgramChange();
    NotifyHostAllParameters();
}

IPluginVST* CreatePluginInstance(audioMasterCallback hostCallback)
{
    return new VornWithEditor(hostCallback);
}
