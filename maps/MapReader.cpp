#include "maps/MapReader.h"

#include "maps/CsvReader.h"
#include "maps/GeoJsonReader.h"
#include "maps/GpxReader.h"
#include "maps/KmlReader.h"
#include "maps/MapError.h"
#include "maps/PlaceCollector.h"
#include "maps/XmlSource.h"

MapReadResult ReadMapDocument(MapFormat format, std::string bytes, const std::string& fileName,
                              const MapReadOptions& options) {
    if (bytes.size() > kMaxMapDocumentBytes)
        throw MapError(fileName + ": ファイルが大きすぎます（" + std::to_string(kMaxMapDocumentBytes / (1024 * 1024)) +
                       " MB まで）");
    PlaceCollector places(fileName);
    int passedOver = 0;
    switch (format) {
    case MapFormat::gpx:
        passedOver = ReadGpx(XmlSource(bytes, fileName), options, places);
        break;
    case MapFormat::kml:
        ReadKml(XmlSource(bytes, fileName), places);
        break;
    case MapFormat::geojson:
        ReadGeoJson(bytes, places);
        break;
    case MapFormat::csv:
        ReadCsv(bytes, places);
        break;
    }
    if (places.Candidates() == 0) {
        std::string message = fileName + " に地点がありません";
        if (passedOver > 0) message += "（経路と軌跡の " + std::to_string(passedOver) + " 点は --all-points で読みます）";
        throw MapError(message);
    }
    return places.Take();
}
