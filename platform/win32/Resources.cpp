#include "platform/Resources.h"

#include "platform/Module.h"
#include "platform/win32/Utf.h"

#include <windows.h>

#include <string>

namespace {
std::span<const std::uint8_t> Lookup(const wchar_t* type, const wchar_t* name)
{
    const auto module = static_cast<HMODULE>(ThisModuleHandle());
    const HRSRC info = FindResourceW(module, name, type);
    if (!info) {
        return {};
    }
    const DWORD size = SizeofResource(module, info);
    const HGLOBAL handle = LoadResource(module, info);
    // Resource data lives in the mapped image: no unlock or free is needed.
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data || size == 0) {
        return {};
    }
    return {static_cast<const std::uint8_t*>(data), size};
}
}  // namespace

std::span<const std::uint8_t> FindModuleResource(const char* type, const char* name)
{
    if (!type || !name || !*type || !*name) {
        return {};
    }
    const std::wstring wideType = Utf8ToWide(type);
    const std::wstring wideName = Utf8ToWide(name);
    return Lookup(wideType.c_str(), wideName.c_str());
}

std::span<const std::uint8_t> FindModuleResource(const char* type, int id)
{
    if (!type || !*type || id < 1 || id > 0xFFFF) {
        return {};
    }
    const std::wstring wideType = Utf8ToWide(type);
    return Lookup(wideType.c_str(), MAKEINTRESOURCEW(id));
}
