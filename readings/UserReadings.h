#pragma once
// A user's own readings: a table of a name and its reading a line (UTF-8 or CP932, as a
// spreadsheet saves it; commas or tabs), for the names the guesser reads wrong or cannot read. A
// header naming the columns (名称,読み; name,reading as --to csv writes them) may come first. A
// name holding an entry anywhere takes its reading there (the rest is guessed).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CString.h"
#include "text/Message.h"

class UserReadings {
public:
    // Throws MapError naming the file when it cannot be read or is larger than an input may be (a
    // pipe is read to its end, up to that). A line it cannot take is left out with a warning naming
    // the file and the line; the rest is used.
    static UserReadings Load(const CString& strPath, std::vector<Message>& warnings);
    static UserReadings Parse(std::string bytes, const std::string& fileName, std::vector<Message>& warnings);

    // The dialogs' readings: kDialogFileName beside the program, then in the user's documents
    // folder (its lines win), those that exist; null when neither does. A file that cannot be
    // read is a warning, as is a line it cannot take.
    static constexpr const char* kDialogFileName = "quorvel-readings.csv";
    static std::vector<CString> DialogFiles();
    static std::shared_ptr<const UserReadings> LoadDialogFiles(std::vector<Message>& warnings);

    // The reading (half-width katakana, UTF-8) of the longest entry the UTF-8 name holds at byte
    // at; returns the entry's length in bytes, 0 when none starts there.
    std::size_t MatchAt(std::string_view name, std::size_t at, std::string& reading) const;
    // MatchAt at the name's start.
    std::size_t Match(const std::string& name, std::string& reading) const { return MatchAt(name, 0, reading); }
    std::size_t Size() const { return m_size; }

private:
    // A name and its reading, one after the other in m_text: a map of strings took some hundred
    // bytes a line, ten times a file of short lines.
    struct Entry {
        std::uint32_t at, nameBytes, readingBytes;
    };
    void Add(std::string_view name, const std::string& reading);
    // Makes the slots and lengths of every entry added, a later line of a name winning.
    void Index();
    // The slot of name in m_slots: its entry's, else the empty one it would take.
    std::size_t Slot(std::string_view name) const;

    std::string m_text;
    std::vector<Entry> m_entries;          // in the file's order, a name's earlier lines among them
    std::vector<std::uint32_t> m_slots;    // open addressing: the entry's index + 1, 0 when empty
    std::vector<std::uint32_t> m_lengths;  // the names' lengths in bytes, longest first, each once
    std::size_t m_size = 0;                // names
};
