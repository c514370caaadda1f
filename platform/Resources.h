// Read-only data stored inside the plug-in module: the factory bank, the
// editor's images and the user-interface sounds. The DLLs carry them as
// Windows resources; the Linux build embeds the same bytes at build time.
// Every binary that links vorn_platform also carries the resources, so test
// executables find them as the module does.
#pragma once

#include <cstdint>
#include <span>

// Bytes of the resource of the given type ("WAVE", "PNG", "INIT") and name,
// both compared without regard to ASCII case (as Windows does). Empty when
// there is no such resource or an argument is null or empty. The bytes stay
// valid for the life of the module. Thread-safe; may allocate, so not for the
// audio path.
std::span<const std::uint8_t> FindModuleResource(const char* type, const char* name);

// The same for a resource with an integer id (1..65535; any other id gives an
// empty span).
std::span<const std::uint8_t> FindModuleResource(const char* type, int id);
