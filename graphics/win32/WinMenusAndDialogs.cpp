// Popup menus, message boxes, the file and colour dialogs and opening web
// pages for the Windows editor. The dialog hook, when set, answers in place
// of the modal dialogs.
#include "graphics/win32/WinEditorWindow.h"

#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdio>
#include <sstream>

#include "platform/win32/Utf.h"

namespace {

constexpr std::size_t kFileCharacters = 255;
constexpr std::size_t kPatternCharacters = 126;
constexpr std::size_t kExtensionCharacters = 15;

// Builds the native menu of menu and its submenus with the shared running
// number (see IMenu::FindNumbered, which finds a number again).
HMENU BuildMenu(const IMenu& menu, int& next, int depth)
{
    HMENU native = CreatePopupMenu();
    const int start = next;
    next += menu.Count();
    for (int i = 0; i < menu.Count(); ++i) {
        const IMenuItem* item = menu.Item(i);
        if ((item->flags & IMenuItem::kSeparator) != 0) {
            AppendMenuW(native, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const std::wstring text = Utf8ToWide(menu.Label(i));
        if (item->submenu != nullptr && depth < 16) {
            HMENU submenu = BuildMenu(*item->submenu, next, depth + 1);
            AppendMenuW(native, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu), text.c_str());
            continue;
        }
        UINT flags = MF_STRING;
        flags |= (item->flags & IMenuItem::kGreyed) != 0 ? MF_GRAYED : 0;
        flags |= (item->flags & IMenuItem::kDisabled) != 0 ? MF_DISABLED : 0;
        flags |= (item->flags & IMenuItem::kChecked) != 0 ? MF_CHECKED : 0;
        AppendMenuW(native, flags, static_cast<UINT_PTR>(start + i), text.c_str());
    }
    return native;
}

// The pattern list of blank-separated extensions ("*.fxp;*.fxb"), as many
// whole patterns as fit the dialog's buffer.
std::string PatternList(const char* extensions, std::string& firstExtension)
{
    std::istringstream list(extensions != nullptr ? extensions : "");
    std::string patterns;
    firstExtension.clear();
    for (std::string extension; list >> extension;) {
        if (firstExtension.empty()) {
            firstExtension = extension.substr(0, kExtensionCharacters);
        }
        const std::string pattern = (patterns.empty() ? "*." : ";*.") + extension;
        if (patterns.size() + pattern.size() > kPatternCharacters) {
            break;
        }
        patterns += pattern;
    }
    return patterns;
}

UINT_PTR CALLBACK ColourHook(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lParam);
        if (choose != nullptr && choose->lCustData != 0) {
            SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(choose->lCustData));
        }
    }
    return 0;
}

struct WindowSearch {
    DWORD process;
    const std::wstring* className;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[256] = {};
    if (process == search.process && GetClassNameW(window, name, 256) > 0 && *search.className == name) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

IMenu* IGraphicsWin::ShowPopupMenu(IMenu& menu, const IRectangle& rect)
{
    m_captured = -1;
    m_lastMouseX = m_lastMouseY = -1;
    HWND window = m_native->window;
    if (window == nullptr) {
        return nullptr;
    }
    int next = 0;
    HMENU native = BuildMenu(menu, next, 0);
    POINT corner{rect.left, rect.bottom};
    ClientToScreen(window, &corner);
    IMenu* result = nullptr;
    const BOOL shown = TrackPopupMenu(native, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, corner.x,
                                      corner.y, 0, window, nullptr);
    // The host may have closed the editor while the menu was open.
    if (shown && m_native->window == window) {
        MSG command{};
        if (PeekMessageW(&command, window, WM_COMMAND, WM_COMMAND, PM_REMOVE) &&
            HIWORD(command.wParam) == 0) {
            int index = -1;
            result = IMenu::FindNumbered(menu, LOWORD(command.wParam), index);
            if (result != nullptr) {
                result->SetChosen(index);
            }
        }
    }
    DestroyMenu(native);
    if (m_native->window == window) {
        RECT whole{0, 0, Width(), Height()};
        InvalidateRect(window, &whole, FALSE);
    }
    return result;
}

void* IGraphicsWin::MainWindow()
{
    Native& n = *m_native;
    if (n.mainWindow != nullptr && IsWindow(n.mainWindow)) {
        return n.mainWindow;
    }
    n.mainWindow = nullptr;
    if (n.parent != nullptr && IsWindow(n.parent)) {
        n.mainWindow = GetAncestor(n.parent, GA_ROOT);
        wchar_t name[256] = {};
        if (n.mainWindow != nullptr && GetClassNameW(n.mainWindow, name, 256) > 0) {
            n.mainWindowClass = name;
        }
    } else if (!n.mainWindowClass.empty()) {
        WindowSearch search{GetCurrentProcessId(), &n.mainWindowClass, nullptr};
        EnumWindows(&FindProcessWindow, reinterpret_cast<LPARAM>(&search));
        n.mainWindow = search.found;
    }
    return n.mainWindow;
}

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type)
{
    if (DialogHook* hook = win_editor::Hook()) {
        return hook->MessageBox(text != nullptr ? text : "", caption != nullptr ? caption : "", type);
    }
    return MessageBoxW(static_cast<HWND>(MainWindow()), Utf8ToWide(text != nullptr ? text : "").c_str(),
                       Utf8ToWide(caption != nullptr ? caption : "").c_str(), static_cast<UINT>(type));
}

void IGraphicsWin::PromptForFile(std::string& file, FileAction action, std::string& folder,
                                 const char* extensions)
{
    const HWND window = m_native->window;
    if (window == nullptr) {
        file.clear();
        return;
    }
    if (folder.empty()) {
        DesktopFolder(folder);
    }
    FileRequest request;
    request.save = action == kFileSave;
    request.file = file;
    request.folder = folder;
    request.patterns = PatternList(extensions, request.defaultExtension);
    if (request.patterns.empty()) {
        request.defaultExtension.clear();
    }

    // The dialog's buffers: 255 characters of file name, the pattern list
    // twice (description and pattern) in the filter.
    wchar_t path[kFileCharacters + 1] = {};
    const std::wstring start = Utf8ToWide(file);
    wcsncpy(path, start.c_str(), kFileCharacters);
    const std::wstring patterns = Utf8ToWide(request.patterns);
    std::wstring filter = patterns + L'\0' + patterns + L'\0' + L'\0';
    const std::wstring extension = Utf8ToWide(request.defaultExtension);
    const std::wstring initial = Utf8ToWide(folder);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = patterns.empty() ? nullptr : filter.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = kFileCharacters + 1;
    dialog.lpstrInitialDir = initial.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    bool chosen = false;
    if (DialogHook* hook = win_editor::Hook()) {
        std::string answer;
        chosen = hook->FileDialog(request, answer);
        if (chosen) {
            wcsncpy(path, Utf8ToWide(answer).c_str(), kFileCharacters);
            path[kFileCharacters] = L'\0';
        }
    } else if (request.save) {
        dialog.Flags = OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
        chosen = GetSaveFileNameW(&dialog) != FALSE;
    } else {
        dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameW(&dialog) != FALSE;
    }
    if (!chosen || path[0] == L'\0') {
        file.clear();
        return;
    }
    wchar_t drive[_MAX_DRIVE] = {};
    wchar_t directory[_MAX_DIR] = {};
    _wsplitpath(path, drive, directory, nullptr, nullptr);
    folder = WideToUtf8(std::wstring(drive) + directory);
    file = WideToUtf8(path);
}

bool IGraphicsWin::PromptForColour(IColour& colour, const char* prompt)
{
    if (m_native->window == nullptr) {
        return false;
    }
    if (m_native->customColours == nullptr) {
        m_native->customColours = new COLORREF[16]();
    }
    if (DialogHook* hook = win_editor::Hook()) {
        IColour chosen = colour;
        if (!hook->ColourDialog(chosen, prompt != nullptr ? prompt : "")) {
            return false;
        }
        colour.red = chosen.red;
        colour.green = chosen.green;
        colour.blue = chosen.blue;
        return true;
    }
    const std::wstring title = Utf8ToWide(prompt != nullptr ? prompt : "");
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = m_native->window;
    choose.rgbResult = RGB(colour.red, colour.green, colour.blue);
    choose.lpCustColors = m_native->customColours;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR | CC_SOLIDCOLOR | CC_ENABLEHOOK;
    choose.lpfnHook = &ColourHook;
    choose.lCustData = reinterpret_cast<LPARAM>(title.c_str());
    if (!ChooseColorW(&choose)) {
        return false;
    }
    colour.red = GetRValue(choose.rgbResult);
    colour.green = GetGValue(choose.rgbResult);
    colour.blue = GetBValue(choose.rgbResult);
    return true;
}

bool IGraphicsWin::OpenUrl(const char* url, const char* caption, const char* confirm, const char* error)
{
    if (url == nullptr || url[0] == '\0') {
        return false;
    }
    DialogHook* hook = win_editor::Hook();
    auto box = [&](const char* text, UINT type) {
        if (hook != nullptr) {
            return hook->MessageBox(text, caption != nullptr ? caption : "", static_cast<int>(type));
        }
        return MessageBoxW(m_native->window, Utf8ToWide(text).c_str(),
                           Utf8ToWide(caption != nullptr ? caption : "").c_str(), type);
    };
    if (confirm != nullptr && box(confirm, MB_YESNO) != IDYES) {
        return false;
    }
    DWORD connection = 0;
    bool opened = false;
    if (hook != nullptr) {
        opened = hook->OpenUrl(url);
    } else if (InternetGetConnectedState(&connection, 0)) {
        const HINSTANCE result = ShellExecuteW(m_native->window, L"open", Utf8ToWide(url).c_str(), nullptr,
                                               nullptr, SW_SHOWNORMAL);
        opened = reinterpret_cast<INT_PTR>(result) > 32;
    }
    if (!opened && error != nullptr) {
        box(error, MB_OK);
    }
    return opened;
}
