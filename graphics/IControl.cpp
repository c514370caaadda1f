#include "graphics/IControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/Parameter.h"
#include "graphics/EditorHost.h"
#include "graphics/IGraphics.h"
#include "graphics/ITextControl.h"

namespace {

constexpr std::size_t kDisplayTextLimit = 32;

}  // namespace

IControl::IControl(EditorHost* host, IRectangle rect, int parameter, BlendMethod blend)
    : m_host(host), m_rect(rect), m_targetRect(rect), m_parameter(parameter), m_blend{blend, 1.0f}
{
}

void IControl::HandleMouseDown(int, int, const IModifiers& modifiers)
{
    if (modifiers.right) {
        PromptForValue();
    }
}

void IControl::HandleMouseUp(int, int, const IModifiers&) {}

void IControl::HandleMouseDrag(int, int, int, int, const IModifiers&) {}

void IControl::HandleDoubleClick(int, int, const IModifiers&)
{
    if (m_defaultValue >= 0.0) {
        m_value = m_defaultValue;
        MarkDirty(true);
    }
}

void IControl::HandleWheel(int, int, const IModifiers&, int) {}

bool IControl::HandleKeyDown(int, int, int)
{
    return false;
}

void IControl::HandleMouseOver(int, int, const IModifiers&) {}

void IControl::HandleMouseOut() {}

void IControl::ApplyPlugValue(double value)
{
    if (m_defaultValue < 0.0) {
        m_value = value;
        m_defaultValue = value;
        return;
    }
    if (value != m_value) {  // also when either is not a number
        m_value = value;
        MarkDirty(false);
        m_redrawRequested = true;
    }
}

void IControl::ApplyUserValue(double value)
{
    if (value != m_value) {
        m_value = value;
        MarkDirty(true);
        m_redrawRequested = true;
    }
}

void IControl::ApplyEnteredText(const char*) {}

void IControl::SetHidden(bool hide)
{
    m_hidden = hide;
    m_redrawRequested = true;
    MarkDirty(false);
}

void IControl::SetGrayed(bool grey)
{
    m_grayed = grey;
    m_blend.weight = grey ? 0.25f : 1.0f;
    MarkDirty(false);
}

bool IControl::HitTest(int x, int y) const
{
    return !m_targetRect.Empty() && x >= m_targetRect.left && x < m_targetRect.right &&
           y >= m_targetRect.top && y < m_targetRect.bottom;
}

void IControl::MarkDirty(bool push)
{
    // NaN stays out of the range as well.
    m_value = m_value < m_clampLow ? m_clampLow : std::min(m_clampHigh, m_value);
    if (std::isnan(m_value)) {
        m_value = m_clampLow;
    }
    m_dirty = true;
    if (!push || m_host == nullptr || m_parameter < 0) {
        return;
    }
    m_host->SetParameterFromEditor(m_parameter, m_value);
    const Parameter* parameter = m_host->GetParameter(m_parameter);
    if (parameter == nullptr) {
        return;
    }
    if (m_valueDisplay != nullptr) {
        char value[64] = {};
        parameter->FormatValue(parameter->Value(), false, value, sizeof value, true);
        std::string text(value, std::min(std::strlen(value), kDisplayTextLimit));
        const char* label = parameter->UnitLabel();
        text += ' ';
        text.append(label, std::min(std::strlen(label), kDisplayTextLimit));
        m_valueDisplay->SetTextFromPlug(text);
    }
    if (m_nameDisplay != nullptr) {
        m_nameDisplay->SetTextFromPlug(parameter->Name());
    }
}

void IControl::MarkClean()
{
    m_dirty = m_redrawRequested;
    m_redrawRequested = false;
}

void IControl::ApplyAuxPlugValue(int aux, double value)
{
    if (aux < 0 || aux >= static_cast<int>(m_aux.size())) {
        return;
    }
    AuxParameter& entry = m_aux[static_cast<std::size_t>(aux)];
    if (value != entry.value) {
        entry.value = value;
        MarkDirty(false);
        m_redrawRequested = true;
    }
}

void IControl::SetClamp(double low, double high)
{
    m_clampLow = low;
    m_clampHigh = high;
}

void IControl::PromptForValue()
{
    if (m_parameter < 0 || m_promptDisabled || m_host == nullptr || m_graphics == nullptr) {
        return;
    }
    const Parameter* parameter = m_host->GetParameter(m_parameter);
    if (parameter == nullptr) {
        return;
    }
    IRectangle box = m_rect;
    if (!parameter->HasDisplayTexts()) {
        const int cx = static_cast<int>((m_rect.left + m_rect.right) * 0.5);
        const int cy = static_cast<int>((m_rect.top + m_rect.bottom) * 0.5);
        box = {cx - 20, cy - 8, cx + 20, cy + 8};
    }
    m_graphics->PromptForParameter(this, m_parameter, box);
    m_redrawRequested = true;
}
