#include "platform/File.h"

std::FILE* OpenFile(const char* path, const char* mode)
{
    if (path == nullptr || path[0] == '\0' || mode == nullptr || mode[0] == '\0') {
        return nullptr;
    }
    return std::fopen(path, mode);
}
