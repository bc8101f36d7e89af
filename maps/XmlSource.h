#pragma once
// An XML map document parsed in place with pugixml, with the line of each node for messages.
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "maps/LineIndex.h"

class XmlSource {
public:
    // bytes is parsed in place and must outlive this. Throws MapError naming the file and the
    // line for a document that is not well-formed or not UTF-8.
    XmlSource(std::string& bytes, const std::string& fileName);

    pugi::xml_node Root() const { return m_document.document_element(); }
    int Line(pugi::xml_node node) const;
    std::string Origin(pugi::xml_node node) const;  // "12 行目"

    // The name without its namespace prefix.
    static std::string_view LocalName(pugi::xml_node node);
    static bool Is(pugi::xml_node node, std::string_view localName) { return LocalName(node) == localName; }
    static pugi::xml_node Child(pugi::xml_node node, std::string_view localName);
    // The text and CDATA directly inside the element (its own value holds the first text).
    static std::string Text(pugi::xml_node node);

private:
    LineIndex m_lines;
    pugi::xml_document m_document;
};
