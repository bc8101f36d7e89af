#include "glorie/GlorieWriter.h"

#include <cstring>
#include <string>
#include <vector>

#include "glorie/GlorieLines.h"

namespace {
using FieldMember = CString PoiEntry::*;

FieldMember MemberOf(glorie::Field field) {
    switch (field) {
    case glorie::Field::latitude: return &PoiEntry::latitude;
    case glorie::Field::longitude: return &PoiEntry::longitude;
    case glorie::Field::name: return &PoiEntry::name;
    case glorie::Field::reading: return &PoiEntry::reading;
    }
    return &PoiEntry::name;
}

bool IsWritten(const PoiEntry& entry, glorie::When when) {
    switch (when) {
    case glorie::When::always: return true;
    case glorie::When::hasReading: return !entry.reading.IsEmpty();
    }
    return true;
}

// What ends the plain copy of a byte: the end of the text, markup in any text, or a quotation
// mark in an attribute. One look-up a byte: almost no byte of a record needs an entity.
constexpr unsigned char kEnd = 1, kMarkup = 2, kQuote = 4;
struct Stops {
    unsigned char of[256];
    constexpr Stops() : of() {
        of[0] = kEnd;
        of[static_cast<unsigned char>('&')] = of[static_cast<unsigned char>('<')] = of[static_cast<unsigned char>('>')] = kMarkup;
        of[static_cast<unsigned char>('"')] = kQuote;
    }
};
constexpr Stops kStops;

// Record text goes in as its bytes, with the XML markup characters escaped so the document stays
// well-formed. No CP932 trail byte is below 0x40, so a byte-wise scan never splits a character.
// Returns the end of what was written; out has room for six bytes a byte of text.
char* PutEscaped(char* out, const char* text, bool attribute) {
    const auto stops = static_cast<unsigned char>(attribute ? kEnd | kMarkup | kQuote : kEnd | kMarkup);
    for (;; ++text) {
        const unsigned char byte = static_cast<unsigned char>(*text);
        if (!(kStops.of[byte] & stops)) {
            *out++ = *text;
            continue;
        }
        if (byte == '\0') return out;
        switch (byte) {
        case '&':
            std::memcpy(out, "&amp;", 5);
            out += 5;
            break;
        case '<':
            std::memcpy(out, "&lt;", 4);
            out += 4;
            break;
        case '>':
            std::memcpy(out, "&gt;", 4);
            out += 4;
            break;
        default:
            std::memcpy(out, "&quot;", 6);
            out += 6;
            break;
        }
    }
}

constexpr std::size_t kEscapedGrowth = 6;  // the longest entity, for one byte

// A template cut at its "%s" marks once, with the line end on its last piece, so that writing a
// line costs no scanning of the template.
struct PreparedLine {
    const glorie::Line* line;
    std::string pieces[3];
    FieldMember fields[2];  // the entry's texts for the marks, looked up once here
    int fieldCount;
    std::size_t templateLength;  // the pieces together
};

struct PreparedLines {
    std::vector<PreparedLine> header, entry, closing;
};

// A line without fields joins the line before it when both are written alike: an entry's 21
// lines are then 7 pieces to copy.
std::vector<PreparedLine> Prepare(const glorie::Line* lines, std::size_t count) {
    std::vector<PreparedLine> prepared;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = lines[i].text;
        if (!prepared.empty() && text.find("%s") == std::string::npos && prepared.back().line->when == lines[i].when) {
            PreparedLine& last = prepared.back();
            last.pieces[last.fieldCount] += text + glorie::kLineEnd;
            last.templateLength += text.size() + std::strlen(glorie::kLineEnd);
            continue;
        }
        PreparedLine& p = prepared.emplace_back();
        p.line = &lines[i];
        p.fieldCount = 0;
        for (int field = 0; field < 2; ++field) p.fields[field] = MemberOf(lines[i].fields[field]);
        std::size_t from = 0;
        for (std::size_t mark = text.find("%s"); mark != std::string::npos && p.fieldCount < 2; mark = text.find("%s", from)) {
            p.pieces[p.fieldCount++] = text.substr(from, mark - from);
            from = mark + 2;
        }
        p.pieces[p.fieldCount] = text.substr(from) + glorie::kLineEnd;
        p.templateLength = 0;
        for (const std::string& piece : p.pieces) p.templateLength += piece.size();
    }
    return prepared;
}

const PreparedLines& Lines() {
    static const PreparedLines lines{Prepare(glorie::kHeaderLines, glorie::kHeaderLineCount),
                                     Prepare(glorie::kEntryLines, glorie::kEntryLineCount),
                                     Prepare(glorie::kClosingLines, glorie::kClosingLineCount)};
    return lines;
}

// The bytes the lines take at most for entry (null for the lines outside the entry blocks,
// which have no fields).
std::size_t Room(const std::vector<PreparedLine>& lines, const PoiEntry* entry) {
    std::size_t room = 0;
    for (const PreparedLine& p : lines) {
        room += p.templateLength;
        if (!entry) continue;
        for (int field = 0; field < p.fieldCount; ++field)
            room += kEscapedGrowth * static_cast<std::size_t>((entry->*p.fields[field]).GetLength());
    }
    return room;
}

// The lines written from at, which has Room(lines, entry) bytes; returns their end.
char* PutLines(char* at, const std::vector<PreparedLine>& lines, const PoiEntry* entry) {
    for (const PreparedLine& p : lines) {
        if (entry && !IsWritten(*entry, p.line->when)) continue;
        std::memcpy(at, p.pieces[0].data(), p.pieces[0].size());
        at += p.pieces[0].size();
        if (!entry) continue;
        for (int field = 0; field < p.fieldCount; ++field) {
            at = PutEscaped(at, (entry->*p.fields[field]).GetString(), p.line->attribute);
            const std::string& piece = p.pieces[field + 1];
            std::memcpy(at, piece.data(), piece.size());
            at += piece.size();
        }
    }
    return at;
}
}  // namespace

void glorie::WriteDocument(ByteSink& sink, const PoiEntry* entries, int count) {
    const PreparedLines& lines = Lines();
    // Only grows, so after the first entries no line allocates nor zeroes its room first. An
    // entry's lines go to the sink at once, not one call a line.
    std::string block;
    const auto write = [&](const std::vector<PreparedLine>& part, const PoiEntry* entry) {
        const std::size_t room = Room(part, entry);
        if (block.size() < room) block.resize(room);
        const char* end = PutLines(&block[0], part, entry);
        WriteText(sink, block.data(), static_cast<std::size_t>(end - block.data()));
    };
    write(lines.header, nullptr);
    for (int i = 0; i < count; ++i) write(lines.entry, &entries[i]);
    write(lines.closing, nullptr);
}

void glorie::WriteText(ByteSink& sink, const char* text, std::size_t length) { sink.Write(text, length); }
