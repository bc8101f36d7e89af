#include "DocumentCheck.h"

#include <cstring>
#include <vector>

namespace fuzzcheck {
namespace {
constexpr const char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n"
    "<!DOCTYPE glorie PUBLIC \"-//GLORIE//GLORIE V1.0//EN\" \"glorie.dtd\">\r\n"
    "<glorie version=\"1.0\" model=\"Kenwood Corporation:HDD-NAVI\">\r\n"
    "\t<format>\r\n"
    "\t\t<datum>tokyo</datum>\r\n"
    "\t\t<unit>degree</unit>\r\n"
    "\t</format>\r\n"
    "\r\n";
constexpr const char kClosing[] = "</glorie>\r\n";

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Every text between open and close must satisfy IsDegreeText; returns how many there were.
bool AllDegrees(const std::string& doc, const std::string& open, const std::string& close, std::size_t& count) {
    count = 0;
    for (std::size_t at = doc.find(open); at != std::string::npos; at = doc.find(open, at + 1)) {
        const std::size_t begin = at + open.size();
        const std::size_t end = doc.find(close, begin);
        if (end == std::string::npos || !IsDegreeText(doc.substr(begin, end - begin))) return false;
        ++count;
    }
    return true;
}

bool IsNameStart(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b == ':'; }
bool IsNameChar(unsigned char b) { return IsNameStart(b) || (b >= '0' && b <= '9') || b == '-' || b == '.'; }

// A CP932 reader of the document: one character (one or two bytes) at a time.
class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}
    bool AtEnd() const { return m_at >= m_text.size(); }
    unsigned char Peek() const { return AtEnd() ? 0 : static_cast<unsigned char>(m_text[m_at]); }
    bool StartsWith(const char* what) const { return m_text.compare(m_at, std::strlen(what), what) == 0; }
    void Skip(std::size_t bytes) { m_at += bytes; }
    std::size_t Position() const { return m_at; }
    // Steps over one character; false (with a reason) for a broken or forbidden one.
    bool Step(std::string& error) {
        const unsigned char b = Peek();
        if (IsLead(b)) {
            if (m_at + 1 >= m_text.size() || !IsTrail(static_cast<unsigned char>(m_text[m_at + 1]))) {
                error = "broken double-byte character at " + std::to_string(m_at);
                return false;
            }
            m_at += 2;
            return true;
        }
        if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F || b == 0x80 || b == 0xA0 || b >= 0xFD) {
            error = "byte " + std::to_string(b) + " is no character at " + std::to_string(m_at);
            return false;
        }
        ++m_at;
        return true;
    }
    std::string Name() {
        const std::size_t begin = m_at;
        if (!IsNameStart(Peek())) return std::string();
        while (!AtEnd() && IsNameChar(Peek())) ++m_at;
        return m_text.substr(begin, m_at - begin);
    }
    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) ++m_at;
    }

private:
    const std::string& m_text;
    std::size_t m_at = 0;
};

// At '&': a predefined entity or a character reference.
bool Entity(Reader& in) {
    static const char* const entities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    for (const char* entity : entities) {
        if (in.StartsWith(entity)) {
            in.Skip(std::strlen(entity));
            return true;
        }
    }
    return false;
}

std::string Where(const Reader& in, const char* what) { return std::string(what) + " at " + std::to_string(in.Position()); }
}  // namespace

bool IsPrintableCp932(const std::string& text, bool allowLineBreaks) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (IsLead(b)) {
            if (i + 1 >= text.size() || !IsTrail(static_cast<unsigned char>(text[i + 1]))) return false;
            ++i;
        } else if (b >= 0x20 && b <= 0x7E) {
        } else if (b >= 0xA1 && b <= 0xDF) {
        } else if (allowLineBreaks && (b == '\t' || b == '\r' || b == '\n')) {
        } else {
            return false;
        }
    }
    return true;
}

bool IsDegreeText(const std::string& text) {
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos || text.size() != dot + 6) return false;
    if (dot > 0 && text[0] == '0') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != dot && (text[i] < '0' || text[i] > '9')) return false;
    }
    return true;
}

std::string CheckDocumentShape(const std::string& doc, int points) {
    const std::size_t headerLength = sizeof kHeader - 1;
    const std::size_t closingLength = sizeof kClosing - 1;
    if (doc.compare(0, headerLength, kHeader) != 0) return "header differs";
    if (doc.size() < headerLength + closingLength || doc.compare(doc.size() - closingLength, closingLength, kClosing) != 0)
        return "document does not end with the closing line";
    if (Occurrences(doc, kClosing) != 1) return "closing line more than once";
    const std::size_t expected = static_cast<std::size_t>(points);
    if (Occurrences(doc, "\r\n\t<gpoi>\r\n") != expected) return "wrong number of opening gpoi lines";
    if (Occurrences(doc, "\r\n\t</gpoi>\r\n") != expected) return "wrong number of closing gpoi lines";
    std::size_t lats = 0, lons = 0;
    if (!AllDegrees(doc, "<lat>", "</lat>", lats) || !AllDegrees(doc, "<lon>", "</lon>", lons))
        return "a coordinate is not degree text";
    if (lats != expected || lons != expected) return "wrong number of coordinates";
    return std::string();
}

std::string CheckLineEnds(const std::string& doc) {
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] == '\n' && (i == 0 || doc[i - 1] != '\r')) return "line feed without carriage return";
        if (doc[i] == '\r' && (i + 1 >= doc.size() || doc[i + 1] != '\n')) return "carriage return without line feed";
    }
    return std::string();
}

std::string CheckWellFormed(const std::string& doc) {
    Reader in(doc);
    std::vector<std::string> open;
    bool rootSeen = false;
    std::string error;
    while (!in.AtEnd()) {
        if (in.StartsWith("<?")) {
            if (rootSeen || in.Position() != 0) return Where(in, "declaration not at the start");
            while (!in.AtEnd() && !in.StartsWith("?>"))
                if (!in.Step(error)) return error;
            if (in.AtEnd()) return "unterminated declaration";
            in.Skip(2);
            continue;
        }
        if (in.StartsWith("<!DOCTYPE")) {
            if (rootSeen) return Where(in, "document type after the root");
            while (!in.AtEnd() && in.Peek() != '>')
                if (!in.Step(error)) return error;
            if (in.AtEnd()) return "unterminated document type";
            in.Skip(1);
            continue;
        }
        if (in.StartsWith("</")) {
            in.Skip(2);
            const std::string name = in.Name();
            in.SkipSpace();
            if (in.Peek() != '>') return Where(in, "malformed end tag");
            in.Skip(1);
            if (open.empty() || open.back() != name) return Where(in, "end tag does not match");
            open.pop_back();
            continue;
        }
        if (in.Peek() == '<') {
            in.Skip(1);
            const std::string name = in.Name();
            if (name.empty()) return Where(in, "tag without a name");
            if (open.empty() && rootSeen) return Where(in, "second root element");
            rootSeen = true;
            for (;;) {
                const std::size_t before = in.Position();
                in.SkipSpace();
                if (in.StartsWith("/>")) {
                    in.Skip(2);
                    break;
                }
                if (in.Peek() == '>') {
                    in.Skip(1);
                    open.push_back(name);
                    break;
                }
                if (in.Position() == before) return Where(in, "attribute not separated by a blank");
                if (in.Name().empty()) return Where(in, "attribute without a name");
                if (in.Peek() != '=') return Where(in, "attribute without a value");
                in.Skip(1);
                const unsigned char quote = in.Peek();
                if (quote != '"' && quote != '\'') return Where(in, "attribute value not quoted");
                in.Skip(1);
                while (!in.AtEnd() && in.Peek() != quote) {
                    if (in.Peek() == '<') return Where(in, "raw < in an attribute value");
                    if (in.Peek() == '&') {
                        if (!Entity(in)) return Where(in, "raw & in an attribute value");
                        continue;
                    }
                    if (!in.Step(error)) return error;
                }
                if (in.AtEnd()) return "unterminated attribute value";
                in.Skip(1);
            }
            continue;
        }
        // Character data.
        if (in.Peek() == '&') {
            if (open.empty()) return Where(in, "reference outside the root");
            if (!Entity(in)) return Where(in, "raw & in text");
            continue;
        }
        if (in.Peek() == '>') return Where(in, "raw > in text");
        const unsigned char b = in.Peek();
        if (open.empty() && b != ' ' && b != '\t' && b != '\r' && b != '\n') return Where(in, "text outside the root");
        if (!in.Step(error)) return error;
    }
    if (!rootSeen) return "no root element";
    if (!open.empty()) return "unclosed element " + open.back();
    return std::string();
}

}  // namespace fuzzcheck
