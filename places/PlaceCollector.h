#pragma once
// The places of one file as its reader finds them: coordinates checked, nameless points named,
// control characters in names and readings made spaces (and warned about), refused points warned
// about and counted.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "places/Format.h"
#include "places/Place.h"

class PlaceCollector {
public:
    // plainWords: messages in the dialogs' words (ReadOptions::plainWords).
    explicit PlaceCollector(std::string fileName, const ReadOptions& options = {})
        : m_fileName(std::move(fileName)), m_plainWords(options.plainWords), m_eachPoint(options.eachPoint) {}

    // A candidate whose coordinates are still the file's texts.
    void Add(Place place, std::string_view latitudeText, std::string_view longitudeText);
    // The same from a spreadsheet's cells, which may hold degrees, minutes and seconds
    // (DegreeText) and, where commas do not separate the cells, decimal commas.
    void AddCells(Place place, std::string_view latitudeText, std::string_view longitudeText, bool decimalComma);
    // A candidate whose coordinates are numbers already (NaN when the file had none usable);
    // the texts are what the warning shows.
    void AddParsed(Place place, std::string_view latitudeText, std::string_view longitudeText);
    // Room for count places at once: a vector that grows holds its old and new storage together.
    void Reserve(std::size_t count) { m_result.places.reserve(count); }
    // A warning about the file as a whole (one line, naming the file).
    void Warn(Message message) { m_result.warnings.push_back(std::move(message)); }
    // A candidate without coordinates.
    void RefuseWithoutCoordinates(PlaceOrigin origin);
    // A candidate refused for reason (one clause, without the final "not read").
    void RefuseFor(PlaceOrigin origin, Message reason) {
        ++m_candidates;
        Refuse(origin, std::move(reason));
    }
    // The digits of a field the file names as a phone number; one that is not a phone number
    // is warned about and left out.
    void SetDigits(Place& place, std::string_view text);

    const std::string& FileName() const { return m_fileName; }
    bool PlainWords() const { return m_plainWords; }
    // The points read so far, refused ones included.
    int Candidates() const { return m_candidates; }
    // The places, warnings and refusals since the last Take: a batch of a file read in batches.
    MapReadResult Take() { return std::exchange(m_result, MapReadResult()); }
    // The warnings that came for many points, one line a cause, among the warnings (Finish does
    // it; a file read in batches, at its end); each cause is said once.
    void SayGrouped();
    // The places read. Throws MapError when the file had no point at all; passedOver counts the
    // points the options left unread, for the message, which names them as shapes does
    // (routePoints of a GPX file; shapeVertices, in plain words shapePoints).
    MapReadResult Finish(int passedOver = 0, MessageId shapes = MessageId::shapeVertices);

    // A whole decimal number of degrees (blank space around allowed, "+" allowed); false for
    // anything else, NaN and infinities included.
    static bool ParseDegrees(std::string_view text, double& degrees);

private:
    template <typename Parse>
    void AddTexts(Place place, std::string_view latitudeText, std::string_view longitudeText, Parse parse);
    void Accept(Place place);
    void Refuse(PlaceOrigin origin, Message reason);
    // A warning of a cause that may come for every point: its own line where eachPoint asks for
    // it, else counted, the first points kept as examples.
    struct Tally {
        std::size_t count = 0;
        Message firstLine;  // the first point's own line, said where it is the only one
        Message examples;   // "12 行目「NAME」、..." of the first points
    };
    void Count(Tally& tally, Message line, Message example);

    std::string m_fileName;
    bool m_plainWords = false;
    bool m_eachPoint = false;
    Tally m_controls, m_phones;
    int m_candidates = 0;
    MapReadResult m_result;
};
