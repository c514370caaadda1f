// Bounded copies of NUL-terminated texts: into fixed fields, into buffers a
// host hands us, and out of texts a host hands us (which may lack a terminator
// within any size we could trust).
#pragma once

#include <cstddef>

// Length of text, counting at most limit bytes; 0 for a null text.
std::size_t BoundedLength(const char* text, std::size_t limit);

// Copies text into destination (capacity bytes, terminator included), cutting
// at capacity - 1 bytes but never inside a UTF-8 sequence. A null text copies
// as the empty text; a null destination or capacity <= 0 writes nothing.
// Returns the number of characters copied.
int CopyText(char* destination, int capacity, const char* text);

// The same for a text of known length that need not be terminated.
int CopyText(char* destination, int capacity, const char* text, std::size_t length);

// Compile-time sized field overload.
template <std::size_t N>
int CopyText(char (&destination)[N], const char* text)
{
    return CopyText(destination, static_cast<int>(N), text);
}

// Lower-cases the ASCII letters of text in place; other bytes stay, whatever
// the process locale.
void LowerAscii(char* text);
