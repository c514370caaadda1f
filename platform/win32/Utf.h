// UTF-8 <-> UTF-16 conversion for the Win32 half of the platform layer.
#pragma once

#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
