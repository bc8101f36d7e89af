#pragma once
// Conversions between every format of the registry: inputs read into places, checked, shifted to
// the datum of the output, made into the unit's records where the output is the unit's, and
// written as one all-or-nothing set, split where the format holds fewer points. Nothing is
// printed: what happened comes back for the front end to show.
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "pipeline/DatumStage.h"
#include "pipeline/InputListing.h"
#include "pipeline/InputLoader.h"
#include "pipeline/InputReader.h"
#include "pipeline/MessageOrder.h"
#include "pipeline/ReadingGiver.h"
#include "pipeline/SetWriter.h"
#include "pipeline/UnitRecords.h"
#include "pipeline/PointEdits.h"
#include "places/Format.h"
#include "places/Place.h"
#include "platform/DataFolder.h"
#include "platform/CFileException.h"
#include "platform/CString.h"

class StandardOutput;
class UserReadings;
struct ConversionInput;
struct UnitTally;

struct ConversionOptions {
    enum class Datum {
        native,
        tokyo,
        wgs84
    };  // native: the input format's own

    const Format* target = nullptr;  // null: a glorie document
    Datum datum = Datum::native;
    DatumEpoch epoch = DatumEpoch::today;              // the positions today's maps get
    bool strict = false;                               // a character the unit cannot show fails the conversion
    bool guessReadings = true;                         // a point without a reading gets one from the guesser
    std::shared_ptr<const UserReadings> userReadings;  // taken before the guesser, when given
    ReadOptions read;
    WriteOptions write;
    InputEdits edits;  // applied by ApplyEdits
    // A table is read a batch of this many rows at a time, its places written as they come, where
    // its places would not fit beside its text (0: 65,536 rows then); with rows set, every table.
    std::size_t batchRows = 0;
    // A warning that comes for many points (a datum shifted by Helmert, a character the unit
    // cannot show) is said on a line of its own for each point; else on one line an input and
    // cause, with the count and the first few points (a cause of one point still says its own).
    bool eachPoint = false;
    // The unit's own road: a memory-point file alone (or a name no format takes, which the unit's
    // reader refuses unopened) into a glorie document goes record for record, every record as
    // the file holds it, nothing checked, shifted or guessed. Off: such a file is read like any map.
    bool recordForRecord = false;
    // The dialog's document on that road: the one file the user named, replaced whole with no set
    // around it (no lock, no record); failures are not said but kept (ConversionResult::stop).
    bool oneDocument = false;
    // Where the datum grid, the gazetteer and the place names' readings are read from.
    DataFolder data = DataFolder::FromEnvironment();
};

struct ConversionResult {
    std::vector<ConversionMessage> messages;  // in the order they happened; none with a sink
    std::vector<CString> outputs;             // the files written (with an output stream: its name, once it went out whole)
    std::size_t written = 0;                  // the points in them
    int refused = 0;                          // points left out
    bool ok = false;                          // written, with every point
    // With an output stream: the files the format would split the output into, when more than
    // one; nothing was written.
    std::size_t splitInto = 0;
    // Where a record-for-record conversion stopped, for a front that words it its own way.
    enum class Stop {
        none,
        notRead,    // the input was refused; readFailure has the store's words (may be empty)
        notOpened,  // the output could not be opened; error has the cause
        failed,     // a file failure while reading or writing: error; the old output untouched
    };
    Stop stop = Stop::none;
    std::string readFailure;
    CFileException error;
};

// One point of a listing: the unit's columns, both datums and how it was shifted.
struct ListedPoint {
    bool hasUnitColumns = false;            // false where the unit cannot take the point
    std::string unitName, unitReading;      // CP932, cut to the unit's fields
    bool readingGuessed = false;            // the reading is the guesser's, not the input's nor the user's
    CString tokyoLatitude, tokyoLongitude;  // the unit's degree text
    std::string digits;
    bool shifted = false;                // false: the WGS 84 columns are empty
    double latitude = 0, longitude = 0;  // WGS 84
    std::string method;                  // grid, helmert (+ the corrections that moved it), none, or why the point cannot be shifted
    std::string name;                    // UTF-8, as read
};

struct ListResult {
    bool read = false;  // false: the input could not be read at all (messages say why)
    std::vector<ListedPoint> points;
    std::vector<ConversionMessage> messages;
    int refused = 0;  // points left out, by the reader and for the unit
    bool ok = false;
};

class Conversion {
public:
    explicit Conversion(ConversionOptions options);
    ~Conversion();
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    const Format& Target() const { return *m_options.target; }

    // Messages go to sink as they happen instead of into the results: a file of a hundred
    // thousand points at sea has a warning for each.
    using MessageSink = std::function<void(const ConversionMessage&)>;
    void SetMessageSink(MessageSink sink);
    // The user's readings of later conversions (null: none).
    void SetUserReadings(std::shared_ptr<const UserReadings> readings) { m_options.userReadings = std::move(readings); }
    // Later conversions write their one document into stream (named strOutput in what is said)
    // instead of a set of files, and finish it; null: files again. Nothing of an output the format
    // would split goes out. A failure is said; the stream tells whether bytes went out before it.
    void SetOutputStream(StandardOutput* stream) { m_stream = stream; }
    // Whether a memory-point file alone goes record for record in later conversions.
    void SetRecordForRecord(bool bRecordForRecord) { m_options.recordForRecord = bRecordForRecord; }
    // The bytes of the input named "-" (standard input, read by the front), of format, or of the
    // format their content shows when null.
    void SetStandardInput(std::string bytes, const Format* format);

    // The options' edits replaced (a conversion kept from run to run); the documents edited
    // before are forgotten.
    void SetEdits(InputEdits edits);
    // Each input of the edits, in the order of their names, read, edited and written into the
    // edits' folder under its name; every later conversion and listing of that input reads the
    // edited document. The inputs so edited come back.
    std::vector<CString> ApplyEdits(std::vector<ConversionMessage>& messages);

    // The inputs, in order, into the output named strOutput (split into numbered files where the
    // format holds fewer points). Nothing is written for inputs that yield no point to write. A
    // memory-point file alone goes record for record where the options ask (recordForRecord).
    ConversionResult Convert(const std::vector<CString>& inputs, const CString& strOutput);
    // The points of one input as the unit and today's maps get them.
    ListResult List(const CString& strInput);

    // The names the output takes: strOutput itself, or NAME-1.ext, NAME-2.ext, ... for count files,
    // numbered as wide as count (NAME-01 ... NAME-15, NAME-001 from 100).
    static std::vector<CString> SplitNames(const CString& strOutput, int count);

private:
    class Feed;

    // The unit's own road (ConversionOptions::recordForRecord) for these inputs.
    bool RecordForRecord(const std::vector<CString>& inputs) const;
    ConversionResult ConvertRecords(const CString& strInput, const CString& strOutput);
    // The places of (a batch of) an input made ready for the target, the refused ones dropped;
    // false when the unit cannot show a character and --strict refuses it. A pass for one step's
    // messages stops after that step (last).
    bool Prepare(ConversionInput& input, UnitTally& tally, std::vector<ConversionMessage>& messages, MessageOrder::Step last);
    void Write(Feed& feed, const CString& strOutput, const std::vector<CString>& inputs, ConversionResult& result);

    ConversionOptions m_options;
    // The stages, each referring to m_options, all saying through m_say.
    MessageOrder m_say;
    InputLoader m_loader;
    InputReader m_reader;
    DatumStage m_datum;
    ReadingGiver m_readings;
    UnitRecords m_unit;
    SetWriter m_writer;
    InputListing m_listing;
    StandardOutput* m_stream = nullptr;
};
