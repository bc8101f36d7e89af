// The memory-point file: up to 100 records, names and readings kept as their CP932 bytes so that
// they reach the unit's formats untouched.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "places/EachPlace.h"
#include "text/Cp932Text.h"
#include "places/Format.h"
#include "text/MapError.h"
#include "text/SafeText.h"
#include "formats/UnitFields.h"
#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointEncoder.h"
#include "text/ByteSink.h"

namespace {
MapReadResult Read(std::string bytes, const std::string& fileName, const ReadOptions& options) {
    const auto store = std::make_unique<CMemPointStore>();
    if (!store->LoadImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        throw MapError({MessageId::notMemFile, fileName});
    MapReadResult result;
    CString text;
    for (int i = 0; i < store->GetCount(); ++i) {
        Place place;
        place.SetOrigin(PlaceOrigin::Point(i + 1));
        RecordText record;
        store->GetName(text, i);
        record.name = text.Str();
        store->GetReading(text, i);
        record.reading = text.Str();
        store->GetDigits(text, i);
        std::string digits = text.Str();
        if (options.asStored) {
            // Only the unit's writers read such a place, and they take the record.
            place.SetTexts({}, {}, std::move(digits));
            if (!record.name.empty() || !record.reading.empty()) place.SetRecord(std::move(record));
        } else {
            // The unit writes digits 0 to 9 ended by F; a nibble of A to E ends them too, rather
            // than becoming one of ":;<=>" in a map's document.
            digits.erase(std::min(digits.find_first_not_of("0123456789"), digits.size()));
            // A control byte would reach a glorie document raw and make it no XML.
            std::vector<char32_t> controls = ReplaceRecordControlCharacters(record.name);
            for (const char32_t c : ReplaceRecordControlCharacters(record.reading)) controls.push_back(c);
            std::string name;
            const bool nameValid = Cp932ToUtf8(record.name, name);
            std::string reading;
            const bool readingValid = Cp932ToUtf8(record.reading, reading);
            place.SetTexts(name, std::move(reading), std::move(digits));
            if (!record.name.empty() || !record.reading.empty()) place.SetRecord(std::move(record));
            if (!readingValid || !nameValid)
                result.warnings.push_back({MessageId::notShiftJis, fileName, Message(MessageId::placeNamed, place.Origin().Said(), name)});
            if (!controls.empty())
                result.warnings.push_back({MessageId::controlCharacters, fileName, Message(MessageId::placeNamed, place.Origin().Said(), name),
                                           CodePointNames(controls)});
        }
        place.latitude = store->DecodeCoordinate(i, CMemPointStore::latitude) / (3600.0 * 256.0);
        place.longitude = store->DecodeCoordinate(i, CMemPointStore::longitude) / (3600.0 * 256.0);
        result.places.push_back(std::move(place));
    }
    return result;
}

// Places with their record texts (UnitRecord), coordinates in the Tokyo datum.
void Write(ByteSink& sink, PlaceSource& places, const WriteOptions&) {
    std::vector<MemPointRecord> records;
    ForEachPlace(places, [&](const Place& p) {
        RecordText record = UnitRecord(p);
        records.push_back({std::move(record.name), std::move(record.reading), p.Digits(), p.latitude, p.longitude});
    });
    const std::string image = EncodeMemPointFile(records);
    sink.Write(image.data(), image.size());
}
}  // namespace

namespace {
constexpr Format Row() {
    Format row{};
    row.name = "mem";
    row.title = "メモリーポイントファイル";
    row.englishTitle = "Memory-point files";
    row.extensions[0] = ".mem";
    row.datum = FormatDatum::tokyo;
    row.unit = true;
    row.pointsPerFile = kMemPointsPerFile;
    row.read = Read;
    row.write = Write;
    return row;
}
}  // namespace

extern const Format kMemFormat = Row();
