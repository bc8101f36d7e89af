#pragma once
// The page's front to the core: the same batch plan, conversions and listing as quorvel-cli,
// asked and answered in JSON. The inputs are files in the current folder (MEMFS in the browser)
// named as the user's files are, so that every message and output name is the CLI's. What is
// proportional to the number of points (a file of 100,000 at sea has a warning each) is kept
// beside the answer as flat buffers, which the page's worker copies out whole.
#include <cstdint>
#include <map>
#include <memory>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

#include "places/Place.h"
#include "platform/DataFolder.h"
#include "text/Message.h"

class Conversion;
class UserReadings;
struct ConversionOptions;
struct Format;

// Lines said once: one text of them all and a set of where each is in it, so that the 100,000
// warnings of 100,000 points are not 100,000 strings of their own.
class SaidLines {
public:
    SaidLines() : m_places(0, Hash{&m_text}, Same{&m_text}) {}
    SaidLines(const SaidLines&) = delete;
    SaidLines& operator=(const SaidLines&) = delete;

    // False (nothing kept) when the line was said already.
    bool Insert(std::string_view line) {
        const std::size_t at = m_text.size();
        m_text.append(line);
        if (m_places.insert({at, line.size()}).second) return true;
        m_text.resize(at);
        return false;
    }
    void Clear() {
        m_places.clear();
        m_text.clear();
    }

private:
    using Place = std::pair<std::size_t, std::size_t>;  // offset and length in m_text
    struct Hash {
        const std::string* text;
        std::size_t operator()(const Place& place) const {
            return std::hash<std::string_view>()(std::string_view(*text).substr(place.first, place.second));
        }
    };
    struct Same {
        const std::string* text;
        bool operator()(const Place& a, const Place& b) const {
            const std::string_view all(*text);
            return all.substr(a.first, a.second) == all.substr(b.first, b.second);
        }
    };
    std::string m_text;
    std::unordered_set<Place, Hash, Same> m_places;
};

class WebConverter {
public:
    WebConverter();
    ~WebConverter();

    // The format table, for the page's choice of output and its list of what it reads: [{name,
    // title, inputTitle, extension, options: [{word, use, type, choices, minimum, maximum, help,
    // helpEnglish}], pointsPerFile}].
    static std::string Formats();

    // request (its names in WebProtocol.h): {inputs: [names], to: format name, merge, output (the
    // merged name), formatOptions: {word: value}, edits: {input: {point index: {name, reading}}}}. The conversion writes
    // the edited inputs into the folder "edited" (which the caller makes), then converts as
    // `quorvel-cli INPUTS --to TO --reading none [--readings FILE] [WORD...] [--merge -o OUTPUT]`
    // does, the edited inputs as edited; answers {plan (the usage error, or ""), jobs: [{inputs,
    // output, zip (the name of its set's zip), ok, outputs}], generated: [inputs edited], lines,
    // ms}. lines: {shown: the first 500 message lines [{kind, text}], count}; LineText() holds
    // them all.
    std::string Convert(const std::string& request);

    // The same request's inputs listed as `quorvel-cli --list` lists them: {lists: [{input, read,
    // ok, count}], lines (those the conversion before did not say), unread (a point the unit takes
    // has no reading), bounds ([[south, west], [north, east]] of the shifted points, or null), ms}.
    // Points() gets one line a point, PointListing::AppendPageLine's (hasUnit, unit name, unit
    // reading, their CP932 lengths, Tokyo latitude and longitude, digits, shifted, WGS 84 latitude
    // and longitude as the CLI prints them, method (or why no shift), the name as read, guessed);
    // PointStarts() where each line starts. Markers() gets five numbers a shifted
    // point, sorted by the first: x and y in Web Mercator's world pixels at zoom 0 (256 wide), the
    // point's line, its WGS 84 latitude and longitude.
    std::string List(const std::string& request);

    // The user's readings (a CSV of name and reading) from a file of the current folder, taken
    // by every later conversion as `--readings FILE` has them; an empty name drops them. Answers
    // {count} (the names it holds) or {error} (the line it cannot take), keeping the ones before.
    std::string SetReadings(const std::string& fileName);

    // Readings guessed (MeCab's dictionary in /ipadic) or not: later conversions are then
    // `quorvel-cli`'s without `--reading none`. Answers {backend} (as --version says it).
    std::string SetGuessing(bool guess);

    // The folder of the datum grid the page carries, for every later conversion.
    void SetDataFolder(DataFolder data);
    // The language of the page: every later answer's messages in its words.
    void SetLanguage(Language language) { m_language = language; }

    // Until the next call: every message line of the last one as the CLI prints it, each ended by
    // a line break; the listing's buffers.
    const std::string& LineText() const { return m_lineText; }
    const std::string& Points() const { return m_points; }
    const std::vector<std::uint32_t>& PointStarts() const { return m_pointStarts; }
    const std::vector<double>& Markers() const { return m_markers; }

private:
    // The kept conversion of asked's target, format options (their words and values, in order)
    // and epoch.
    Conversion& ConversionFor(const ConversionOptions& asked, const std::string& formatOptions);

    // One conversion a choice of output, kept from run to run as the CLI keeps one for a whole
    // batch: its datum grid is read once (3 MB, a large part of converting 100 points).
    using Key = std::tuple<const Format*, std::string, DatumEpoch>;
    std::map<Key, std::unique_ptr<Conversion>> m_conversions;
    std::shared_ptr<const UserReadings> m_userReadings;
    bool m_guess = false;
    Language m_language = Language::ja;
    DataFolder m_data;
    SaidLines m_said;  // the last conversion's lines, not repeated by its listing
    std::string m_lineText;
    std::string m_points;
    std::vector<std::uint32_t> m_pointStarts;
    std::vector<double> m_markers;
};
