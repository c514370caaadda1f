#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

DynamicLibrary::~DynamicLibrary()
{
    Close();
}

bool DynamicLibrary::Open(const std::string& path)
{
    Close();
    // RTLD_LOCAL keeps two modules' symbols apart, as Windows does.
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* err = dlerror();
        m_error = err ? err : "dlopen failed";
        return false;
    }
    m_error.clear();
    return true;
}

void DynamicLibrary::Close()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* DynamicLibrary::Symbol(const char* name) const
{
    return m_handle ? dlsym(m_handle, name) : nullptr;
}
