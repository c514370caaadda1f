#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <system_error>

#include "core/Text.h"

namespace {

// Longest text FormatFixed can produce: sign, 309 integer digits, point, 17
// decimals.
constexpr int kScratchSize = 340;
// Longest number a host text is searched for; far beyond any real entry.
constexpr std::size_t kMaxParsedLength = 1024;

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c, bool hex)
{
    if (c >= '0' && c <= '9') {
        return true;
    }
    return hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// For a number from_chars found out of range: whether its magnitude is huge
// (overflow) rather than tiny (underflow), from the position of its first
// significant digit and its exponent.
bool IsOverflow(const char* first, const char* last, bool hex)
{
    long position = 0;  // digits before the point, or minus the zeros after it
    bool seenSignificant = false;
    bool afterPoint = false;
    const char* p = first;
    for (; p < last; ++p) {
        char c = *p;
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        if (!IsDigit(c, hex)) {
            break;
        }
        if (!seenSignificant && c == '0') {
            if (afterPoint) {
                --position;
            }
            continue;
        }
        seenSignificant = true;
        if (!afterPoint) {
            ++position;
        }
    }
    long exponent = 0;
    if (p < last && (*p == 'e' || *p == 'E' || *p == 'p' || *p == 'P')) {
        ++p;
        bool negative = false;
        if (p < last && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        for (; p < last && *p >= '0' && *p <= '9'; ++p) {
            if (exponent < 1000000) {
                exponent = exponent * 10 + (*p - '0');
            }
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    if (hex) {
        return position * 4 + exponent > 0;
    }
    return position + exponent > 0;
}

}  // namespace

int FormatTruncatedInteger(double value, char* text, int capacity)
{
    long long whole = 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        whole = std::numeric_limits<int>::max();
    } else if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        whole = std::numeric_limits<int>::min();
    } else if (!std::isnan(value)) {
        whole = static_cast<long long>(value);
    }
    char scratch[32];
    std::to_chars_result result = std::to_chars(scratch, scratch + sizeof(scratch), whole);
    return CopyText(text, capacity, scratch, static_cast<std::size_t>(result.ptr - scratch));
}

int FormatFixed(double value, int decimals, char* text, int capacity)
{
    if (decimals < 0) {
        decimals = 0;
    } else if (decimals > 17) {
        decimals = 17;
    }
    char scratch[kScratchSize];
    std::to_chars_result result =
        std::to_chars(scratch, scratch + sizeof(scratch), value, std::chars_format::fixed, decimals);
    std::size_t length = result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - scratch) : 0;
    return CopyText(text, capacity, scratch, length);
}

double ParseLeadingNumber(const char* text)
{
    if (text == nullptr) {
        return 0.0;
    }
    const char* first = text;
    const char* last = text + BoundedLength(text, kMaxParsedLength);
    while (first < last && IsCSpace(*first)) {
        ++first;
    }
    bool negative = false;
    if (first < last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    bool hex = false;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
        (IsDigit(first[2], true) || (first[2] == '.' && last - first > 3 && IsDigit(first[3], true)))) {
        hex = true;
        first += 2;
    }
    // A sign was taken above; from_chars would accept a second one.
    if (first < last && (*first == '+' || *first == '-')) {
        return 0.0;
    }
    double value = 0.0;
    std::from_chars_result result =
        std::from_chars(first, last, value, hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = IsOverflow(first, result.ptr, hex) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}
