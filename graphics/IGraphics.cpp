#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/NumberText.h"
#include "core/Parameter.h"
#include "graphics/EditorHost.h"
#include "graphics/GraphicsCaches.h"
#include "graphics/IBitmapControl.h"
#include "graphics/PixDraw.h"
#include "graphics/PixFont.h"

namespace {

unsigned ModeOf(const IBlend* blend)
{
    switch (blend != nullptr ? blend->method : BlendMethod::None) {
        case BlendMethod::Opaque:
            return kPixCopy;
        case BlendMethod::Add:
            return kPixAdd | kPixSourceAlpha;
        case BlendMethod::Dodge:
            return kPixDodge | kPixSourceAlpha;
        default:
            return kPixCopy | kPixSourceAlpha;
    }
}

float WeightOf(const IBlend* blend)
{
    return blend != nullptr ? blend->weight : 1.0f;
}

unsigned DrawFlagsOf(const ITextStyle& style)
{
    unsigned flags = kTextNoClip;
    if (style.colour.alpha != 255) {
        flags |= kTextUseColourAlpha;
    }
    if (style.align == ITextStyle::kCentre) {
        flags |= kTextCentre;
    } else if (style.align == ITextStyle::kFar) {
        flags |= kTextRight;
    }
    return flags;
}

// The font of style, looked up (and made) once and kept in the style.
PixCachedFont* FontOf(ITextStyle& style)
{
    if (style.cachedFont == nullptr) {
        style.cachedFont = graphics_cache::FontFor(style);
    }
    return style.cachedFont;
}

}  // namespace

IGraphics::IGraphics(EditorHost* host, int width, int height, int frameRate)
    : m_host(host), m_width(width), m_height(height), m_frameRate(frameRate)
{
    m_parameterCount = host != nullptr ? std::max(host->NumParameters(), 0) : 0;
    m_pendingValues = std::make_unique<std::atomic<double>[]>(static_cast<std::size_t>(m_parameterCount));
    m_pendingFlags = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(m_parameterCount));
    for (int i = 0; i < m_parameterCount; ++i) {
        m_pendingValues[static_cast<std::size_t>(i)].store(0.0, std::memory_order_relaxed);
        m_pendingFlags[static_cast<std::size_t>(i)].store(false, std::memory_order_relaxed);
    }
}

IGraphics::~IGraphics()
{
    ClearControls();
}

int IGraphics::WindowWidth() const
{
    return static_cast<int>(std::lround(m_width * m_scale));
}

int IGraphics::WindowHeight() const
{
    return static_cast<int>(std::lround(m_height * m_scale));
}

// ---- Parameter values ------------------------------------------------------------

void IGraphics::SetParameterFromPlug(int index, double value, bool normalized)
{
    if (index < 0 || index >= m_parameterCount || m_host == nullptr) {
        return;
    }
    if (!normalized) {
        const Parameter* parameter = m_host->GetParameter(index);
        if (parameter == nullptr) {
            return;
        }
        value = parameter->ToNormalized(value);
    }
    m_pendingValues[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
    m_pendingFlags[static_cast<std::size_t>(index)].store(true, std::memory_order_release);
    m_anyPending.store(true, std::memory_order_release);
}

void IGraphics::ApplyPlugValues(int index, double normalized)
{
    for (const std::unique_ptr<IControl>& control : m_controls) {
        if (control->ParameterIndex() == index) {
            control->ApplyPlugValue(normalized);
        }
        std::vector<IControl::AuxParameter>& aux = control->AuxParameters();
        for (std::size_t i = 0; i < aux.size(); ++i) {
            if (aux[i].parameter == index) {
                control->ApplyAuxPlugValue(static_cast<int>(i), normalized);
                break;
            }
        }
    }
}

void IGraphics::ApplyPendingValues()
{
    if (!m_anyPending.exchange(false, std::memory_order_acquire)) {
        return;
    }
    for (int i = 0; i < m_parameterCount; ++i) {
        if (m_pendingFlags[static_cast<std::size_t>(i)].exchange(false, std::memory_order_acquire)) {
            ApplyPlugValues(i, m_pendingValues[static_cast<std::size_t>(i)].load(std::memory_order_relaxed));
        }
    }
}

void IGraphics::PrepareDrawing()
{
    m_drawBitmap = std::make_unique<PixSysBitmap>(m_width, m_height);
}

// ---- Base virtual operations -------------------------------------------------------

bool IGraphics::MeasureText(ITextStyle& style, const char* text, IRectangle& rect)
{
    if (text == nullptr || text[0] == '\0') {
        return true;
    }
    PixCachedFont* font = FontOf(style);
    if (font == nullptr) {
        return false;
    }
    PixRect measured{0, 0, 0, 0};
    font->DrawString(nullptr, text, -1, measured, DrawFlagsOf(style) | kTextMeasure);
    const int w = measured.Width();
    const int h = measured.Height();
    if (style.align == ITextStyle::kCentre) {
        const int c = static_cast<int>((rect.left + rect.right) * 0.5);
        rect = {c - w / 2, rect.top, c - w / 2 + w, rect.top + h};
    } else if (style.align == ITextStyle::kFar) {
        rect = {rect.right - w, rect.top, rect.right, rect.top + h};
    } else {
        rect = {rect.left, rect.top, rect.left + w, rect.top + h};
    }
    return true;
}

void IGraphics::Resize(int width, int height)
{
    CancelTextEntry();
    m_width = width;
    m_height = height;
    m_captured = -1;
    m_mouseOver = -1;
    m_lastMouseX = -1;
    m_lastMouseY = -1;
    ClearControls();
    m_drawBitmap.reset();
    PrepareDrawing();
    if (m_host != nullptr) {
        m_host->RefreshEditorRect();
    }
}

bool IGraphics::IsWindowOpen()
{
    return WindowHandle() != nullptr;
}

const char* IGraphics::DrawingApiName()
{
    return "";
}

void* IGraphics::Query()
{
    return nullptr;
}

void IGraphics::OnWindowOpened() {}

void IGraphics::OnWindowClosing() {}

void IGraphics::HideCursor() {}

void IGraphics::RestoreCursor() {}

// ---- Controls ------------------------------------------------------------------------

int IGraphics::AttachControl(std::unique_ptr<IControl> control)
{
    control->SetGraphics(this);
    m_controls.push_back(std::move(control));
    m_controls.back()->OnAttached();
    return ControlCount() - 1;
}

void IGraphics::AttachBackground(int id, const char* name)
{
    const IBitmapStrip strip = LoadBitmap(id, name);
    auto background = std::make_unique<IBitmapControl>(m_host, 0, 0, -1, strip, BlendMethod::Opaque);
    background->SetGraphics(this);
    m_controls.insert(m_controls.begin(), std::move(background));
    // Indices moved up by one.
    m_captured = m_captured >= 0 ? m_captured + 1 : m_captured;
    m_mouseOver = m_mouseOver >= 0 ? m_mouseOver + 1 : m_mouseOver;
}

IBitmapStrip IGraphics::LoadBitmap(int id, const char* name, int frames, bool horizontal)
{
    PixBitmap* bitmap = graphics_cache::FindBitmap(id);
    if (bitmap == nullptr) {
        std::unique_ptr<PixBitmap> loaded = LoadBitmapResource(id, name);
        if (loaded) {
            bitmap = graphics_cache::InsertBitmap(id, std::move(loaded));
        }
    }
    IBitmapStrip strip;
    strip.bitmap = bitmap;
    strip.width = bitmap != nullptr ? bitmap->Width() : 0;
    strip.height = bitmap != nullptr ? bitmap->Height() : 0;
    strip.frames = std::max(frames, 1);
    strip.horizontal = horizontal;
    return strip;
}

IControl* IGraphics::Control(int index) const
{
    return index >= 0 && index < ControlCount() ? m_controls[static_cast<std::size_t>(index)].get() : nullptr;
}

void IGraphics::ClearControls()
{
    m_controls.clear();
    m_captured = -1;
    m_mouseOver = -1;
}

void IGraphics::PromptForParameter(IControl* control, int parameter, const IRectangle& rect)
{
    ApplyPendingValues();
    const Parameter* record = m_host != nullptr ? m_host->GetParameter(parameter) : nullptr;
    if (control == nullptr || record == nullptr || rect.Empty()) {
        return;
    }
    char text[128] = {};
    if (record->Kind() == ParameterKind::Enumerated) {
        record->FormatValue(record->Value(), false, text, sizeof text, true);
        IMenu menu;
        for (int i = 0; i < record->DisplayTextCount(); ++i) {
            const char* item = record->FindDisplayText(i);
            item = item != nullptr ? item : "";
            menu.AddItem(item, -1, std::strcmp(item, text) == 0 ? IMenuItem::kChecked : 0);
        }
        if (IMenu* chosen = ShowPopupMenu(menu, rect)) {
            const double value =
                std::clamp(static_cast<double>(chosen->Chosen()), record->Min(), record->Max());
            control->ApplyUserValue(record->ToNormalized(value));
        }
        return;
    }
    record->FormatValue(record->Value(), false, text, sizeof text, false);
    ShowTextEntry(control, control->TextStyle(), rect, text, parameter);
}

void IGraphics::CommitTextEntry(IControl* control, int parameter, const char* text)
{
    if (control == nullptr || text == nullptr) {
        return;
    }
    char typed[32] = {};
    std::snprintf(typed, sizeof typed, "%s", text);
    const Parameter* record = m_host != nullptr && parameter >= 0 ? m_host->GetParameter(parameter) : nullptr;
    if (record == nullptr) {
        control->ApplyEnteredText(typed);
        return;
    }
    double value = 0.0;
    if (record->Kind() == ParameterKind::Enumerated) {
        int found = 0;
        value = record->FindDisplayTextValue(typed, found) ? found : 0;
    } else {
        value = ParseLeadingNumber(typed);
        if (!std::isfinite(value)) {
            return;
        }
        if (record->NegateDisplay()) {
            value = -value;
        }
    }
    control->ApplyUserValue(record->ToNormalized(value));
}

// ---- Redraw ---------------------------------------------------------------------------

bool IGraphics::IsDirty(IRectangle& rect)
{
    ApplyPendingValues();
    if (m_host != nullptr) {
        m_host->OnRedrawTick();
    }
    bool dirty = false;
    for (const std::unique_ptr<IControl>& control : m_controls) {
        if (control->NeedsRedraw()) {
            rect = rect.Union(control->Rect());
            dirty = true;
        }
    }
    if (dirty) {
        m_idleTicks = 0;
        return true;
    }
    if (++m_idleTicks > 20) {
        if (m_host != nullptr) {
            m_host->OnEditorIdle();
        }
        m_idleTicks = 0;
    }
    return false;
}

bool IGraphics::Draw(const IRectangle& rect)
{
    if (m_controls.empty()) {
        return true;
    }
    ApplyPendingValues();
    m_drawRect = rect;
    for (const std::unique_ptr<IControl>& control : m_controls) {
        if (!control->Hidden() && control->Rect().Meets(rect)) {
            control->Draw(*this);
        }
        control->MarkClean();
    }
    return PaintScreen(rect);
}

// ---- Events -------------------------------------------------------------------------

int IGraphics::FindControl(int x, int y, bool mouseOver) const
{
    for (int i = ControlCount() - 1; i >= 0; --i) {
        const IControl& control = *m_controls[static_cast<std::size_t>(i)];
        const bool greyOk = !control.Grayed() || (mouseOver && control.MouseOverWhenGrayed());
        if (!control.Hidden() && greyOk && control.HitTest(x, y)) {
            return i;
        }
    }
    return -1;
}

void IGraphics::HandleMouseDown(int x, int y, const IModifiers& modifiers)
{
    ApplyPendingValues();
    m_captured = -1;
    m_lastMouseX = m_lastMouseY = -1;
    const int index = FindControl(x, y, false);
    if (index < 0) {
        return;
    }
    m_captured = index;
    m_lastMouseX = x;
    m_lastMouseY = y;
    IControl& control = *m_controls[static_cast<std::size_t>(index)];
    if (control.ParameterIndex() >= 0 && m_host != nullptr) {
        m_host->BeginHostEdit(control.ParameterIndex());
    }
    control.HandleMouseDown(x, y, modifiers);
}

void IGraphics::HandleMouseUp(int x, int y, const IModifiers& modifiers)
{
    ApplyPendingValues();
    const int index = m_captured >= 0 ? m_captured : FindControl(x, y, false);
    m_captured = -1;
    m_lastMouseX = m_lastMouseY = -1;
    IControl* control = Control(index);
    if (control == nullptr) {
        return;
    }
    control->HandleMouseUp(x, y, modifiers);
    if (control->ParameterIndex() >= 0 && m_host != nullptr) {
        m_host->EndHostEdit(control->ParameterIndex());
    }
}

void IGraphics::HandleMouseDrag(int x, int y, const IModifiers& modifiers)
{
    ApplyPendingValues();
    IControl* control = Control(m_captured);
    if (control == nullptr) {
        return;
    }
    const int dx = x - m_lastMouseX;
    const int dy = y - m_lastMouseY;
    m_lastMouseX = x;
    m_lastMouseY = y;
    control->HandleMouseDrag(x, y, dx, dy, modifiers);
}

bool IGraphics::HandleDoubleClick(int x, int y, const IModifiers& modifiers)
{
    ApplyPendingValues();
    m_captured = -1;
    m_lastMouseX = m_lastMouseY = -1;
    const int index = FindControl(x, y, false);
    IControl* control = Control(index);
    if (control == nullptr) {
        return false;
    }
    if (control->DoubleClickAsSingleClick()) {
        m_captured = index;
        m_lastMouseX = x;
        m_lastMouseY = y;
        control->HandleMouseDown(x, y, modifiers);
        return true;
    }
    control->HandleDoubleClick(x, y, modifiers);
    return false;
}

void IGraphics::HandleWheel(int x, int y, const IModifiers& modifiers, int notches)
{
    ApplyPendingValues();
    IControl* control = Control(m_captured >= 0 ? m_captured : FindControl(x, y, false));
    if (control != nullptr) {
        control->HandleWheel(x, y, modifiers, notches);
    }
}

bool IGraphics::HandleMouseOver(int x, int y, const IModifiers& modifiers)
{
    if (!m_handleMouseOver) {
        return false;
    }
    ApplyPendingValues();
    const int index = m_captured >= 0 ? m_captured : FindControl(x, y, true);
    IControl* control = Control(index);
    if (control == nullptr) {
        return true;
    }
    m_lastMouseX = x;
    m_lastMouseY = y;
    control->HandleMouseOver(x, y, modifiers);
    if (m_mouseOver >= 0 && m_mouseOver != index) {
        if (IControl* previous = Control(m_mouseOver)) {
            previous->HandleMouseOut();
        }
    }
    m_mouseOver = index;
    return true;
}

void IGraphics::HandleMouseOut()
{
    for (const std::unique_ptr<IControl>& control : m_controls) {
        control->HandleMouseOut();
    }
    m_mouseOver = -1;
}

bool IGraphics::HandleKeyDown(int x, int y, int key)
{
    ApplyPendingValues();
    const int index = m_captured >= 0 ? m_captured : FindControl(x, y, false);
    IControl* control = Control(index);
    if (control == nullptr || index == 0) {
        return false;
    }
    return control->HandleKeyDown(x, y, key);
}

// ---- Drawing primitives -----------------------------------------------------------

bool IGraphics::DrawBitmapFrame(const IBitmapStrip& strip, const IRectangle& rect, int frame,
                                const IBlend* blend)
{
    int sx = 0;
    int sy = 0;
    if (strip.frames >= 2 && frame >= 2) {
        const int extent = strip.horizontal ? strip.width : strip.height;
        const int offset = static_cast<int>(static_cast<double>(extent) * (frame - 1) / strip.frames + 0.5);
        (strip.horizontal ? sx : sy) = offset;
    }
    return DrawBitmapRegion(strip, rect, sx, sy, blend);
}

bool IGraphics::DrawBitmapRegion(const IBitmapStrip& strip, const IRectangle& rect, int sourceX, int sourceY,
                                 const IBlend* blend)
{
    if (strip.bitmap == nullptr || !m_drawBitmap) {
        return true;
    }
    const IRectangle target = rect.Intersect(m_drawRect);
    if (target.Empty()) {
        return true;
    }
    const PixRect source{sourceX + (target.left - rect.left), sourceY + (target.top - rect.top),
                         sourceX + (target.right - rect.left), sourceY + (target.bottom - rect.top)};
    Blit(m_drawBitmap.get(), strip.bitmap, target.left, target.top, &source, WeightOf(blend), ModeOf(blend));
    return true;
}

bool IGraphics::FillRectangle(const IColour& colour, const IRectangle& rect, const IBlend* blend)
{
    if (m_drawBitmap) {
        ::FillRect(m_drawBitmap.get(), rect.left, rect.top, rect.Width(), rect.Height(), colour.Packed(),
                   WeightOf(blend), ModeOf(blend));
    }
    return true;
}

bool IGraphics::FillRoundRectangle(const IColour& colour, const IRectangle& rect, const IBlend* blend)
{
    if (!m_drawBitmap) {
        return true;
    }
    PixBitmap* bitmap = m_drawBitmap.get();
    const std::uint32_t packed = colour.Packed();
    const float weight = WeightOf(blend);
    const unsigned mode = ModeOf(blend);
    const int w = rect.Width();
    const int h = rect.Height();
    ::FillRect(bitmap, rect.left + 2, rect.top, w - 4, h, packed, weight, mode);
    ::FillRect(bitmap, rect.left, rect.top + 2, 2, h - 4, packed, weight, mode);
    ::FillRect(bitmap, rect.right - 2, rect.top + 2, 2, h - 4, packed, weight, mode);
    FillCircle(bitmap, static_cast<float>(rect.left + 2), static_cast<float>(rect.top + 2), 2.0f, packed,
               weight, mode);
    FillCircle(bitmap, static_cast<float>(rect.right - 3), static_cast<float>(rect.top + 2), 2.0f, packed,
               weight, mode);
    FillCircle(bitmap, static_cast<float>(rect.left + 2), static_cast<float>(rect.bottom - 3), 2.0f, packed,
               weight, mode);
    FillCircle(bitmap, static_cast<float>(rect.right - 3), static_cast<float>(rect.bottom - 3), 2.0f, packed,
               weight, mode);
    return true;
}

bool IGraphics::DrawText(ITextStyle& style, const char* text, const IRectangle& rect)
{
    if (text == nullptr || text[0] == '\0') {
        return true;
    }
    PixCachedFont* font = FontOf(style);
    if (font == nullptr) {
        return false;
    }
    if (!m_drawBitmap) {
        return true;
    }
    font->SetTextColour(style.colour.Packed());
    PixRect box{rect.left, rect.top, rect.right, rect.bottom};
    font->DrawString(m_drawBitmap.get(), text, -1, box, DrawFlagsOf(style));
    return true;
}
