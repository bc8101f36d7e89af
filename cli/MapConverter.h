#pragma once
// Conversions that involve today's map formats or more than one output file: any input
// (memory-point file, glorie document, GPX, KML, GeoJSON, CSV) read into places, shifted to the
// datum of the output, and written as one all-or-nothing set.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "convert/CPoiTable.h"
#include "maps/DatumShift.h"
#include "maps/MapReader.h"
#include "maps/Place.h"
#include "maps/ReadingGuesser.h"
#include "mempoint/CMemPointStore.h"

class MapConverter {
public:
    // Inputs larger than this are refused before they are read.
    static constexpr unsigned long long kMaxInputBytes = kMaxMapDocumentBytes;

    MapConverter(std::ostream& out, std::ostream& err, const CliArguments& args);
    ~MapConverter();
    MapConverter(const MapConverter&) = delete;
    MapConverter& operator=(const MapConverter&) = delete;

    // The inputs, in order, into the output named strOutput (split into numbered files where the
    // format holds fewer points). False when anything failed; refused points fail the run too.
    bool Convert(const std::vector<CString>& inputs, const CString& strOutput);
    // The points of one input as the unit and today's maps get them.
    bool List(const CString& strInput, bool bFirst);

    // The names the output takes: strOutput itself, or NAME-1.ext, NAME-2.ext, ... for count files.
    static std::vector<CString> SplitNames(const CString& strOutput, int count);

private:
    struct UnitPoint;

    bool Read(const CString& strInput, std::vector<Place>& places, bool& bInputTokyo);
    bool ReadMemPoints(const CString& strInput, std::vector<Place>& places);
    bool ReadFileBytes(const CString& strInput, std::string& bytes);
    void Shift(std::vector<Place>& places, bool bFromTokyo, bool bToTokyo, const CString& strInput);
    bool MakeUnitPoints(const std::vector<Place>& places, const CString& strInput, std::vector<UnitPoint>& points);
    bool WriteUnit(const std::vector<UnitPoint>& points, const CString& strOutput);
    bool WriteMap(const std::vector<Place>& places, const CString& strOutput);
    void Warn(const std::string& text);
    void Refuse(const CString& strInput, const Place& place, const std::string& why);
    bool TargetIsTokyo() const { return m_args.target != CliArguments::Target::map; }

    std::ostream& m_out;
    std::ostream& m_err;
    const CliArguments& m_args;
    DatumShift m_shift;
    std::unique_ptr<ReadingGuesser> m_guesser;
    bool m_bGuesserTried = false;
    int m_nRefused = 0;     // points refused in the conversion under way
    std::string m_strFrom;  // the inputs of the conversion under way, for its summary lines
    CMemPointStore m_store;
    CPoiTable m_table;
};
