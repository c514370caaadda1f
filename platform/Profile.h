// The per-user INI file, read and written with the semantics of the Windows
// private-profile functions (GetPrivateProfileString and friends). Paths,
// section names, keys and values are UTF-8. On Windows the calls go to the
// system's profile functions, which keep the file in the ANSI code page; the
// Linux half implements the same rules on a UTF-8 file.
//
// Rules common to both halves:
// - Section and key names compare without regard to ASCII case, and leading
//   and trailing blanks of the names given here are ignored.
// - When a section or key occurs twice, the first one counts for reading and
//   writing.
// - A value is read with its surrounding blanks removed; a value enclosed in a
//   matching pair of double or single quotes is read without them.
// - Lines before the first section header belong to the section named "".
//
// On Windows a path must be shorter than 260 UTF-16 units; writes to longer
// paths fail and reads of them give the default. Characters outside the ANSI
// code page are stored as "?" there. On Linux a file larger than 64 MiB is not
// read: reads give the default and writes fail, leaving it alone.
//
// All functions are thread-safe and block on file I/O (not for the audio path).
#pragma once

#include <cstddef>
#include <string>

// Reads the value of key in section into buffer, which holds capacity bytes
// including the terminating zero. A missing key (or a key line without "=")
// gives defaultValue instead (null counts as "", trailing spaces of the default
// are dropped and its quotes are removed like those of a value). A null
// section or key gives an empty result. A value too long for the buffer is
// cut to capacity - 1 bytes, never inside a UTF-8 sequence. Returns the number
// of bytes copied, excluding the zero; 0 with the buffer untouched when buffer
// is null or capacity is 0.
std::size_t ProfileReadString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, char* buffer, std::size_t capacity);

// Reads a value as an integer, as GetPrivateProfileInt does: a missing or empty
// value gives defaultValue; otherwise the first 29 bytes of the value are
// converted: blanks and a sign "+" or "-" are skipped, a prefix "0x", "0o" or
// "0b" selects base 16, 8 or 2 (else base 10), and the digits up to the first
// other character are taken, modulo 2^32 ("12abc" gives 12, "abc" 0, "-1" -1,
// "4294967296" 0).
int ProfileReadInt(const std::string& path, const char* section, const char* key, int defaultValue);

// Writes key=value into section, replacing the first such key or appending the
// key at the end of the first such section, or appending the section at the
// end of the file; creates the file when it is missing (its folder must
// exist). Leading blanks of the value are dropped, and section, key and value
// are cut at their first line break so that a value cannot add lines.
// A null value deletes the key (the first one found in any section of that
// name); a null key deletes the first section of that name with all its lines.
// Deleting something that does not exist succeeds and leaves the file as it
// is (a missing file is not created). False when the file cannot be written
// or section is null.
bool ProfileWriteString(const std::string& path, const char* section, const char* key, const char* value);

// Removes every key of every section of that name, keeping the section
// headers ("[name]" then stays with nothing below it). A section that does not
// exist is not created, as the Windows profile functions do. False when the
// file cannot be written or section is null.
bool ProfileWriteEmptySection(const std::string& path, const char* section);
