#pragma once
// An XML map document parsed in place with pugixml, with the line of each node for messages.
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "text/LineIndex.h"
#include "places/Place.h"

class XmlSource {
public:
    // bytes is made UTF-8 (TextDecoding), then parsed in place, and must outlive this. Throws
    // MapError naming the file and the line for a document that is not well-formed or whose text
    // is not of its encoding.
    XmlSource(std::string& bytes, const std::string& fileName);

    pugi::xml_node Root() const { return m_document.document_element(); }
    int Line(pugi::xml_node node) const;
    PlaceOrigin Origin(pugi::xml_node node) const { return PlaceOrigin::Line(Line(node)); }  // "12 行目"
    // What decoding the text warned of (characters made U+FFFD), for the reader's warnings.
    const std::vector<Message>& Warnings() const { return m_warnings; }

    // The name without its namespace prefix.
    static std::string_view LocalName(pugi::xml_node node);
    static bool Is(pugi::xml_node node, std::string_view localName) { return LocalName(node) == localName; }
    static pugi::xml_node Child(pugi::xml_node node, std::string_view localName);
    // The text and CDATA directly inside the element (its own value holds the first text), its
    // references resolved; a reference to U+0000 stays in the text rather than ending it.
    static std::string Text(pugi::xml_node node);
    // An attribute's value, its references resolved.
    static std::string Attribute(pugi::xml_node node, const char* name);
    // The same without a copy where it has no reference: the document's own bytes, else resolved
    // into scratch. Valid while both are.
    static std::string_view Attribute(pugi::xml_node node, const char* name, std::string& scratch);

private:
    static std::string& Decoded(std::string& bytes, const std::string& fileName, std::vector<Message>& warnings);

    std::vector<Message> m_warnings;
    LineIndex m_lines;
    mutable std::size_t m_lineHint = 0;  // where Line found the last node's line
    pugi::xml_document m_document;
};

// The name of a document's first element (with its prefix, if any), after a byte-order mark
// (UTF-8, or UTF-16 of ASCII markup), blank lines, comments, processing instructions and a
// DOCTYPE: what the document is, whatever a comment before it holds. Empty for bytes that do not
// begin so.
std::string XmlRootName(const std::string& bytes);
