#include "maps/FormatRegistry.h"

#include <cctype>

// Each format is one file of its own, defining its row.
#define QUORVEL_FORMAT(name, row) extern const Format row;
#include "maps/Formats.inc"
#undef QUORVEL_FORMAT
extern const Format kLinkListFormat;

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

const std::vector<const Format*>& FormatRegistry::All() {
    static const std::vector<const Format*> formats = {
#define QUORVEL_FORMAT(name, row) &row,
#include "maps/Formats.inc"
#undef QUORVEL_FORMAT
    };
    return formats;
}

const std::vector<const Format*>& FormatRegistry::InputOnly() {
    static const std::vector<const Format*> formats = {&kLinkListFormat};
    return formats;
}

const Format* FormatRegistry::Find(const std::string& name) {
    for (const Format* format : All())
        if (name == format->name) return format;
    return nullptr;
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

const Format* FormatRegistry::ForInput(const std::string& path, const std::string& bytes) {
    const Format* byName = ForInputPath(path);
    // A list of links saved as .txt is no table: the read-only formats are asked first.
    for (const Format* format : InputOnly())
        if (format->recognise(bytes)) return format;
    if (byName && !byName->recognise) return byName;
    for (const Format* format : All())
        if (format->recognise && format->recognise(bytes)) return format;
    return nullptr;
}

const Format* FormatRegistry::ForContent(const std::string& bytes) {
    if (const Format* format = ForInput("", bytes)) return format;
    if (bytes.compare(0, 4, "PK\x03\x04") == 0) return Find("kmz");
    if (bytes.size() == 10804) return Find("mem");  // the memory-point file's one size
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    at = bytes.find_first_not_of(" \t\r\n", at);
    if (at != std::string::npos && (bytes[at] == '{' || bytes[at] == '[')) return Find("geojson");
    if (at != std::string::npos && bytes[at] == '<') {
        const std::string start = bytes.substr(at, 4096);
        for (const char* root : {"<gpx", ":gpx"})
            if (start.find(root) != std::string::npos) return Find("gpx");
        return Find("kml");
    }
    return Find("csv");
}

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

std::string FormatRegistry::BomTitles(const char* separator) {
    std::string titles;
    for (const Format* format : All())
        if (format->takesBom) titles += (titles.empty() ? "" : separator) + std::string(format->title);
    return titles;
}

std::string FormatRegistry::InputTitle(const Format& format, bool english) {
    std::string extensions;
    if (format.unit || format.extensions[1])
        for (const char* extension : format.extensions)
            if (extension) extensions += (extensions.empty() ? " (" : ", ") + std::string(extension);
    const char* title = english && format.englishTitle ? format.englishTitle : format.title;
    return title + extensions + (extensions.empty() ? "" : ")");
}
