#include "maps/UserReadings.h"

#include <vector>

#include "glorie/FileErrorText.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/ReadingGuesser.h"
#include "maps/TextDecoding.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"

namespace {
// The fields of one line: commas separate, a field in double quotes may hold commas ("" is a quote).
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (quoted && ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (ch == '"' && (quoted || fields.back().empty())) {
            quoted = !quoted;
        } else if (ch == ',' && !quoted) {
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
}  // namespace

UserReadings UserReadings::Load(const CString& strPath) {
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
    return Parse(std::move(bytes), strPath.Str());
}

UserReadings UserReadings::Parse(std::string bytes, const std::string& fileName) {
    std::vector<std::string> warnings;
    const std::string text = DecodeTableText(std::move(bytes), fileName, warnings);
    if (!warnings.empty()) throw MapError(warnings.front());
    UserReadings readings;
    std::size_t at = 0;
    for (int line = 1; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(at, end - at);
        at = end + 1;
        if (!row.empty() && row.back() == '\r') row.pop_back();
        if (Trimmed(row).empty()) continue;
        const std::vector<std::string> fields = Fields(row);
        const std::string where = fileName + ": " + std::to_string(line) + " 行目: ";
        if (fields.size() != 2) throw MapError(where + "名称と読みの二つの列が要ります");
        const std::string name = Trimmed(fields[0]), reading = Trimmed(fields[1]);
        if (name.empty() || reading.empty()) throw MapError(where + "名称か読みが空です");
        if (!IsReadingText(reading)) throw MapError(where + "読み「" + reading + "」に仮名でない文字があります");
        // A later line for the same name wins, as a list kept by hand is added to at its end.
        readings.m_readings[name] = ToHalfWidthKatakana(reading);
        if (name.size() > readings.m_longest) readings.m_longest = name.size();
    }
    return readings;
}

std::size_t UserReadings::Match(const std::string& name, std::string& reading) const {
    if (m_readings.empty()) return 0;
    // Prefixes that end on a character's end, the longest first.
    std::vector<std::size_t> ends;
    std::size_t i = 0;
    while (i < name.size() && i < m_longest) {
        NextCodePoint(name, i);
        ends.push_back(i);
    }
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
        const auto found = m_readings.find(name.substr(0, *end));
        if (found != m_readings.end()) {
            reading = found->second;
            return *end;
        }
    }
    return 0;
}
