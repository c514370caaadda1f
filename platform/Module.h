// The plug-in module's own handle (the DLL's instance handle on Windows, the
// shared object's base on Linux), kept process-wide so resources can be found.
#pragma once

#include <string>

// Opaque module handle; null until the module has been attached to a process.
void* ThisModuleHandle();

// Full path of the module file (UTF-8), or empty when it cannot be found.
std::string ThisModulePath();
