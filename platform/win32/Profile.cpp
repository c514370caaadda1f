#include "platform/Profile.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/Utf.h"

namespace {

// Text up to its first line break, so that a written value cannot start a new
// line of the file.
std::wstring OneLine(const char* text)
{
    std::string line(text);
    const std::size_t brk = line.find_first_of("\r\n");
    if (brk != std::string::npos) {
        line.resize(brk);
    }
    return Utf8ToWide(line);
}

// Length of the longest prefix of text[0, limit) that does not end inside a
// UTF-8 sequence.
std::size_t Utf8Boundary(const std::string& text, std::size_t limit)
{
    if (limit >= text.size()) {
        return text.size();
    }
    while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) {
        --limit;
    }
    return limit;
}

// The profile functions take paths shorter than MAX_PATH; Wine reports
// success for longer ones without writing anything.
bool UsablePath(const std::wstring& path)
{
    return !path.empty() && path.size() < MAX_PATH;
}

}  // namespace

std::size_t ProfileReadString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, char* buffer, std::size_t capacity)
{
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    buffer[0] = '\0';
    // A null section or key would make the system list names instead of
    // reading a value.
    if (section == nullptr || key == nullptr) {
        return 0;
    }
    const std::wstring widePath = Utf8ToWide(path);
    const std::wstring wideDefault = Utf8ToWide(defaultValue ? defaultValue : "");
    const std::wstring wideSection = Utf8ToWide(section);
    const std::wstring wideKey = Utf8ToWide(key);

    // Each UTF-16 unit becomes at least one UTF-8 byte, so a wide buffer of the
    // caller's capacity holds everything that can fit (up to a bound that no
    // configuration value comes near).
    constexpr std::size_t kMaxWideCapacity = 16u * 1024u * 1024u;
    const DWORD wideCapacity = static_cast<DWORD>(capacity < kMaxWideCapacity ? capacity : kMaxWideCapacity);
    std::vector<wchar_t> wide(wideCapacity, L'\0');
    DWORD length = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideDefault.c_str(),
                                            wide.data(), wideCapacity, widePath.c_str());
    if (length >= wideCapacity) {
        length = wideCapacity - 1;
    }
    // A cut may leave the first half of a surrogate pair at the end.
    if (length > 0 && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) {
        --length;
    }
    const std::string text = WideToUtf8(std::wstring(wide.data(), length));
    const std::size_t count = Utf8Boundary(text, capacity - 1);
    text.copy(buffer, count);
    buffer[count] = '\0';
    return count;
}

int ProfileReadInt(const std::string& path, const char* section, const char* key, int defaultValue)
{
    if (section == nullptr || key == nullptr || path.empty()) {
        return defaultValue;
    }
    const std::wstring widePath = Utf8ToWide(path);
    return static_cast<int>(GetPrivateProfileIntW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                                  defaultValue, widePath.c_str()));
}

bool ProfileWriteString(const std::string& path, const char* section, const char* key, const char* value)
{
    const std::wstring widePath = Utf8ToWide(path);
    if (section == nullptr || !UsablePath(widePath)) {
        return false;
    }
    const std::wstring wideSection = OneLine(section);
    if (key == nullptr) {
        return WritePrivateProfileStringW(wideSection.c_str(), nullptr, nullptr, widePath.c_str()) != FALSE;
    }
    const std::wstring wideKey = OneLine(key);
    if (value == nullptr) {
        return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), nullptr, widePath.c_str()) !=
               FALSE;
    }
    const std::wstring wideValue = OneLine(value);
    return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideValue.c_str(),
                                      widePath.c_str()) != FALSE;
}

bool ProfileWriteEmptySection(const std::string& path, const char* section)
{
    const std::wstring widePath = Utf8ToWide(path);
    if (section == nullptr || !UsablePath(widePath)) {
        return false;
    }
    // A key list with no entries: the terminating double zero only.
    static const wchar_t kNoKeys[2] = {L'\0', L'\0'};
    return WritePrivateProfileSectionW(OneLine(section).c_str(), kNoKeys, widePath.c_str()) != FALSE;
}
