#pragma once
// The command line of the converter, checked before any file is touched.
#include <string>
#include <vector>

#include "pipeline/BatchPlan.h"
#include "places/Format.h"
#include "places/Place.h"
#include "platform/CString.h"

struct CliArguments {
    enum class Mode {
        convert,
        list,
        help,
        version
    };
    // The datum the inputs' coordinates are in; native: Tokyo for the unit's files, WGS 84 for maps.
    enum class Datum {
        native,
        tokyo,
        wgs84
    };

    Mode mode = Mode::convert;
    std::vector<CString> inputs;
    CString output;  // -o: only with one input, or with --merge
    CString folder;  // -d: outputs go here instead of beside their inputs
    bool hasOutput = false;
    bool hasFolder = false;

    const Format* target = nullptr;  // what is written: --to, else the -o extension, else glorie
    Datum datum = Datum::native;
    // --epoch: today's positions, or JGD2000's as surveyed.
    DatumEpoch epoch = DatumEpoch::today;
    bool merge = false;         // --merge: every input into the one -o output, in order
    bool strict = false;        // --strict: a character the unit cannot show fails its input
    bool guessReadings = true;  // --reading none turns the guessing off
    CString readings;           // --readings: the user's own readings (CSV of name and reading)
    bool verbose = false;       // --verbose: each point's warnings on lines of their own
    // What the options the format table's rows declare set (--all-points, --bom).
    ReadOptions read;
    WriteOptions write;
    // "-" among the inputs: standard input, of --from's format or the one its content shows.
    bool standardInput = false;
    const Format* from = nullptr;
    bool standardOutput = false;  // -o - (or "-" as the input without -o): the one document to standard output

    // Empty when the line is usable; otherwise the one-line reason (UTF-8) it is refused for.
    std::string error;

    // Arguments without the program's own name. Options and inputs may come in any order;
    // "--" makes every later argument an input.
    static CliArguments Parse(const std::vector<std::string>& args);

    // The conversions asked for, for the batch planner.
    BatchRequest Batch() const;

    // --help's list of options, in its order: "--epoch today|jgd2000" and what it does.
    struct HelpLine {
        std::string label;
        std::string text;
    };
    static std::vector<HelpLine> HelpLines();
};
