#include "formats/FormatRegistry.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "formats/XmlSource.h"

// Each format is one file of its own, defining its row.
#define QUORVEL_FORMAT(name, row) extern const Format row;
#include "formats/Formats.inc"
#undef QUORVEL_FORMAT

namespace {
std::string LowerExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}
}  // namespace

const std::vector<const Format*>& FormatRegistry::Rows() {
    static const std::vector<const Format*> formats = {
#define QUORVEL_FORMAT(name, row) &row,
#include "formats/Formats.inc"
#undef QUORVEL_FORMAT
    };
    return formats;
}

namespace {
std::vector<const Format*> RowsThatWrite(bool write) {
    std::vector<const Format*> formats;
    for (const Format* format : FormatRegistry::Rows())
        if ((format->write != nullptr) == write) formats.push_back(format);
    return formats;
}
}  // namespace

const std::vector<const Format*>& FormatRegistry::All() {
    static const std::vector<const Format*> formats = RowsThatWrite(true);
    return formats;
}

const std::vector<const Format*>& FormatRegistry::InputOnly() {
    static const std::vector<const Format*> formats = RowsThatWrite(false);
    return formats;
}

const Format* FormatRegistry::Find(const std::string& name) {
    for (const Format* format : All())
        if (name == format->name) return format;
    return nullptr;
}

const Format* FormatRegistry::FindRow(const std::string& name) {
    for (const Format* format : Rows())
        if (name == format->name) return format;
    return nullptr;
}

const std::vector<const FormatOption*>& FormatRegistry::Options() {
    static const std::vector<const FormatOption*> options = [] {
        std::vector<const FormatOption*> found;
        for (const Format* format : Rows())
            for (const FormatOption* option : format->options)
                if (option && std::find(found.begin(), found.end(), option) == found.end()) found.push_back(option);
        return found;
    }();
    return options;
}

const Format* FormatRegistry::FindWord(const std::string& word) {
    std::string lower = word;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (const Format* format = Find(lower)) return format;
    if (lower.empty()) return nullptr;
    return ForInputPath("." + lower);
}

const Format* FormatRegistry::ForPath(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext.empty()) return nullptr;
    for (const Format* format : All())
        for (const char* known : format->extensions)
            if (known && ext == known) return format;
    return nullptr;
}

const Format* FormatRegistry::ForInputPath(const std::string& path) {
    if (const Format* written = ForPath(path)) return written;
    const std::string ext = LowerExtension(path);
    for (const Format* format : All())
        for (const char* known : format->inputExtensions)
            if (known && ext == known) return format;
    return nullptr;
}

namespace {
// What bytes are where no extension says: an XML document by its first element (never a list of
// links, whatever a comment before it holds), a list of links, a zip, JSON, the unit's file by its
// size where asked; fallback else.
const Format* ByContent(const std::string& bytes, const Format* fallback, bool unitSize) {
    const std::string root = XmlRootName(bytes);
    if (!root.empty()) {
        const std::string local = root.substr(root.rfind(':') + 1);
        return FormatRegistry::Find(local == "glorie" ? "glorie" : local == "gpx" ? "gpx"
                                                                                  : "kml");
    }
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    at = bytes.find_first_not_of(" \t\r\n", at);
    const char first = at == std::string::npos ? '\0' : bytes[at];
    if (first == '<') return FormatRegistry::Find("kml");  // markup the reader will name the fault of
    for (const Format* format : FormatRegistry::InputOnly())
        if (format->recognise(bytes)) return format;
    if (bytes.compare(0, 4, "PK\x03\x04") == 0) return FormatRegistry::Find("kmz");
    if (unitSize && bytes.size() == 10804) return FormatRegistry::Find("mem");  // the memory-point file's one size
    if (first == '{' || first == '[') return FormatRegistry::Find("geojson");
    return fallback;
}
}  // namespace

const Format* FormatRegistry::ForInput(const std::string& path, const std::string& bytes) {
    const Format* byName = ForInputPath(path);
    // An extension that names a format decides; .txt, none or another one leaves it to the content.
    if (!byName || LowerExtension(path) == ".txt") return ByContent(bytes, byName, false);
    if (byName == Find("csv")) {
        // A list of links is text a table's name may hold.
        const Format* found = ByContent(bytes, byName, false);
        return found && !found->write ? found : byName;
    }
    return !byName->recognise || byName->recognise(bytes) ? byName : nullptr;
}

const Format* FormatRegistry::ForContent(const std::string& bytes) { return ByContent(bytes, Find("csv"), true); }

std::string FormatRegistry::Names(const char* separator) {
    std::string names;
    for (const Format* format : All()) names += (names.empty() ? "" : separator) + std::string(format->name);
    return names;
}

std::string FormatRegistry::OtherWords(const char* separator) {
    std::string words;
    for (const Format* format : All()) {
        const char* const* lists[] = {format->extensions, format->inputExtensions};
        const std::size_t sizes[] = {sizeof format->extensions / sizeof format->extensions[0],
                                     sizeof format->inputExtensions / sizeof format->inputExtensions[0]};
        for (std::size_t list = 0; list < 2; ++list)
            for (std::size_t k = 0; k < sizes[list]; ++k) {
                const char* extension = lists[list][k];
                if (!extension || Find(extension + 1)) continue;
                words += (words.empty() ? "" : separator) + std::string(extension + 1);
            }
    }
    return words;
}

bool FormatRegistry::OptionValue(const FormatOption& option, const std::string& text, int& value) {
    switch (option.type) {
    case FormatOptionType::flag:
        value = 1;
        return true;
    case FormatOptionType::choice:
        for (std::size_t k = 0; k < std::size(option.choices) && option.choices[k]; ++k)
            if (text == option.choices[k]) return value = static_cast<int>(k), true;
        return false;
    case FormatOptionType::number:
        break;
    }
    const std::size_t sign = text.compare(0, 1, "-") == 0 ? 1 : 0;
    // Nine digits at most: within int, and far past any range a row declares.
    if (text.size() == sign || text.size() > sign + 9) return false;
    for (std::size_t k = sign; k < text.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
    const long long number = std::stoll(text);
    if (number < option.minimum || number > option.maximum) return false;
    value = static_cast<int>(number);
    return true;
}

std::string FormatRegistry::OptionTitles(const FormatOption& option, const char* separator) {
    std::string titles;
    for (const Format* format : Rows())
        if (std::find(std::begin(format->options), std::end(format->options), &option) != std::end(format->options))
            titles += (titles.empty() ? "" : separator) + std::string(format->title);
    return titles;
}

std::string FormatRegistry::BomTitles(const char* separator) {
    for (const FormatOption* option : Options())
        if (std::string(option->word) == "--bom") return OptionTitles(*option, separator);
    return {};
}

std::string FormatRegistry::InputTitle(const Format& format, bool english) {
    std::string extensions;
    if (format.unit || format.extensions[1])
        for (const char* extension : format.extensions)
            if (extension) extensions += (extensions.empty() ? " (" : ", ") + std::string(extension);
    const char* title = english && format.englishTitle ? format.englishTitle : format.title;
    return title + extensions + (extensions.empty() ? "" : ")");
}
