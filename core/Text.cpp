#include "core/Text.h"

#include <cstring>

std::size_t BoundedLength(const char* text, std::size_t limit)
{
    if (text == nullptr) {
        return 0;
    }
    // Byte by byte: memchr may read ahead past the terminator, and a host's
    // short text can sit at the end of mapped memory.
    std::size_t length = 0;
    while (length < limit && text[length] != '\0') {
        ++length;
    }
    return length;
}

int CopyText(char* destination, int capacity, const char* text, std::size_t length)
{
    if (destination == nullptr || capacity <= 0) {
        return 0;
    }
    if (text == nullptr) {
        length = 0;
    }
    std::size_t count = length;
    if (count > static_cast<std::size_t>(capacity - 1)) {
        count = static_cast<std::size_t>(capacity - 1);
        // When the cut falls inside a UTF-8 character, drop the character whole
        // rather than leave a broken sequence for the host to show. Only a lead
        // byte within three bytes counts, so text that is not UTF-8 (Latin-1
        // names in old banks) is cut where it would be anyway.
        std::size_t cut = count;
        while (cut > 0 && count - cut < 3 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0xC0) {
            count = cut;
        }
    }
    if (count > 0) {
        std::memmove(destination, text, count);
    }
    destination[count] = '\0';
    return static_cast<int>(count);
}

int CopyText(char* destination, int capacity, const char* text)
{
    if (destination == nullptr || capacity <= 0) {
        return 0;
    }
    return CopyText(destination, capacity, text, BoundedLength(text, static_cast<std::size_t>(capacity)));
}

void LowerAscii(char* text)
{
    if (text == nullptr) {
        return;
    }
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') {
            *text = static_cast<char>(*text - 'A' + 'a');
        }
    }
}
