#include "pipeline/Conversion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>

#include "convert/CPoiTable.h"
#include "convert/DmsToDegreeText.h"
#include "glorie/FileErrorText.h"
#include "text/Cp932Text.h"
#include "datum/DatumShift.h"
#include "datum/GroundCorrections.h"
#include "text/DecimalChars.h"
#include "formats/FormatRegistry.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "readings/Gazetteer.h"
#include "readings/ReadingGuesser.h"
#include "text/SafeText.h"
#include "formats/UnitFields.h"
#include "readings/UserReadings.h"
#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointFormat.h"
#include "platform/CFile.h"
#include "platform/CSaveFile.h"
#include "platform/CFileException.h"
#include "platform/OutputSet.h"
#include "platform/HostSystem.h"
#include "platform/PathSplit.h"

namespace {
using Kind = ConversionMessage::Kind;

constexpr double kMaxUnitDegrees = 1000;  // the DMS text has three degree digits

// Why a point is left out of every output: not a position on any map.
constexpr char kOutsideMap[] = "範囲外";
constexpr char kNoPosition[] = "位置なし";
// Why a point is left out of the unit's outputs only.
constexpr char kNotForUnit[] = "ナビに記録不可";

// Each point's fate in a byte: a pointer beside every place of a large input was 8.
class Fates {
public:
    void assign(std::size_t count, std::nullptr_t) { m_fates.assign(count, 0); }
    const char* operator[](std::size_t i) const { return kWhy[m_fates[i]]; }
    void Set(std::size_t i, const char* why) {
        m_fates[i] = static_cast<std::uint8_t>(std::find(std::begin(kWhy), std::end(kWhy), why) - std::begin(kWhy));
    }

private:
    static constexpr const char* kWhy[] = {nullptr, kOutsideMap, kNoPosition, kNotForUnit};
    std::vector<std::uint8_t> m_fates;
};

// "12 行目「NAME」" appended to out.
void AppendPoint(std::string& out, const Place& place) {
    std::string numbered;
    place.Origin().AppendText(out);
    out.append("「");
    AppendExcerpt(out, place.NameView(numbered));
    out.append("」");
}

// "FILE: 12 行目「NAME」" and then what, made in one string: a large input's shift may label a
// warning for every point.
std::string Label(const CString& strInput, const Place& place, std::string_view what = {}) {
    std::string label;
    label.reserve(strInput.Str().size() + what.size() + 96);  // 96: the origin, the marks, a short name
    label.append(strInput.Str()).append(": ");
    AppendPoint(label, place);
    label.append(what);
    return label;
}

// A warning that may come for every point of an input: each point's own line ends with own, the
// input's one line for them all goes on with grouped after its count.
struct PointCause {
    const char* own;
    const char* grouped;
};
constexpr PointCause kOutsideJapan = {": 日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)",
                                      "は日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)"};
constexpr PointCause kNoGridData = {": 地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました",
                                    "は地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました"};
constexpr PointCause kUnmapped = {"はナビで表示できません", "の名称にナビで表示できない文字があります。「?」にしました"};
// The points a grouped line names.
constexpr std::size_t kExamples = 3;

// The part of a name the unit keeps: the characters of its first 16 CP932 bytes (one byte for
// ASCII and half-width kana, two for the rest). Only that part goes to the reading guesser, so a
// 30 MB name costs no more than a short one.
std::size_t UnitPartBytes(std::string_view name) {
    std::size_t bytes = 0, i = 0;
    while (i < name.size()) {
        std::size_t next = i;
        const char32_t c = NextCodePoint(name, next);
        bytes += c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) ? 1 : 2;
        if (bytes > static_cast<std::size_t>(CPoiTable::kNameLimit)) break;
        i = next;
    }
    return i;
}

// The datum shift's Helmert steps give a longitude within -180...180, so a point shifted across
// the 180th meridian comes back on its other side: 179.998 E in WGS 84 becomes 180.0016 in the
// Tokyo datum, given as -179.9984, which the unit, east only, would refuse. Into the Tokyo datum
// the point keeps the side it was on (the unit holds up to 999 degrees); a map's WGS 84 keeps
// -180...180.
double SameSide(double shifted, double original) {
    if (shifted - original > 180) return shifted - 360;
    if (original - shifted > 180) return shifted + 360;
    return shifted;
}

// The shortest text that reads back as the same number: what a map file's author wrote.
std::string Shortest(double value) {
    char buffer[64];
    const std::to_chars_result written = WriteDouble(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

// The unit's degree text of an angle, as the listing shows it; the document's text has no digit
// before the point for less than a degree, a reader needs one.
CString UnitDegreeText(double degrees) {
    CString text = DegreesToDms(degrees);
    DmsToDegreeText(text);
    if (text.GetLength() > 0 && text.GetAt(0) == '.') text = "0" + text;
    return text;
}

// The kinds of file read, from the registry: the unit's own (its memory-point file first), then
// the map formats, "メモリーポイントファイルでも glorie 文書でも地図のファイル (GPX, ...)".
std::string KindsRead() {
    const Format* mem = FormatRegistry::Find("mem");
    std::string unit = std::string(mem->title) + "でも ";
    std::string maps;
    for (const Format* format : FormatRegistry::All()) {
        if (format == mem) continue;
        if (format->unit)
            unit += std::string(format->title) + "でも";
        else
            maps += (maps.empty() ? "" : ", ") + std::string(format->title);
    }
    return unit + "地図のファイル (" + maps + ") ";
}

// Why an input that failed could not be read, where the open or the store said less: a folder;
// for the unit's road, a name that is no file or a memory-point file of the wrong size. Empty
// when none of these.
std::string InputProblem(const CString& strInput, bool bMemPoints) {
    if (IsFolder(strInput)) return strInput.Str() + " はフォルダです。入力にはファイルを指定して下さい";
    // A map file's open error names it already; the store's does not.
    if (!bMemPoints) return {};
    if (!IsRegularFile(strInput)) return "ファイル " + strInput.Str() + " が見つかりません";
    if (FormatRegistry::ForInputPath(strInput.Str()) != FormatRegistry::Find("mem")) return {};  // the store's word
    CFile file;
    CFileException error;
    if (!file.Open(strInput, CFile::modeRead, &error)) return {};  // the store says why
    const std::uint64_t length = file.GetLength();
    if (length == mempoint::kFileSize) return {};
    return "ファイル " + strInput.Str() + " は " + std::to_string(length) + " バイトです。メモリーポイントファイルは " +
           std::to_string(mempoint::kFileSize) + " バイトです";
}

// A file read as XML by its name whose bytes cannot begin an XML document (a photo renamed .kml):
// its first character, after a byte-order mark and blank space, is no "<" in any encoding.
bool CannotBeXml(const std::string& bytes) {
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0'))
        ++i;
    if (i >= bytes.size()) return false;  // empty: the reader's own message
    // UTF-16's and UTF-32's marks are the decoder's.
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
        bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0)
        return false;
    return bytes[i] != '<';
}

// How many names the unit's 16 bytes cut, and the first of them with its cut form, for one line.
struct CutNames {
    int count = 0;
    std::string example, cut;
};

constexpr std::size_t kBatchRows = 65536;

// The input is read a batch at a time: a table whose places (24 bytes each) would take more than
// its text, or every table when batches are asked for.
bool ReadInBatches(const Format& format, const std::string& bytes, std::size_t batchRows) {
    if (!format.openBatches) return false;
    return batchRows > 0 || static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) * sizeof(Place) > bytes.size();
}

// An output that cannot be opened, as the dialog's writer says it, except for a sharing violation:
// the dialog's "SHARE.EXE 未ロード..." belongs to its own Windows road, and means nothing to a
// user of the command line or the page, who gets the file failure's own text instead.
std::string OutputOpenFailure(CFileException error, const CString& strName) {
    if (error.m_cause != CFileException::sharingViolation) return OpenFailureMessage(error, strName).Str();
    error.m_strFileName = strName;
    return CommandFailureText(error).Str();
}

std::string JoinedNames(const std::vector<CString>& names) {
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i) joined += (i ? ", " : "") + names[i].Str();
    return joined;
}
}  // namespace

// One input on its way: its places, the coordinates as the file had them, and each point's fate.
struct Conversion::Input {
    Conversion* owner = nullptr;
    CString name;
    const Format* format = nullptr;
    bool tokyo = true;  // the datum the coordinates are in now
    std::vector<Place> places;
    // Latitude and longitude as read of the points the unit's checks refuse (south or west, or
    // past its degree text), in order, kept by the shift before it moves them; none while the
    // places still hold them as read. Every other point is north and east as read.
    std::vector<std::pair<std::size_t, std::pair<double, double>>> original;
    bool keepOriginal = false;  // for the unit's checks
    bool shifted = false;
    Fates refused;                           // null, or why the point is left out
    int refusedCount = 0;                    // by the reader and here
    std::vector<std::uint32_t> corrections;  // the events whose corrections moved each place (for the listing), when shifted

    // A coordinate as the input has it: the unit's degree text for its own files.
    std::string OriginalText(double value) const {
        return format->unit && value >= 0 && value < kMaxUnitDegrees ? UnitDegreeText(value).Str() : Shortest(value);
    }
    std::string OriginalCoordinates(std::size_t i) const {
        std::pair<double, double> read;
        Original(i, read);
        return "緯度 " + OriginalText(read.first) + ", 経度 " + OriginalText(read.second);
    }
    // False for a point north and east as read (read is then where it is now).
    bool Original(std::size_t i, std::pair<double, double>& read) const {
        read = {places[i].latitude, places[i].longitude};
        if (!shifted) return read.first < 0 || read.second < 0 || read.first >= kMaxUnitDegrees - 1 || read.second >= kMaxUnitDegrees - 1;
        const auto kept = std::lower_bound(original.begin(), original.end(), i,
                                           [](const auto& entry, std::size_t index) { return entry.first < index; });
        if (kept == original.end() || kept->first != i) return false;
        read = kept->second;
        return true;
    }
    // Before the coordinates change.
    void KeepOriginal() {
        if (shifted) return;
        if (keepOriginal) {
            std::pair<double, double> read;
            for (std::size_t i = 0; i < places.size(); ++i)
                if (Original(i, read)) original.emplace_back(i, read);
        }
        shifted = true;
    }
    void Refuse(std::size_t i, const char* why, const std::string& text, std::vector<ConversionMessage>& messages) {
        refused.Set(i, why);
        ++refusedCount;
        owner->Say(messages, {Kind::refusal, Label(name, places[i]) + ": " + text});
    }
};

// What the unit's checks count over a whole input, said once at its end.
struct Conversion::UnitTally {
    CutNames cut;
    std::size_t unread = 0;  // names the guesser found no reading for
    // The points of each cause of a warning, in the order the causes first came.
    struct Group {
        const PointCause* cause = nullptr;
        std::size_t count = 0;
        std::vector<std::string> firstLines;  // the first point's own lines, said where it is the only one
        std::string examples;                 // "12 行目「NAME」、..." of the first kExamples points
    };
    std::vector<Group> groups;
    // The point counted under cause, named among the examples (tail after its name) while they are few.
    Group& Count(const PointCause& cause, const Place& place, std::string_view tail = {}) {
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.cause == &cause; });
        if (group == groups.end()) {
            groups.emplace_back();
            groups.back().cause = &cause;
            group = std::prev(groups.end());
        }
        if (++group->count <= kExamples) {
            if (!group->examples.empty()) group->examples += "、";
            AppendPoint(group->examples, place);
            group->examples += tail;
        }
        return *group;
    }
};

// Every place of the output, in order, a batch at a time: the places of the inputs held in
// memory, and those of the inputs read in batches read again (said nothing the second time).
// Before it is read, it counts the places and their methods for the output's names and
// descriptions.
class Conversion::Feed {
public:
    struct Part {
        CString name;
        const Format* format = nullptr;
        std::unique_ptr<PlaceBatches> batches;  // null: the places are held
        std::vector<Place> places;
    };

    Feed(Conversion& owner, std::size_t perFile) : m_owner(owner), m_perFile(perFile) {}
    std::vector<Part>& Parts() { return m_parts; }
    // Places kept for the output, counted in order.
    void Count(const std::vector<Place>& places) {
        for (const Place& place : places) {
            const std::size_t member = m_perFile > 0 ? m_count / m_perFile : 0;
            if (member >= m_methods.size()) m_methods.resize(member + 1);
            ++m_methods[member][static_cast<std::size_t>(place.Method())];
            ++m_count;
        }
    }
    std::size_t Size() const { return m_count; }
    std::array<std::size_t, 3> Methods(std::size_t member) const { return member < m_methods.size() ? m_methods[member] : std::array<std::size_t, 3>{}; }
    // The next places, at most most of them.
    bool Next(const Place*& places, std::size_t& count, std::size_t most);

private:
    bool Advance();

    Conversion& m_owner;
    std::size_t m_perFile;
    std::vector<Part> m_parts;
    std::size_t m_count = 0;
    std::vector<std::array<std::size_t, 3>> m_methods;  // a member's
    std::size_t m_part = 0;
    bool m_started = false;  // the current part's places begun
    std::vector<Place> m_batch;
    const Place* m_data = nullptr;
    std::size_t m_size = 0, m_at = 0;
};

bool Conversion::Feed::Next(const Place*& places, std::size_t& count, std::size_t most) {
    while (m_at == m_size)
        if (!Advance()) return false;
    places = m_data + m_at;
    count = std::min(most, m_size - m_at);
    m_at += count;
    return true;
}

bool Conversion::Feed::Advance() {
    for (; m_part < m_parts.size(); ++m_part, m_started = false) {
        Part& part = m_parts[m_part];
        if (!part.batches) {
            if (m_started) continue;
            m_started = true;
            m_data = part.places.data();
            m_size = part.places.size();
            m_at = 0;
            return true;
        }
        if (!m_started) part.batches->Rewind();
        m_started = true;
        MapReadResult read;
        if (!part.batches->Next(m_owner.m_options.batchRows ? m_owner.m_options.batchRows : kBatchRows, read)) continue;
        m_owner.SayOnly(kSteps);
        Input input;
        input.owner = &m_owner;
        input.name = part.name;
        input.format = part.format;
        std::vector<ConversionMessage> unsaid;
        UnitTally tally;
        try {
            m_owner.Accept(input, std::move(read), unsaid);
            m_owner.Prepare(input, tally, unsaid, kSteps);
        } catch (...) {
            m_owner.SayOnly(kAnyStep);
            throw;
        }
        m_owner.SayOnly(kAnyStep);
        m_batch = std::move(input.places);
        m_data = m_batch.data();
        m_size = m_batch.size();
        m_at = 0;
        return true;
    }
    return false;
}

namespace {
// The places of one member of the output.
class MemberPlaces : public PlaceSource {
public:
    MemberPlaces(std::function<bool(const Place*&, std::size_t&, std::size_t)> next, std::size_t count,
                 std::array<std::size_t, 3> methods)
        : m_next(std::move(next)), m_left(count), m_methods(methods) {}
    bool Next(const Place*& places, std::size_t& count) override {
        if (m_left == 0 || !m_next(places, count, m_left)) return false;
        m_left -= count;
        return true;
    }
    std::array<std::size_t, 3> Methods() const override { return m_methods; }

private:
    std::function<bool(const Place*&, std::size_t&, std::size_t)> m_next;
    std::size_t m_left;
    std::array<std::size_t, 3> m_methods;
};
}  // namespace

Conversion::Conversion(ConversionOptions options) : m_options(options) {
    m_options.read.eachPoint = m_options.eachPoint;
    if (!m_options.target) m_options.target = FormatRegistry::Find("glorie");
}

Conversion::~Conversion() = default;

void Conversion::SetMessageSink(MessageSink sink) { m_sink = std::move(sink); }

void Conversion::SetStandardInput(std::string bytes, const Format* format) {
    m_bHasStandardInput = true;
    m_standardInput = std::move(bytes);
    m_standardInputFormat = format;
}

void Conversion::SetEdits(InputEdits edits) {
    m_options.edits = std::move(edits);
    m_edited.clear();
}

std::vector<CString> Conversion::ApplyEdits(std::vector<ConversionMessage>& messages) {
    std::vector<CString> edited;
    for (const auto& [input, points] : m_options.edits.points) {
        // Under the input's own file name: the page's inputs are names in one folder.
        const CString document = m_options.edits.folder + "/" + CString(input.substr(input.find_last_of("/\\") + 1));
        std::vector<ConversionMessage> said;
        if (WriteEditedInput(CString(input), points, document, said)) {
            m_edited[input] = document;
            edited.emplace_back(input);
        }
        for (ConversionMessage& message : said) Say(messages, std::move(message));
    }
    return edited;
}

CString Conversion::SourceOf(const CString& strInput) const {
    const auto found = m_edited.find(strInput.Str());
    return found == m_edited.end() ? strInput : found->second;
}

bool Conversion::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) {
    if (m_sayOnly != kAnyStep && m_step != m_sayOnly && m_step != kAnyStep) {
        ++m_unsaid[m_step];
        return false;
    }
    if (m_sayOnly == kSteps) return false;
    if (m_sink)
        m_sink(message);
    else
        messages.push_back(std::move(message));
    return true;
}

std::vector<CString> Conversion::SplitNames(const CString& strOutput, int count) {
    if (count <= 1) return {strOutput};
    const PathParts parts = SplitPath(strOutput);
    std::vector<CString> names;
    // Numbers as wide as the last one's, zero-padded (NAME-01 ... NAME-15): a shell's glob, a file
    // manager and --merge of NAME-* then take the members in order.
    const std::size_t width = std::to_string(count).size();
    for (int k = 1; k <= count; ++k) {
        std::string number = std::to_string(k);
        number.insert(0, width - number.size(), '0');
        names.push_back(MakePath(parts.drive, parts.dir, parts.fname + "-" + number.c_str(),
                                 parts.ext.IsEmpty() ? CString() : parts.ext.Mid(1)));
    }
    return names;
}

ReadingGuesser* Conversion::Guesser(std::vector<ConversionMessage>& messages) {
    if (!m_bGuesserTried) {
        m_bGuesserTried = true;
        std::string whyNot;
        m_guesser = ReadingGuesser::Create(&whyNot, m_options.data);
        // Said once, where the build has an analyser that failed: points without a reading then go
        // without one.
        if (!m_guesser && !ReadingGuesser::Backend().empty()) m_guesserWarning = "読みを推定できません (" + whyNot + ")";
        if (!m_guesser) m_guesser = ReadingGuesser::Written();
    }
    // Where it is first asked for when the unit's step is said.
    if (!m_guesserWarning.empty() && Say(messages, {Kind::warning, m_guesserWarning})) m_guesserWarning.clear();
    return m_guesser.get();
}

namespace {
// A name ending in 町 or 村 that no place of the gazetteer names reads it as its region does: a
// guess of ﾏﾁ for ﾁｮｳ (or ﾑﾗ for ｿﾝ) becomes the point's prefecture's usage.
void RegionalClosing(std::string_view name, std::string& reading, const Gazetteer& gazetteer, const Gazetteer::Spot& spot) {
    for (const bool village : {false, true}) {
        const std::string_view closing = village ? "村" : "町";
        if (name.size() < closing.size() || name.substr(name.size() - closing.size()) != closing) continue;
        const std::string_view usage = gazetteer.ClosingReading(spot, village);
        const std::string_view readings[] = {village ? "ﾑﾗ" : "ﾏﾁ", village ? "ｿﾝ" : "ﾁｮｳ"};
        for (const std::string_view either : readings)
            if (!usage.empty() && reading.size() > either.size() && reading.compare(reading.size() - either.size(), either.size(), either) == 0) {
                reading.replace(reading.size() - either.size(), either.size(), usage);
                return;
            }
    }
}
}  // namespace

std::string Conversion::ReadingOf(std::string_view name, std::size_t unitBytes, double latitude, double longitude, bool& guessed,
                                  std::vector<ConversionMessage>& messages) {
    guessed = false;
    const UserReadings* user = m_options.userReadings.get();
    // The places' own readings where the name holds a place's name: a town of the point's
    // municipality, a municipality (the point's, its prefecture's, the nearest), a prefecture.
    // A name of ASCII alone names none of them: its point is not looked up.
    const bool japanese = std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const std::shared_ptr<const Gazetteer> gazetteer = m_options.guessReadings && japanese ? Gazetteer::Shipped(m_options.data) : nullptr;
    Gazetteer::Spot spot;
    bool located = false;
    const auto where = [&]() -> const Gazetteer::Spot& {
        if (!located) spot = gazetteer->Locate(name, latitude, longitude);
        located = true;
        return spot;
    };
    ReadingGuesser* guesser = nullptr;
    std::string reading, entry;
    bool failed = false;
    // The guesser reads what lies between the user's entries, of the part the unit keeps (after an
    // entry, of the rest as the unit would keep it).
    const auto guess = [&](std::size_t from, std::size_t to) {
        if (from >= to || failed) return;
        if (!guesser && m_options.guessReadings) guesser = Guesser(messages);
        std::string part = guesser ? guesser->GuessHalfWidth(std::string(name.substr(from, to - from))) : std::string();
        failed = part.empty();
        guessed = guessed || !failed;
        if (!failed && gazetteer && to == name.size()) RegionalClosing(name, part, *gazetteer, where());
        reading += part;
    };
    std::size_t at = 0, run = 0, limit = unitBytes;
    while (at < limit && !failed) {
        std::size_t matched = user ? user->MatchAt(name, at, entry) : 0;
        bool listed = false;
        if (matched == 0 && gazetteer) listed = (matched = gazetteer->MatchAt(name, at, where(), latitude, longitude, entry)) > 0;
        if (matched == 0) {
            NextCodePoint(name, at);
            continue;
        }
        guess(run, at);
        guessed = guessed || listed;
        reading += ToHalfWidthKatakana(entry);
        at += matched;
        run = at;
        // A reading longer than the unit tells apart needs no more.
        if (FirstCharacters(reading, CPoiTable::kNameLimit + 1).size() < reading.size()) return reading;
        limit = at + UnitPartBytes(name.substr(at));
    }
    guess(run, std::min(limit, name.size()));
    // The user's reading of a part alone would be taken for the whole name's.
    if (failed) {
        guessed = false;
        return {};
    }
    return reading;
}

bool Conversion::Fail(const CString& strInput, const std::string& text, std::vector<ConversionMessage>& messages) {
    // The unit's own file says so once more after its reason, as the dialog's store does; a
    // folder is said in its one line.
    const bool bMemPoints = FormatRegistry::ForInputPath(strInput.Str()) == FormatRegistry::Find("mem");
    const std::string problem = InputProblem(strInput, bMemPoints);
    Say(messages, {Kind::failure, problem.empty() ? text : problem});
    if (bMemPoints && !IsFolder(strInput)) Say(messages, {Kind::failure, "ファイル " + strInput.Str() + " の読み込みに失敗しました"});
    return false;
}

bool Conversion::Load(const CString& strInput, Input& input, std::string& bytes, std::vector<ConversionMessage>& messages) {
    input.owner = this;
    input.name = strInput;
    const bool bMemPoints = FormatRegistry::ForInputPath(strInput.Str()) == FormatRegistry::Find("mem");
    const auto fail = [&](const std::string& text) { return Fail(strInput, text, messages); };
    if (m_bHasStandardInput && strInput.Str() == "-") {
        // Read once: a merge naming "-" twice gets its bytes the first time.
        m_bHasStandardInput = false;
        input.format = m_standardInputFormat ? m_standardInputFormat : FormatRegistry::ForContent(m_standardInput);
        bytes.swap(m_standardInput);
    } else try {
            CFile file;
            CFileException error;
            // The message names the input: with several, "not found" alone says nothing. A memory-point
            // file gets the store's message, which the line after it names.
            if (!file.Open(SourceOf(strInput), CFile::modeRead | CFile::shareDenyWrite, &error)) {
                if (bMemPoints) return fail(CMemPointStore::OpenErrorText(error).Str());
                if (error.m_strFileName.IsEmpty()) error.m_strFileName = strInput;
                return fail(CommandFailureText(error).Str());
            }
            const std::uint64_t length = file.GetLength();
            if (length > kMaxInputBytes)
                return fail("ファイル " + strInput.Str() + " は大きすぎます (" + std::to_string(length / (1024 * 1024)) +
                            " MB)。読み込めるのは " + std::to_string(kMaxInputBytes / (1024 * 1024)) + " MB までです");
            bytes.resize(static_cast<std::size_t>(length));
            if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length)
                throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
            file.Close();
        } catch (const CFileException& error) {
            return fail(CommandFailureText(error).Str());
        }
    if (!input.format) input.format = FormatRegistry::ForInput(strInput.Str(), bytes);
    if (!input.format)
        return fail("ファイル " + strInput.Str() + " は" + KindsRead() + "でもありません");
    if (FormatRegistry::ForInputPath(strInput.Str()) == input.format && !input.format->recognise &&
        (input.format == FormatRegistry::Find("kml") || input.format == FormatRegistry::Find("gpx")) && CannotBeXml(bytes))
        return fail("ファイル " + strInput.Str() + " は名前は " + input.format->title + " ですが、中身は XML の文書ではありません");
    return true;
}

bool Conversion::Read(const CString& strInput, Input& input, std::vector<ConversionMessage>& messages) {
    std::string bytes;
    if (!Load(strInput, input, bytes, messages)) return false;
    MapReadResult result;
    try {
        result = input.format->read(std::move(bytes), strInput.Str(), m_options.read);
    } catch (const MapError& error) {
        return Fail(strInput, error.what(), messages);
    }
    Accept(input, std::move(result), messages);
    return true;
}

void Conversion::Accept(Input& input, MapReadResult result, std::vector<ConversionMessage>& messages) {
    m_step = kReaderStep;
    for (std::string& warning : result.warnings) Say(messages, {Kind::warning, std::move(warning)});
    m_step = kMapStep;
    input.refusedCount = result.refused;
    input.places = std::move(result.places);
    input.tokyo = input.format->datum == FormatDatum::tokyo;
    if (m_options.datum != ConversionOptions::Datum::native) input.tokyo = m_options.datum == ConversionOptions::Datum::tokyo;

    // A point no map can hold is left out here, with its coordinates as the file has them.
    input.refused.assign(input.places.size(), nullptr);
    for (std::size_t i = 0; i < input.places.size(); ++i) {
        const Place& place = input.places[i];
        // The unit's east-only longitudes go past 180 (a point shifted there from 179.998 E).
        const double east = input.format->unit ? 360 : 180;
        if (!(std::fabs(place.latitude) <= 90 && place.longitude >= -180 && place.longitude <= east))
            input.Refuse(i, kOutsideMap, "座標 (" + input.OriginalCoordinates(i) + ") は地図上の位置ではありません", messages);
        else if (place.latitude == 0 && place.longitude == 0)
            input.Refuse(i, kNoPosition, "座標 (" + input.OriginalCoordinates(i) + ") は位置がないことを表します", messages);
    }
    m_step = kAnyStep;
}

void Conversion::Shift(Input& input, bool bToTokyo, UnitTally& tally, std::vector<ConversionMessage>& messages) {
    // A map's WGS 84 longitudes lie within -180...180.
    const auto mapLongitude = [bToTokyo](double longitude) { return !bToTokyo && longitude > 180 ? longitude - 360 : longitude; };
    if (input.tokyo != bToTokyo ||
        std::any_of(input.places.begin(), input.places.end(), [&](const Place& place) { return mapLongitude(place.longitude) != place.longitude; }))
        input.KeepOriginal();
    if (input.tokyo == bToTokyo) {
        for (Place& place : input.places) {
            place.SetMethod(DatumMethod::none);
            place.longitude = mapLongitude(place.longitude);
        }
        return;
    }
    if (!m_shift) m_shift = std::make_unique<DatumShift>(DatumShift::DefaultGridPath(m_options.data), m_options.epoch);
    input.corrections.assign(input.places.size(), 0);
    // A block at a time: two arrays beside every place of a large input would cost 32 bytes a
    // point; a block still gathers the points of each area of the grid.
    constexpr std::size_t kBlock = 65536;
    std::vector<std::size_t> at;
    std::vector<ShiftedPoint> points;
    for (std::size_t first = 0; first < input.places.size(); first += kBlock) {
        const std::size_t end = std::min(input.places.size(), first + kBlock);
        at.clear();
        points.clear();
        for (std::size_t i = first; i < end; ++i) {
            if (input.refused[i]) continue;
            at.push_back(i);
            ShiftedPoint point;
            point.latitude = input.places[i].latitude;
            // The shift takes longitudes within -180...180; SameSide puts a unit file's east back.
            const double longitude = input.places[i].longitude;
            point.longitude = longitude > 180 ? longitude - 360 : longitude;
            points.push_back(point);
        }
        if (input.tokyo)
            m_shift->TokyoToWgs84(points);
        else
            m_shift->Wgs84ToTokyo(points);
        for (std::size_t k = 0; k < at.size(); ++k) {
            Place& place = input.places[at[k]];
            const ShiftedPoint& shifted = points[k];
            place.latitude = shifted.latitude;
            place.longitude = bToTokyo ? SameSide(shifted.longitude, place.longitude) : mapLongitude(shifted.longitude);
            place.SetMethod(shifted.method);
            input.corrections[at[k]] = shifted.corrections;
            if (shifted.outsideArea || shifted.method == DatumMethod::helmert) {
                const PointCause& cause = shifted.outsideArea ? kOutsideJapan : kNoGridData;
                if (m_options.eachPoint)
                    Say(messages, {Kind::warning, Label(input.name, place, cause.own)});
                else if (UnitTally::Group& group = tally.Count(cause, place); group.count == 1)
                    group.firstLines.push_back(Label(input.name, place, cause.own));
            }
        }
    }
    input.tokyo = bToTokyo;
}

bool Conversion::GiveReading(Place& place, std::size_t kept, std::string& scratch, std::vector<ConversionMessage>& messages,
                             std::size_t& unread) {
    if (place.Record() || !place.ReadingView().empty() || !(m_options.guessReadings || m_options.userReadings)) return false;
    bool guessed = false;
    place.SetReading(FirstCharacters(ReadingOf(place.NameView(scratch), kept, place.latitude, place.longitude, guessed, messages),
                                     static_cast<std::size_t>(CPoiTable::kNameLimit) + 1));
    place.SetReadingGuessed(guessed);
    if (place.ReadingView().empty() && m_guesser && kept > 0) ++unread;
    return guessed;
}

bool Conversion::GivesTableReadings() const {
    return &Target() == FormatRegistry::Find("csv") && (m_options.guessReadings || m_options.userReadings);
}

bool Conversion::MakeUnitRecords(Input& input, std::vector<ConversionMessage>& messages, std::vector<bool>* usable,
                                 UnitTally& tally) {
    bool bUsable = true;
    CutNames& cut = tally.cut;
    if (usable) usable->assign(input.places.size(), false);
    std::size_t& unread = tally.unread;
    std::string name;  // a numbered name made text, for NameView
    for (std::size_t i = 0; i < input.places.size(); ++i) {
        Place& place = input.places[i];
        if (input.refused[i] && input.refused[i] != kNoPosition) continue;
        // South and west are the file's: a point on the equator or the prime meridian is neither,
        // though the datum shift may carry it a few metres across; it is put on the line.
        std::pair<double, double> read;
        const bool bSouthOrWest = input.Original(i, read) && (read.first < 0 || read.second < 0);
        if (!bSouthOrWest) {
            place.latitude = std::max(place.latitude, 0.0);
            place.longitude = std::max(place.longitude, 0.0);
        }
        if (bSouthOrWest || !(place.latitude < kMaxUnitDegrees && place.longitude < kMaxUnitDegrees)) {
            if (!input.refused[i])
                input.Refuse(i, kNotForUnit, "南緯または西経の座標はナビに記録できません (" + input.OriginalCoordinates(i) + ")",
                             messages);
            continue;
        }
        // The name's part the unit's field holds, in bytes.
        const std::size_t kept = place.Record() ? 0 : UnitPartBytes(place.NameView(name));
        // A guessed reading becomes the place's own, half-width as the unit takes it and no
        // longer than its field tells apart: the record made of it when the file is written is
        // then the one checked here.
        GiveReading(place, kept, name, messages, unread);
        // A name the unit's field cuts: counted, the first kept as the example.
        if (!place.Record()) {
            const std::string_view whole = place.NameView(name);
            if (kept < whole.size() && cut.count++ == 0) {
                cut.example = Excerpt(whole);
                cut.cut = std::string(whole.substr(0, kept));
            }
        }
        std::vector<std::string> unmapped;
        UnitRecordUnmapped(place, unmapped);
        // Each character's line where it fails the input or each point is said; else the point
        // is counted, with its characters as its example.
        UnitTally::Group* group = nullptr;
        if (!unmapped.empty() && !m_options.strict && !m_options.eachPoint) {
            std::string characters = "の";
            for (const std::string& character : unmapped) characters += "「" + character + "」";
            group = &tally.Count(kUnmapped, place, characters);
            if (group->count > 1) group = nullptr;  // its own lines are not said
        }
        for (const std::string& character : unmapped) {
            const std::string text = Label(input.name, place) + ": 文字「" + character + "」" + kUnmapped.own;
            if (m_options.strict)
                Say(messages, {Kind::failure, text});
            else if (m_options.eachPoint)
                Say(messages, {Kind::warning, text + "。「?」にしました"});
            else if (group)
                group->firstLines.push_back(text + "。「?」にしました");
        }
        if (m_options.strict && !unmapped.empty()) bUsable = false;
        if (usable) (*usable)[i] = true;
    }
    return bUsable;
}

void Conversion::SayTally(const CString& strInput, const UnitTally& tally, std::vector<ConversionMessage>& messages) {
    for (const UnitTally::Group& group : tally.groups) {
        if (group.count == 1) {
            for (const std::string& line : group.firstLines) Say(messages, {Kind::warning, line});
            continue;
        }
        Say(messages, {Kind::warning, strInput.Str() + ": " + Thousands(group.count) + " 地点" + group.cause->grouped + " (例: " +
                                          group.examples + (group.count > kExamples ? "ほか" : "") + ")"});
    }
    const CutNames& cut = tally.cut;
    if (cut.count > 0)
        Say(messages, {Kind::warning, strInput.Str() + ": " + std::to_string(cut.count) + " 地点の名称はナビの " +
                                          std::to_string(CPoiTable::kNameLimit) + " バイトに収まらないので切り詰めます (例:「" +
                                          cut.example + "」→「" + cut.cut + "」)"});
    if (tally.unread > 0)
        Say(messages, {Kind::warning, strInput.Str() + ": " + std::to_string(tally.unread) + " 地点の名称の読みを推定できませんでした"});
}

bool Conversion::Prepare(Input& input, UnitTally& tally, std::vector<ConversionMessage>& messages, Step last) {
    if (last < kShiftStep) return true;
    input.keepOriginal = Target().unit;
    m_step = kShiftStep;
    Shift(input, Target().datum == FormatDatum::tokyo, tally, messages);
    m_step = kAnyStep;
    if (last < kUnitStep) return true;
    m_step = kUnitStep;
    const bool bUsable = !Target().unit || MakeUnitRecords(input, messages, nullptr, tally);
    if (GivesTableReadings()) {
        std::string name;
        for (std::size_t i = 0; i < input.places.size(); ++i)
            if (!input.refused[i]) {
                Place& place = input.places[i];
                GiveReading(place, place.Record() ? 0 : UnitPartBytes(place.NameView(name)), name, messages, tally.unread);
            }
    }
    m_step = kAnyStep;
    // The points kept are moved down in place: a second vector of every place would double
    // the memory of a large input.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < input.places.size(); ++i)
        if (!input.refused[i]) {
            if (kept != i) input.places[kept] = std::move(input.places[i]);
            ++kept;
        }
    input.places.resize(kept);
    return bUsable;
}

bool Conversion::WriteSet(const CString& strOutput, const std::vector<CString>& names, const std::vector<CString>& inputs,
                          const std::function<void(CSaveFile&, std::size_t)>& write,
                          const std::function<void(const CFileException&, const CString&)>& openFailed,
                          ConversionResult& result, std::vector<CString>& removed, std::vector<CString>& left) {
    OutputSet set(strOutput);
    for (const CString& input : inputs) set.Protect(input);
    const auto notes = [&] {
        for (const std::string& warning : set.GetWarnings()) Say(result.messages, {Kind::warning, warning});
    };
    const auto advice = [&] {
        if (!set.GetAdvice().empty()) Say(result.messages, {Kind::failure, set.GetAdvice()});
    };
    try {
        for (std::size_t k = 0; k < names.size(); ++k) {
            CSaveFile* file = nullptr;
            try {
                file = &set.Add(names[k]);
            } catch (const CFileException& error) {
                notes();
                // Another run writing the set is the whole story: no cause text of the member's own.
                // Nor is a cause that is no file's own (the folder, another user's file).
                if (!set.GetFailure().empty())
                    Say(result.messages, {Kind::failure, set.GetFailure()});
                else if (set.Busy())
                    Say(result.messages, {Kind::failure, SetInUseText(set.GetSetName()).Str()});
                else
                    openFailed(error, names[k]);
                advice();
                return false;
            }
            write(*file, k);
            set.Finish(*file);
        }
        set.Commit();
    } catch (const CFileException& error) {
        notes();
        Say(result.messages, {Kind::failure, CommandFailureText(error).Str()});
        advice();
        return false;
    }
    notes();
    removed = set.GetRemoved();
    std::sort(removed.begin(), removed.end());  // the folder's order is no order
    left = set.GetLeft();
    return true;
}

void Conversion::SayRemoved(const std::vector<CString>& removed, const std::vector<CString>& left, ConversionResult& result) {
    for (const CString& name : removed)
        Say(result.messages, {Kind::written, name.Str() + " は新しい出力にないので削除しました"});
    // Files with a member's name that no earlier commit of this set wrote: said once, left alone.
    if (!left.empty()) Say(result.messages, {Kind::warning, JoinedNames(left) + " は前回の出力の記録にないので削除しませんでした"});
}

void Conversion::Write(Feed& feed, const CString& strOutput, const std::vector<CString>& inputs, ConversionResult& result) {
    const Format& format = Target();
    const std::size_t count = feed.Size();
    const std::size_t perFile = format.pointsPerFile > 0 ? static_cast<std::size_t>(format.pointsPerFile) : count;
    const std::size_t files = perFile == 0 || count <= perFile ? 1 : (count + perFile - 1) / perFile;
    const std::vector<CString> names = SplitNames(strOutput, static_cast<int>(files));
    std::vector<CString> removed;  // members of the old set that the new one has not
    std::vector<CString> left;     // files with members' names that were not the old set's
    try {
        const bool bWritten = WriteSet(
            strOutput, names, inputs,
            [&](CSaveFile& file, std::size_t k) {
                const std::size_t first = k * perFile;
                MemberPlaces member([&feed](const Place*& places, std::size_t& n, std::size_t most) { return feed.Next(places, n, most); },
                                    std::min(count, first + perFile) - first, feed.Methods(k));
                WriteOptions options = m_options.write;
                options.guessMarks = GivesTableReadings() && m_options.guessReadings;
                format.write(file, member, options);
            },
            [&](const CFileException& error, const CString& name) {
                Say(result.messages, {Kind::failure, OutputOpenFailure(error, name)});
            },
            result, removed, left);
        if (!bWritten) return;
    } catch (const MapError& error) {
        Say(result.messages, {Kind::failure, error.what()});
        return;
    }
    const std::string from = JoinedNames(inputs);
    for (std::size_t k = 0; k < files; ++k) {
        const std::size_t first = k * perFile;
        Say(result.messages, {Kind::written, from + " -> " + names[k].Str() + " (" +
                                                 std::to_string(std::min(count, first + perFile) - first) + " 地点)"});
        result.outputs.push_back(names[k]);
    }
    result.written += count;
    SayRemoved(removed, left, result);
}

ConversionResult Conversion::Convert(const std::vector<CString>& inputs, const CString& strOutput) {
    if (RecordForRecord(inputs)) return ConvertRecords(inputs[0], strOutput);
    ConversionResult result;
    bool bUsable = true;
    Feed feed(*this, Target().pointsPerFile > 0 ? static_cast<std::size_t>(Target().pointsPerFile) : 0);
    for (const CString& name : inputs) {
        Input loaded;
        std::string bytes;
        if (!Load(name, loaded, bytes, result.messages)) return result;
        Feed::Part part;
        part.name = name;
        part.format = loaded.format;
        // A table of millions of short rows is read a batch at a time, now to say what its rows
        // are and count its places, again when they are written; any other input is held whole.
        UnitTally tally;
        try {
            if (ReadInBatches(*loaded.format, bytes, m_options.batchRows)) {
                part.batches = loaded.format->openBatches(std::move(bytes), name.Str(), m_options.read);
                const std::size_t rows = m_options.batchRows ? m_options.batchRows : kBatchRows;
                // The reader's messages said and the places counted; then, where another step had
                // any, the rows once more for each such step's.
                std::array<std::size_t, kSteps> unsaid = {};
                for (int step = kReaderStep; step < kSteps; ++step) {
                    if (step > kReaderStep && unsaid[static_cast<std::size_t>(step)] == 0) continue;
                    if (step > kReaderStep) part.batches->Rewind();
                    SayOnly(static_cast<Step>(step));
                    UnitTally uncounted;
                    for (MapReadResult read; part.batches->Next(rows, read);) {
                        Input input;
                        input.owner = this;
                        input.name = name;
                        input.format = loaded.format;
                        Accept(input, std::move(read), result.messages);
                        if (step > kReaderStep) {
                            Prepare(input, uncounted, result.messages, static_cast<Step>(step));
                            continue;
                        }
                        bUsable = Prepare(input, tally, result.messages, kSteps) && bUsable;
                        result.refused += input.refusedCount;
                        feed.Count(input.places);
                    }
                    if (step == kReaderStep) unsaid = m_unsaid;
                }
                SayOnly(kAnyStep);
            } else {
                MapReadResult read = loaded.format->read(std::move(bytes), name.Str(), m_options.read);
                Accept(loaded, std::move(read), result.messages);
                bUsable = Prepare(loaded, tally, result.messages, kSteps) && bUsable;
                result.refused += loaded.refusedCount;
                feed.Count(loaded.places);
                part.places = std::move(loaded.places);
            }
        } catch (const MapError& error) {
            SayOnly(kAnyStep);
            Fail(name, error.what(), result.messages);
            return result;
        }
        SayTally(name, tally, result.messages);
        feed.Parts().push_back(std::move(part));
    }
    if (!bUsable) {
        Say(result.messages, {Kind::failure, "表示できない文字があるため (--strict)、" + strOutput.Str() + " は書きませんでした"});
        return result;
    }
    const std::string from = JoinedNames(inputs);
    // Every point refused: an empty document would replace a good one for nothing.
    const bool bNothing = feed.Size() == 0 && result.refused > 0;
    if (!bNothing) Write(feed, strOutput, inputs, result);
    if (result.refused > 0)
        Say(result.messages, {Kind::failure, from + ": " + std::to_string(result.refused) + " 地点は変換できませんでした"});
    if (bNothing) Say(result.messages, {Kind::failure, "変換できる地点がないため、" + strOutput.Str() + " は書きませんでした"});
    result.ok = !result.outputs.empty() && result.refused == 0;
    return result;
}

bool Conversion::RecordForRecord(const std::vector<CString>& inputs) const {
    if (!m_options.recordForRecord || inputs.size() != 1 || inputs[0].Str() == "-" || &Target() != FormatRegistry::Find("glorie"))
        return false;
    const Format* byName = FormatRegistry::ForInputPath(inputs[0].Str());
    return !byName || byName == FormatRegistry::Find("mem");
}

ConversionResult Conversion::ConvertRecords(const CString& strInput, const CString& strOutput) {
    using Stop = ConversionResult::Stop;
    ConversionResult result;
    const Format& mem = *FormatRegistry::Find("mem");
    const bool bDocument = m_options.oneDocument;
    // The store's words, for the dialog; the command line's name a folder, a missing file (a
    // mistyped extension) or a short one by name and size, as the store's reason says less.
    const auto notRead = [&](const std::string& words) {
        result.stop = Stop::notRead;
        result.readFailure = words;
        if (bDocument) return result;
        const std::string problem = InputProblem(strInput, true);
        if (!problem.empty())
            Say(result.messages, {Kind::failure, problem});
        else if (!words.empty())
            Say(result.messages, {Kind::failure, words});
        if (!IsFolder(strInput)) Say(result.messages, {Kind::failure, "ファイル " + strInput.Str() + " の読み込みに失敗しました"});
        return result;
    };
    std::vector<CString> removed, left;
    std::size_t count = 0;
    try {
        // A name no format takes is never opened: the unit's reader refuses it, as the store did.
        std::string bytes;
        if (FormatRegistry::ForInputPath(strInput.Str()) == &mem) {
            CFile file;
            CFileException error;
            // The dialog's input is its own while it is read; another run reading it is no
            // reason for the command line to fail.
            const unsigned share = bDocument ? CFile::shareExclusive : CFile::shareDenyWrite;
            if (!file.Open(bDocument ? strInput : SourceOf(strInput), CFile::modeRead | share, &error))
                return notRead(CMemPointStore::OpenErrorText(error).Str());
            const std::uint64_t length = file.GetLength();
            if (length == mempoint::kFileSize) {
                bytes.resize(mempoint::kFileSize);
                if (file.Read(&bytes[0], mempoint::kFileSize) != mempoint::kFileSize)
                    throw CFileException(CFileException::endOfFile, -1, file.GetFilePath());
            }
            file.Close();
        }
        ReadOptions options = m_options.read;
        options.asStored = true;
        MapReadResult read;
        try {
            read = mem.read(std::move(bytes), strInput.Str(), options);
        } catch (const MapError& error) {
            return notRead(error.what());
        }
        count = read.places.size();
        const auto write = [&](CSaveFile& file) {
            PlaceArray places(read.places.data(), count);
            Target().write(file, places, m_options.write);
        };
        if (bDocument) {
            OutputSet document(strOutput, OutputSet::Mode::document);
            CSaveFile* file = nullptr;
            try {
                file = &document.Add(strOutput);
            } catch (const CFileException& error) {
                result.stop = Stop::notOpened;
                result.error = error;
                return result;
            }
            write(*file);
            document.Commit();
        } else if (!WriteSet(
                       strOutput, {strOutput}, {strInput}, [&](CSaveFile& file, std::size_t) { write(file); },
                       [&](const CFileException& error, const CString& name) {
                           Say(result.messages, {Kind::failure, OutputOpenFailure(error, name)});
                       },
                       result, removed, left)) {
            return result;
        }
    } catch (const CFileException& error) {
        result.stop = Stop::failed;
        result.error = error;
        if (!bDocument) Say(result.messages, {Kind::failure, CommandFailureText(error).Str()});
        return result;
    }
    if (!bDocument) Say(result.messages, {Kind::written, strInput.Str() + " -> " + strOutput.Str() + " (" + std::to_string(count) + " 地点)"});
    result.outputs.push_back(strOutput);
    result.written = count;
    SayRemoved(removed, left, result);
    result.ok = true;
    return result;
}

ListResult Conversion::List(const CString& strInput) {
    ListResult listed;
    Input input;
    if (!Read(strInput, input, listed.messages)) return listed;
    listed.read = true;
    const bool bInputTokyo = input.tokyo;
    input.keepOriginal = true;
    Input tokyo = input;
    Input wgs84 = std::move(input);
    // One of the two is no shift at all, so warnings come once.
    UnitTally tally;
    Shift(tokyo, true, tally, listed.messages);
    Shift(wgs84, false, tally, listed.messages);
    std::vector<bool> usable;
    MakeUnitRecords(tokyo, listed.messages, &usable, tally);
    SayTally(strInput, tally, listed.messages);
    for (std::size_t i = 0; i < tokyo.places.size(); ++i) {
        ListedPoint point;
        const Place& unit = tokyo.places[i];
        const Place& map = wgs84.places[i];
        // A point without a position keeps the unit's columns only where the unit's file gave them.
        point.hasUnitColumns = usable[i] && (!tokyo.refused[i] || bInputTokyo);
        if (point.hasUnitColumns) {
            RecordText record = UnitRecord(unit);
            point.unitName = std::move(record.name);
            point.unitReading = std::move(record.reading);
            point.readingGuessed = unit.ReadingGuessed();
            point.tokyoLatitude = UnitDegreeText(unit.latitude);
            point.tokyoLongitude = UnitDegreeText(unit.longitude);
        }
        point.digits = unit.Digits();
        const char* why = wgs84.refused[i];
        point.shifted = !why;
        point.latitude = map.latitude;
        point.longitude = map.longitude;
        point.method = point.shifted ? DatumMethodName((bInputTokyo ? map : unit).Method()) : why;
        const std::vector<std::uint32_t>& corrections = (bInputTokyo ? wgs84 : tokyo).corrections;
        if (point.shifted && i < corrections.size() && corrections[i]) point.method += "+" + GroundCorrections::Names(corrections[i]);
        point.name = unit.Name();
        listed.points.push_back(std::move(point));
    }
    listed.refused = tokyo.refusedCount;
    listed.ok = tokyo.refusedCount == 0;
    return listed;
}
