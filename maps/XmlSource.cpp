#include "maps/XmlSource.h"

#include "maps/MapError.h"
#include "maps/MapText.h"

namespace {
// Element names, attributes, text with its entities, CDATA: nothing else is read, so comments,
// declarations and end-of-line conversion are left out. Text that comes first in an element is
// kept as the element's value: a node less for every name (a third of the document's memory).
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_embed_pcdata;

const char* Reason(pugi::xml_parse_status status) {
    switch (status) {
    case pugi::status_out_of_memory: return "メモリが足りません";
    case pugi::status_unrecognized_tag: return "タグが正しくありません";
    case pugi::status_bad_pi: return "処理命令が正しくありません";
    case pugi::status_bad_comment: return "コメントが正しくありません";
    case pugi::status_bad_cdata: return "CDATA が正しくありません";
    case pugi::status_bad_doctype: return "DOCTYPE が正しくありません";
    case pugi::status_bad_pcdata: return "文字データが正しくありません";
    case pugi::status_bad_start_element: return "開始タグが正しくありません";
    case pugi::status_bad_attribute: return "属性が正しくありません";
    case pugi::status_bad_end_element: return "終了タグが正しくありません";
    case pugi::status_end_element_mismatch: return "開始タグと終了タグが対応していません";
    case pugi::status_no_document_element: return "要素がありません";
    default: return "文書が正しくありません";
    }
}

bool StartsWithUtf16Or32(const std::string& bytes) {
    return bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF') ||
                                 bytes[0] == '\0' || bytes[1] == '\0');
}
}  // namespace

XmlSource::XmlSource(std::string& bytes, const std::string& fileName) : m_lines(bytes) {
    // A UTF-16 or UTF-32 document is converted by pugixml; any other must be UTF-8 already.
    if (!StartsWithUtf16Or32(bytes)) {
        const std::size_t bad = FirstInvalidUtf8(bytes);
        if (bad != std::string::npos)
            throw MapError(fileName + ": " + std::to_string(m_lines.Line(bad)) +
                           " 行目: UTF-8 として読めない文字があります（UTF-8 で保存し直してください）");
    }
    const pugi::xml_parse_result result =
        m_document.load_buffer_inplace(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
    if (!result) {
        const std::size_t offset = result.offset < 0 ? 0 : static_cast<std::size_t>(result.offset);
        throw MapError(fileName + ": " + std::to_string(m_lines.Line(offset)) + " 行目: XML として読めません（" +
                       Reason(result.status) + "）");
    }
}

int XmlSource::Line(pugi::xml_node node) const {
    const std::ptrdiff_t offset = node.offset_debug();
    return offset < 0 ? 0 : m_lines.Line(static_cast<std::size_t>(offset));
}

std::string XmlSource::Origin(pugi::xml_node node) const { return std::to_string(Line(node)) + " 行目"; }

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
    std::string text = node.value();
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    // A character reference to a surrogate or past U+10FFFF is decoded to bytes that are no UTF-8.
    return ValidUtf8(std::move(text));
}
