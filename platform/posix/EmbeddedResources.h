// The table of resources embedded into the binary, generated at build time
// from resources/vorn.rc (resources/CMakeLists.txt).
#pragma once

#include <cstddef>
#include <cstdint>

struct EmbeddedResource {
    const char* type;
    const char* name;  // null for a resource with an integer id
    int id;            // 0 for a named resource
    const std::uint8_t* data;
    std::size_t size;
};

// The generated table and its length.
extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;
