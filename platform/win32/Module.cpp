#include "platform/Module.h"

#include "platform/win32/Utf.h"

#include <windows.h>

namespace {
HINSTANCE g_moduleInstance = nullptr;

// Finds the module that contains this code even when DllMain has not run (a
// test executable that links the code statically).
HMODULE ModuleOfThisCode()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &module);
    return module;
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

void* ThisModuleHandle()
{
    if (!g_moduleInstance) {
        g_moduleInstance = ModuleOfThisCode();
    }
    return g_moduleInstance;
}

std::string ThisModulePath()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(ThisModuleHandle()), buffer,
                                       static_cast<DWORD>(sizeof buffer / sizeof buffer[0]));
    if (n == 0 || n >= sizeof buffer / sizeof buffer[0]) {
        return {};
    }
    return WideToUtf8(std::wstring(buffer, n));
}
