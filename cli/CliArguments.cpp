#include "cli/CliArguments.h"

#include "maps/FormatRegistry.h"

namespace {
CliArguments Refuse(std::string reason) {
    CliArguments refused;
    refused.error = std::move(reason);
    return refused;
}

// Options that take a value: the value, or the reason the line is refused.
const char* const kValueOptions[] = {"-o", "-d", "--to", "--datum", "--reading", "--readings"};
}  // namespace

CliArguments CliArguments::Parse(const std::vector<std::string>& args) {
    CliArguments parsed;
    bool optionsEnded = false;
    std::vector<std::string> seen;
    std::string to;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            parsed.inputs.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "--version") {
            parsed.mode = arg == "--help" ? Mode::help : Mode::version;
            return parsed;
        }
        bool takesValue = false;
        for (const char* option : kValueOptions) takesValue = takesValue || arg == option;
        bool known = takesValue;
        for (const char* flag : {"--list", "--bom", "--merge", "--strict", "--all-points"}) known = known || arg == flag;
        if (!known) return Refuse("不明なオプションです: " + arg);
        for (const std::string& earlier : seen)
            if (earlier == arg) return Refuse("オプション " + arg + " が二度指定されています");
        seen.push_back(arg);
        if (!takesValue) {
            if (arg == "--list") parsed.mode = Mode::list;
            parsed.bom = parsed.bom || arg == "--bom";
            parsed.merge = parsed.merge || arg == "--merge";
            parsed.strict = parsed.strict || arg == "--strict";
            parsed.allPoints = parsed.allPoints || arg == "--all-points";
            continue;
        }
        if (i + 1 == args.size()) return Refuse("オプション " + arg + " には引数が必要です");
        const std::string value = args[++i];
        if (arg == "-o") {
            parsed.hasOutput = true;
            parsed.output = CString(value);
        } else if (arg == "-d") {
            parsed.hasFolder = true;
            parsed.folder = CString(value);
        } else if (arg == "--to") {
            to = value;
        } else if (arg == "--datum") {
            if (value != "tokyo" && value != "wgs84") return Refuse("--datum は tokyo か wgs84 です: " + value);
            parsed.datum = value == "tokyo" ? Datum::tokyo : Datum::wgs84;
        } else if (arg == "--readings") {
            if (value.empty()) return Refuse("--readings のファイル名が空です");
            parsed.readings = CString(value);
        } else if (value == "none" || value == "auto") {
            parsed.guessReadings = value == "auto";
        } else {
            return Refuse("--reading は auto か none です: " + value);
        }
    }

    if (parsed.inputs.empty()) return Refuse("入力ファイルが指定されていません");
    if (parsed.mode == Mode::list && (parsed.hasOutput || parsed.hasFolder))
        return Refuse("--list は -o や -d と同時に指定できません");
    if (parsed.hasOutput && parsed.hasFolder) return Refuse("-o と -d は同時に指定できません");
    if (parsed.merge && !parsed.hasOutput) return Refuse("--merge には -o で出力ファイルを指定して下さい");
    if (parsed.hasOutput && parsed.inputs.size() > 1 && !parsed.merge)
        return Refuse("-o は入力ファイルが一つのときか --merge のときだけ指定できます");
    const Format* byOutputName = parsed.hasOutput ? FormatRegistry::ForPath(parsed.output.Str()) : nullptr;
    if (!to.empty()) {
        parsed.target = FormatRegistry::Find(to);
        if (!parsed.target) return Refuse("不明な出力形式です: " + to);
        if (parsed.hasOutput && byOutputName != parsed.target)
            return Refuse("出力ファイル名の拡張子が " + std::string(parsed.target->extensions[0]) +
                          " ではありません: " + parsed.output.Str());
    } else if (parsed.hasOutput) {
        if (!byOutputName) return Refuse("出力ファイル名の拡張子が .xml ではありません: " + parsed.output.Str());
        parsed.target = byOutputName;
    }
    if (!parsed.target) parsed.target = FormatRegistry::Find("glorie");
    if (parsed.bom && !parsed.target->takesBom) return Refuse("--bom は CSV を書くときだけ指定できます");
    if (parsed.hasFolder && parsed.folder.IsEmpty()) return Refuse("-d のフォルダ名が空です");
    return parsed;
}

BatchRequest CliArguments::Batch() const {
    BatchRequest request;
    request.inputs = inputs;
    request.target = target;
    request.output = output;
    request.folder = folder;
    request.hasOutput = hasOutput;
    request.hasFolder = hasFolder;
    request.merge = merge;
    return request;
}
