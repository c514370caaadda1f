#include "editor/TaskelControls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Parameter.h"
#include "editor/PanelLayout.h"
#include "editor/VornEditor.h"
#include "engine/dsp/ParameterIds.h"
#include "engine/dsp/UiSoundPlayer.h"
#include "graphics/IGraphics.h"

namespace {

// Knobs whose turns make the scratch noise under "vintage vibe".
bool ClickingParameter(int index)
{
    switch (index) {
        case 1:
        case 7:
        case 8:
        case 14:
        case 15:
        case 20:
        case 21:
        case 25:
        case 26:
        case 27:
            return true;
        default:
            return index >= 33 && index <= 39;
    }
}

bool AnyModifier(const IModifiers& m)
{
    return m.right || m.shift || m.control || m.alt;
}

// A pipe-organ button (bit 0 or 1 of "Button State") is lit.
bool OrganLit(const VornWithEditor& vorn)
{
    return (vorn.ButtonState() & 0x3) != 0;
}

constexpr int kProgramNameLength = 27;
constexpr int kProgramsPerSubmenu = 16;

}  // namespace

// ---- Knob ------------------------------------------------------------------------------

ITaskelKnobControl::ITaskelKnobControl(VornWithEditor& vorn, int x2, int y2, const IBitmapStrip& strip,
                                       int parameter, double gearing)
    : IKnobMultiControl(&vorn.EditorHostOf(), x2 / 2, y2 / 2, parameter, strip, kVertical, gearing),
      m_vorn(vorn)
{
    const int d = (m_rect.Height() - 12) / 2;
    m_valueBox = {m_rect.left + 4, m_rect.top + d, m_rect.right - 4, m_rect.bottom - d};
    m_textStyle = ITextStyle("Verdana", 12, IColour{255, 255, 192, 64});
    m_click = ClickingParameter(parameter);
}

void ITaskelKnobControl::HandleMouseOver(int, int, const IModifiers&)
{
    m_hover = true;
    MarkDirty(true);
}

void ITaskelKnobControl::HandleMouseOut()
{
    m_hover = false;
    MarkDirty(false);
}

void ITaskelKnobControl::HandleMouseDrag(int x, int y, int dx, int dy, const IModifiers& modifiers)
{
    IKnobControl::HandleMouseDrag(x, y, dx, dy, modifiers);
    UiSoundPlayer& player = UiSoundPlayer::Instance();
    if (m_vorn.VintageVibe() && m_click && player.IsIdle()) {
        player.StartScratch(m_vorn.SampleRate());
    }
}

bool ITaskelKnobControl::Draw(IGraphics& graphics)
{
    IKnobMultiControl::Draw(graphics);
    const Parameter* parameter = m_host != nullptr ? m_host->GetParameter(m_parameter) : nullptr;
    if (m_gearing > 1.0 && m_hover && parameter != nullptr) {
        char text[32] = {};
        parameter->FormatValue(parameter->Value(), false, text, sizeof text, true);
        graphics.FillRectangle(IColour{224, 64, 64, 64}, m_valueBox, nullptr);
        graphics.DrawText(m_textStyle, text, m_valueBox);
    }
    return true;
}

// ---- Panel switch --------------------------------------------------------------------

ITaskelSwitchControl::ITaskelSwitchControl(VornWithEditor& vorn, int x, int y, int code,
                                           const IBitmapStrip& strip)
    : ISwitchControl(&vorn.EditorHostOf(), x, y, code, strip), m_vorn(vorn)
{
    if (code == kCodeTweakSwitch) {
        m_menu.AddItem("Recall Tweak Mode Data");
        m_menu.AddItem("Overwrite with Preset Data");
    }
}

void ITaskelSwitchControl::Step()
{
    m_value += m_strip.frames < 2 ? 1.0 : 1.0 / (m_strip.frames - 1);
    if (m_value > 1.001) {
        m_value = 0.0;
    }
    MarkDirty(true);
}

void ITaskelSwitchControl::SetPlain(int index, double value)
{
    m_vorn.SetParameterFromPanel(index, value);
}

void ITaskelSwitchControl::HandleMouseDown(int x, int y, const IModifiers& modifiers)
{
    switch (m_parameter) {
        case kCodeVintageVibe:
            Step();
            m_vorn.SetVintageVibe(m_value >= 0.5);
            m_vorn.UpdateStatusControls();
            break;
        case kCodeEditSwitch: {
            Step();
            VornWithEditor& vorn = m_vorn;
            vorn.SetEditLayout(m_value >= 0.5);
            // The rebuild destroys this control: only the plug-in from here on.
            vorn.BuildEditor();
            vorn.PushParametersToEditor();
            vorn.UpdateStatusControls();
            return;
        }
        case kCodePullSwitchA:
            Step();
            if (OrganLit(m_vorn)) {
                SetPlain(kBankBLevel, m_value >= 0.5 ? 0.0 : 1.0);
                SetPlain(kBankATranspose, m_value >= 0.5 ? 0.0 : 12.0);
            }
            break;
        case kCodePullSwitchB:
            Step();
            if (OrganLit(m_vorn)) {
                SetPlain(kBankALevel, m_value >= 0.5 ? 0.0 : 1.0);
                SetPlain(kBankBTranspose, m_value >= 0.5 ? 0.0 : -12.0);
            }
            break;
        case kCodeTweakSwitch:
            if (AnyModifier(modifiers) && m_value < 0.5) {
                IGraphics* graphics = m_vorn.Graphics();
                IMenu* chosen =
                    graphics != nullptr ? graphics->ShowPopupMenu(m_menu, {x, y, x + 1, y + 1}) : nullptr;
                if (chosen == nullptr) {
                    return;
                }
                if (chosen->Chosen() == 1) {
                    m_vorn.TakeTweakSnapshot();
                }
            } else {
                Step();
            }
            m_vorn.PressEnsembleButton(0, false);
            break;
        default:
            Step();
            break;
    }
}

// ---- Ensemble button -----------------------------------------------------------------

ITaskelPresetButton::ITaskelPresetButton(VornWithEditor& vorn, int x, int y, int code, int mask,
                                         const IBitmapStrip& strip)
    : ISwitchControl(&vorn.EditorHostOf(), x, y, code, strip), m_vorn(vorn), m_mask(mask)
{
}

void ITaskelPresetButton::HandleMouseDown(int, int, const IModifiers& modifiers)
{
    m_value = m_value >= 0.5 ? 0.0 : 1.0;
    MarkDirty(true);
    m_vorn.PressEnsembleButton(m_mask, AnyModifier(modifiers));
}

// ---- MIDI learn switch ---------------------------------------------------------------

ITaskelSwitchMidiLearn::ITaskelSwitchMidiLearn(VornWithEditor& vorn, int x, int y, const IBitmapStrip& strip)
    : ISwitchControl(&vorn.EditorHostOf(), x, y, kCodeNone, strip), m_vorn(vorn)
{
}

void ITaskelSwitchMidiLearn::HandleMouseDown(int, int, const IModifiers& modifiers)
{
    TakeLearnOff();
    if (modifiers.right) {
        if (m_value != 0.0) {
            return;
        }
        m_learnMode = !m_learnMode;
        if (IGraphics* graphics = m_vorn.Graphics()) {
            m_strip = m_learnMode ? graphics->LoadBitmap(kImageLearn, "img/learn.png", 2)
                                  : graphics->LoadBitmap(kImageUnlearn, "img/unlearn.png", 2);
        }
        MarkDirty(true);
        return;
    }
    m_value = m_value >= 0.5 ? 0.0 : 1.0;
    MarkDirty(true);
    m_vorn.SetMidiLearn(m_value > 0.0, !m_learnMode);
}

void ITaskelSwitchMidiLearn::ShowLearnOff()
{
    m_showOff.store(true, std::memory_order_release);
}

void ITaskelSwitchMidiLearn::TakeLearnOff()
{
    if (m_showOff.exchange(false, std::memory_order_acquire)) {
        m_value = 0.0;
        m_dirty = true;
    }
}

bool ITaskelSwitchMidiLearn::NeedsRedraw() const
{
    return m_dirty || m_showOff.load(std::memory_order_acquire);
}

void ITaskelSwitchMidiLearn::MarkClean()
{
    ISwitchControl::MarkClean();
}

bool ITaskelSwitchMidiLearn::Draw(IGraphics& graphics)
{
    TakeLearnOff();
    return ISwitchControl::Draw(graphics);
}

// ---- Previous / next -----------------------------------------------------------------

ITaskelUtilityKick::ITaskelUtilityKick(VornWithEditor& vorn, int x, int y, int code,
                                       const IBitmapStrip& strip)
    : IContactControl(&vorn.EditorHostOf(), x, y, code, strip), m_vorn(vorn)
{
}

void ITaskelUtilityKick::HandleMouseDown(int, int, const IModifiers&)
{
    m_value = 1.0;
    MarkDirty(true);
    const int current = m_vorn.CurrentPresetIndex();
    const int count = m_vorn.NumPresets();
    if (m_parameter == kCodePreviousProgram) {
        m_vorn.SelectProgram(current - 1 < 0 ? count - 1 : current - 1);
    } else if (m_parameter == kCodeNextProgram) {
        m_vorn.SelectProgram(current + 1 >= count ? 0 : current + 1);
    }
}

// ---- Program menu ------------------------------------------------------------------------

ITaskelPresetMenu::ITaskelPresetMenu(VornWithEditor& vorn, const IRectangle& numberBox,
                                     const IRectangle& nameBox)
    : IControl(&vorn.EditorHostOf(), numberBox.Union(nameBox), kCodeNone),
      m_vorn(vorn),
      m_numberBox(numberBox),
      m_nameBox(nameBox)
{
    m_textEntryLength = kProgramNameLength;
    m_textStyle = ITextStyle("Arial", 15, IColour{160, 255, 255, 255});
}

bool ITaskelPresetMenu::Draw(IGraphics& graphics)
{
    const int index = m_vorn.CurrentPresetIndex();
    char number[16];
    std::snprintf(number, sizeof number, "%02d", index);
    std::string name;
    if (index >= 0 && index < m_vorn.NumPresets()) {
        name = std::string(m_vorn.PresetName(index)).substr(0, kProgramNameLength);
    }
    graphics.DrawText(m_textStyle, number, m_numberBox);
    graphics.DrawText(m_textStyle, name.c_str(), m_nameBox);
    return true;
}

void ITaskelPresetMenu::HandleMouseDown(int x, int y, const IModifiers&)
{
    IGraphics* graphics = m_vorn.Graphics();
    if (graphics == nullptr) {
        return;
    }
    auto inside = [x, y](const IRectangle& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    if (inside(m_nameBox)) {
        const int index = m_vorn.CurrentPresetIndex();
        const std::string name = index >= 0 && index < m_vorn.NumPresets() ? m_vorn.PresetName(index) : "";
        graphics->ShowTextEntry(this, m_textStyle, m_nameBox, name.c_str(), -1);
    } else if (inside(m_numberBox)) {
        ShowProgramMenu();
    }
}

void ITaskelPresetMenu::ShowProgramMenu()
{
    IGraphics* graphics = m_vorn.Graphics();
    const int count = m_vorn.NumPresets();
    const int current = m_vorn.CurrentPresetIndex();
    IMenu menu;
    std::vector<std::unique_ptr<IMenu>> submenus;
    for (int i = 0; i < count; ++i) {
        if (i % kProgramsPerSubmenu == 0) {
            submenus.push_back(std::make_unique<IMenu>());
            char title[32];
            std::snprintf(title, sizeof title, "%02d - %02d", i, i + kProgramsPerSubmenu - 1);
            IMenuItem item;
            item.text = title;
            item.submenu = submenus.back().get();
            menu.AddItem(item);
        }
        char text[64];
        std::snprintf(text, sizeof text, "%02u: %s", static_cast<unsigned>(i), m_vorn.PresetName(i));
        text[kProgramNameLength + 4] = '\0';
        submenus.back()->AddItem(text, -1, i == current ? IMenuItem::kChecked : 0);
    }
    IMenu* chosen = graphics->ShowPopupMenu(menu, m_numberBox);
    if (chosen == nullptr || chosen->Chosen() < 0) {
        return;
    }
    for (std::size_t s = 0; s < submenus.size(); ++s) {
        if (chosen == submenus[s].get()) {
            m_vorn.SelectProgram(chosen->Chosen() + static_cast<int>(s) * kProgramsPerSubmenu);
            return;
        }
    }
}

void ITaskelPresetMenu::ApplyEnteredText(const char* text)
{
    char name[257] = {};
    std::snprintf(name, sizeof name, "%s", text != nullptr ? text : "");
    m_vorn.RenameCurrentProgram(name);
    MarkDirty(false);
}

// ---- Option menu -----------------------------------------------------------------------

ITaskelOptionMenu::ITaskelOptionMenu(VornWithEditor& vorn, const IRectangle& rect)
    : IControl(&vorn.EditorHostOf(), rect, kCodeNone), m_vorn(vorn)
{
}

void ITaskelOptionMenu::HandleMouseDown(int x, int y, const IModifiers&)
{
    m_vorn.ShowOptionMenu(x, y);
}
