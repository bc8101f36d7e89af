#include "maps/UserReadings.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

#include "glorie/FileErrorText.h"
#include "maps/Format.h"
#include "maps/MapError.h"
#include "maps/MapText.h"
#include "maps/ReadingGuesser.h"
#include "maps/TextDecoding.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"

namespace {
// The fields of one line: commas separate, a field in double quotes may hold commas ("" is a quote).
// A line without quotes is cut where it stands (a name of megabytes is not copied); fields past
// the second are only counted.
std::size_t Fields(std::string_view line, std::string_view (&views)[2], std::string (&quoted)[2]) {
    std::size_t count = 1;
    if (line.find('"') == std::string_view::npos) {
        const std::size_t comma = line.find(',');
        views[0] = line.substr(0, comma);
        views[1] = {};
        if (comma == std::string_view::npos) return 1;
        const std::size_t next = line.find(',', comma + 1);
        views[1] = line.substr(comma + 1, next == std::string_view::npos ? next : next - comma - 1);
        return next == std::string_view::npos ? 2 : 3;
    }
    quoted[0].clear();
    quoted[1].clear();
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        std::string* field = count <= 2 ? &quoted[count - 1] : nullptr;
        if (inQuotes && ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            if (field) *field += '"';
            ++i;
        } else if (ch == '"' && (inQuotes || !field || field->empty())) {
            inQuotes = !inQuotes;
        } else if (ch == ',' && !inQuotes) {
            ++count;
        } else if (field) {
            *field += ch;
        }
    }
    views[0] = quoted[0];
    views[1] = quoted[1];
    return count;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A reading is kana (either kind, either width), the long-vowel mark, digits, Latin letters and
// the marks a name holds; a kanji in it would be a name in the wrong column.
bool IsReadingText(std::string_view reading) {
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
    const std::string tooLarge =
        "読みの辞書 " + strPath.Str() + " は大きすぎます。読み込めるのは " + std::to_string(kMaxInputBytes >> 20) + " MB までです";
    try {
        CFile file;
        CFileException error;
        if (!file.Open(strPath, CFile::modeRead | CFile::waitForWriter, &error)) {
            if (error.m_strFileName.IsEmpty()) error.m_strFileName = strPath;
            throw MapError(CommandFailureText(error).Str());
        }
        // The size a file declares; a pipe, <(...) or /dev/stdin declares none and is read to its end.
        const std::uint64_t length = file.GetLength();
        if (length > kMaxInputBytes)
            throw MapError("読みの辞書 " + strPath.Str() + " は大きすぎます (" + std::to_string(length >> 20) + " MB)。読み込めるのは " +
                           std::to_string(kMaxInputBytes >> 20) + " MB までです");
        bytes.resize(static_cast<std::size_t>(length));
        if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length)
            throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
        for (char chunk[65536];;) {
            const unsigned read = file.Read(chunk, sizeof chunk);
            if (read == 0) break;
            if (bytes.size() + read > kMaxInputBytes) throw MapError(tooLarge);
            bytes.append(chunk, read);
        }
        file.Close();
    } catch (const CFileException& error) {
        throw MapError(CommandFailureText(error).Str());
    }
    return Parse(std::move(bytes), strPath.Str());
}

UserReadings UserReadings::Parse(std::string bytes, const std::string& fileName) {
    std::vector<std::string> warnings;
    std::string text = DecodeTableText(std::move(bytes), fileName, warnings);
    if (!warnings.empty()) throw MapError(warnings.front());
    UserReadings readings;
    readings.m_text.reserve(text.size());
    readings.m_entries.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::string_view fields[2];
    std::string quoted[2];
    std::size_t at = 0;
    for (int line = 1; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view row(text.data() + at, end - at);
        at = end + 1;
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (Trimmed(row).empty()) continue;
        const std::size_t count = Fields(row, fields, quoted);
        const auto where = [&] { return fileName + ": " + std::to_string(line) + " 行目: "; };
        if (count != 2) throw MapError(where() + "名称と読みの二つの列が要ります");
        const std::string_view name = Trimmed(fields[0]), reading = Trimmed(fields[1]);
        if (name.empty() || reading.empty()) throw MapError(where() + "名称か読みが空です");
        if (!IsReadingText(reading)) throw MapError(where() + "読み「" + std::string(reading) + "」に仮名でない文字があります");
        const std::string halfWidth = ToHalfWidthKatakana(std::string(reading));
        readings.m_entries.push_back({static_cast<std::uint32_t>(readings.m_text.size()), static_cast<std::uint32_t>(name.size()),
                                      static_cast<std::uint32_t>(halfWidth.size())});
        readings.m_text.append(name).append(halfWidth);
    }
    text.clear();
    text.shrink_to_fit();
    // A later line for the same name wins, as a list kept by hand is added to at its end. Half as
    // many slots again as lines keep probes short.
    readings.m_slots.assign(readings.m_entries.size() + readings.m_entries.size() / 2 + 1, 0);
    for (std::size_t i = 0; i < readings.m_entries.size(); ++i) {
        const Entry& entry = readings.m_entries[i];
        std::uint32_t& slot = readings.m_slots[readings.Slot(std::string_view(readings.m_text).substr(entry.at, entry.nameBytes))];
        readings.m_size += slot == 0;
        slot = static_cast<std::uint32_t>(i + 1);
        readings.m_lengths.push_back(entry.nameBytes);
        // Kept few as they come: most lists have names of a few dozen lengths.
        if (readings.m_lengths.size() > 4096) {
            std::sort(readings.m_lengths.begin(), readings.m_lengths.end());
            readings.m_lengths.erase(std::unique(readings.m_lengths.begin(), readings.m_lengths.end()), readings.m_lengths.end());
        }
    }
    std::sort(readings.m_lengths.begin(), readings.m_lengths.end(), std::greater<std::uint32_t>());
    readings.m_lengths.erase(std::unique(readings.m_lengths.begin(), readings.m_lengths.end()), readings.m_lengths.end());
    return readings;
}

std::size_t UserReadings::Slot(std::string_view name) const {
    const std::string_view text(m_text);
    for (std::size_t slot = std::hash<std::string_view>()(name) % m_slots.size();; slot = (slot + 1) % m_slots.size()) {
        const std::uint32_t index = m_slots[slot];
        if (index == 0) return slot;
        const Entry& entry = m_entries[index - 1];
        if (text.substr(entry.at, entry.nameBytes) == name) return slot;
    }
}

std::size_t UserReadings::Match(const std::string& name, std::string& reading) const {
    if (m_size == 0) return 0;
    // The longest prefix that ends on a character's end, of a length some name has: a name of
    // megabytes is not looked up at every length it could have.
    for (const std::uint32_t length : m_lengths) {
        if (length > name.size() || (length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)) continue;
        const std::uint32_t index = m_slots[Slot(std::string_view(name).substr(0, length))];
        if (index == 0) continue;
        const Entry& entry = m_entries[index - 1];
        reading.assign(m_text, entry.at + entry.nameBytes, entry.readingBytes);
        return length;
    }
    return 0;
}
