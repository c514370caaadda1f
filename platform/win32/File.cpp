#include "platform/File.h"

#include <stdio.h>

#include <string>

#include "platform/win32/Utf.h"

std::FILE* OpenFile(const char* path, const char* mode)
{
    if (path == nullptr || path[0] == '\0' || mode == nullptr || mode[0] == '\0') {
        return nullptr;
    }
    const std::wstring widePath = Utf8ToWide(path);
    const std::wstring wideMode = Utf8ToWide(mode);
    if (widePath.empty() || wideMode.empty()) {
        return nullptr;
    }
    return _wfopen(widePath.c_str(), wideMode.c_str());
}
