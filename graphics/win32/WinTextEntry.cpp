// The in-place "EDIT" entry of the Windows editor: made over the control,
// subclassed so that Enter commits, Escape cancels and typed characters pass
// the parameter's filter; the editor's timer closes it.
#include "graphics/win32/WinEditorWindow.h"

#include <algorithm>
#include <cwchar>

#include "core/Parameter.h"
#include "graphics/EditorHost.h"
#include "platform/win32/Utf.h"

namespace {

constexpr int kEntryId = 99;

LRESULT CALLBACK EntryProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* graphics = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (graphics == nullptr || graphics->EntryWindow() != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return graphics->HandleEntryMessage(message, wParam, lParam);
}

}  // namespace

void IGraphicsWin::ShowTextEntry(IControl* control, const ITextStyle& style, const IRectangle& rect,
                                 const char* text, int parameter)
{
    Native& n = *m_native;
    if (control == nullptr || n.entry != nullptr || n.window == nullptr) {
        return;
    }
    DWORD align = ES_LEFT;
    if (style.align == ITextStyle::kCentre) {
        align = ES_CENTER;
    } else if (style.align == ITextStyle::kFar) {
        align = ES_RIGHT;
    }
    n.entry = CreateWindowExW(0, L"EDIT", Utf8ToWide(text != nullptr ? text : "").c_str(),
                              WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | align, rect.left,
                              rect.top, rect.Width() + 1, rect.Height() + 1, n.window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId)),
                              static_cast<HINSTANCE>(m_instance), nullptr);
    if (n.entry == nullptr) {
        return;
    }
    n.entryFont =
        CreateFontW(style.size, 0, 0, 0, style.style == ITextStyle::kBold ? FW_BOLD : FW_DONTCARE,
                    style.style == ITextStyle::kItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Utf8ToWide(style.font).c_str());
    SendMessageW(n.entry, EM_LIMITTEXT, static_cast<WPARAM>(std::max(control->TextEntryLength(), 1)), 0);
    SendMessageW(n.entry, WM_SETFONT, reinterpret_cast<WPARAM>(n.entryFont), 0);
    SendMessageW(n.entry, EM_SETSEL, 0, -1);
    m_editedControl = control;
    m_editedParameter = parameter;
    SetWindowLongPtrW(n.entry, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    n.entryProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(n.entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EntryProcedure)));
    SetFocus(n.entry);
}

void IGraphicsWin::CancelTextEntry()
{
    m_entryState = kEntryCancel;
}

void IGraphicsWin::CloseTextEntry()
{
    Native& n = *m_native;
    if (n.entry != nullptr) {
        const HWND entry = n.entry;
        SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(n.entryProcedure));
        n.entry = nullptr;
        n.entryProcedure = nullptr;
        DestroyWindow(entry);
    }
    if (n.entryFont != nullptr) {
        DeleteObject(n.entryFont);
        n.entryFont = nullptr;
    }
    m_editedControl = nullptr;
    m_editedParameter = -1;
    m_entryState = kEntryNone;
}

std::intptr_t IGraphicsWin::HandleEntryMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    Native& n = *m_native;
    const HWND entry = n.entry;
    const WNDPROC own = n.entryProcedure;
    HideTooltip();
    const Parameter* record =
        Host() != nullptr && m_editedParameter >= 0 ? Host()->GetParameter(m_editedParameter) : nullptr;
    switch (message) {
        case WM_SETFOCUS:
            m_entryState = kEntryEditing;
            break;
        case WM_KILLFOCUS:
            m_entryState = kEntryCommit;
            break;
        case WM_GETDLGCODE: {
            LRESULT code = CallWindowProcW(own, entry, message, wParam, lParam);
            const MSG* queried = reinterpret_cast<const MSG*>(lParam);
            if (record == nullptr && queried != nullptr && queried->message == WM_KEYDOWN &&
                queried->wParam == VK_RETURN) {
                code |= DLGC_WANTALLKEYS;
            }
            return code;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                m_entryState = kEntryCommit;
                return 0;
            }
            if (wParam == VK_ESCAPE) {
                m_entryState = kEntryCancel;
                return 0;
            }
            break;
        case WM_CHAR:
            // Enter and Escape end the entry (above); their characters would
            // put a line break or a box into the text.
            if (wParam == L'\r' || wParam == L'\n' || wParam == 0x1B) {
                return 0;
            }
            if (record != nullptr && wParam != VK_BACK) {
                const ParameterKind kind = record->Kind();
                const bool digit = (wParam >= L'0' && wParam <= L'9') || wParam == L'+' || wParam == L'-';
                const bool passes = kind == ParameterKind::Integer || kind == ParameterKind::Enumerated
                                        ? digit
                                    : kind == ParameterKind::Continuous ? digit || wParam == L'.'
                                                                        : true;
                if (!passes) {
                    return 0;
                }
            }
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == 1) {
                m_entryState = kEntryCommit;
                return 0;
            }
            break;
        default:
            break;
    }
    return CallWindowProcW(own, entry, message, wParam, lParam);
}
