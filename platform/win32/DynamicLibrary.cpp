#include "platform/DynamicLibrary.h"

#include "platform/win32/Utf.h"

#include <windows.h>

DynamicLibrary::~DynamicLibrary()
{
    Close();
}

bool DynamicLibrary::Open(const std::string& path)
{
    Close();
    m_handle = LoadLibraryW(Utf8ToWide(path).c_str());
    if (!m_handle) {
        m_error = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return false;
    }
    m_error.clear();
    return true;
}

void DynamicLibrary::Close()
{
    if (m_handle) {
        FreeLibrary(static_cast<HMODULE>(m_handle));
        m_handle = nullptr;
    }
}

void* DynamicLibrary::Symbol(const char* name) const
{
    if (!m_handle) {
        return nullptr;
    }
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
}
