// Opening files by UTF-8 path with the C runtime's stdio. On Windows, fopen
// takes paths in the ANSI code page, so the path goes through _wfopen as
// UTF-16 there; elsewhere the path is handed to fopen as it is.
#pragma once

#include <cstdio>

// Like fopen (mode "rb", "wb", ...); path is UTF-8. Null for a null or empty
// path or mode, or when the file cannot be opened. Close with std::fclose.
std::FILE* OpenFile(const char* path, const char* mode);
