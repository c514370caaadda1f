// What the parts of the Windows editor share: its native handles and the
// process-wide dialog hook.
#pragma once

#include <windows.h>

#include <string>

#include "graphics/win32/IGraphicsWin.h"

struct IGraphicsWin::Native {
    HWND window = nullptr;
    HWND parent = nullptr;
    HWND entry = nullptr;
    HFONT entryFont = nullptr;
    WNDPROC entryProcedure = nullptr;  // the edit control's own procedure
    HWND tooltip = nullptr;
    COLORREF* customColours = nullptr;  // 16, made on first use
    HWND mainWindow = nullptr;
    std::wstring mainWindowClass;
};

namespace win_editor {

IGraphicsWin::DialogHook* Hook();

}  // namespace win_editor
