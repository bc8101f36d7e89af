#include "readings/UserReadings.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

#include "glorie/FileErrorText.h"
#include "places/Format.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "places/PlaceKeys.h"
#include "readings/ReadingGuesser.h"
#include "text/TextDecoding.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"

namespace {
// Calls take(index, field, stable) for each field of one line split at separator, where a field in
// double quotes may hold it ("" is a quote). A line without quotes hands views of itself that stay
// valid (stable; a name of megabytes is not copied); a quoted line's fields are unquoted into
// scratch, valid only during the call.
template <typename Take>
void ForEachField(std::string_view line, char separator, std::string& scratch, Take take) {
    std::size_t index = 0;
    if (line.find('"') == std::string_view::npos) {
        for (std::size_t start = 0;;) {
            const std::size_t end = line.find(separator, start);
            take(index++, line.substr(start, end == std::string_view::npos ? end : end - start), true);
            if (end == std::string_view::npos) return;
            start = end + 1;
        }
    }
    scratch.clear();
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char ch = line[i];
        if (inQuotes && ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            scratch += '"';
            ++i;
        } else if (ch == '"' && (inQuotes || scratch.empty())) {
            inQuotes = !inQuotes;
        } else if (ch == separator && !inQuotes) {
            take(index++, std::string_view(scratch), false);
            scratch.clear();
        } else {
            scratch += ch;
        }
    }
    take(index, std::string_view(scratch), false);
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

// Tabs where a line has more of them than commas (a list copied out of a spreadsheet).
char SeparatorOf(std::string_view line) {
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

// A header is a short line; a longer first line is a name and its reading.
constexpr std::size_t kHeaderBytesMax = 64 * 1024;
}  // namespace

UserReadings UserReadings::Load(const CString& strPath, std::vector<Message>& warnings) {
    std::string bytes;
    const Message tooLarge(MessageId::readingsTooLarge, strPath.Str(), kMaxInputBytes >> 20);
    try {
        CFile file;
        CFileException error;
        if (!file.Open(strPath, CFile::modeRead | CFile::waitForWriter, &error)) {
            if (error.m_strFileName.IsEmpty()) error.m_strFileName = strPath;
            throw MapError(CommandFailureMessage(error));
        }
        // The size a file declares; a pipe, <(...) or /dev/stdin declares none and is read to its end.
        const std::uint64_t length = file.GetLength();
        if (length > kMaxInputBytes)
            throw MapError({MessageId::readingsTooLargeSized, strPath.Str(), length >> 20, kMaxInputBytes >> 20});
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
        throw MapError(CommandFailureMessage(error));
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

std::shared_ptr<const UserReadings> UserReadings::LoadDialogFiles(std::vector<Message>& warnings) {
    std::shared_ptr<UserReadings> all;
    for (const CString& file : DialogFiles()) {
        if (!IsRegularFile(file)) continue;
        try {
            const UserReadings readings = Load(file, warnings);
            if (!all) all = std::make_shared<UserReadings>();
            const std::string_view text(readings.m_text);
            for (const Entry& entry : readings.m_entries)
                all->Add(text.substr(entry.at, entry.nameBytes), std::string(text.substr(entry.at + entry.nameBytes, entry.readingBytes)));
        } catch (const MapError& error) {
            warnings.push_back(error.Said());
        }
    }
    if (all) all->Index();
    return all;
}

UserReadings UserReadings::Parse(std::string bytes, const std::string& fileName, std::vector<Message>& warnings) {
    std::string text = DecodeTableText(std::move(bytes), fileName, warnings);
    UserReadings readings;
    readings.m_text.reserve(text.size());
    readings.m_entries.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    char separator = 0;
    // Without a header the name is the first column and the reading the second, and a line has
    // no other; a header names them, and other columns (a table --to csv wrote) are left alone.
    std::size_t nameColumn = 0, readingColumn = 1;
    bool table = false;
    static const std::vector<std::string_view> kNames(std::begin(kNameKeys), std::end(kNameKeys));
    static const std::vector<std::string_view> kReadings = [] {
        std::vector<std::string_view> words(std::begin(kReadingKeys), std::end(kReadingKeys));
        words.insert(words.end(), {"フリガナ", "よみがな", "読みがな", "読み仮名"});
        return words;
    }();
    std::string scratch, nameCopy, readingCopy;
    std::size_t at = 0;
    for (int line = 1; at < text.size(); ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string_view row(text.data() + at, end - at);
        at = end + 1;
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        if (Trimmed(row).empty()) continue;
        const bool first = separator == 0;
        if (first) separator = SeparatorOf(row);
        if (first && row.size() <= kHeaderBytesMax) {
            std::vector<std::string> header;
            ForEachField(row, separator, scratch, [&](std::size_t, std::string_view field, bool) { header.emplace_back(field); });
            const int reading = ColumnOf(header, kReadings);
            if (reading >= 0) {
                const int name = ColumnOf(header, kNames);
                readingColumn = static_cast<std::size_t>(reading);
                nameColumn = name >= 0 ? static_cast<std::size_t>(name) : reading == 0 ? 1
                                                                                       : 0;
                table = true;
                continue;
            }
        }
        std::string_view name, reading;
        std::size_t count = 0, filled = 0;
        ForEachField(row, separator, scratch, [&](std::size_t index, std::string_view field, bool stable) {
            count = index + 1;
            if (!Trimmed(field).empty()) filled = index + 1;
            if (index != nameColumn && index != readingColumn) return;
            std::string_view& kept = index == nameColumn ? name : reading;
            std::string& copy = index == nameColumn ? nameCopy : readingCopy;
            kept = stable ? field : std::string_view(copy.assign(field.data(), field.size()));
        });
        const auto skipped = [&](Message why) { warnings.push_back({MessageId::readingsLineSkipped, fileName, line, std::move(why)}); };
        // A spreadsheet saves the empty cells of its widest row as trailing separators.
        const std::size_t columns = count <= 2 ? count : std::max<std::size_t>(2, filled);
        if (!table && columns != 2) {
            skipped(MessageId::readingsNeedTwoColumns);
            continue;
        }
        name = Trimmed(name);
        reading = Trimmed(reading);
        // A table's row without a reading is a place the list does not read.
        if (table && reading.empty()) continue;
        if (name.empty() || reading.empty()) {
            skipped(MessageId::readingsEmpty);
            continue;
        }
        if (!IsReadingText(reading)) {
            skipped({MessageId::readingsNotKana, std::string(reading)});
            continue;
        }
        readings.Add(name, ToHalfWidthKatakana(std::string(reading)));
    }
    text.clear();
    text.shrink_to_fit();
    readings.Index();
    return readings;
}

void UserReadings::Add(std::string_view name, const std::string& reading) {
    m_entries.push_back(
        {static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(name.size()), static_cast<std::uint32_t>(reading.size())});
    m_text.append(name).append(reading);
}

void UserReadings::Index() {
    // A later line for the same name wins, as a list kept by hand is added to at its end. Half as
    // many slots again as lines keep probes short.
    m_size = 0;
    m_lengths.clear();
    m_slots.assign(m_entries.size() + m_entries.size() / 2 + 1, 0);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        std::uint32_t& slot = m_slots[Slot(std::string_view(m_text).substr(entry.at, entry.nameBytes))];
        m_size += slot == 0;
        slot = static_cast<std::uint32_t>(i + 1);
        m_lengths.push_back(entry.nameBytes);
        // Kept few as they come: most lists have names of a few dozen lengths.
        if (m_lengths.size() > 4096) {
            std::sort(m_lengths.begin(), m_lengths.end());
            m_lengths.erase(std::unique(m_lengths.begin(), m_lengths.end()), m_lengths.end());
        }
    }
    std::sort(m_lengths.begin(), m_lengths.end(), std::greater<std::uint32_t>());
    m_lengths.erase(std::unique(m_lengths.begin(), m_lengths.end()), m_lengths.end());
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

std::size_t UserReadings::MatchAt(std::string_view name, std::size_t at, std::string& reading) const {
    if (m_size == 0 || at >= name.size()) return 0;
    const std::string_view rest = name.substr(at);
    // The longest entry that ends on a character's end, of a length some name has: a name of
    // megabytes is not looked up at every length it could have.
    for (const std::uint32_t length : m_lengths) {
        if (length > rest.size() || (length < rest.size() && (static_cast<unsigned char>(rest[length]) & 0xC0) == 0x80)) continue;
        const std::uint32_t index = m_slots[Slot(rest.substr(0, length))];
        if (index == 0) continue;
        const Entry& entry = m_entries[index - 1];
        reading.assign(m_text, entry.at + entry.nameBytes, entry.readingBytes);
        return length;
    }
    return 0;
}
