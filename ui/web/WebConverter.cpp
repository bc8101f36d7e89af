#include "ui/web/WebConverter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "formats/FormatRegistry.h"
#include "pipeline/BatchPlan.h"
#include "pipeline/Conversion.h"
#include "pipeline/PointListing.h"
#include "platform/HostSystem.h"
#include "readings/ReadingGuesser.h"
#include "readings/UserReadings.h"
#include "text/MapError.h"
#include "ui/web/WebProtocol.h"

using nlohmann::json;

namespace {
const char* KindName(ConversionMessage::Kind kind) {
    switch (kind) {
    case ConversionMessage::Kind::written:
        return "written";
    case ConversionMessage::Kind::warning:
        return "warning";
    case ConversionMessage::Kind::refusal:
        return "refusal";
    case ConversionMessage::Kind::failure:
        break;
    }
    return "failure";
}

json Names(const std::vector<CString>& names) {
    json out = json::array();
    for (const CString& name : names) out.push_back(name.Str());
    return out;
}

// Since a MonotonicMicroseconds() reading; 0 when the clock could not be read.
double Milliseconds(std::int64_t since) {
    const std::int64_t now = MonotonicMicroseconds();
    return since < 0 || now < since ? 0.0 : static_cast<double>(now - since) / 1000.0;
}
}  // namespace

WebConverter::WebConverter() = default;
WebConverter::~WebConverter() = default;

namespace {
// An option as the page shows it: its word, what it is of, its value and its help in either language.
json OptionJson(const FormatOption& option) {
    json choices = json::array();
    for (const char* choice : option.choices)
        if (choice) choices.push_back(choice);
    const FormatOptionType type = option.type;
    return {{"word", option.word},
            {"use", option.use == FormatOptionUse::read ? "read" : "write"},
            {"type", type == FormatOptionType::flag ? "flag" : type == FormatOptionType::number ? "number"
                                                                                                : "choice"},
            {"choices", choices},
            {"minimum", option.minimum},
            {"maximum", option.maximum},
            {"help", option.japanese},
            {"helpEnglish", option.english}};
}
}  // namespace

std::string WebConverter::Formats() {
    json formats = json::array();
    for (const Format* format : FormatRegistry::All()) {
        json options = json::array();
        for (const FormatOption* option : format->options)
            if (option) options.push_back(OptionJson(*option));
        formats.push_back({{"name", format->name},
                           {"title", format->title},
                           {"inputTitle", FormatRegistry::InputTitle(*format)},
                           {"inputTitleEnglish", FormatRegistry::InputTitle(*format, true)},
                           {"extension", format->extensions[0]},
                           {"options", options},
                           {"pointsPerFile", format->pointsPerFile}});
    }
    return formats.dump(-1, ' ', false, json::error_handler_t::replace);
}

namespace {
struct Request {
    BatchRequest batch;
    ConversionOptions options;
    std::string to;
    std::string formatOptions;  // the format options given, in order: "--bom=1;"
};

Request Parse(const json& request) {
    namespace protocol = web_protocol;
    Request parsed;
    BatchRequest& batch = parsed.batch;
    for (const json& input : request.at(protocol::kInputs)) batch.inputs.emplace_back(input.get<std::string>().c_str());
    parsed.to = request.value(protocol::kTo, std::string("glorie"));
    batch.target = FormatRegistry::Find(parsed.to);
    batch.merge = request.value(protocol::kMerge, false);
    if (batch.merge) {
        batch.output = request.value(protocol::kOutput, std::string()).c_str();
        batch.hasOutput = true;
    }
    parsed.options.target = batch.target;
    parsed.options.guessReadings = false;  // unused: each conversion has the page's own (ConversionFor)
    // {word: value}: the options the rows declare, as the page shows them (1 or 0 for a flag, the
    // number, or the choice's index); one the output's format does not take is not sent.
    if (request.contains(protocol::kFormatOptions)) {
        for (const auto& given : request[protocol::kFormatOptions].items()) {
            const std::string word = given.key();
            const int value = given.value().get<int>();
            const auto& known = FormatRegistry::Options();
            const auto option = std::find_if(known.begin(), known.end(), [&](const FormatOption* o) { return word == o->word; });
            if (option == known.end()) throw std::invalid_argument("no format takes the option " + word);
            (*option)->apply(parsed.options.read, parsed.options.write, value);
            parsed.formatOptions += word + "=" + std::to_string(value) + ";";
        }
    }
    parsed.options.epoch = request.value(protocol::kEpoch, std::string()) == "jgd2000" ? DatumEpoch::jgd2000 : DatumEpoch::today;
    // {input: {point index: {name, reading}}}, the edited inputs written into the job's folder.
    if (request.contains(protocol::kEdits)) {
        for (const auto& [input, points] : request[protocol::kEdits].items())
            for (const auto& [index, edit] : points.items()) {
                PointEdit& point = parsed.options.edits.points[input][std::stoul(index)];
                point.hasName = edit.contains(protocol::kEditName);
                if (point.hasName) point.name = edit[protocol::kEditName].get<std::string>();
                point.hasReading = edit.contains(protocol::kEditReading);
                if (point.hasReading) point.reading = edit[protocol::kEditReading].get<std::string>();
            }
    }
    parsed.options.edits.folder = CString(protocol::kEditedFolder);
    return parsed;
}

// The zip of a job's set: its output's name with the zip's extension for its own.
std::string ZipName(const std::string& output) {
    return output.substr(0, output.rfind('.')) + web_protocol::kZipExtension;
}

// A call's message lines: the first 500 (kShownLines) as JSON for the page to show as paragraphs, every one
// as the CLI prints it into one text, which the page offers as a file. The lines of 100,000
// points are never an object each.
class Lines {
public:
    Lines(std::string& text, Language language) : m_text(text), m_language(language) { m_text.clear(); }

    // The line as the CLI prints it, in the page's language; false (nothing added) when said
    // already holds it.
    bool Add(const ConversionMessage& message, SaidLines* said = nullptr) {
        const bool japanese = m_language == Language::ja;
        if (!japanese) m_words = message.Words(m_language);
        const std::string& words = japanese ? message.text : m_words;
        m_line.clear();
        if (message.kind == ConversionMessage::Kind::warning)
            AppendWords(m_line, {MessageId::warningLine, Message()}, m_language);
        m_line += words;
        if (said && !said->Insert(m_line)) return false;
        if (m_shown.size() < web_protocol::kShownLines) m_shown.push_back({{"kind", KindName(message.kind)}, {"text", words}});
        m_text += m_line;
        m_text += '\n';
        ++m_count;
        return true;
    }
    void Add(const std::vector<ConversionMessage>& messages, SaidLines* said = nullptr) {
        for (const ConversionMessage& message : messages) Add(message, said);
    }
    json Answer() const { return {{"shown", m_shown}, {"count", m_count}}; }
    std::size_t Count() const { return m_count; }

private:
    std::string& m_text;
    Language m_language;
    std::string m_words;  // a message's words in a language other than its text's
    std::string m_line;   // the line being added, its room kept from line to line
    json m_shown = json::array();
    std::size_t m_count = 0;
};

// The conversion's messages go to lines as they happen, not into one vector of them, for the
// length of one call.
class SinkInto {
public:
    SinkInto(Conversion& conversion, std::function<void(const ConversionMessage&)> sink) : m_conversion(conversion) {
        m_conversion.SetMessageSink(std::move(sink));
    }
    ~SinkInto() { m_conversion.SetMessageSink(nullptr); }
    SinkInto(const SinkInto&) = delete;
    SinkInto& operator=(const SinkInto&) = delete;

private:
    Conversion& m_conversion;
};

// Web Mercator as the map library projects WGS 84 (EPSG:3857), in world pixels at zoom 0.
constexpr double kPi = 3.14159265358979323846;
double MercatorX(double longitude) { return 256 * (0.5 + longitude / 360); }
double MercatorY(double latitude) {
    const double clamped = std::max(std::min(latitude, 85.0511287798), -85.0511287798) * kPi / 180;
    return 256 * (0.5 - std::log(std::tan(kPi / 4 + clamped / 2)) / (2 * kPi));
}
}  // namespace

void WebConverter::SetDataFolder(DataFolder data) {
    m_data = std::move(data);
    m_conversions.clear();  // each kept its grid from the folder before
}

Conversion& WebConverter::ConversionFor(const ConversionOptions& asked, const std::string& formatOptions) {
    const Key key{asked.target, formatOptions, asked.epoch};
    // A conversion that guesses holds MeCab's dictionary (53 MB): one is kept at a time.
    if (m_guess && !m_conversions.count(key)) m_conversions.clear();
    std::unique_ptr<Conversion>& kept = m_conversions[key];
    if (!kept) {
        ConversionOptions options;
        options.target = asked.target;
        options.guessReadings = m_guess;
        options.userReadings = m_userReadings;
        options.read = asked.read;
        options.write = asked.write;
        options.epoch = asked.epoch;
        options.data = m_data;
        kept = std::make_unique<Conversion>(options);
    }
    return *kept;
}

std::string WebConverter::Convert(const std::string& requestText) {
    const json request = json::parse(requestText);
    Request parsed = Parse(request);
    const std::int64_t start = MonotonicMicroseconds();
    json answer = {{"jobs", json::array()}, {"plan", ""}, {"generated", json::array()}};
    Lines lines(m_lineText, m_language);
    m_said.Clear();
    // The edits first, by the conversion this request's listing also reads them with.
    Conversion& conversion = ConversionFor(parsed.options, parsed.formatOptions);
    const SinkInto sink(conversion, [&](const ConversionMessage& message) { lines.Add(message, &m_said); });
    conversion.SetEdits(std::move(parsed.options.edits));
    std::vector<ConversionMessage> editMessages;  // none while the sink takes them
    answer["generated"] = Names(conversion.ApplyEdits(editMessages));
    lines.Add(editMessages, &m_said);

    std::vector<BatchJob> jobs;
    std::string reason;
    Message refused;
    if (!parsed.batch.target) reason = Words({MessageId::noSuchFormat, parsed.to}, m_language);
    else if (!BatchPlan::Make(parsed.batch, jobs, refused)) reason = Words(refused, m_language);
    if (!reason.empty()) {
        answer["plan"] = reason;
        lines.Add(ConversionMessage{ConversionMessage::Kind::failure, reason}, &m_said);
    } else {
        // A memory-point file alone takes the unit's own road; merged, it is read like any map.
        conversion.SetRecordForRecord(!parsed.batch.merge);
        for (const BatchJob& job : jobs) {
            const std::size_t firstLine = lines.Count();
            const ConversionResult result = conversion.Convert(job.inputs, job.output);
            lines.Add(result.messages, &m_said);  // none while the sink takes them
            answer["jobs"].push_back({{"inputs", Names(job.inputs)},
                                      {"output", job.output.Str()},
                                      {"zip", ZipName(job.output.Str())},
                                      {"ok", result.ok},
                                      {"outputs", Names(result.outputs)},
                                      {"refused", result.refused},
                                      {"lines", {firstLine, lines.Count()}}});  // its lines, for the page's summary
        }
    }
    answer["lines"] = lines.Answer();
    answer["ms"] = Milliseconds(start);
    return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string WebConverter::List(const std::string& requestText) {
    Request parsed = Parse(json::parse(requestText));
    const std::int64_t start = MonotonicMicroseconds();
    json answer = {{"lists", json::array()}, {"bounds", nullptr}};
    Lines lines(m_lineText, m_language);
    m_points.clear();
    m_pointStarts.clear();
    m_markers.clear();
    bool unread = false;
    double south = 90, north = -90, west = 180, east = -180;
    Conversion& listing = ConversionFor(parsed.options, parsed.formatOptions);
    const SinkInto sink(listing, [&](const ConversionMessage& message) { lines.Add(message, &m_said); });
    for (const CString& input : parsed.batch.inputs) {
        const ListResult listed = listing.List(input);
        lines.Add(listed.messages, &m_said);  // none while the sink takes them
        for (const ListedPoint& point : listed.points) {
            const bool unit = point.hasUnitColumns;
            unread = unread || (unit && point.unitReading.empty());
            if (point.shifted) {
                const double row = static_cast<double>(m_pointStarts.size());
                m_markers.insert(m_markers.end(), {MercatorX(point.longitude), MercatorY(point.latitude), row, point.latitude, point.longitude});
                south = std::min(south, point.latitude), north = std::max(north, point.latitude);
                west = std::min(west, point.longitude), east = std::max(east, point.longitude);
            }
            m_pointStarts.push_back(static_cast<std::uint32_t>(m_points.size()));
            PointListing::AppendPageLine(m_points, point);
        }
        answer["lists"].push_back({{"input", input.Str()}, {"read", listed.read}, {"ok", listed.ok}, {"count", listed.points.size()}});
    }
    m_pointStarts.push_back(static_cast<std::uint32_t>(m_points.size()));  // the end of the last line

    // The markers sorted by x, so that a map tile finds its own by bisection.
    constexpr std::size_t n = web_protocol::kMarkerNumbers;
    const std::size_t count = m_markers.size() / n;
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return m_markers[n * a] < m_markers[n * b]; });
    std::vector<double> sorted(m_markers.size());
    for (std::size_t k = 0; k < count; ++k) std::copy_n(&m_markers[n * order[k]], n, &sorted[n * k]);
    m_markers.swap(sorted);
    if (count) answer["bounds"] = {{south, west}, {north, east}};

    answer["lines"] = lines.Answer();
    answer["unread"] = unread;
    answer["ms"] = Milliseconds(start);
    return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string WebConverter::SetReadings(const std::string& fileName) {
    json answer;
    try {
        std::vector<Message> warnings;
        m_userReadings = fileName.empty() ? nullptr : std::make_shared<const UserReadings>(UserReadings::Load(CString(fileName), warnings));
        answer["count"] = m_userReadings ? m_userReadings->Size() : 0;
        answer["warnings"] = json::array();
        for (const Message& warning : warnings) answer["warnings"].push_back(Words(warning, m_language));
        m_conversions.clear();  // each keeps the options it was made with
    } catch (const MapError& error) {
        answer["error"] = Words(error.Said(), m_language);
    }
    return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string WebConverter::SetGuessing(bool guess) {
    m_guess = guess && !ReadingGuesser::Backend().rfind("MeCab ", 0);
    m_conversions.clear();
    return json({{"backend", guess ? ReadingGuesser::Backend() : std::string()}, {"guess", m_guess}})
        .dump(-1, ' ', false, json::error_handler_t::replace);
}
