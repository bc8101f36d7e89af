#include "places/PlaceCollector.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "text/DecimalChars.h"
#include "text/DegreeText.h"
#include "text/MapError.h"
#include "text/MapText.h"
#include "text/SafeText.h"

namespace {
std::string_view TrimmedNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return text;
}

bool InRange(double value, double limit) { return value >= -limit && value <= limit; }

// A text laid out over lines or with tabs (an XML document's indentation) is collapsed; one of
// plain spaces is kept as written, so that a memory point's "ｱ  ｲ" comes back byte for byte;
// one of nothing else is empty.
void NormaliseSpace(std::string& text) {
    if (text.find_first_of("\t\r\n") != std::string::npos || text.find_first_not_of(' ') == std::string::npos)
        CollapseSpaceInPlace(text);
}
}  // namespace

bool PlaceCollector::ParseDegrees(std::string_view text, double& degrees) {
    text = TrimmedNumber(text);
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const std::from_chars_result parsed = ReadDouble(text.data(), end, degrees);
    return parsed.ec == std::errc() && parsed.ptr == end && std::isfinite(degrees);
}

template <typename Parse>
void PlaceCollector::AddTexts(Place place, std::string_view latitudeText, std::string_view longitudeText, Parse parse) {
    if (TrimmedNumber(latitudeText).empty() && TrimmedNumber(longitudeText).empty()) {
        ++m_candidates;
        Refuse(place.Origin(), MessageId::noCoordinates);
        return;
    }
    if (!parse(latitudeText, true, place.latitude)) place.latitude = NAN;
    if (!parse(longitudeText, false, place.longitude)) place.longitude = NAN;
    AddParsed(std::move(place), latitudeText, longitudeText);
}

void PlaceCollector::Add(Place place, std::string_view latitudeText, std::string_view longitudeText) {
    AddTexts(std::move(place), latitudeText, longitudeText,
             [](std::string_view text, bool, double& degrees) { return ParseDegrees(text, degrees); });
}

void PlaceCollector::AddCells(Place place, std::string_view latitudeText, std::string_view longitudeText, bool decimalComma) {
    AddTexts(std::move(place), latitudeText, longitudeText, [decimalComma](std::string_view text, bool latitude, double& degrees) {
        return ParseDegreeCell(text, latitude, decimalComma, degrees);
    });
}

void PlaceCollector::AddParsed(Place place, std::string_view latitudeText, std::string_view longitudeText) {
    ++m_candidates;
    // The texts are shown as valid UTF-8: an XML attribute may hold a character reference that is none.
    if (!InRange(place.latitude, 90))
        return Refuse(place.Origin(), {MessageId::badLatitude, Excerpt(CollapseSpace(ValidUtf8(std::string(latitudeText))))});
    if (!InRange(place.longitude, 180))
        return Refuse(place.Origin(), {MessageId::badLongitude, Excerpt(CollapseSpace(ValidUtf8(std::string(longitudeText))))});
    Accept(std::move(place));
}

void PlaceCollector::RefuseWithoutCoordinates(PlaceOrigin origin) {
    ++m_candidates;
    Refuse(origin, MessageId::noCoordinates);
}

void PlaceCollector::SetDigits(Place& place, std::string_view text) {
    place.SetDigits(PhoneDigits(text));
    const std::string shown = Excerpt(CollapseSpace(text));
    if (place.Digits().empty() && !shown.empty())
        Count(m_phones, {MessageId::phoneNotDigits, m_fileName, place.Origin().Said(), shown},
              {MessageId::placeNamed, place.Origin().Said(), shown});
}

void PlaceCollector::Accept(Place place) {
    // A control character made a space is blank space like a line break.
    std::vector<char32_t> controls;
    bool nameEmpty = false;
    // Most texts have nothing to change (no byte below 0x20, no 0x7F, no lead byte of U+0080 to
    // U+009F, not blank alone): their place is left as it is, without making its block again.
    const auto plain = [](std::string_view text) {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F || byte == 0xC2) return false;
        }
        return text.empty() || text.find_first_not_of(' ') != std::string_view::npos;
    };
    if (place.NameAndReadingAre(plain)) {
        nameEmpty = !place.HasName();
    } else {
        place.EditNameAndReading([&](std::string& name, std::string& reading) {
            controls = ReplaceControlCharacters(name);
            if (!controls.empty()) CollapseSpaceInPlace(name);
            const std::vector<char32_t> inReading = ReplaceControlCharacters(reading);
            if (!inReading.empty()) CollapseSpaceInPlace(reading);
            for (const char32_t c : inReading)
                if (std::find(controls.begin(), controls.end(), c) == controls.end()) controls.push_back(c);
            NormaliseSpace(name);
            NormaliseSpace(reading);
            nameEmpty = name.empty();
        });
    }
    if (nameEmpty) place.SetNumberedName(static_cast<std::uint32_t>(m_candidates));
    if (!controls.empty()) {
        const Message named(MessageId::placeNamed, place.Origin().Said(), Excerpt(place.Name()));
        Count(m_controls, {MessageId::controlCharacters, m_fileName, named, CodePointNames(controls)}, named);
    }
    m_result.places.push_back(std::move(place));
}

void PlaceCollector::Count(Tally& tally, Message line, Message example) {
    if (m_eachPoint) {
        m_result.warnings.push_back(std::move(line));
        return;
    }
    constexpr std::size_t kExamples = 3;
    if (++tally.count == 1) tally.firstLine = std::move(line);
    if (tally.count <= kExamples)
        tally.examples = tally.count > 1 ? Message(MessageId::exampleSeparator, std::move(tally.examples), std::move(example)) : std::move(example);
}

void PlaceCollector::SayGrouped() {
    const struct {
        Tally* tally;
        MessageId some, more;  // the first points named: all of them, or some of more
    } causes[] = {{&m_controls, MessageId::manyControlCharacters, MessageId::manyControlCharactersMore},
                  {&m_phones, MessageId::manyPhonesNotDigits, MessageId::manyPhonesNotDigitsMore}};
    for (const auto& cause : causes) {
        Tally& tally = *cause.tally;
        if (tally.count == 1)
            m_result.warnings.push_back(std::move(tally.firstLine));
        else if (tally.count > 1)
            m_result.warnings.push_back({tally.count > 3 ? cause.more : cause.some, m_fileName, Thousands(tally.count), std::move(tally.examples)});
        tally = Tally();
    }
}

void PlaceCollector::Refuse(PlaceOrigin origin, Message reason) {
    m_result.warnings.push_back({MessageId::refused, m_fileName, origin.Said(), std::move(reason)});
    ++m_result.refused;
}

MapReadResult PlaceCollector::Finish(int passedOver, MessageId shapes) {
    SayGrouped();
    if (shapes == MessageId::shapeVertices && m_plainWords) shapes = MessageId::shapePoints;
    const Message counted(shapes, passedOver);
    if (m_candidates == 0) {
        if (passedOver == 0) throw MapError({MessageId::noPoints, m_fileName});
        throw MapError({m_plainWords ? MessageId::noPointsOnlyShapes : MessageId::noPointsAllPoints, m_fileName, counted});
    }
    // Points read and lines passed over: said in one line, or the lines would go without a word.
    // The dialogs have no option to read them; they say what was converted instead.
    if (passedOver > 0)
        m_result.warnings.push_back({m_plainWords ? MessageId::shapesNotReadPlain : MessageId::shapesNotRead, m_fileName, counted});
    return std::move(m_result);
}
