#include "formats/XmlSource.h"

#include <cctype>
#include <cstring>

#include "text/MapError.h"
#include "text/MapText.h"
#include "text/TextDecoding.h"

namespace {
// Element names, attributes, text, CDATA: nothing else is read, so comments, declarations and
// end-of-line conversion are left out. References are resolved here, not by pugixml, whose
// strings end at a zero byte (&#0; would cut a name). Text that comes first in an element is
// kept as the element's value: a node less for every name (a third of the document's memory).
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_embed_pcdata;

MessageId Reason(pugi::xml_parse_status status) {
    switch (status) {
    case pugi::status_out_of_memory: return MessageId::xmlOutOfMemory;
    case pugi::status_unrecognized_tag: return MessageId::xmlBadTag;
    case pugi::status_bad_pi: return MessageId::xmlBadPi;
    case pugi::status_bad_comment: return MessageId::xmlBadComment;
    case pugi::status_bad_cdata: return MessageId::xmlBadCdata;
    case pugi::status_bad_doctype: return MessageId::xmlBadDoctype;
    case pugi::status_bad_pcdata: return MessageId::xmlBadPcdata;
    case pugi::status_bad_start_element: return MessageId::xmlBadStartTag;
    case pugi::status_bad_attribute: return MessageId::xmlBadAttribute;
    case pugi::status_bad_end_element: return MessageId::xmlBadEndTag;
    case pugi::status_end_element_mismatch: return MessageId::xmlTagMismatch;
    case pugi::status_no_document_element: return MessageId::xmlNoElement;
    default: return MessageId::xmlBadDocument;
    }
}

// Character and predefined entity references resolved; an unknown entity is kept as written.
// Returns whether a character reference was among them.
bool AppendResolved(std::string& out, std::string_view text) {
    bool numbered = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t amp = text.find('&', at);
        out.append(text.substr(at, amp == std::string_view::npos ? std::string_view::npos : amp - at));
        if (amp == std::string_view::npos) return numbered;
        const std::size_t semicolon = text.find(';', amp);
        const std::string_view name =
            semicolon == std::string_view::npos ? std::string_view() : text.substr(amp + 1, semicolon - amp - 1);
        static const struct {
            const char* name;
            char c;
        } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool resolved = false;
        for (const auto& entity : kEntities)
            if (name == entity.name) {
                out += entity.c;
                resolved = true;
            }
        if (!resolved && name.size() >= 2 && name.size() <= 10 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            char32_t value = 0;
            bool digits = name.size() > (hex ? 2u : 1u);
            for (std::size_t k = hex ? 2 : 1; k < name.size() && digits; ++k) {
                const char c = name[k];
                const int digit = c >= '0' && c <= '9'          ? c - '0'
                                  : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                : -1;
                digits = digit >= 0;
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit < 0 ? 0 : digit);
            }
            if (digits) {
                // No character beyond U+10FFFF or among the surrogates.
                AppendUtf8(out, value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? char32_t{0xFFFD} : value);
                resolved = true;
                numbered = true;
            }
        }
        if (!resolved) {
            out += '&';
            at = amp + 1;
        } else {
            at = semicolon + 1;
        }
    }
    return numbered;
}

std::string Resolved(const char* text) {
    const std::size_t length = std::strlen(text);
    std::string out;
    if (!std::memchr(text, '&', length)) return out.assign(text, length);
    AppendResolved(out, std::string_view(text, length));
    return out;
}
}  // namespace

std::string& XmlSource::Decoded(std::string& bytes, const std::string& fileName, std::vector<Message>& warnings) {
    bytes = DecodeXmlText(std::move(bytes), fileName, warnings);
    return bytes;
}

XmlSource::XmlSource(std::string& bytes, const std::string& fileName)
    : m_lines(Decoded(bytes, fileName, m_warnings)) {
    const pugi::xml_parse_result result =
        m_document.load_buffer_inplace(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_utf8);
    if (!result) {
        const std::size_t offset = result.offset < 0 ? 0 : static_cast<std::size_t>(result.offset);
        throw MapError({MessageId::notXml, fileName, m_lines.Line(offset), Reason(result.status)});
    }
}

int XmlSource::Line(pugi::xml_node node) const {
    const std::ptrdiff_t offset = node.offset_debug();
    return offset < 0 ? 0 : m_lines.Line(static_cast<std::size_t>(offset), m_lineHint);
}

std::string_view XmlSource::LocalName(pugi::xml_node node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node XmlSource::Child(pugi::xml_node node, std::string_view localName) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && LocalName(child) == localName) return child;
    return {};
}

std::string XmlSource::Text(pugi::xml_node node) {
    std::string text;
    bool numbered = AppendResolved(text, node.value());
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata)
            numbered |= AppendResolved(text, child.value());
        else if (child.type() == pugi::node_cdata)
            text += child.value();
    }
    // The document was made valid UTF-8 before parsing, and markup cuts it only at ASCII bytes,
    // so only a character reference could give bytes that are no UTF-8 (each is checked again).
    if (numbered) return ValidUtf8(std::move(text));
    return text;
}

std::string XmlSource::Attribute(pugi::xml_node node, const char* name) { return Resolved(node.attribute(name).value()); }

std::string_view XmlSource::Attribute(pugi::xml_node node, const char* name, std::string& scratch) {
    const std::string_view value = node.attribute(name).value();
    if (value.find('&') == std::string_view::npos) return value;
    scratch.clear();
    AppendResolved(scratch, value);
    return scratch;
}

std::string XmlRootName(const std::string& bytes) {
    // UTF-16's markup is ASCII a byte in two: its low bytes stand for the text.
    std::string narrowed;
    const bool little = bytes.compare(0, 2, "\xFF\xFE") == 0, big = bytes.compare(0, 2, "\xFE\xFF") == 0;
    if (little || big)
        for (std::size_t i = 2; i + 1 < bytes.size() && narrowed.size() < 65536; i += 2)
            narrowed += bytes[i + (big ? 1 : 0)] && !bytes[i + (big ? 0 : 1)] ? bytes[i + (big ? 1 : 0)] : '?';
    const std::string_view text = little || big ? std::string_view(narrowed) : std::string_view(bytes);
    std::size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (;;) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string_view::npos || text[at] != '<') return {};
        const std::string_view rest = text.substr(at);
        std::size_t end = std::string_view::npos;
        if (rest.compare(0, 4, "<!--") == 0) {
            end = text.find("-->", at + 4);
            if (end != std::string_view::npos) end += 3;
        } else if (rest.compare(0, 2, "<?") == 0) {
            end = text.find("?>", at + 2);
            if (end != std::string_view::npos) end += 2;
        } else if (rest.compare(0, 9, "<!DOCTYPE") == 0) {
            // An internal subset in brackets may hold ">".
            const std::size_t bracket = text.find_first_of("[>", at);
            end = bracket != std::string_view::npos && text[bracket] == '[' ? text.find("]", bracket) : bracket;
            if (end != std::string_view::npos) end = text.find('>', end);
            if (end != std::string_view::npos) ++end;
        } else {
            const std::size_t nameEnd = text.find_first_of(" \t\r\n/>", at + 1);
            const std::string_view name = text.substr(at + 1, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - at - 1);
            const bool isName = !name.empty() && (std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_' ||
                                                  static_cast<unsigned char>(name[0]) >= 0x80);
            return isName ? std::string(name) : std::string();
        }
        if (end == std::string_view::npos) return {};
        at = end;
    }
}
