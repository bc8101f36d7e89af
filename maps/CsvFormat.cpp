// CSV (RFC 4180), tab- or semicolon-separated text with a header naming the latitude and
// longitude columns, as spreadsheets save it (UTF-8, CP932, UTF-16: TextDecoding); written as CSV
// with a header line, CRLF line ends, optionally a byte-order mark.
#include <algorithm>
#include <string_view>
#include <vector>

#include "maps/Format.h"
#include "maps/LineIndex.h"
#include "maps/MapDocumentText.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/PlaceCollector.h"
#include "maps/PlaceKeys.h"
#include "maps/TextDecoding.h"

namespace {
enum Column { kLatitude, kLongitude, kName, kReading, kDigits, kColumnKinds };

// Header words, compared after ASCII letters are lowered and blank space is trimmed; a column
// of an earlier word is taken before one of a later.
const std::vector<std::string_view> kHeaderWords[kColumnKinds] = {
    {"lat", "latitude", "緯度"},
    {"lon", "lng", "long", "longitude", "経度"},
    std::vector<std::string_view>(std::begin(kNameKeys), std::end(kNameKeys)),
    std::vector<std::string_view>(std::begin(kReadingKeys), std::end(kReadingKeys)),
    std::vector<std::string_view>(std::begin(kDigitsKeys), std::end(kDigitsKeys)),
};

class RecordScanner {
public:
    RecordScanner(std::string_view text, char separator, int firstLine)
        : m_text(text), m_separator(separator), m_line(firstLine) {}

    // The fields of the next record, each handed to take(index, field) as it ends (a row of 30
    // million separators is never 30 million strings at once), and the line it starts on; false
    // at the end.
    template <typename Take>
    bool Next(int& line, const std::string& fileName, Take take) {
        if (m_at >= m_text.size()) return false;
        line = m_line;
        std::string field;
        std::size_t index = 0;
        bool quoted = false;
        while (m_at < m_text.size()) {
            const char ch = m_text[m_at++];
            if (quoted) {
                if (ch == '"' && m_at < m_text.size() && m_text[m_at] == '"') {
                    field += '"';
                    ++m_at;
                } else if (ch == '"') {
                    quoted = false;
                } else {
                    if (ch == '\n') ++m_line;
                    field += ch;
                }
            } else if (ch == '"' && field.empty()) {
                quoted = true;
            } else if (ch == m_separator) {
                take(index++, field);
                field.clear();
            } else if (ch == '\n') {
                ++m_line;
                break;
            } else if (ch != '\r' || (m_at < m_text.size() && m_text[m_at] != '\n')) {
                field += ch;
            }
        }
        if (quoted) throw MapError(fileName + ": " + std::to_string(line) + " 行目: 引用符が閉じていません");
        take(index, field);
        return true;
    }

private:
    std::string_view m_text;
    char m_separator;
    int m_line;
    std::size_t m_at = 0;
};

std::string HeaderWord(std::string_view field) {
    std::string word = CollapseSpace(field);
    for (char& ch : word)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return word;
}

// The one of comma, tab and semicolon the header line has most of (a comma on a tie).
char SeparatorOf(std::string_view text) {
    const std::string_view header = text.substr(0, text.find('\n'));
    std::size_t counts[3] = {0, 0, 0};
    const char separators[3] = {',', '\t', ';'};
    bool quoted = false;
    for (const char ch : header) {
        quoted = ch == '"' ? !quoted : quoted;
        for (int k = 0; k < 3; ++k) counts[k] += !quoted && ch == separators[k];
    }
    int best = 0;
    for (int k = 1; k < 3; ++k)
        if (counts[k] > counts[best]) best = k;
    return separators[best];
}

bool IsBlankText(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

void ReadCsv(std::string bytes, PlaceCollector& places) {
    const std::string& file = places.FileName();
    std::vector<std::string> warnings;
    const std::string decoded = DecodeTableText(std::move(bytes), file, warnings);
    for (std::string& warning : warnings) places.Warn(std::move(warning));
    const std::string_view text = decoded;

    const char separator = SeparatorOf(text);
    RecordScanner scanner(text, separator, 1);
    int line = 1;
    int columns[kColumnKinds] = {-1, -1, -1, -1, -1};
    std::size_t rank[kColumnKinds] = {};
    scanner.Next(line, file, [&](std::size_t i, const std::string& field) {
        if (IsBlankText(field)) return;  // no header word is blank
        const std::string word = HeaderWord(field);
        for (int kind = 0; kind < kColumnKinds; ++kind)
            for (std::size_t k = 0; k < kHeaderWords[kind].size(); ++k)
                if (word == HeaderWord(kHeaderWords[kind][k]) && (columns[kind] < 0 || k < rank[kind])) {
                    columns[kind] = static_cast<int>(i);
                    rank[kind] = k;
                }
    });
    // Lines are counted to reserve the places at once (a growing vector holds two copies).
    places.Reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    if (columns[kLatitude] < 0 || columns[kLongitude] < 0)
        throw MapError(file + ": 1 行目: 緯度と経度の列がありません（見出しに lat・latitude・緯度 と lon・lng・longitude・経度 のどれかが要ります）");

    // Only the columns read are kept of a row.
    const std::size_t kept = static_cast<std::size_t>(*std::max_element(std::begin(columns), std::end(columns))) + 1;
    std::vector<std::string> fields;
    bool blank = true;
    const auto take = [&](std::size_t i, std::string& field) {
        blank = blank && IsBlankText(field);
        if (i < kept) fields.push_back(std::move(field));
    };
    for (; scanner.Next(line, file, take); fields.clear(), blank = true) {
        if (blank) continue;
        const auto field = [&](Column kind) -> std::string_view {
            const int at = columns[kind];
            return at >= 0 && static_cast<std::size_t>(at) < fields.size() ? std::string_view(fields[static_cast<std::size_t>(at)])
                                                                          : std::string_view();
        };
        Place place;
        place.origin = PlaceOrigin::Line(line);
        place.name = std::string(field(kName));
        place.SetReading(std::string(field(kReading)));
        if (columns[kDigits] >= 0) places.SetDigits(place, field(kDigits));
        places.AddCells(std::move(place), field(kLatitude), field(kLongitude), separator != ',');
    }
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions&) {
    PlaceCollector places(fileName);
    ReadCsv(std::move(bytes), places);
    return places.Finish();
}

// Quoted where a reader would split it, drop it as a comment line (#) or take it for a formula
// (= + - @). A formula start is quoted only, not prefixed: a prefix would become part of the
// name for every other reader, and the field reads back as written.
std::string CsvField(const std::string& text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' ')) ||
                       (!text.empty() && std::string_view("#=+-@\t").find(text.front()) != std::string_view::npos);
    if (!quote) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void Write(CFile& file, const Place* places, std::size_t count, const WriteOptions& options) {
    std::string out = options.bom ? "\xEF\xBB\xBF" : "";
    out += "name,reading,latitude,longitude,digits\r\n";
    for (std::size_t i = 0; i < count; ++i) {
        const Place& p = places[i];
        out += CsvField(p.name) + "," + CsvField(p.Reading()) + "," + CoordinateText(p.latitude) + "," +
               CoordinateText(p.longitude) + "," + CsvField(p.Digits()) + "\r\n";
        WritePart(file, out);
    }
    WritePart(file, out, true);
}
}  // namespace

extern const Format kCsvFormat = {
    "csv", "CSV", {".csv"}, {".tsv", ".txt"}, FormatDatum::wgs84, false, 0, true, nullptr, Read, Write};
