#include "maps/DialogConversion.h"

#include <cmath>
#include <memory>

#include "maps/BatchPlan.h"
#include "maps/Conversion.h"
#include "maps/FormatRegistry.h"
#include "maps/MapError.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "maps/UserReadings.h"

namespace {
const Format& Glorie() { return *FormatRegistry::Find("glorie"); }

// The options of "quorvel-cli INPUT --to glorie": every other option at its default, but the
// messages in the dialogs' own words (no option named, no map jargon).
ConversionOptions GlorieOptions() {
    ConversionOptions options;
    options.target = &Glorie();
    options.read.plainWords = true;
    return options;
}

// A point the conversion writes into the unit's document, by the rules it refuses the others
// with: a position on a map, not 0/0 ("no position"), neither south nor west. east: 360 for the
// unit's own east-only files.
bool Written(const Place& place, double east) {
    return std::fabs(place.latitude) <= 90 && place.longitude >= -180 && place.longitude <= east &&
           !(place.latitude == 0 && place.longitude == 0) && place.latitude >= 0 && place.longitude >= 0;
}

std::size_t CountWritten(const MapReadResult& read, double east) {
    std::size_t count = 0;
    for (const Place& place : read.places) count += Written(place, east) ? 1 : 0;
    return count;
}
}  // namespace

DialogConversion::DialogConversion(Inputs inputs)
    : m_conversion(std::make_unique<Conversion>(GlorieOptions())), m_inputs(inputs) {}

DialogConversion::~DialogConversion() = default;

std::vector<InputKind> DialogConversion::InputKinds() const {
    std::vector<InputKind> kinds;
    if (m_inputs == Inputs::memPointFiles) return kinds;
    for (const Format* format : FormatRegistry::All()) {
        if (format == FormatRegistry::Find("mem")) continue;  // the dialog's own first entry
        InputKind kind{format->title, {}};
        const auto add = [&kind](const char* extension) {
            if (extension) kind.patterns += (kind.patterns.empty() ? "*" : ";*") + std::string(extension);
        };
        for (const char* extension : format->extensions) add(extension);
        for (const char* extension : format->inputExtensions) add(extension);
        kinds.push_back(std::move(kind));
    }
    return kinds;
}

bool DialogConversion::Takes(const CString& strInput) const {
    if (m_inputs == Inputs::memPointFiles) return false;
    std::vector<BatchJob> jobs;
    std::string reason;
    BatchRequest request;
    request.inputs = {strInput};
    request.target = &Glorie();
    // The road alone is asked here: a name beside itself cannot clash with another input.
    request.output = strInput + ".xml";
    request.hasOutput = true;
    return BatchPlan::Make(request, jobs, reason) && !jobs[0].memPointRoad;
}

MemPointOutcome DialogConversion::ConvertMemPoints(const CString& strInput, const CString& strOutput) {
    return m_conversion->ConvertMemPointDocument(strInput, strOutput);
}

MapConversionOutcome DialogConversion::Convert(const CString& strInput, const CString& strOutput, std::size_t notesKept) {
    MapConversionOutcome outcome;
    BatchRequest request;
    request.inputs = {strInput};
    request.target = &Glorie();
    request.output = strOutput;
    request.hasOutput = true;
    std::vector<BatchJob> jobs;
    std::string reason;
    // The command line's checks: an output over its own input (a glorie document) is refused.
    if (!BatchPlan::Make(request, jobs, reason)) {
        outcome.failures.push_back(reason);
        return outcome;
    }
    // The readings file of its documented places, read again for each conversion so that a line
    // added to it counts at once; what it cannot take is said among the notes.
    std::vector<std::string> warnings;
    m_conversion->SetUserReadings(UserReadings::LoadDialogFiles(warnings));
    for (const std::string& warning : warnings)
        if (outcome.notes.size() < notesKept)
            outcome.notes.push_back("警告: " + warning);
        else
            ++outcome.notesLeftOut;
    // Notes past the kept ones are only counted: a file of 100,000 points at sea has one each.
    m_conversion->SetMessageSink([&](const ConversionMessage& message) {
        switch (message.kind) {
        case ConversionMessage::Kind::written: break;
        case ConversionMessage::Kind::failure: outcome.failures.push_back(message.text); break;
        case ConversionMessage::Kind::warning:
        case ConversionMessage::Kind::refusal:
            if (outcome.notes.size() < notesKept)
                outcome.notes.push_back(message.kind == ConversionMessage::Kind::warning ? "警告: " + message.text : message.text);
            else
                ++outcome.notesLeftOut;
            break;
        }
    });
    const ConversionResult result = m_conversion->Convert(jobs[0].inputs, jobs[0].output);
    m_conversion->SetMessageSink(nullptr);
    outcome.outputs = result.outputs;
    outcome.points = result.written;
    return outcome;
}

bool DialogConversion::CountPoints(const CString& strInput, std::size_t& points) {
    points = 0;
    if (!Takes(strInput)) return false;
    std::string bytes;
    // A failure here only leaves the names unshown: the conversion reads the file again and says why.
    try {
        CFile file;
        CFileException error;
        if (!file.Open(strInput, CFile::modeRead | CFile::shareDenyWrite, &error)) return false;
        const std::uint64_t length = file.GetLength();
        if (length > kMaxInputBytes) return false;
        bytes.resize(static_cast<std::size_t>(length));
        if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length) return false;
        file.Close();
    } catch (const CFileException&) {
        return false;
    }
    const Format* format = FormatRegistry::ForInput(strInput.Str(), bytes);
    if (!format) return false;
    const ReadOptions options = GlorieOptions().read;
    const double east = format->unit ? 360 : 180;
    try {
        // A table is read a batch at a time, as the conversion reads a large one.
        if (format->openBatches) {
            const std::unique_ptr<PlaceBatches> batches = format->openBatches(std::move(bytes), strInput.Str(), options);
            for (MapReadResult read; batches->Next(65536, read);) points += CountWritten(read, east);
        } else {
            points = CountWritten(format->read(std::move(bytes), strInput.Str(), options), east);
        }
    } catch (const MapError&) {
        points = 0;
        return false;
    }
    return true;
}

std::vector<CString> DialogConversion::OutputNames(const CString& strOutput, std::size_t points) const {
    const std::size_t perFile = static_cast<std::size_t>(Glorie().pointsPerFile);
    const std::size_t files = points <= perFile ? 1 : (points + perFile - 1) / perFile;
    return Conversion::SplitNames(strOutput, static_cast<int>(files));
}
