#include "pipeline/DatumStage.h"

#include <algorithm>
#include <utility>

#include "datum/DatumShift.h"
#include "pipeline/Conversion.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/MessageOrder.h"
#include "pipeline/UnitTally.h"

namespace {
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
}  // namespace

DatumStage::DatumStage(const ConversionOptions& options, MessageOrder& say) : m_options(options), m_say(say) {}

DatumStage::~DatumStage() = default;

bool DatumStage::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) { return m_say.Say(messages, std::move(message)); }

void DatumStage::Shift(ConversionInput& input, bool bToTokyo, UnitTally& tally, std::vector<ConversionMessage>& messages) {
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
                    Say(messages, {ConversionMessage::Kind::warning, Label(input.name, place, cause.own)});
                else if (UnitTally::Group& group = tally.Count(cause, place); group.count == 1)
                    group.firstLines.push_back(Label(input.name, place, cause.own));
            }
        }
    }
    input.tokyo = bToTokyo;
}
