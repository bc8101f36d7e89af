// CSV (RFC 4180), tab-, semicolon- or bar-separated text with a header naming the latitude and
// longitude columns (or one holding both), or without a header where the columns tell themselves
// apart, as spreadsheets and devices save it (UTF-8, CP932, UTF-16, Windows-1252: TextDecoding);
// written as CSV with a header line, CRLF line ends, optionally a byte-order mark.
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

#include "places/EachPlace.h"
#include "text/DegreeText.h"
#include "places/Format.h"
#include "text/LineIndex.h"
#include "formats/MapDocumentText.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "places/PlaceCollector.h"
#include "places/PlaceKeys.h"
#include "text/TextDecoding.h"

namespace {
constexpr const char* kGuessedHeader = "推測";  // the column marking a guessed reading
constexpr const char* kGuessedMark = "○";

enum Column {
    kLatitude,
    kLongitude,
    kName,
    kReading,
    kDigits,
    kPosition,
    kGuessed,
    kColumnKinds
};

// Header words, compared after ASCII letters are lowered and blank space is trimmed; a column
// of an earlier word is taken before one of a later.
const std::vector<std::string_view> kHeaderWords[kColumnKinds] = {
    {"lat", "latitude", "緯度"},
    {"lon", "lng", "long", "longitude", "経度"},
    std::vector<std::string_view>(std::begin(kNameKeys), std::end(kNameKeys)),
    std::vector<std::string_view>(std::begin(kReadingKeys), std::end(kReadingKeys)),
    std::vector<std::string_view>(std::begin(kDigitsKeys), std::end(kDigitsKeys)),
    {"coordinates", "coordinate", "coords", "position", "latlng", "latlon", "lat/lon", "lat,lon", "座標", "位置", "緯度経度"},
    {kGuessedHeader},
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
        if (quoted) throw MapError({MessageId::unclosedQuote, fileName, line});
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

// The one of comma, tab, semicolon and bar the first line has most of (a comma on a tie).
char SeparatorOf(std::string_view text) {
    const std::string_view header = text.substr(0, text.find('\n'));
    constexpr int kSeparators = 4;
    std::size_t counts[kSeparators] = {};
    const char separators[kSeparators] = {',', '\t', ';', '|'};
    bool quoted = false;
    for (const char ch : header) {
        quoted = ch == '"' ? !quoted : quoted;
        for (int k = 0; k < kSeparators; ++k) counts[k] += !quoted && ch == separators[k];
    }
    int best = 0;
    for (int k = 1; k < kSeparators; ++k)
        if (counts[k] > counts[best]) best = k;
    return separators[best];
}

bool IsBlankText(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// Japan's ranges: where both numbers of a row could be a latitude, the one in these is.
bool InJapanLatitudes(double value) { return value >= 20 && value <= 46; }
bool InJapanLongitudes(double value) { return value >= 122 && value <= 154; }

// The columns of a table without a header, from its first rows: a column whose every cell holds
// both coordinates, else two whose every cell is a latitude or longitude (Japan's ranges decide
// the order when both fit either; otherwise the first is the latitude), and the first other
// column of text for the names. False when the rows do not tell.
bool GuessColumns(std::string_view text, char separator, const std::string& file, int (&columns)[kColumnKinds]) {
    constexpr int kSampleRows = 20;
    struct Kind {
        bool latitude = true, longitude = true, pair = true, japanLatitude = true, japanLongitude = true, text = false;
        bool Alive() const { return latitude || longitude || pair || text; }
    };
    // Only the columns that can still be chosen are kept, and of a row only its cells that are not
    // blank, judged as they come: a row of 30 million separators is no 30 million of anything.
    std::vector<std::pair<std::size_t, Kind>> kinds, cells;
    std::size_t width = 0, rowWidth = 0;  // the most fields of a row so far; of this row
    RecordScanner scanner(text, separator, 1);
    int line = 1, rows = 0;
    // No spreadsheet has more columns: past them, a row of millions of numbers would be millions
    // of columns to judge.
    constexpr std::size_t kMostColumns = 16384;
    const auto judge = [&](std::size_t i, std::string& field) {
        rowWidth = i + 1;
        if (i >= kMostColumns || IsBlankText(field)) return;
        Kind kind;
        double value = 0;
        const bool latitude = ParseDegreeCell(field, true, separator != ',', value) && std::fabs(value) <= 90;
        kind.japanLatitude = latitude && InJapanLatitudes(value);
        const bool longitude = ParseDegreeCell(field, false, separator != ',', value) && std::fabs(value) <= 180;
        kind.japanLongitude = longitude && InJapanLongitudes(value);
        kind.latitude = latitude;
        kind.longitude = longitude;
        std::string first, second;
        kind.pair = SplitCoordinatePair(field, first, second);
        kind.text = !latitude && !longitude;
        cells.emplace_back(i, kind);
    };
    while (rows < kSampleRows && scanner.Next(line, file, judge)) {
        // A first line of separators alone is a header without words, not a table without one.
        if (cells.empty() && line == 1) return false;
        if (!cells.empty()) {
            // A column the rows so far had is judged by its cell (a blank one is nothing); a column
            // past them starts afresh.
            std::vector<std::pair<std::size_t, Kind>> next;
            auto cell = cells.begin();
            const auto cellAt = [&](std::size_t i) -> const Kind* {
                while (cell != cells.end() && cell->first < i) ++cell;
                return cell != cells.end() && cell->first == i ? &cell->second : nullptr;
            };
            for (const auto& [i, had] : kinds) {
                const Kind* now = cellAt(i);
                Kind kind = had;
                kind.latitude = kind.latitude && now && now->latitude;
                kind.longitude = kind.longitude && now && now->longitude;
                kind.japanLatitude = kind.japanLatitude && now && now->japanLatitude;
                kind.japanLongitude = kind.japanLongitude && now && now->japanLongitude;
                kind.pair = kind.pair && now && now->pair;
                if (kind.Alive()) next.emplace_back(i, kind);
            }
            for (const auto& [i, kind] : cells)
                if (i >= width) {
                    Kind fresh = kind;
                    if (rows > 0) fresh.text = false;
                    if (fresh.Alive()) next.emplace_back(i, fresh);
                }
            kinds = std::move(next);
            width = std::max(width, rowWidth);
            ++rows;
        }
        cells.clear();
        rowWidth = 0;
    }
    if (rows == 0) return false;
    std::vector<int> numbers;
    std::vector<std::size_t> numberKinds;  // into kinds
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        const Kind& kind = kinds[k].second;
        if (kind.pair && columns[kPosition] < 0 && numbers.empty()) columns[kPosition] = static_cast<int>(kinds[k].first);
        if (columns[kPosition] < 0 && (kind.latitude || kind.longitude)) {
            numbers.push_back(static_cast<int>(kinds[k].first));
            numberKinds.push_back(k);
        }
    }
    if (columns[kPosition] < 0) {
        if (numbers.size() < 2) return false;
        // Among more (a number column before them), two neighbours in Japan's ranges are the ones.
        for (std::size_t k = 0; k + 1 < numbers.size() && numbers.size() > 2; ++k) {
            const Kind& a = kinds[numberKinds[k]].second;
            const Kind& b = kinds[numberKinds[k + 1]].second;
            if ((a.japanLatitude && b.japanLongitude) || (a.japanLongitude && b.japanLatitude)) {
                numbers.erase(numbers.begin(), numbers.begin() + static_cast<std::ptrdiff_t>(k));
                numberKinds.erase(numberKinds.begin(), numberKinds.begin() + static_cast<std::ptrdiff_t>(k));
                break;
            }
        }
        const Kind& a = kinds[numberKinds[0]].second;
        const Kind& b = kinds[numberKinds[1]].second;
        bool firstIsLatitude = a.latitude && b.longitude;
        if (a.latitude && b.latitude && a.longitude && b.longitude)
            firstIsLatitude = !(b.japanLatitude && a.japanLongitude && !(a.japanLatitude && b.japanLongitude));
        else if (!firstIsLatitude && !(b.latitude && a.longitude))
            return false;
        columns[kLatitude] = numbers[firstIsLatitude ? 0 : 1];
        columns[kLongitude] = numbers[firstIsLatitude ? 1 : 0];
    }
    for (std::size_t k = 0; k < kinds.size() && columns[kName] < 0; ++k) {
        const int at = static_cast<int>(kinds[k].first);
        if (kinds[k].second.text && at != columns[kLatitude] && at != columns[kLongitude] && at != columns[kPosition])
            columns[kName] = at;
    }
    return true;
}

// Whether the last record of the text leaves a quoted field open, as RecordScanner reads it: the
// one failure of a table found at its end, looked for before a batch is delivered.
bool EndsInQuotes(std::string_view text, char separator) {
    bool quoted = false, empty = true;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char ch = text[at];
        if (quoted) {
            if (ch == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                ++at;
                empty = false;
            } else if (ch == '"') {
                quoted = false;
            } else {
                empty = false;
            }
        } else if (ch == '"' && empty) {
            quoted = true;
        } else if (ch == separator || ch == '\n') {
            empty = true;
        } else if (ch != '\r' || (at + 1 < text.size() && text[at + 1] != '\n')) {
            empty = false;
        }
    }
    return quoted;
}

// The rows of a table, read a batch at a time or all at once.
class CsvRows : public PlaceBatches {
public:
    CsvRows(std::string bytes, const std::string& fileName, bool batches, const ReadOptions& options);
    bool Next(std::size_t rows, MapReadResult& batch) override;
    void Rewind() override {
        m_scanner = RecordScanner(m_text, m_separator, 1);
        if (!m_headerless) m_scanner.Next(m_line, m_places.FileName(), [](std::size_t, const std::string&) {});
        m_places = PlaceCollector(m_places.FileName(), m_options);
    }

private:
    // The rows up to rows candidates more into m_places; false at the end of the text.
    bool Read(std::size_t rows);

    ReadOptions m_options;
    PlaceCollector m_places;
    std::string m_text;
    char m_separator = ',';
    RecordScanner m_scanner;
    int m_line = 1;
    int m_columns[kColumnKinds] = {-1, -1, -1, -1, -1, -1, -1};
    bool m_headerless = false;
    std::size_t m_kept = 0;  // only the columns read are kept of a row
};

CsvRows::CsvRows(std::string bytes, const std::string& fileName, bool batches, const ReadOptions& options)
    : m_options(options), m_places(fileName, options), m_scanner({}, ',', 1) {
    const std::string& file = m_places.FileName();
    std::vector<Message> warnings;
    m_text = DecodeTableText(std::move(bytes), file, warnings);
    for (Message& warning : warnings) m_places.Warn(std::move(warning));
    const std::string_view text = m_text;

    m_separator = SeparatorOf(text);
    m_scanner = RecordScanner(text, m_separator, 1);
    int(&columns)[kColumnKinds] = m_columns;
    std::size_t rank[kColumnKinds] = {};
    // The words as compared, made once rather than for each cell of a first row of millions.
    static const auto kWords = [] {
        std::array<std::vector<std::string>, kColumnKinds> words;
        for (int kind = 0; kind < kColumnKinds; ++kind)
            for (const std::string_view word : kHeaderWords[kind]) words[static_cast<std::size_t>(kind)].push_back(HeaderWord(word));
        return words;
    }();
    m_scanner.Next(m_line, file, [&](std::size_t i, const std::string& field) {
        if (IsBlankText(field)) return;  // no header word is blank
        const std::string word = HeaderWord(field);
        for (int kind = 0; kind < kColumnKinds; ++kind)
            for (std::size_t k = 0; k < kWords[static_cast<std::size_t>(kind)].size(); ++k)
                if (word == kWords[static_cast<std::size_t>(kind)][k] && (columns[kind] < 0 || k < rank[kind])) {
                    columns[kind] = static_cast<int>(i);
                    rank[kind] = k;
                }
    });
    // Lines are counted to reserve the places at once (a growing vector holds two copies); a
    // batch holds few of them.
    if (!batches) m_places.Reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    const bool hasPosition = columns[kPosition] >= 0 || (columns[kLatitude] >= 0 && columns[kLongitude] >= 0);
    // Without a header the first line is a row: read again from it.
    m_headerless = !hasPosition && GuessColumns(text, m_separator, file, columns);
    if (m_headerless) m_scanner = RecordScanner(text, m_separator, 1);
    if (!hasPosition && !m_headerless)
        throw MapError({MessageId::noCoordinateColumns, file});
    // A header with both a latitude and a longitude column reads those; a column of both is read otherwise.
    if (columns[kLatitude] >= 0 && columns[kLongitude] >= 0) columns[kPosition] = -1;
    m_kept = static_cast<std::size_t>(*std::max_element(std::begin(columns), std::end(columns))) + 1;
    // Read whole, the file fails before a point is delivered; in batches, before the first.
    if (batches && EndsInQuotes(text, m_separator)) {
        RecordScanner all = m_scanner;
        for (int line = 1; all.Next(line, file, [](std::size_t, const std::string&) {});) {
        }  // throws at the open quote
    }
}

bool CsvRows::Read(std::size_t rows) {
    const std::string& file = m_places.FileName();
    const int(&columns)[kColumnKinds] = m_columns;
    std::vector<std::string> fields;
    bool blank = true;
    const auto take = [&](std::size_t i, std::string& field) {
        blank = blank && IsBlankText(field);
        if (i < m_kept) fields.push_back(std::move(field));
    };
    for (std::size_t read = 0; read < rows; fields.clear(), blank = true) {
        if (!m_scanner.Next(m_line, file, take)) return false;
        if (blank) continue;
        ++read;
        const auto field = [&](Column kind) -> std::string_view {
            const int at = columns[kind];
            return at >= 0 && static_cast<std::size_t>(at) < fields.size() ? std::string_view(fields[static_cast<std::size_t>(at)])
                                                                           : std::string_view();
        };
        Place place;
        place.SetOrigin(PlaceOrigin::Line(m_line));
        place.SetName(std::string(field(kName)));
        place.SetReading(std::string(field(kReading)));
        if (columns[kDigits] >= 0) m_places.SetDigits(place, field(kDigits));
        // Marked as the writer marks a guess, a reading stays marked through a round trip.
        const std::string_view mark = field(kGuessed);
        place.SetReadingGuessed(!IsBlankText(mark) && mark != "0");
        if (columns[kPosition] >= 0) {
            std::string latitude, longitude;
            // A cell that is no pair is refused with its whole text as the latitude.
            if (!SplitCoordinatePair(field(kPosition), latitude, longitude)) latitude = std::string(field(kPosition));
            m_places.AddCells(std::move(place), latitude, longitude, false);
            continue;
        }
        m_places.AddCells(std::move(place), field(kLatitude), field(kLongitude), m_separator != ',');
    }
    return true;
}

bool CsvRows::Next(std::size_t rows, MapReadResult& batch) {
    const bool end = !Read(rows);
    if (m_places.Candidates() == 0) m_places.Finish();  // a file of no point: throws
    if (end) m_places.SayGrouped();
    batch = m_places.Take();
    return !(end && batch.places.empty() && batch.warnings.empty() && batch.refused == 0);
}

MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    CsvRows rows(std::move(bytes), fileName, false, options);
    MapReadResult result;
    rows.Next(static_cast<std::size_t>(-1), result);
    return result;
}

std::unique_ptr<PlaceBatches> OpenBatches(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    return std::make_unique<CsvRows>(std::move(bytes), fileName, true, options);
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

void Write(ByteSink& sink, PlaceSource& places, const WriteOptions& options) {
    std::string out = options.bom ? "\xEF\xBB\xBF" : "";
    out += std::string("name,reading,latitude,longitude,digits") + (options.guessMarks ? std::string(",") + kGuessedHeader : "") + "\r\n";
    ForEachPlace(places, [&](const Place& p) {
        out += CsvField(p.Name()) + "," + CsvField(p.Reading()) + "," + CoordinateText(p.latitude) + "," +
               CoordinateText(p.longitude) + "," + CsvField(p.Digits());
        if (options.guessMarks) out += std::string(",") + (p.ReadingGuessed() ? kGuessedMark : "");
        out += "\r\n";
        WritePart(sink, out);
    });
    WritePart(sink, out, true);
}
}  // namespace

namespace {
constexpr FormatOption Bom() {
    FormatOption option{};
    option.word = "--bom";
    option.japanese = "CSV の先頭に BOM を付けます";
    option.english = "Byte-order mark at the start of a CSV (for spreadsheets)";
    option.use = FormatOptionUse::write;
    option.apply = [](ReadOptions&, WriteOptions& write, int value) { write.bom = value != 0; };
    return option;
}
constexpr FormatOption kBomOption = Bom();

constexpr Format Row() {
    Format row{};
    row.name = "csv";
    row.title = "CSV";
    row.extensions[0] = ".csv";
    row.inputExtensions[0] = ".tsv";
    row.inputExtensions[1] = ".txt";
    row.datum = FormatDatum::wgs84;
    row.read = Read;
    row.write = Write;
    row.openBatches = OpenBatches;
    row.options[0] = &kBomOption;
    return row;
}
}  // namespace

extern const Format kCsvFormat = Row();
