// Exports of the module's entry point. Windows exports it through
// cmake/vst2.def, which also maps main to it; elsewhere the module is built
// with hidden visibility and cmake/vst2.version, so the entry point is made
// visible here and main is defined as an alias of it.
#pragma once

#include "core/VstAbi.h"

#if defined(_WIN32)
#define VORN_EXPORT
#define VORN_DEFINE_MAIN_ALIAS(function) static_assert(true, "main is mapped by the .def file")
#elif defined(VORN_ENTRY_IN_PROGRAM)
// The entry point linked into a program (the fuzz targets), which has its own
// main.
#define VORN_EXPORT
#define VORN_DEFINE_MAIN_ALIAS(function) static_assert(true, "no alias inside a program")
#else
#define VORN_EXPORT __attribute__((visibility("default")))
// Old hosts look for main instead of VSTPluginMain; it is the same function.
// The C++ name differs so the compiler does not take it for a program's main.
#define VORN_DEFINE_MAIN_ALIAS(function)                                                           \
    extern "C" VORN_EXPORT AEffect* VSTCALLBACK VornMainAlias(audioMasterCallback) __asm__("main") \
        __attribute__((alias(#function)))
#endif
