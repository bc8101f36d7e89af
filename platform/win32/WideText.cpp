#include "platform/win32/WideText.h"

#include <windows.h>

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int room = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (room <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(room), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &wide[0], room);
    return wide;
}

std::string WideToUtf8(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0) return std::string();
    const int room = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (room <= 0) return std::string();
    std::string utf8(static_cast<size_t>(room), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, &utf8[0], room, nullptr, nullptr);
    return utf8;
}

std::string WideToUtf8(const std::wstring& text) { return WideToUtf8(text.data(), static_cast<int>(text.size())); }
