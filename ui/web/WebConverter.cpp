#include "ui/web/WebConverter.h"

#include <cstdio>
#include <map>
#include <memory>
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
#include "platform/CFile.h"
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

json Messages(const std::vector<ConversionMessage>& messages) {
    json out = json::array();
    for (const ConversionMessage& message : messages) out.push_back({{"kind", KindName(message.kind)}, {"text", message.text}});
    return out;
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

// One point as the CLI's listing shows it, the unit's texts in UTF-8 and their CP932 lengths
// (the unit keeps 16 bytes).
json Point(const ListedPoint& point) {
    json row = {{"hasUnit", point.hasUnitColumns}, {"digits", Utf8(point.digits)}, {"shifted", point.shifted},
                {"method", point.method}, {"name", point.name}};
    if (point.hasUnitColumns) {
        row["unitName"] = Utf8(point.unitName);
        row["unitReading"] = Utf8(point.unitReading);
        row["unitNameBytes"] = point.unitName.size();
        row["unitReadingBytes"] = point.unitReading.size();
        row["tokyoLatitude"] = point.tokyoLatitude.Str();
        row["tokyoLongitude"] = point.tokyoLongitude.Str();
    }
    if (point.shifted) {
        row["latitude"] = Decimal(point.latitude);
        row["longitude"] = Decimal(point.longitude);
        row["lat"] = point.latitude;
        row["lon"] = point.longitude;
    }
    return row;
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
        for (const auto& [index, edit] : edits.items()) {
            const std::size_t at = std::stoul(index);
            if (at >= read.places.size()) continue;
            Place& place = read.places[at];
            if (edit.contains("name")) place.name = edit["name"].get<std::string>();
            if (edit.contains("reading")) place.reading = edit["reading"].get<std::string>();
            if (!format->unit) {
                place.record.reset();
                continue;
            }
            RecordText record = place.record ? *place.record : RecordText();
            std::vector<std::string> unmapped;
            if (edit.contains("name")) record.name = CutUnitField(Utf8ToCp932(place.name, &unmapped));
            // A typed reading becomes half-width katakana, as the core makes one from a map's reading.
            if (edit.contains("reading"))
                record.reading = CutUnitField(Utf8ToCp932(ToHalfWidthKatakana(place.reading), &unmapped));
            for (const std::string& character : unmapped)
                messages.push_back({Kind::warning, input + ": " + place.origin + "「" + place.name + "」: 文字「" + character +
                                                       "」はナビで表示できません。「?」にしました"});
            place.record = std::make_shared<const RecordText>(std::move(record));
        }
        CFile out;
        if (!out.Open(input.c_str(), CFile::modeCreate | CFile::modeWrite, &error)) throw error;
        format->write(out, read.places.data(), read.places.size(), WriteOptions());
        out.Close();
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

std::string WebConverter::Run(const std::string& requestText) {
    const json request = json::parse(requestText);
    BatchRequest batch;
    for (const json& input : request.at("inputs")) batch.inputs.emplace_back(input.get<std::string>().c_str());
    batch.target = FormatRegistry::Find(request.value("to", std::string("glorie")));
    batch.merge = request.value("merge", false);
    if (batch.merge) {
        batch.output = request.value("output", std::string()).c_str();
        batch.hasOutput = true;
    }

    ConversionOptions options;
    options.target = batch.target;
    options.guessReadings = false;  // the page carries no dictionary: --reading none
    options.write.bom = request.value("bom", false);

    json answer = {{"lists", json::array()}, {"jobs", json::array()}, {"plan", ""}, {"generated", json::array()}};
    std::vector<ConversionMessage> editMessages;
    if (request.contains("edits"))
        for (const auto& [input, edits] : request["edits"].items())
            if (Rewrite(input, edits, editMessages)) answer["generated"].push_back(input);
    answer["editMessages"] = Messages(editMessages);

    Conversion listing(options);
    for (const CString& input : batch.inputs) {
        const ListResult listed = listing.List(input);
        json points = json::array();
        for (const ListedPoint& point : listed.points) points.push_back(Point(point));
        answer["lists"].push_back({{"input", input.Str()},
                                   {"read", listed.read},
                                   {"ok", listed.ok},
                                   {"points", std::move(points)},
                                   {"messages", Messages(listed.messages)}});
    }

    std::vector<BatchJob> jobs;
    std::string reason;
    if (!batch.target) {
        answer["plan"] = "形式 " + request.value("to", std::string()) + " はありません";
    } else if (!BatchPlan::Make(batch, jobs, reason)) {
        answer["plan"] = reason;
    } else {
        Conversion conversion(options);
        for (const BatchJob& job : jobs) {
            const ConversionResult result = job.memPointRoad ? conversion.ConvertMemPointFile(job.inputs[0], job.output)
                                                             : conversion.Convert(job.inputs, job.output);
            answer["jobs"].push_back({{"inputs", Names(job.inputs)},
                                      {"output", job.output.Str()},
                                      {"ok", result.ok},
                                      {"outputs", Names(result.outputs)},
                                      {"messages", Messages(result.messages)}});
        }
    }
    return answer.dump(-1, ' ', false, json::error_handler_t::replace);
}
