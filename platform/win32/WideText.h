#pragma once
// Host text crosses the Win32 edge as UTF-16; inside the program it is UTF-8.
#include <string>

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::string WideToUtf8(const wchar_t* text, int length);
