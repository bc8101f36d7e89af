// CSV (RFC 4180) or tab-separated text with a header naming the latitude and longitude columns;
// written with a header line, CRLF line ends, optionally a byte-order mark.
#include <string_view>
#include <vector>

#include "maps/Format.h"
#include "maps/LineIndex.h"
#include "maps/MapDocumentText.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/PlaceCollector.h"

namespace {
enum Column { kLatitude, kLongitude, kName, kReading, kDigits, kColumnKinds };

// Header words, compared after ASCII letters are lowered and blank space is trimmed.
const std::vector<std::string_view> kHeaderWords[kColumnKinds] = {
    {"lat", "latitude", "緯度"},
    {"lon", "lng", "long", "longitude", "経度"},
    {"name", "title", "名称", "名前"},
    {"reading", "読み", "よみ", "ふりがな"},
    {"digits", "phone", "tel", "電話", "電話番号"},
};

class RecordScanner {
public:
    RecordScanner(std::string_view text, char separator, int firstLine)
        : m_text(text), m_separator(separator), m_line(firstLine) {}

    // The fields of the next record, and the line it starts on; false at the end.
    bool Next(std::vector<std::string>& fields, int& line, const std::string& fileName) {
        fields.clear();
        if (m_at >= m_text.size()) return false;
        line = m_line;
        std::string field;
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
                fields.push_back(std::move(field));
                field.clear();
            } else if (ch == '\n') {
                ++m_line;
                break;
            } else if (ch != '\r' || (m_at < m_text.size() && m_text[m_at] != '\n')) {
                field += ch;
            }
        }
        if (quoted) throw MapError(fileName + ": " + std::to_string(line) + " 行目: 引用符が閉じていません");
        fields.push_back(std::move(field));
        return true;
    }

private:
    std::string_view m_text;
    char m_separator;
    int m_line;
    std::size_t m_at = 0;
};

std::string HeaderWord(const std::string& field) {
    std::string word = CollapseSpace(field);
    for (char& ch : word)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return word;
}

// Tab when the header line has more tabs than commas.
char SeparatorOf(std::string_view text) {
    const std::string_view header = text.substr(0, text.find('\n'));
    std::size_t tabs = 0, commas = 0;
    for (const char ch : header) {
        tabs += ch == '\t';
        commas += ch == ',';
    }
    return tabs > commas ? '\t' : ',';
}

bool IsBlankRecord(const std::vector<std::string>& fields) {
    for (const std::string& field : fields)
        if (!CollapseSpace(field).empty()) return false;
    return true;
}

void ReadCsv(const std::string& bytes, PlaceCollector& places) {
    const std::string& file = places.FileName();
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (const std::size_t bad = FirstInvalidUtf8(text); bad != std::string_view::npos)
        throw MapError(file + ": " + std::to_string(LineIndex::LineAt(text, bad)) +
                       " 行目: UTF-8 として読めない文字があります（UTF-8 で保存し直してください）");

    RecordScanner scanner(text, SeparatorOf(text), 1);
    std::vector<std::string> fields;
    int line = 1;
    int columns[kColumnKinds] = {-1, -1, -1, -1, -1};
    if (scanner.Next(fields, line, file)) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string word = HeaderWord(fields[i]);
            for (int kind = 0; kind < kColumnKinds; ++kind)
                for (const std::string_view known : kHeaderWords[kind])
                    if (word == known && columns[kind] < 0) columns[kind] = static_cast<int>(i);
        }
    }
    if (columns[kLatitude] < 0 || columns[kLongitude] < 0)
        throw MapError(file + ": 1 行目: 緯度と経度の列がありません（見出しに lat・latitude・緯度 と lon・lng・longitude・経度 のどれかが要ります）");

    while (scanner.Next(fields, line, file)) {
        if (IsBlankRecord(fields)) continue;
        const auto field = [&](Column kind) -> std::string_view {
            const int at = columns[kind];
            return at >= 0 && static_cast<std::size_t>(at) < fields.size() ? std::string_view(fields[static_cast<std::size_t>(at)])
                                                                          : std::string_view();
        };
        Place place;
        place.origin = std::to_string(line) + " 行目";
        place.name = std::string(field(kName));
        place.reading = std::string(field(kReading));
        if (columns[kDigits] >= 0) places.SetDigits(place, field(kDigits));
        places.Add(std::move(place), field(kLatitude), field(kLongitude));
    }
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions&) {
    PlaceCollector places(fileName);
    ReadCsv(bytes, places);
    return places.Finish();
}

std::string CsvField(const std::string& text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
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
        out += CsvField(p.name) + "," + CsvField(p.reading) + "," + CoordinateText(p.latitude) + "," +
               CoordinateText(p.longitude) + "," + CsvField(p.digits) + "\r\n";
    }
    WriteDocumentBytes(file, out);
}
}  // namespace

extern const Format kCsvFormat = {
    "csv", "CSV", {".csv"}, FormatDatum::wgs84, false, 0, true, nullptr, Read, Write};
