#include "pipeline/InputReader.h"

#include <cmath>
#include <string>
#include <utility>

#include "pipeline/Conversion.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/InputLoader.h"
#include "pipeline/MessageOrder.h"
#include "text/MapError.h"

bool InputReader::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) { return m_say.Say(messages, std::move(message)); }

bool InputReader::Read(const CString& strInput, ConversionInput& input, std::vector<ConversionMessage>& messages) {
    std::string bytes;
    if (!m_loader.Load(strInput, input, bytes, messages)) return false;
    MapReadResult result;
    try {
        result = input.format->read(std::move(bytes), strInput.Str(), m_options.read);
    } catch (const MapError& error) {
        return m_loader.Fail(strInput, error.what(), messages);
    }
    Accept(input, std::move(result), messages);
    return true;
}

void InputReader::Accept(ConversionInput& input, MapReadResult result, std::vector<ConversionMessage>& messages) {
    m_say.SetStep(MessageOrder::kReaderStep);
    for (std::string& warning : result.warnings) Say(messages, {ConversionMessage::Kind::warning, std::move(warning)});
    m_say.SetStep(MessageOrder::kMapStep);
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
    m_say.SetStep(MessageOrder::kAnyStep);
}
