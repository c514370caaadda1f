// Loading a shared library (a plug-in module) at run time and finding its
// exported functions. Used by the hosts in tools/ and tests/.
#pragma once

#include <string>

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads the library at path (UTF-8); false with LastError() set on failure.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_handle != nullptr; }

    // Address of an exported symbol, or null.
    void* Symbol(const char* name) const;

    const std::string& LastError() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};
