#include "maps/DialogConversion.h"

#include "maps/BatchPlan.h"
#include "maps/Conversion.h"
#include "maps/FormatRegistry.h"
#include "maps/UserReadings.h"

namespace {
const Format& Glorie() { return *FormatRegistry::Find("glorie"); }

// The options of "quorvel-cli INPUT --to glorie": every other option at its default.
ConversionOptions GlorieOptions() {
    ConversionOptions options;
    options.target = &Glorie();
    return options;
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
    return outcome;
}
