#include "platform/CString.h"

#include <cstdio>
#include <vector>

CString::CString(const char* text) : m_data(text ? text : "") {}

CString::CString(const char* text, int length)
    : m_data(text && length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string()) {}

CString CString::Mid(int first) const {
    if (first <= 0) return *this;
    if (first >= GetLength()) return CString();
    return CString(m_data.substr(static_cast<size_t>(first)));
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_data.clear();
        return;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        m_data.assign(small, static_cast<size_t>(needed));
        return;
    }
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    m_data.assign(big.data(), static_cast<size_t>(needed));
}

CString& CString::operator+=(const CString& other) {
    m_data += other.m_data;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) m_data += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_data += ch;
    return *this;
}

CString operator+(const CString& a, const CString& b) { return CString(a.m_data + b.m_data); }
CString operator+(const CString& a, const char* b) { return CString(a.m_data + (b ? b : "")); }
CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_data); }
