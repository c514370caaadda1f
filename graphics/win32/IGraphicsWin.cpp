#include "graphics/win32/IGraphicsWin.h"

#include "graphics/win32/WinEditorWindow.h"

#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "graphics/EditorHost.h"
#include "graphics/PngImage.h"
#include "platform/win32/Utf.h"

namespace {

constexpr wchar_t kClassName[] = L"TaskelEditorWindow";
constexpr UINT_PTR kTimerId = 2;

// Process-wide, touched only by the thread that makes and destroys editor
// windows.
int g_openWindows = 0;
double g_frameRate = 25.0;
// A window destroyed with the host's window cannot unregister its class
// while it is being destroyed: that waits for the next call from the host.
bool g_unregisterPending = false;
IGraphicsWin::DialogHook* g_hook = nullptr;

LRESULT CALLBACK EditorProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        const UINT period = static_cast<UINT>(1000.0 / std::max(g_frameRate, 1.0));
        SetTimer(window, kTimerId, period, nullptr);
        SetFocus(window);
        return 0;
    }
    auto* graphics = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (graphics == nullptr || graphics->WindowHandle() != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return graphics->HandleMessage(message, wParam, lParam);
}

bool RegisterEditorClass(HINSTANCE instance)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &EditorProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

// One editor window fewer; the class goes with the last one.
void ReleaseClass(HINSTANCE instance)
{
    if (--g_openWindows == 0) {
        g_unregisterPending = UnregisterClassW(kClassName, instance) == 0;
    }
}

void UnregisterIfPending(HINSTANCE instance)
{
    if (g_unregisterPending && g_openWindows == 0) {
        g_unregisterPending =
            UnregisterClassW(kClassName, instance) == 0 && GetLastError() != ERROR_CLASS_DOES_NOT_EXIST;
    }
}

IModifiers ModifiersOf(WPARAM wParam)
{
    IModifiers m;
    m.left = (wParam & MK_LBUTTON) != 0;
    m.right = (wParam & MK_RBUTTON) != 0;
    m.shift = (wParam & MK_SHIFT) != 0;
    m.control = (wParam & MK_CONTROL) != 0;
    m.alt = GetKeyState(VK_MENU) < 0;
    return m;
}

// The graphics core's key code of a virtual key, -1 for others.
int KeyCodeOf(WPARAM key)
{
    switch (key) {
        case VK_SPACE:
            return 0;
        case VK_UP:
            return 1;
        case VK_DOWN:
            return 2;
        case VK_LEFT:
            return 3;
        case VK_RIGHT:
            return 4;
        default:
            break;
    }
    if (key >= 0x30 && key <= 0x39) {
        return 5 + static_cast<int>(key - 0x30);
    }
    if (key >= 0x41 && key <= 0x5A) {
        return 15 + static_cast<int>(key - 0x41);
    }
    if (key >= 0x61 && key <= 0x7A) {
        return 15 + static_cast<int>(key - 0x61);
    }
    return -1;
}

// The folder part of a module's path, with its trailing backslash; empty
// when the path cannot be read, has no backslash or ends in one.
std::string FolderOfModule(HMODULE module)
{
    wchar_t path[257] = {};
    const DWORD length = GetModuleFileNameW(module, path, 256);
    if (length == 0 || length >= 256) {
        return {};
    }
    std::wstring text(path, length);
    const std::size_t slash = text.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == text.size()) {
        return {};
    }
    return WideToUtf8(text.substr(0, slash + 1));
}

std::string ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    return WideToUtf8(path);
}

}  // namespace

namespace win_editor {

IGraphicsWin::DialogHook* Hook()
{
    return g_hook;
}

}  // namespace win_editor

void IGraphicsWin::SetDialogHook(DialogHook* hook)
{
    g_hook = hook;
}

int IGraphicsWin::OpenWindowCount()
{
    return g_openWindows;
}

IGraphicsWin::IGraphicsWin(EditorHost& host, int width, int height)
    : IGraphics(&host, width, height), m_native(std::make_unique<Native>())
{
}

IGraphicsWin::~IGraphicsWin()
{
    CloseWindow();
    UnregisterIfPending(static_cast<HINSTANCE>(m_instance));
    delete[] m_native->customColours;
}

void* IGraphicsWin::EntryWindow() const
{
    return m_native->entry;
}

void* IGraphicsWin::TooltipWindow() const
{
    return m_native->tooltip;
}

void* IGraphicsWin::WindowHandle()
{
    return m_native->window;
}

bool IGraphicsWin::IsWindowOpen()
{
    return m_native->window != nullptr;
}

// ---- Opening and closing ---------------------------------------------------------------

void* IGraphicsWin::OpenWindow(void* parent)
{
    Native& n = *m_native;
    n.parent = static_cast<HWND>(parent);
    int x = 0;
    int y = 0;
    int width = Width();
    int height = Height();
    if (n.window != nullptr) {
        // Opened again: the window keeps its size and place.
        RECT r{};
        GetWindowRect(n.window, &r);
        POINT origin{0, 0};
        ClientToScreen(n.parent, &origin);
        x = r.left - origin.x;
        y = r.top - origin.y;
        width = r.right - r.left;
        height = r.bottom - r.top;
        CloseWindow();
        n.parent = static_cast<HWND>(parent);
    }
    const HINSTANCE instance = static_cast<HINSTANCE>(m_instance);
    g_unregisterPending = false;
    if (g_openWindows++ == 0 && !RegisterEditorClass(instance)) {
        // Registered already (by a module of the same name): use it.
        WNDCLASSW existing{};
        if (GetClassInfoW(instance, kClassName, &existing) == 0) {
            --g_openWindows;
            return nullptr;
        }
    }
    g_frameRate = FrameRate();
    n.window = CreateWindowExW(0, kClassName, L"VORN", WS_CHILD | WS_VISIBLE, x, y, width, height, n.parent,
                               nullptr, instance, this);
    if (n.window == nullptr) {
        ReleaseClass(instance);
        return nullptr;
    }
    for (int i = 0; i < ControlCount(); ++i) {
        Control(i)->MarkDirty(false);
    }
    if (Tooltips()) {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_TAB_CLASSES};
        n.tooltip =
            InitCommonControlsEx(&init)
                ? CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, n.window,
                                  nullptr, instance, nullptr)
                : nullptr;
        if (n.tooltip != nullptr) {
            SetWindowPos(n.tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            TTTOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = n.window;
            tool.uId = reinterpret_cast<UINT_PTR>(n.window);
            tool.lpszText = const_cast<wchar_t*>(L"");
            if (SendMessageW(n.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) == FALSE) {
                DestroyWindow(n.tooltip);
                n.tooltip = nullptr;
            }
        }
        if (n.tooltip == nullptr) {
            SetTooltips(false);
        }
    }
    return n.window;
}

void IGraphicsWin::CloseWindow()
{
    Native& n = *m_native;
    if (n.window == nullptr) {
        UnregisterIfPending(static_cast<HINSTANCE>(m_instance));
        return;
    }
    // An entry left open would commit into controls that may be gone.
    CloseTextEntry();
    if (n.tooltip != nullptr) {
        DestroyWindow(n.tooltip);
        n.tooltip = nullptr;
    }
    m_tooltipShown = false;
    m_lastTooltipControl = -1;
    const HWND window = n.window;
    n.window = nullptr;
    if (IsWindow(window)) {
        DestroyWindow(window);
    }
    ReleaseClass(static_cast<HINSTANCE>(m_instance));
}

void IGraphicsWin::Idle()
{
    UnregisterIfPending(static_cast<HINSTANCE>(m_instance));
}

// ---- Resizing ------------------------------------------------------------------------

void IGraphicsWin::Resize(int width, int height)
{
    if (width == Width() && height == Height()) {
        return;
    }
    const int dw = width - Width();
    const int dh = height - Height();
    CloseTextEntry();
    IGraphics::Resize(width, height);
    const HWND window = m_native->window;
    if (window == nullptr) {
        return;
    }
    auto grow = [dw, dh](HWND target) {
        RECT r{};
        GetWindowRect(target, &r);
        SetWindowPos(target, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    auto isChild = [](HWND target) {
        return (GetWindowLongW(target, GWL_STYLE) & WS_CHILD) != 0 &&
               (GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_MDICHILD) == 0;
    };
    HWND parent = nullptr;
    HWND grandparent = nullptr;
    if (isChild(window)) {
        parent = GetParent(window);
        if (parent != nullptr && isChild(parent)) {
            grandparent = GetParent(parent);
        }
    }
    grow(window);
    for (HWND frame : {parent, grandparent}) {
        if (frame != nullptr) {
            grow(frame);
        }
    }
    RECT whole{0, 0, Width(), Height()};
    InvalidateRect(window, &whole, FALSE);
}

// ---- Painting and the timer --------------------------------------------------------------

bool IGraphicsWin::PaintScreen(const IRectangle& rect)
{
    const HWND window = m_native->window;
    PixSysBitmap* bitmap = DrawBitmap();
    if (window == nullptr || bitmap == nullptr) {
        return true;
    }
    PAINTSTRUCT paint{};
    HDC target = BeginPaint(window, &paint);
    if (target != nullptr) {
        BitBlt(target, rect.left, rect.top, rect.Width(), rect.Height(),
               static_cast<HDC>(bitmap->DrawingContext()), rect.left, rect.top, SRCCOPY);
    }
    EndPaint(window, &paint);
    return true;
}

void IGraphicsWin::TimerTick()
{
    const HWND window = m_native->window;
    if (m_native->entry != nullptr && m_entryState != kEntryNone) {
        if (m_entryState == kEntryCommit) {
            wchar_t typed[32] = {};
            GetWindowTextW(m_native->entry, typed, 32);
            IControl* control = m_editedControl;
            const int parameter = m_editedParameter;
            CloseTextEntry();
            CommitTextEntry(control, parameter, WideToUtf8(typed).c_str());
        } else if (m_entryState == kEntryCancel) {
            CloseTextEntry();
        } else {
            m_entryState = kEntryNone;
        }
        return;
    }
    IRectangle dirty;
    if (!IsDirty(dirty) || window == nullptr) {
        return;
    }
    RECT r{dirty.left, dirty.top, dirty.right, dirty.bottom};
    InvalidateRect(window, &r, FALSE);
    if (m_native->entry != nullptr && m_editedControl != nullptr) {
        // The entry is not painted over.
        const IRectangle& edited = m_editedControl->Rect();
        RECT keep{edited.left, edited.top, edited.right, edited.bottom};
        ValidateRect(window, &keep);
        UpdateWindow(window);
        m_entryState = kEntryRepainted;
    } else {
        UpdateWindow(window);
    }
}

// ---- Messages --------------------------------------------------------------------------

std::intptr_t IGraphicsWin::HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    const HWND window = m_native->window;
    if (m_native->entry != nullptr && m_entryState == kEntryEditing) {
        // Typing: a click in the editor cancels and reaches no control.
        if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
            m_entryState = kEntryCancel;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            return 0;
        case WM_PAINT: {
            RECT r{};
            if (GetUpdateRect(window, &r, FALSE)) {
                if (ControlCount() == 0) {
                    // Nothing draws: the region is validated so that painting
                    // does not repeat.
                    ValidateRect(window, nullptr);
                } else {
                    Draw({r.left, r.top, r.right, r.bottom});
                }
            }
            return 0;
        }
        case WM_CLOSE:
            CloseWindow();
            return 0;
        case WM_NCDESTROY:
            // Destroyed with the host's window, before CloseWindow.
            m_native->window = nullptr;
            m_native->tooltip = nullptr;
            m_native->entry = nullptr;
            m_entryState = kEntryNone;
            m_editedControl = nullptr;
            if (m_native->entryFont != nullptr) {
                DeleteObject(m_native->entryFont);
                m_native->entryFont = nullptr;
            }
            ReleaseClass(static_cast<HINSTANCE>(m_instance));
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_KEYDOWN: {
            const int key = KeyCodeOf(wParam);
            POINT cursor{};
            GetCursorPos(&cursor);
            ScreenToClient(window, &cursor);
            if (key >= 0 && HandleKeyDown(cursor.x, cursor.y, key)) {
                return 0;
            }
            SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
            return DefWindowProcW(window, message, wParam, lParam);
        }
        case WM_KEYUP:
            SendMessageW(GetAncestor(window, GA_ROOT), message, wParam, lParam);
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_TIMER:
            if (wParam == kTimerId) {
                TimerTick();
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_CTLCOLOREDIT:
            if (m_editedControl != nullptr) {
                const ITextStyle& style = m_editedControl->TextStyle();
                const HDC context = reinterpret_cast<HDC>(wParam);
                const COLORREF background =
                    RGB(style.entryBackground.red, style.entryBackground.green, style.entryBackground.blue);
                SetBkColor(context, background);
                SetTextColor(context, RGB(style.entryText.red, style.entryText.green, style.entryText.blue));
                SetBkMode(context, OPAQUE);
                SetDCBrushColor(context, background);
                return reinterpret_cast<std::intptr_t>(GetStockObject(DC_BRUSH));
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_MOUSEMOVE:
            if ((wParam & (MK_LBUTTON | MK_RBUTTON)) != 0) {
                if (GetCapture() == window && m_native->entry == nullptr && CapturedControl() >= 0 &&
                    (x != m_lastMouseX || y != m_lastMouseY)) {
                    HandleMouseDrag(x, y, ModifiersOf(wParam));
                }
                return 0;
            }
            if (HandleMouseOver(x, y, ModifiersOf(wParam))) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, HOVER_DEFAULT};
                if (Tooltips() && MouseOverControl() != m_lastTooltipControl) {
                    m_lastTooltipControl = MouseOverControl();
                    if (m_lastTooltipControl >= 0) {
                        track.dwFlags |= TME_HOVER;
                    }
                    HideTooltip();
                }
                TrackMouseEvent(&track);
            }
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            HideTooltip();
            if (m_native->entry != nullptr) {
                m_entryState = kEntryCommit;
                return 0;
            }
            SetFocus(window);
            SetCapture(window);
            HandleMouseDown(x, y, ModifiersOf(wParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            ReleaseCapture();
            HandleMouseUp(x, y, ModifiersOf(wParam));
            return 0;
        case WM_LBUTTONDBLCLK:
            if (HandleDoubleClick(x, y, ModifiersOf(wParam))) {
                SetCapture(window);
            }
            return 0;
        case WM_MOUSEWHEEL: {
            if (m_native->entry != nullptr) {
                m_entryState = kEntryCancel;
                return 0;
            }
            const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
            RECT r{};
            GetWindowRect(window, &r);
            HandleWheel(x - r.left, y - r.top, ModifiersOf(GET_KEYSTATE_WPARAM(wParam)), notches);
            return 0;
        }
        case WM_MOUSEHOVER:
            if (m_lastTooltipControl >= 0 && m_native->tooltip != nullptr) {
                const std::wstring text = m_lastTooltipControl < ControlCount()
                                              ? Utf8ToWide(Control(m_lastTooltipControl)->Tooltip())
                                              : std::wstring();
                TTTOOLINFOW tool{};
                tool.cbSize = TTTOOLINFOW_V2_SIZE;
                tool.hwnd = window;
                tool.uId = reinterpret_cast<UINT_PTR>(window);
                tool.lpszText = const_cast<wchar_t*>(text.c_str());
                SendMessageW(m_native->tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
                m_tooltipShown = true;
            }
            return 0;
        case WM_MOUSELEAVE:
            HideTooltip();
            HandleMouseOut();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void IGraphicsWin::HideTooltip()
{
    if (m_tooltipShown && m_native->tooltip != nullptr) {
        SendMessageW(m_native->tooltip, TTM_POP, 0, 0);
    }
    m_tooltipShown = false;
}

// ---- Cursor, clipboard, folders, images ------------------------------------------------

void IGraphicsWin::HideCursor()
{
    if (!m_cursorHidden) {
        POINT p{};
        GetCursorPos(&p);
        m_savedCursorX = p.x;
        m_savedCursorY = p.y;
        ShowCursor(FALSE);
        m_cursorHidden = true;
    }
}

void IGraphicsWin::RestoreCursor()
{
    if (m_cursorHidden) {
        SetCursorPos(m_savedCursorX, m_savedCursorY);
        ShowCursor(TRUE);
        m_cursorHidden = false;
    }
}

bool IGraphicsWin::ClipboardText(std::string& text)
{
    text.clear();
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(m_native->window)) {
        return false;
    }
    bool ok = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            const std::size_t limit = GlobalSize(data) / sizeof(wchar_t);
            text = WideToUtf8(std::wstring(wide, std::find(wide, wide + limit, L'\0')));
            GlobalUnlock(data);
            ok = true;
        }
    }
    CloseClipboard();
    return ok;
}

void IGraphicsWin::HostFolder(std::string& folder)
{
    folder = FolderOfModule(nullptr);
}

void IGraphicsWin::ModuleFolder(std::string& folder)
{
    folder = FolderOfModule(static_cast<HMODULE>(m_instance));
}

void IGraphicsWin::DesktopFolder(std::string& folder)
{
    folder = ShellFolder(CSIDL_DESKTOPDIRECTORY);
}

void IGraphicsWin::AppDataFolder(std::string& folder, bool common)
{
    folder = ShellFolder(common ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA);
}

void IGraphicsWin::UserAppDataFolder(std::string& folder)
{
    AppDataFolder(folder, false);
}

std::unique_ptr<PixBitmap> IGraphicsWin::LoadBitmapResource(int id, const char* name)
{
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    const char* dot = std::strrchr(name, '.');
    const char* extension = dot != nullptr ? dot + 1 : name + 1;
    char lower[8] = {};
    for (int i = 0; i < 7 && extension[i] != '\0'; ++i) {
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(extension[i])));
    }
    if (std::strcmp(lower, "png") != 0 || std::strlen(extension) != 3) {
        return nullptr;
    }
    return LoadPngResource(id & 0xFFFF);
}
