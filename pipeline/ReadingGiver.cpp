#include "pipeline/ReadingGiver.h"

#include <algorithm>
#include <utility>

#include "convert/CPoiTable.h"
#include "formats/FormatRegistry.h"
#include "formats/UnitFields.h"
#include "pipeline/Conversion.h"
#include "pipeline/MessageOrder.h"
#include "readings/Gazetteer.h"
#include "readings/ReadingGuesser.h"
#include "readings/UserReadings.h"
#include "text/Cp932Text.h"
#include "text/SafeText.h"
#include "text/Utf8.h"

namespace {
using Kind = ConversionMessage::Kind;

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

ReadingGiver::ReadingGiver(const ConversionOptions& options, MessageOrder& say) : m_options(options), m_say(say) {}

ReadingGiver::~ReadingGiver() = default;

bool ReadingGiver::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) { return m_say.Say(messages, std::move(message)); }

std::size_t ReadingGiver::UnitPartBytes(std::string_view name) {
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


ReadingGuesser* ReadingGiver::Guesser(std::vector<ConversionMessage>& messages) {
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

std::string ReadingGiver::ReadingOf(std::string_view name, std::size_t unitBytes, double latitude, double longitude, bool& guessed,
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

bool ReadingGiver::GiveReading(Place& place, std::size_t kept, std::string& scratch, std::vector<ConversionMessage>& messages,
                               std::size_t& unread) {
    if (place.Record() || !place.ReadingView().empty() || !(m_options.guessReadings || m_options.userReadings)) return false;
    bool guessed = false;
    place.SetReading(FirstCharacters(ReadingOf(place.NameView(scratch), kept, place.latitude, place.longitude, guessed, messages),
                                     static_cast<std::size_t>(CPoiTable::kNameLimit) + 1));
    place.SetReadingGuessed(guessed);
    if (place.ReadingView().empty() && m_guesser && kept > 0) ++unread;
    return guessed;
}

bool ReadingGiver::GivesTableReadings() const {
    return m_options.target == FormatRegistry::Find("csv") && (m_options.guessReadings || m_options.userReadings);
}
