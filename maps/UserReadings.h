#pragma once
// A user's own readings: a table of a name and its reading a line (UTF-8 or CP932, as a
// spreadsheet saves it; commas or tabs), for the names the guesser reads wrong or cannot read. A
// header naming the columns (名称,読み; name,reading as --to csv writes them) may come first. A
// name holding an entry anywhere takes its reading there (the rest is guessed).
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/CString.h"

class UserReadings {
public:
    // Throws MapError naming the file when it cannot be read. A line it cannot take is left out
    // with a warning naming the file and the line; the rest is used.
    static UserReadings Load(const CString& strPath, std::vector<std::string>& warnings);
    static UserReadings Parse(std::string bytes, const std::string& fileName, std::vector<std::string>& warnings);

    // The dialogs' readings: kDialogFileName beside the program, then in the user's documents
    // folder (its lines win), those that exist; null when neither does. A file that cannot be
    // read is a warning, as is a line it cannot take.
    static constexpr const char* kDialogFileName = "quorvel-readings.csv";
    static std::vector<CString> DialogFiles();
    static std::shared_ptr<const UserReadings> LoadDialogFiles(std::vector<std::string>& warnings);

    // The reading (half-width katakana, UTF-8) of the longest entry the UTF-8 name holds at byte
    // at; returns the entry's length in bytes, 0 when none starts there.
    std::size_t MatchAt(std::string_view name, std::size_t at, std::string& reading) const;
    // MatchAt at the name's start.
    std::size_t Match(const std::string& name, std::string& reading) const { return MatchAt(name, 0, reading); }
    std::size_t Size() const { return m_readings.size(); }

private:
    std::unordered_map<std::string, std::string> m_readings;
    std::size_t m_longest = 0;  // bytes of the longest name: no longer one is looked up
};
