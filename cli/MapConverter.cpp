#include "cli/MapConverter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "cli/TerminalText.h"
#include "convert/DmsToDegreeText.h"
#include "glorie/FileErrorText.h"
#include "maps/Cp932Text.h"
#include "maps/GlorieReader.h"
#include "maps/MapError.h"
#include "maps/MapReader.h"
#include "maps/MapWriter.h"
#include "mempoint/MemPointEncoder.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/MessageBox.h"
#include "platform/OutputSet.h"
#include "platform/PathSplit.h"

namespace {
constexpr int kGloriePointsPerFile = CPoiTable::kCapacity;
constexpr double kMaxUnitDegrees = 1000;  // the DMS text has three degree digits

// The DMS text the store would give for this angle: a whole number of 1/256 s (what a memory
// point holds) is formatted as the store formats it, anything else to the nearest thousandth.
CString DegreesToDms(double degrees) {
    const double sixteenths = degrees * 3600.0 * 256.0;
    const double whole = std::nearbyint(sixteenths);
    char buffer[16];
    if (std::fabs(sixteenths - whole) < 1e-6) {
        CMemPointStore::FormatDms(buffer, static_cast<std::uint32_t>(whole));
        return CString(buffer);
    }
    const auto total = static_cast<std::uint64_t>(std::llround(degrees * 3600000.0));
    const std::uint64_t seconds = total / 1000;
    std::snprintf(buffer, sizeof buffer, "%3u.%02u.%02u.%03u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds % 3600 / 60), static_cast<unsigned>(seconds % 60),
                  static_cast<unsigned>(total % 1000));
    return CString(buffer);
}

// Cut to the unit's 16 bytes without splitting a character.
std::string CutField(const std::string& cp932) {
    char cut[CPoiTable::kNameLimit + 1];
    CPoiTable::CopyTruncated(cut, cp932.c_str(), CPoiTable::kNameLimit);
    return cut;
}

std::string Decimal(double value, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

bool IsMemPointName(const CString& name) { return PathHasExtension(name, ".MEM"); }

// A member of the set, or null after the reason it cannot be made has been shown.
CFile* Open(OutputSet& set, const CString& strFileName) {
    try {
        return &set.Add(strFileName);
    } catch (const CFileException& error) {
        CPoiTable::ReportOpenError(error, strFileName);
        if (set.Busy()) AfxMessageBox(SetInUseText(set.GetSetName()), kMbOk);
        return nullptr;
    }
}

std::string WarningLine(const std::string& text) { return "警告: " + text + '\n'; }

std::string Label(const CString& strInput, const Place& place) {
    return strInput.Str() + ": " + place.origin + "「" + place.name + "」";
}
}  // namespace

// A place as the unit's formats carry it: CP932 texts cut to their fields, DMS text in Tokyo datum.
struct MapConverter::UnitPoint {
    bool refused = false;  // the unit cannot take it; written nowhere
    std::string name;
    std::string reading;
    std::string digits;
    double latitude = 0;
    double longitude = 0;
    CString latitudeDms;
    CString longitudeDms;
};

MapConverter::MapConverter(std::ostream& out, std::ostream& err, const CliArguments& args)
    : m_out(out), m_err(err), m_args(args) {}

MapConverter::~MapConverter() = default;

std::vector<CString> MapConverter::SplitNames(const CString& strOutput, int count) {
    if (count <= 1) return {strOutput};
    const PathParts parts = SplitPath(strOutput);
    std::vector<CString> names;
    for (int k = 1; k <= count; ++k)
        names.push_back(MakePath(parts.drive, parts.dir, parts.fname + "-" + std::to_string(k).c_str(),
                                 parts.ext.IsEmpty() ? CString() : parts.ext.Mid(1)));
    return names;
}

// One write a line: the error stream is unbuffered, and a file of many points can warn for each.
void MapConverter::Warn(const std::string& text) { m_err << WarningLine(text); }

void MapConverter::Refuse(const CString& strInput, const Place& place, const std::string& why) {
    m_err << Label(strInput, place) + ": " + why + '\n';
    ++m_nRefused;
}

bool MapConverter::ReadFileBytes(const CString& strInput, std::string& bytes) {
    CFile file;
    CFileException error;
    if (!file.Open(strInput, CFile::modeRead, &error)) {
        m_store.ReportOpenError(error);
        return false;
    }
    const std::uint64_t length = file.GetLength();
    if (length > kMaxInputBytes) {
        m_err << "ファイル " << strInput.Str() << " は大きすぎます (" << length / (1024 * 1024)
              << " MB)。読み込めるのは " << kMaxInputBytes / (1024 * 1024) << " MB までです\n";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(length));
    if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length)
        throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
    file.Close();
    return true;
}

bool MapConverter::ReadMemPoints(const CString& strInput, std::vector<Place>& places) {
    if (m_store.Load(strInput) != 0) {
        GetMessageBoxHost().ShowMessageBox("ファイル " + strInput + " の読み込みに失敗しました", "ERROR", kMbOk);
        return false;
    }
    CString text;
    for (int i = 0; i < m_store.GetCount(); ++i) {
        Place place;
        place.origin = "地点 " + std::to_string(i + 1);
        RecordText record;
        m_store.GetName(text, i);
        record.name = text.Str();
        m_store.GetReading(text, i);
        record.reading = text.Str();
        m_store.GetDigits(text, i);
        place.digits = text.Str();
        const bool nameValid = Cp932ToUtf8(record.name, place.name);
        const bool readingValid = Cp932ToUtf8(record.reading, place.reading);
        if (!record.name.empty() || !record.reading.empty()) place.record = std::make_shared<RecordText>(std::move(record));
        if (!readingValid || !nameValid)
            Warn(Label(strInput, place) + ": シフトJISでない文字を U+FFFD にしました");
        place.latitude = m_store.DecodeCoordinate(i, CMemPointStore::latitude) / (3600.0 * 256.0);
        place.longitude = m_store.DecodeCoordinate(i, CMemPointStore::longitude) / (3600.0 * 256.0);
        places.push_back(std::move(place));
    }
    return true;
}

bool MapConverter::Read(const CString& strInput, std::vector<Place>& places, bool& bInputTokyo) {
    try {
        bInputTokyo = true;
        std::string bytes;
        if (!IsMemPointName(strInput) && !ReadFileBytes(strInput, bytes)) return false;
        MapFormat format;
        MapReadResult result;
        if (IsMemPointName(strInput)) {
            if (!ReadMemPoints(strInput, places)) return false;
        } else if (MapFormatFromPath(strInput.Str(), format)) {
            bInputTokyo = false;
            MapReadOptions options;
            options.allPoints = m_args.allPoints;
            result = ReadMapDocument(format, std::move(bytes), strInput.Str(), options);
        } else if (LooksLikeGlorie(bytes)) {
            bInputTokyo = true;
            result = ReadGlorieDocument(bytes, strInput.Str());
        } else {
            m_err << "ファイル " << strInput.Str()
                  << " はメモリーポイントファイルでも glorie 文書でも地図のファイル (GPX, KML, GeoJSON, CSV) でもありません\n";
            return false;
        }
        for (const std::string& warning : result.warnings) Warn(warning);
        m_nRefused += result.refused;
        places.insert(places.end(), result.places.begin(), result.places.end());
    } catch (const MapError& error) {
        m_err << error.what() << '\n';
        return false;
    } catch (const CFileException& error) {
        ReportFileFailure(error);
        return false;
    }
    if (m_args.datum != CliArguments::Datum::native) bInputTokyo = m_args.datum == CliArguments::Datum::tokyo;
    return true;
}

void MapConverter::Shift(std::vector<Place>& places, bool bFromTokyo, bool bToTokyo, const CString& strInput) {
    if (bFromTokyo == bToTokyo) {
        for (Place& place : places) place.method = DatumMethod::none;
        return;
    }
    std::vector<ShiftedPoint> points(places.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        points[i].latitude = places[i].latitude;
        points[i].longitude = places[i].longitude;
    }
    if (bFromTokyo)
        m_shift.TokyoToWgs84(points);
    else
        m_shift.Wgs84ToTokyo(points);
    // Warnings go out 64 KiB at a time: a file of points at sea has one for each.
    std::string warnings;
    for (std::size_t i = 0; i < places.size(); ++i) {
        Place& place = places[i];
        const ShiftedPoint& shifted = points[i];
        place.latitude = shifted.latitude;
        place.longitude = shifted.longitude;
        place.method = shifted.method;
        if (shifted.outsideArea)
            warnings += WarningLine(Label(strInput, place) +
                                    ": 日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)");
        else if (shifted.method == DatumMethod::helmert)
            warnings += WarningLine(Label(strInput, place) + ": 地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました");
        if (warnings.size() >= 65536 || i + 1 == places.size()) {
            m_err << warnings;
            warnings.clear();
        }
    }
}

bool MapConverter::MakeUnitPoints(const std::vector<Place>& places, const CString& strInput,
                                  std::vector<UnitPoint>& points) {
    bool bUsable = true;
    for (const Place& place : places) {
        UnitPoint point;
        if (!(place.latitude >= 0 && place.longitude >= 0 && place.latitude < kMaxUnitDegrees &&
              place.longitude < kMaxUnitDegrees)) {
            Refuse(strInput, place, "南緯または西経の座標はナビに記録できません (緯度 " + Decimal(place.latitude, 7) +
                                        ", 経度 " + Decimal(place.longitude, 7) + ")");
            point.refused = true;
            points.push_back(std::move(point));
            continue;
        }
        std::vector<std::string> unmapped;
        const bool bFromRecord = place.record != nullptr;
        if (bFromRecord) {
            point.name = place.record->name;
            point.reading = place.record->reading;
        } else {
            point.name = Utf8ToCp932(place.name, &unmapped);
            std::string reading = place.reading;
            if (reading.empty() && m_args.guessReadings) {
                if (!m_bGuesserTried) m_guesser = ReadingGuesser::Create();
                m_bGuesserTried = true;
                if (m_guesser) reading = m_guesser->Guess(place.name);
            }
            point.reading = Utf8ToCp932(ToHalfWidthKatakana(reading), &unmapped);
        }
        for (const std::string& character : unmapped) {
            const std::string text = Label(strInput, place) + ": 文字「" + character + "」はナビで表示できません";
            if (m_args.strict) {
                m_err << text << '\n';
            } else {
                Warn(text + "。「?」にしました");
            }
        }
        if (m_args.strict && !unmapped.empty()) bUsable = false;
        point.name = CutField(point.name);
        point.reading = CutField(point.reading);
        point.digits = place.digits;
        point.latitude = place.latitude;
        point.longitude = place.longitude;
        point.latitudeDms = DegreesToDms(place.latitude);
        point.longitudeDms = DegreesToDms(place.longitude);
        points.push_back(std::move(point));
    }
    return bUsable;
}

bool MapConverter::WriteUnit(const std::vector<UnitPoint>& all, const CString& strOutput) {
    std::vector<const UnitPoint*> points;
    for (const UnitPoint& point : all)
        if (!point.refused) points.push_back(&point);
    const bool bMem = m_args.target == CliArguments::Target::mem;
    const int perFile = bMem ? kMemPointsPerFile : kGloriePointsPerFile;
    const int count = static_cast<int>(points.size());
    const int files = count == 0 ? 1 : (count + perFile - 1) / perFile;
    const std::vector<CString> names = SplitNames(strOutput, files);
    OutputSet set(strOutput);
    for (int k = 0; k < files; ++k) {
        CFile* file = Open(set, names[k]);
        if (!file) return false;
        const int first = k * perFile;
        const int last = std::min(count, first + perFile);
        if (bMem) {
            std::vector<MemPointRecord> records;
            for (int i = first; i < last; ++i)
                records.push_back({points[i]->name, points[i]->reading, points[i]->digits, points[i]->latitude,
                                   points[i]->longitude});
            const std::string image = EncodeMemPointFile(records);
            file->Write(image.data(), static_cast<unsigned>(image.size()));
        } else {
            m_table.Reset();
            for (int i = first; i < last; ++i) {
                const int at = i - first;
                m_table.ResetEntry(at);
                m_table.SetName(points[i]->name.c_str(), at);
                m_table.SetLongitude(points[i]->longitudeDms, at);
                m_table.SetLatitude(points[i]->latitudeDms, at);
                m_table.SetReading(points[i]->reading.c_str(), at);
                m_table.SetDigits(points[i]->digits.c_str(), at);
            }
            m_table.WriteDocument(*file);
        }
        set.Finish(*file);
    }
    set.Commit();
    for (int k = 0; k < files; ++k)
        m_out << m_strFrom << " -> " << names[k].Str() << " (" << (std::min(count, (k + 1) * perFile) - k * perFile) << " 地点)\n";
    return true;
}

bool MapConverter::WriteMap(const std::vector<Place>& places, const CString& strOutput) {
    MapWriteOptions options;
    options.bom = m_args.bom;
    const std::string document = WriteMapDocument(m_args.mapFormat, places, options);
    OutputSet set(strOutput);
    CFile* file = Open(set, strOutput);
    if (!file) return false;
    file->Write(document.data(), static_cast<unsigned>(document.size()));
    set.Commit();
    m_out << m_strFrom << " -> " << strOutput.Str() << " (" << places.size() << " 地点)\n";
    return true;
}

bool MapConverter::Convert(const std::vector<CString>& inputs, const CString& strOutput) {
    m_nRefused = 0;
    bool bUsable = true;
    std::vector<Place> all;
    std::vector<UnitPoint> points;
    for (const CString& input : inputs) {
        std::vector<Place> places;
        bool bInputTokyo = true;
        if (!Read(input, places, bInputTokyo)) return false;
        try {
            Shift(places, bInputTokyo, TargetIsTokyo(), input);
        } catch (const MapError& error) {
            m_err << error.what() << '\n';
            return false;
        }
        if (TargetIsTokyo())
            bUsable = MakeUnitPoints(places, input, points) && bUsable;
        else
            all.insert(all.end(), std::make_move_iterator(places.begin()), std::make_move_iterator(places.end()));
    }
    if (!bUsable) {
        m_err << "表示できない文字があるため (--strict)、" << strOutput.Str() << " は書きませんでした\n";
        return false;
    }
    std::ostringstream from;
    for (size_t i = 0; i < inputs.size(); ++i) from << (i ? ", " : "") << inputs[i].Str();
    m_strFrom = from.str();
    bool bWritten = false;
    try {
        bWritten = TargetIsTokyo() ? WriteUnit(points, strOutput) : WriteMap(all, strOutput);
    } catch (const CFileException& error) {
        ReportFileFailure(error);
        return false;
    }
    m_out.flush();
    if (m_nRefused > 0) m_err << m_strFrom << ": " << m_nRefused << " 地点は変換できませんでした\n";
    return bWritten && m_nRefused == 0;
}

bool MapConverter::List(const CString& strInput, bool bFirst) {
    m_nRefused = 0;
    std::vector<Place> places;
    bool bInputTokyo = true;
    if (!Read(strInput, places, bInputTokyo)) return false;
    std::vector<Place> tokyo = places;
    std::vector<Place> wgs84 = places;
    std::vector<UnitPoint> points;
    try {
        Shift(tokyo, bInputTokyo, true, strInput);
        Shift(wgs84, bInputTokyo, false, strInput);
    } catch (const MapError& error) {
        m_err << error.what() << '\n';
        return false;
    }
    MakeUnitPoints(tokyo, strInput, points);
    if (!bFirst) m_out << '\n';
    m_out << strInput.Str() << " (" << places.size() << " 地点)\n"
          << "番号\t名称\t読み\t緯度\t経度\t数字\t緯度(WGS84)\t経度(WGS84)\t測地系変換\t元の名称\n";
    for (size_t i = 0; i < places.size(); ++i) {
        const Place& shifted = bInputTokyo ? wgs84[i] : tokyo[i];
        m_out << (i + 1) << '\t';
        // Points the unit cannot take have no unit columns.
        if (!points[i].refused) {
            const UnitPoint& point = points[i];
            CString latitude = point.latitudeDms;
            CString longitude = point.longitudeDms;
            DmsToDegreeText(latitude);
            DmsToDegreeText(longitude);
            m_out << Cp932ToTerminal(point.name) << '\t' << Cp932ToTerminal(point.reading) << '\t' << latitude.Str()
                  << '\t' << longitude.Str() << '\t';
        } else {
            m_out << "\t\t\t\t";
        }
        m_out << Cp932ToTerminal(places[i].digits) << '\t' << Decimal(wgs84[i].latitude, 7) << '\t'
              << Decimal(wgs84[i].longitude, 7) << '\t' << DatumMethodName(shifted.method) << '\t'
              << Utf8ToTerminal(places[i].name) << '\n';
    }
    m_out.flush();
    return m_nRefused == 0;
}
