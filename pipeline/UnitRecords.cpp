#include "pipeline/UnitRecords.h"

#include <algorithm>
#include <string>
#include <utility>

#include "formats/UnitFields.h"
#include "pipeline/Conversion.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/MessageOrder.h"
#include "pipeline/ReadingGiver.h"
#include "pipeline/UnitTally.h"
#include "text/SafeText.h"

using Kind = ConversionMessage::Kind;

bool UnitRecords::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) { return m_say.Say(messages, std::move(message)); }

bool UnitRecords::Make(ConversionInput& input, std::vector<ConversionMessage>& messages, std::vector<bool>* usable,
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
        const std::size_t kept = place.Record() ? 0 : ReadingGiver::UnitPartBytes(place.NameView(name));
        // A guessed reading becomes the place's own, half-width as the unit takes it and no
        // longer than its field tells apart: the record made of it when the file is written is
        // then the one checked here.
        m_readings.GiveReading(place, kept, name, messages, unread);
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
