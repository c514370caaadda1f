// Counts calls of the global allocation functions. The test executable
// replaces operator new and delete; on Linux the module's C++ runtime is the
// shared one, so its allocations reach the replacement too (the executable
// exports it). A Windows module carries its own static runtime, whose
// allocations this counter cannot see.
#pragma once

#include <cstddef>

// Whether allocations made inside the loaded module are counted.
bool AllocationsInModuleAreVisible();

// Allocations made (by any code in the process) since the start of the program.
std::size_t AllocationCount();
