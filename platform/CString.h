#pragma once
// Byte string with the members of the framework string that the program uses.
// Host text (paths, messages) is UTF-8; record text is CP932 bytes, never transcoded.
#include <cstdarg>
#include <ostream>
#include <string>

#if defined(__GNUC__)
#define QV_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_PRINTF_FORMAT(fmt, args)
#endif

class CString {
public:
    CString() = default;
    CString(const char* text);  // NOLINT: implicit like the framework's
    CString(const char* text, int length);
    CString(std::string text) : m_data(std::move(text)) {}  // NOLINT

    int GetLength() const { return static_cast<int>(m_data.size()); }
    bool IsEmpty() const { return m_data.empty(); }
    void Empty() { m_data.clear(); }
    const char* GetString() const { return m_data.c_str(); }
    operator const char*() const { return m_data.c_str(); }  // NOLINT
    char GetAt(int index) const { return m_data[static_cast<size_t>(index)]; }
    const std::string& Str() const { return m_data; }
    std::string& Str() { return m_data; }

    CString Mid(int first) const;

    void Format(const char* format, ...) QV_PRINTF_FORMAT(2, 3);
    void FormatV(const char* format, va_list args);

    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend bool operator==(const CString& a, const CString& b) { return a.m_data == b.m_data; }
    friend bool operator==(const CString& a, const char* b) { return a.m_data == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_data < b.m_data; }
    friend std::ostream& operator<<(std::ostream& os, const CString& s) { return os << s.m_data; }

private:
    std::string m_data;
};
