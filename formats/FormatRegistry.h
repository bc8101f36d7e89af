#pragma once
// The one table of formats: every rule about names, extensions, datums and splitting asks it.
#include <string>
#include <vector>

#include "places/Format.h"

class FormatRegistry {
public:
    // Every row of Formats.inc, in the order --help names them: those written and those only read.
    static const std::vector<const Format*>& Rows();
    // Every format that is written (and read), in the order --help names them.
    static const std::vector<const Format*>& All();
    // Formats only read, known by their content (a list of map links): no output, no extension.
    static const std::vector<const Format*>& InputOnly();
    // By --to's word, a format that is written; null for none.
    static const Format* Find(const std::string& name);
    // Any row by its name, one only read too; null for none.
    static const Format* FindRow(const std::string& name);
    // The options the rows declare, each once, in the rows' order.
    static const std::vector<const FormatOption*>& Options();
    // By a word a user may type for it, any letter case: its name or one of its extensions
    // without the full stop ("json", "xml", "txt"); null for none.
    static const Format* FindWord(const std::string& word);
    // By the extension of path, any letter case; null for none. ForPath knows the extensions a
    // format writes (for an output's name), ForInputPath also those it only reads.
    static const Format* ForPath(const std::string& path);
    static const Format* ForInputPath(const std::string& path);
    // What an input is: the format its extension names (a glorie document's .xml only when its
    // root is glorie; a table's .csv or .tsv may hold a list of links); where the extension names
    // none or is .txt, what its content shows (an XML document by its first element, never a list
    // of links), else the table of .txt; null when neither.
    static const Format* ForInput(const std::string& path, const std::string& bytes);
    // What bytes without a name are (standard input): what their content shows (an XML document
    // by its first element, a list of links, a zip, JSON, the unit's file size); CSV else.
    static const Format* ForContent(const std::string& bytes);
    // The names of every format, joined by separator: "glorie, mem, gpx, ...".
    static std::string Names(const char* separator);
    // The other words FindWord knows, the extensions that are no format's name, joined likewise:
    // "xml, json, tsv, txt".
    static std::string OtherWords(const char* separator);
    // A format as the lists of inputs name it: its title, with its extensions where the title
    // does not say them (the unit's files, several extensions): "GeoJSON (.geojson, .json)".
    static std::string InputTitle(const Format& format, bool english = false);
    // text as option's value: 1 for a flag (text unused), a number within the option's range
    // (digits alone, a minus sign before them), the index of one of its choices; false for none.
    static bool OptionValue(const FormatOption& option, const std::string& text, int& value);
    // The titles of the formats whose rows declare option, joined by separator: "CSV".
    static std::string OptionTitles(const FormatOption& option, const char* separator);
    // The titles of the formats that take the byte-order mark (--bom), joined by separator.
    static std::string BomTitles(const char* separator);
};
