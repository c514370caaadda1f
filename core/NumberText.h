// Numbers to text and back with a point as decimal separator, whatever the
// process locale (hosts set their own locale; some use a decimal comma).
#pragma once

// Writes value truncated toward zero as a decimal integer ("%d"); values beyond
// the int range are limited to it and NaN prints as 0. At most capacity - 1
// characters and a terminator. Returns the characters written.
int FormatTruncatedInteger(double value, char* text, int capacity);

// Writes value with the given number of decimals ("%.*f", decimals 0..17).
// At most capacity - 1 characters and a terminator; a longer text is cut.
int FormatFixed(double value, int decimals, char* text, int capacity);

// The C library's text-to-double rule in the "C" locale: leading white space,
// an optional sign, then the longest decimal or hexadecimal ("0x") number,
// "inf"/"infinity" or "nan"; 0 when the text does not start with a number.
// A number too large for a double gives an infinity of its sign, a number
// too small gives 0. A null text gives 0.
double ParseLeadingNumber(const char* text);
