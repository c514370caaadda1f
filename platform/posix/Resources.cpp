#include "platform/Resources.h"

#include "platform/posix/EmbeddedResources.h"

namespace {
char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (UpperAscii(*a) != UpperAscii(*b)) {
            return false;
        }
    }
    return *a == *b;
}

std::span<const std::uint8_t> Bytes(const EmbeddedResource& resource)
{
    if (resource.size == 0) {
        return {};
    }
    return {resource.data, resource.size};
}
}  // namespace

std::span<const std::uint8_t> FindModuleResource(const char* type, const char* name)
{
    if (!type || !name || !*type || !*name) {
        return {};
    }
    for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& resource = kEmbeddedResources[i];
        if (resource.name && SameIgnoringCase(resource.type, type) && SameIgnoringCase(resource.name, name)) {
            return Bytes(resource);
        }
    }
    return {};
}

std::span<const std::uint8_t> FindModuleResource(const char* type, int id)
{
    if (!type || !*type || id < 1 || id > 0xFFFF) {
        return {};
    }
    for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& resource = kEmbeddedResources[i];
        if (!resource.name && resource.id == id && SameIgnoringCase(resource.type, type)) {
            return Bytes(resource);
        }
    }
    return {};
}
