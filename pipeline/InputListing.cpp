#include "pipeline/InputListing.h"

#include <utility>
#include <vector>

#include "datum/GroundCorrections.h"
#include "formats/UnitFields.h"
#include "pipeline/Conversion.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/DatumStage.h"
#include "pipeline/InputReader.h"
#include "pipeline/MessageOrder.h"
#include "pipeline/UnitRecords.h"
#include "pipeline/UnitTally.h"

ListResult InputListing::List(const CString& strInput) {
    ListResult listed;
    ConversionInput input;
    if (!m_reader.Read(strInput, input, listed.messages)) return listed;
    listed.read = true;
    const bool bInputTokyo = input.tokyo;
    input.keepOriginal = true;
    ConversionInput tokyo = input;
    ConversionInput wgs84 = std::move(input);
    // One of the two is no shift at all, so warnings come once.
    UnitTally tally;
    m_datum.Shift(tokyo, true, tally, listed.messages);
    m_datum.Shift(wgs84, false, tally, listed.messages);
    std::vector<bool> usable;
    m_unit.Make(tokyo, listed.messages, &usable, tally);
    tally.Say(strInput, m_say, listed.messages);
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
