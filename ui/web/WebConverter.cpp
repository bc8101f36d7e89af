#include "ui/web/WebConverter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "glorie/FileErrorText.h"
#include "maps/BatchPlan.h"
#include "maps/Conversion.h"
#include "maps/FormatRegistry.h"
#include "maps/MapError.h"
#include "maps/ReadingGuesser.h"
#include "maps/UnitFields.h"
#include "maps/UserReadings.h"
#include "platform/CFile.h"
#include "platform/CSaveFile.h"
#include "platform/CFileException.h"
#include "platform/Cp932Text.h"

using nlohmann::json;

namespace {
// What the CLI prints for an angle of WGS 84 in its listing.
std::string Decimal(double value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.7f", value);
    return buffer;
}

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

std::string Utf8(const std::string& cp932) {
    std::string text;
    Cp932ToUtf8(cp932, text);
    return text;
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// An input with names or readings edited on the page, written anew in its own format by that
// format's writer, so that the conversion reads it as it reads any file (the unit's cut and
// refusals included). The unit's formats hold CP932 record texts: an edited one is made here, a
// character the unit cannot show becoming "?" with the CLI's warning. False, with a failure
// message, when the input cannot be read or rewritten.
bool Rewrite(const std::string& input, const json& edits, std::vector<ConversionMessage>& messages) {
    using Kind = ConversionMessage::Kind;
    try {
        CFile file;
        CFileException error;
        if (!file.Open(input.c_str(), CFile::modeRead, &error)) throw error;
        std::string bytes(static_cast<std::size_t>(file.GetLength()), '\0');
        if (!bytes.empty() && file.Read(&bytes[0], static_cast<unsigned>(bytes.size())) != bytes.size())
            throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
        file.Close();
        const Format* format = FormatRegistry::ForInput(input, bytes);
        if (!format) return true;  // the conversion says what it is not
        MapReadResult read = format->read(std::move(bytes), input, ReadOptions());
        // One file of the format holds so many points (the unit's table has room for 700).
        if (format->pointsPerFile > 0 && read.places.size() > static_cast<std::size_t>(format->pointsPerFile)) {
            messages.push_back({Kind::failure, input + ": " + std::to_string(read.places.size()) + " 地点あるため、編集を反映できません (" +
                                                   format->title + "は 1 ファイル " + std::to_string(format->pointsPerFile) + " 地点まで)"});
            return false;
        }
        for (const auto& [index, edit] : edits.items()) {
            const std::size_t at = std::stoul(index);
            if (at >= read.places.size()) continue;
            Place& place = read.places[at];
            if (edit.contains("name")) place.name = edit["name"].get<std::string>();
            if (edit.contains("reading")) place.SetReading(edit["reading"].get<std::string>());
            if (!format->unit) {
                place.ClearRecord();
                continue;
            }
            // A point the unit's file gave no record of (a glorie point) starts from the texts it has,
            // so that editing its name keeps its reading.
            RecordText record = place.Record() ? *place.Record() : UnitRecord(place);
            std::vector<std::string> unmapped;
            if (edit.contains("name")) record.name = CutUnitField(Utf8ToCp932(place.name, &unmapped));
            // A typed reading becomes half-width katakana, as the core makes one from a map's reading.
            if (edit.contains("reading"))
                record.reading = CutUnitField(Utf8ToCp932(ToHalfWidthKatakana(place.Reading()), &unmapped));
            for (const std::string& character : unmapped)
                messages.push_back({Kind::warning, input + ": " + place.origin.Text() + "「" + place.name + "」: 文字「" + character +
                                                       "」はナビで表示できません。「?」にしました"});
            place.SetRecord(std::move(record));
        }
        CSaveFile out;
        if (!out.Open(input.c_str(), &error)) throw error;
        format->write(out, read.places.data(), read.places.size(), WriteOptions());
        out.Commit();
    } catch (const CFileException& error) {
        messages.push_back({Kind::failure, CommandFailureText(error).Str()});
        return false;
    } catch (const MapError& error) {
        messages.push_back({Kind::failure, error.what()});
        return false;
    }
    return true;
}
}  // namespace

WebConverter::WebConverter() = default;
WebConverter::~WebConverter() = default;

std::string WebConverter::Formats() {
    json formats = json::array();
    for (const Format* format : FormatRegistry::All())
        formats.push_back({{"name", format->name},
                           {"title", format->title},
                           {"extension", format->extensions[0]},
                           {"takesBom", format->takesBom},
                           {"pointsPerFile", format->pointsPerFile}});
    return formats.dump(-1, ' ', false, json::error_handler_t::replace);
}

namespace {
struct Request {
    BatchRequest batch;
    ConversionOptions options;
    std::string to;
};

Request Parse(const json& request) {
    Request parsed;
    BatchRequest& batch = parsed.batch;
    for (const json& input : request.at("inputs")) batch.inputs.emplace_back(input.get<std::string>().c_str());
    parsed.to = request.value("to", std::string("glorie"));
    batch.target = FormatRegistry::Find(parsed.to);
    batch.merge = request.value("merge", false);
    if (batch.merge) {
        batch.output = request.value("output", std::string()).c_str();
        batch.hasOutput = true;
    }
    parsed.options.target = batch.target;
    parsed.options.guessReadings = false;  // unused: each conversion has the page's own (ConversionFor)
    parsed.options.write.bom = request.value("bom", false);
    return parsed;
}

// A call's message lines: the first 500 as JSON for the page to show as paragraphs, every one
// as the CLI prints it into one text, which the page offers as a file. The lines of 100,000
// points are never an object each.
class Lines {
public:
    explicit Lines(std::string& text) : m_text(text) { m_text.clear(); }

    // The line as the CLI prints it; false (nothing added) when said already holds it.
    bool Add(const ConversionMessage& message, std::unordered_set<std::string>* said = nullptr) {
        std::string line = message.kind == ConversionMessage::Kind::warning ? "警告: " + message.text : message.text;
        if (said && !said->insert(line).second) return false;
        if (m_shown.size() < 500) m_shown.push_back({{"kind", KindName(message.kind)}, {"text", message.text}});
        m_text += line;
        m_text += '\n';
        ++m_count;
        return true;
    }
    void Add(const std::vector<ConversionMessage>& messages, std::unordered_set<std::string>* said = nullptr) {
        for (const ConversionMessage& message : messages) Add(message, said);
    }
    json Answer() const { return {{"shown", m_shown}, {"count", m_count}}; }
    std::size_t Count() const { return m_count; }

private:
    std::string& m_text;
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

// A field of the points' text: tab, line break and backslash written as \t, \n, \r, \\.
void AppendField(std::string& out, const std::string& field) {
    for (const char c : field) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

// Web Mercator as the map library projects WGS 84 (EPSG:3857), in world pixels at zoom 0.
constexpr double kPi = 3.14159265358979323846;
double MercatorX(double longitude) { return 256 * (0.5 + longitude / 360); }
double MercatorY(double latitude) {
    const double clamped = std::max(std::min(latitude, 85.0511287798), -85.0511287798) * kPi / 180;
    return 256 * (0.5 - std::log(std::tan(kPi / 4 + clamped / 2)) / (2 * kPi));
}
}  // namespace

Conversion& WebConverter::ConversionFor(const Format* target, bool bom) {
    // A conversion that guesses holds MeCab's dictionary (53 MB): one is kept at a time.
    if (m_guess && !m_conversions.count({target, bom})) m_conversions.clear();
    std::unique_ptr<Conversion>& kept = m_conversions[{target, bom}];
    if (!kept) {
        ConversionOptions options;
        options.target = target;
        options.guessReadings = m_guess;
        options.userReadings = m_userReadings;
        options.write.bom = bom;
        kept = std::make_unique<Conversion>(options);
    }
    return *kept;
}

std::string WebConverter::Convert(const std::string& requestText) {
    const json request = json::parse(requestText);
    Request parsed = Parse(request);
    const auto start = std::chrono::steady_clock::now();
    json answer = {{"jobs", json::array()}, {"plan", ""}, {"generated", json::array()}};
    Lines lines(m_lineText);
    m_said.clear();
    if (request.contains("edits")) {
        std::vector<ConversionMessage> editMessages;
        for (const auto& [input, edits] : request["edits"].items())
            if (Rewrite(input, edits, editMessages)) answer["generated"].push_back(input);
        lines.Add(editMessages, &m_said);
    }

    std::vector<BatchJob> jobs;
    std::string reason;
    if (!parsed.batch.target) reason = "形式 " + parsed.to + " はありません";
    if (!reason.empty() || !BatchPlan::Make(parsed.batch, jobs, reason)) {
        answer["plan"] = reason;
        lines.Add(ConversionMessage{ConversionMessage::Kind::failure, reason}, &m_said);
    } else {
        Conversion& conversion = ConversionFor(parsed.options.target, parsed.options.write.bom);
        const SinkInto sink(conversion, [&](const ConversionMessage& message) { lines.Add(message, &m_said); });
        for (const BatchJob& job : jobs) {
            const std::size_t firstLine = lines.Count();
            const ConversionResult result = job.memPointRoad ? conversion.ConvertMemPointFile(job.inputs[0], job.output)
                                                             : conversion.Convert(job.inputs, job.output);
            lines.Add(result.messages, &m_said);  // none while the sink takes them
            answer["jobs"].push_back({{"inputs", Names(job.inputs)},
                                      {"output", job.output.Str()},
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
    const auto start = std::chrono::steady_clock::now();
    json answer = {{"lists", json::array()}, {"bounds", nullptr}};
    Lines lines(m_lineText);
    m_points.clear();
    m_pointStarts.clear();
    m_markers.clear();
    bool unread = false;
    double south = 90, north = -90, west = 180, east = -180;
    Conversion& listing = ConversionFor(parsed.options.target, parsed.options.write.bom);
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
            const std::string fields[] = {unit ? "1" : "0",
                                          unit ? Utf8(point.unitName) : std::string(),
                                          unit ? Utf8(point.unitReading) : std::string(),
                                          unit ? std::to_string(point.unitName.size()) : std::string(),
                                          unit ? std::to_string(point.unitReading.size()) : std::string(),
                                          unit ? point.tokyoLatitude.Str() : std::string(),
                                          unit ? point.tokyoLongitude.Str() : std::string(),
                                          Utf8(point.digits),
                                          point.shifted ? "1" : "0",
                                          point.shifted ? Decimal(point.latitude) : std::string(),
                                          point.shifted ? Decimal(point.longitude) : std::string(),
                                          point.method,
                                          point.name,
                                          point.readingGuessed ? "1" : "0"};
            for (std::size_t k = 0; k < sizeof fields / sizeof fields[0]; ++k) {
                if (k) m_points += '\t';
                AppendField(m_points, fields[k]);
            }
            m_points += '\n';
        }
        answer["lists"].push_back({{"input", input.Str()}, {"read", listed.read}, {"ok", listed.ok}, {"count", listed.points.size()}});
    }
    m_pointStarts.push_back(static_cast<std::uint32_t>(m_points.size()));  // the end of the last line

    // The markers sorted by x, five numbers each, so that a map tile finds its own by bisection.
    const std::size_t count = m_markers.size() / 5;
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return m_markers[5 * a] < m_markers[5 * b]; });
    std::vector<double> sorted(m_markers.size());
    for (std::size_t k = 0; k < count; ++k) std::copy_n(&m_markers[5 * order[k]], 5, &sorted[5 * k]);
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
        m_userReadings = fileName.empty() ? nullptr : std::make_shared<const UserReadings>(UserReadings::Load(CString(fileName)));
        answer["count"] = m_userReadings ? m_userReadings->Size() : 0;
        m_conversions.clear();  // each keeps the options it was made with
    } catch (const MapError& error) {
        answer["error"] = error.what();
    }
    return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string WebConverter::SetGuessing(bool guess) {
    m_guess = guess && !ReadingGuesser::Backend().rfind("MeCab ", 0);
    m_conversions.clear();
    return json({{"backend", guess ? ReadingGuesser::Backend() : std::string()}, {"guess", m_guess}})
        .dump(-1, ' ', false, json::error_handler_t::replace);
}
