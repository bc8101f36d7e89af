#pragma once
// Line numbers of byte offsets in a document, for messages. Built before a parser that works
// in place changes the bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class LineIndex {
public:
    explicit LineIndex(std::string_view bytes);
    int Line(std::size_t offset) const;  // from 1
    // The same, looked for from where the last answer through hint was (0 at first): a reader
    // that asks in document order finds the line a few breaks on, not by a search of them all.
    int Line(std::size_t offset, std::size_t& hint) const;

    // Without an index: counts the line breaks before offset.
    static int LineAt(std::string_view bytes, std::size_t offset);

private:
    std::vector<std::uint32_t> m_breaks;  // offsets of '\n'; documents are far below 4 GB
};
