#pragma once
// What a file format is to the converter: one row of the format table (FormatRegistry).
#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "places/Place.h"

class ByteSink;

// The largest input read: a parsed document takes several times its size in memory. A GPX of
// 100,000 waypoints is about 12 MB.
constexpr std::size_t kMaxInputBytes = 32u * 1024 * 1024;

// The datum a format's coordinates are in.
enum class FormatDatum {
    tokyo,
    wgs84
};

struct ReadOptions {
    bool allPoints = false;  // GPX: route and track points too, not only waypoints
    // The dialogs' messages: in a driver's words, naming no command-line option ("13 件目" for a
    // GeoJSON feature, lines and areas not read said without --all-points).
    bool plainWords = false;
    // A warning that may come for every point (a control character, a phone number of no
    // digits) on a line of its own for each point; else one line for them all at the file's end.
    bool eachPoint = false;
    // A memory point's texts and digits as the file holds them, control bytes and all, nothing
    // said: the unit's own road copies its records untouched.
    bool asStored = false;
};

struct WriteOptions {
    bool bom = false;         // CSV: a UTF-8 byte-order mark for spreadsheet programs
    bool guessMarks = false;  // CSV: a 推測 column marking the guesser's readings
};

// The places of one document as its writer takes them: a batch at a time, so that a document of
// millions of points is written without them all in memory.
class PlaceSource {
public:
    virtual ~PlaceSource() = default;
    // The next places, at least one; false after the last.
    virtual bool Next(const Place*& places, std::size_t& count) = 0;
    // How many of the document's places have each DatumMethod: a description written before them.
    virtual std::array<std::size_t, 3> Methods() const = 0;
};

// The places of an array, in one batch.
class PlaceArray : public PlaceSource {
public:
    PlaceArray(const Place* places, std::size_t count) : m_places(places), m_count(count) {}
    bool Next(const Place*& places, std::size_t& count) override;
    std::array<std::size_t, 3> Methods() const override;

private:
    const Place* m_places;
    std::size_t m_count;
    bool m_given = false;
};

// A file's places read a batch at a time: a table of millions of short rows, whose places would
// not fit in memory beside its text.
class PlaceBatches {
public:
    virtual ~PlaceBatches() = default;
    // The places of the next rows, at most about rows of them, with the warnings and refusals of
    // those rows (the file's own warnings with the first); false after the last. Throws MapError
    // as read does; a file that fails does so before its first batch.
    virtual bool Next(std::size_t rows, MapReadResult& batch) = 0;
    // Back to the first row: the same batches again, without the file's own warnings.
    virtual void Rewind() = 0;
};

// Whether an option is of reading the inputs or of writing the output.
enum class FormatOptionUse {
    read,
    write
};

enum class FormatOptionType {
    flag,    // no value
    number,  // a whole number from minimum to maximum
    choice   // one of choices
};

// An option a format takes, declared by its row: the command line parses it, --help and the page
// list it, from this alone. Rows that take the same option share one declaration.
struct FormatOption {
    const char* word = nullptr;       // the command line's: "--bom"
    const char* valueName = nullptr;  // --help's name of the value ("数"); null for a flag
    const char* japanese = nullptr;   // help, as --help and the page in Japanese show it
    const char* english = nullptr;    // help, as the page in English shows it
    FormatOptionUse use = FormatOptionUse::read;
    FormatOptionType type = FormatOptionType::flag;
    const char* choices[4] = {};   // a choice's words, in help's order; unused are null
    int minimum = 0, maximum = 0;  // a number's range
    // Sets the options a reader or writer gets: value is 1 for a flag, the number, or the index
    // of the choice among choices.
    void (*apply)(ReadOptions& read, WriteOptions& write, int value) = nullptr;
};

// A row is made by a constexpr function of its format that sets the fields it needs by name
// (constant-initialised, so usable before main); the others keep these defaults.
struct Format {
    const char* name = nullptr;   // --to's word: "gpx"
    const char* title = nullptr;  // for messages and --help: "GPX"
    // Lower case with the full stop, the written one first; unused are null. None for a format
    // only read, known by its content.
    const char* extensions[3] = {};
    const char* inputExtensions[2] = {};  // read as this format, never written: ".txt" for CSV
    FormatDatum datum = FormatDatum::wgs84;
    // The navigation unit's own files: names and readings are its CP932 record texts, cut to its
    // fields, and points south or west are refused.
    bool unit = false;
    int pointsPerFile = 0;  // a larger output is split into NAME-1, NAME-2, ...; 0: no limit
    // Read by content rather than by extension: true when the bytes are of this format.
    bool (*recognise)(const std::string& bytes) = nullptr;
    // Names and readings UTF-8 (and, for the unit's files, the record texts kept); coordinates as
    // the file has them. bytes is taken by value because some formats are parsed in it, in place.
    // Throws MapError (naming fileName and the line or feature) for a file that is not of the
    // format or has no points; points that cannot be used are refused in the result.
    MapReadResult (*read)(std::string bytes, const std::string& fileName, const ReadOptions& options) = nullptr;
    // The places as one document into sink; coordinates in the format's datum. Throws what the
    // sink throws (CFileException for a file), MapError for a point the format cannot hold.
    void (*write)(ByteSink& sink, PlaceSource& places, const WriteOptions& options);
    const char* englishTitle = nullptr;  // the page in English: "glorie documents"; null: the title serves
    // For a format whose files may hold more places than memory: read, a batch at a time (throws
    // MapError as read does, for a file it cannot begin to read); null where read serves alone.
    std::unique_ptr<PlaceBatches> (*openBatches)(std::string bytes, const std::string& fileName,
                                                 const ReadOptions& options) = nullptr;
    const FormatOption* options[3] = {};  // the options it takes, in --help's order; unused are null
    // write (null for a format only read, known by its content) has no default: a row is made
    // by Format{} and so starts null.
};

// places[0..count) as one document of format into sink.
void WritePlaces(const Format& format, ByteSink& sink, const Place* places, std::size_t count, const WriteOptions& options);
