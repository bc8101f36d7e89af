#include "maps/UserReadings.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "glorie/FileErrorText.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/PlaceKeys.h"
#include "maps/ReadingGuesser.h"
#include "maps/TextDecoding.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"

namespace {
// The fields of one line: separator splits, a field in double quotes may hold it ("" is a quote).
std::vector<std::string> Fields(const std::string& line, char separator) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quoted && ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (ch == '"' && (quoted || fields.back().empty())) {
            quoted = !quoted;
        } else if (ch == separator && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += ch;
        }
    }
    return fields;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A reading is kana (either kind, either width), the long-vowel mark, digits, Latin letters and
// the marks a name holds; a kanji in it would be a name in the wrong column.
bool IsReadingText(const std::string& reading) {
    std::size_t i = 0;
    while (i < reading.size()) {
        const char32_t c = NextCodePoint(reading, i);
        const bool ok = (c >= 0x20 && c < 0x7F) || (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FC) ||
                        (c >= 0xFF61 && c <= 0xFF9F) || (c >= 0xFF01 && c <= 0xFF5E) || c == 0x3000 || c == 0x309B ||
                        c == 0x309C;
        if (!ok) return false;
    }
    return true;
}

// Tabs where a line has more of them than commas (a list copied out of a spreadsheet).
char SeparatorOf(const std::string& line) {
    std::size_t tabs = 0, commas = 0;
    bool quoted = false;
    for (const char ch : line) {
        quoted = ch == '"' ? !quoted : quoted;
        tabs += !quoted && ch == '\t';
        commas += !quoted && ch == ',';
    }
    return tabs > commas ? '\t' : ',';
}

std::string HeaderWord(const std::string& field) {
    std::string word = CollapseSpace(field);
    for (char& ch : word)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return word;
}

int ColumnOf(const std::vector<std::string>& fields, const std::vector<std::string_view>& words) {
    for (const std::string_view word : words)
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (HeaderWord(fields[i]) == HeaderWord(std::string(word))) return static_cast<int>(i);
    return -1;
}
}  // namespace

UserReadings UserReadings::Load(const CString& strPath, std::vector<std::string>& warnings) {
    std::string bytes;
    try {
        CFile file;
        CFileException error;
        if (!file.Open(strPath, CFile::modeRead, &error)) {
            if (error.m_strFileName.IsEmpty()) error.m_strFileName = strPath;
            throw MapError(CommandFailureText(error).Str());
        }
        const std::uint64_t length = file.GetLength();
        constexpr std::uint64_t kMaxBytes = 64ull << 20;  // far more than any list typed by hand
        if (length > kMaxBytes)
            throw MapError("読みの辞書 " + strPath.Str() + " は大きすぎます (" + std::to_string(length >> 20) + " MB)");
        bytes.resize(static_cast<std::size_t>(length));
        if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length)
            throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
        file.Close();
    } catch (const CFileException& error) {
        throw MapError(CommandFailureText(error).Str());
    }
    return Parse(std::move(bytes), strPath.Str(), warnings);
}

std::vector<CString> UserReadings::DialogFiles() {
#ifdef _WIN32
    constexpr const char* kSeparator = "\\";
#else
    constexpr const char* kSeparator = "/";
#endif
    std::vector<CString> files;
    for (const CString& folder : {ProgramFolder(), DocumentsFolder()})
        if (!folder.IsEmpty()) files.push_back(CString(folder.Str() + kSeparator + kDialogFileName));
    return files;
}

std::shared_ptr<const UserReadings> UserReadings::LoadDialogFiles(std::vector<std::string>& warnings) {
    std::shared_ptr<UserReadings> all;
    for (const CString& file : DialogFiles()) {
        if (!IsRegularFile(file)) continue;
        try {
            UserReadings readings = Load(file, warnings);
            if (!all) all = std::make_shared<UserReadings>();
            for (auto& entry : readings.m_readings) all->m_readings[entry.first] = std::move(entry.second);
            all->m_longest = std::max(all->m_longest, readings.m_longest);
        } catch (const MapError& error) {
            warnings.push_back(error.what());
        }
    }
    return all;
}

UserReadings UserReadings::Parse(std::string bytes, const std::string& fileName, std::vector<std::string>& warnings) {
    const std::string text = DecodeTableText(std::move(bytes), fileName, warnings);
    UserReadings readings;
    char separator = 0;
    // Without a header the name is the first column and the reading the second, and a line has
    // no other; a header names them, and other columns (a table --to csv wrote) are left alone.
    int nameColumn = 0, readingColumn = 1;
    bool table = false;
    static const std::vector<std::string_view> kNames(std::begin(kNameKeys), std::end(kNameKeys));
    static const std::vector<std::string_view> kReadings = [] {
        std::vector<std::string_view> words(std::begin(kReadingKeys), std::end(kReadingKeys));
        words.insert(words.end(), {"フリガナ", "よみがな", "読みがな", "読み仮名"});
        return words;
    }();
    std::size_t at = 0;
    for (int line = 1; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(at, end - at);
        at = end + 1;
        if (!row.empty() && row.back() == '\r') row.pop_back();
        if (Trimmed(row).empty()) continue;
        const bool first = separator == 0;
        if (first) separator = SeparatorOf(row);
        std::vector<std::string> fields = Fields(row, separator);
        if (first && ColumnOf(fields, kReadings) >= 0) {
            readingColumn = ColumnOf(fields, kReadings);
            nameColumn = ColumnOf(fields, kNames);
            if (nameColumn < 0) nameColumn = readingColumn == 0 ? 1 : 0;
            table = true;
            continue;
        }
        const std::string where = fileName + ": " + std::to_string(line) + " 行目: ";
        const std::string skipped = "。この行は使いません";
        // A spreadsheet saves the empty cells of its widest row as trailing separators.
        while (!table && fields.size() > 2 && Trimmed(fields.back()).empty()) fields.pop_back();
        if (!table && fields.size() != 2) {
            warnings.push_back(where + "名称と読みの二つの列が要ります" + skipped);
            continue;
        }
        const auto field = [&](int column) {
            return static_cast<std::size_t>(column) < fields.size() ? Trimmed(fields[static_cast<std::size_t>(column)]) : std::string();
        };
        const std::string name = field(nameColumn), reading = field(readingColumn);
        // A table's row without a reading is a place the list does not read.
        if (table && reading.empty()) continue;
        if (name.empty() || reading.empty()) {
            warnings.push_back(where + "名称か読みが空です" + skipped);
            continue;
        }
        if (!IsReadingText(reading)) {
            warnings.push_back(where + "読み「" + reading + "」に仮名でない文字があります" + skipped);
            continue;
        }
        // A later line for the same name wins, as a list kept by hand is added to at its end.
        readings.m_readings[name] = ToHalfWidthKatakana(reading);
        if (name.size() > readings.m_longest) readings.m_longest = name.size();
    }
    return readings;
}

std::size_t UserReadings::MatchAt(std::string_view name, std::size_t at, std::string& reading) const {
    if (m_readings.empty() || at >= name.size()) return 0;
    // Entries that end on a character's end, the longest first.
    std::vector<std::size_t> ends;
    std::size_t i = at;
    while (i < name.size() && i - at < m_longest) {
        NextCodePoint(name, i);
        ends.push_back(i);
    }
    std::string key;
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
        key.assign(name.substr(at, *end - at));
        const auto found = m_readings.find(key);
        if (found != m_readings.end()) {
            reading = found->second;
            return *end - at;
        }
    }
    return 0;
}
