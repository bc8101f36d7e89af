#include "cli/CliArguments.h"

#include <algorithm>
#include <cctype>

#include "formats/FormatRegistry.h"

namespace {
CliArguments Refuse(std::string reason) {
    CliArguments refused;
    refused.error = std::move(reason);
    return refused;
}

// Options that take a value: the value, or the reason the line is refused.
const char* const kValueOptions[] = {"-o", "-d", "--to", "--datum", "--reading", "--readings", "--from", "--epoch"};
const char* const kFlags[] = {"--list", "--bom", "--merge", "--strict", "--all-points", "--verbose", "--help", "--version"};

// Edits (insert, delete, replace, swap two neighbours) between a and b.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// " (もしかして --merge?)" for the nearest of candidates within two edits; empty for none.
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = 3;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = Distance(typed, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best.empty() ? std::string() : " (もしかして " + best + "?)";
}

// --datum's value in the words people use for it, any letter case, blanks and hyphens aside:
// JGD2000 and JGD2011 are WGS 84 to the unit's precision (JGD2011 moved only where the 2011
// earthquake moved the ground, in the east). False for a word that names no datum.
bool DatumWord(std::string value, CliArguments::Datum& datum) {
    std::string word;
    for (const char c : value)
        if (c != ' ' && c != '-' && c != '_') word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* tokyo : {"tokyo", "日本測地系", "旧日本測地系", "tokyodatum"})
        if (word == tokyo) return datum = CliArguments::Datum::tokyo, true;
    for (const char* wgs84 : {"wgs84", "世界測地系", "jgd2000", "jgd2011", "日本測地系2000", "日本測地系2011"})
        if (word == wgs84) return datum = CliArguments::Datum::wgs84, true;
    return false;
}
}  // namespace

CliArguments CliArguments::Parse(const std::vector<std::string>& args) {
    CliArguments parsed;
    bool optionsEnded = false;
    std::vector<std::string> seen;
    std::string to, from;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        // --to=gpx: the value joined to its option.
        std::string joinedValue;
        bool hasJoinedValue = false;
        if (!optionsEnded && arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos) {
            joinedValue = arg.substr(arg.find('=') + 1);
            arg.erase(arg.find('='));
            hasJoinedValue = true;
        }
        // Windows' habit (/?) and the other usual asks for help.
        if (!optionsEnded && (arg == "-h" || arg == "-?" || arg == "/?")) arg = "--help";
        // "-": standard input, read once.
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (arg == "-" && parsed.standardInput) return Refuse("標準入力 (-) は一度だけ指定できます");
            parsed.standardInput = parsed.standardInput || arg == "-";
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
        for (const char* flag : {"--list", "--bom", "--merge", "--strict", "--all-points", "--verbose"}) known = known || arg == flag;
        if (!known) {
            std::vector<std::string> options(std::begin(kValueOptions), std::end(kValueOptions));
            options.insert(options.end(), std::begin(kFlags), std::end(kFlags));
            // A long option mistyped; a short one of a letter has no near neighbour worth naming.
            return Refuse("不明なオプションです: " + arg + (arg.compare(0, 2, "--") == 0 ? DidYouMean(arg, options) : ""));
        }
        if (hasJoinedValue && !takesValue) return Refuse("オプション " + arg + " は値を取りません");
        for (const std::string& earlier : seen)
            if (earlier == arg) return Refuse("オプション " + arg + " が二度指定されています");
        seen.push_back(arg);
        if (!takesValue) {
            if (arg == "--list") parsed.mode = Mode::list;
            parsed.bom = parsed.bom || arg == "--bom";
            parsed.merge = parsed.merge || arg == "--merge";
            parsed.strict = parsed.strict || arg == "--strict";
            parsed.allPoints = parsed.allPoints || arg == "--all-points";
            parsed.verbose = parsed.verbose || arg == "--verbose";
            continue;
        }
        if (!hasJoinedValue && i + 1 == args.size()) return Refuse("オプション " + arg + " には引数が必要です");
        const std::string value = hasJoinedValue ? joinedValue : args[++i];
        if (arg == "-o") {
            parsed.hasOutput = true;
            parsed.output = CString(value);
        } else if (arg == "-d") {
            parsed.hasFolder = true;
            parsed.folder = CString(value);
        } else if (arg == "--to") {
            to = value;
        } else if (arg == "--from") {
            from = value;
        } else if (arg == "--datum") {
            if (!DatumWord(value, parsed.datum))
                return Refuse("--datum は tokyo (日本測地系) か wgs84 (世界測地系、JGD2000、JGD2011) です: " + value);
        } else if (arg == "--epoch") {
            if (value != "today" && value != "jgd2000") return Refuse("--epoch は today か jgd2000 です: " + value);
            parsed.epoch = value == "today" ? DatumEpoch::today : DatumEpoch::jgd2000;
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
    if (!from.empty()) {
        parsed.from = FormatRegistry::FindWord(from);
        if (!parsed.from) return Refuse("不明な入力形式です: " + from + "。形式は " + FormatRegistry::Names(", ") + " です");
        if (!parsed.standardInput) return Refuse("--from は標準入力 (-) の形式です");
    }
    // Standard input has no name to derive an output's from: without -o its document goes to
    // standard output.
    if (parsed.standardInput && parsed.hasFolder) return Refuse("標準入力 (-) は -d と同時に指定できません");
    if (parsed.standardInput && !parsed.hasOutput && parsed.mode == Mode::convert) {
        if (parsed.inputs.size() > 1) return Refuse("標準入力 (-) をほかの入力と変換するときは --merge と -o を指定して下さい");
        parsed.hasOutput = true;
        parsed.output = CString("-");
    }
    parsed.standardOutput = parsed.hasOutput && parsed.output.Str() == "-";
    const Format* byOutputName =
        parsed.hasOutput && !parsed.standardOutput ? FormatRegistry::ForPath(parsed.output.Str()) : nullptr;
    if (!to.empty()) {
        parsed.target = FormatRegistry::FindWord(to);
        if (!parsed.target) {
            std::vector<std::string> names;
            for (const Format* format : FormatRegistry::All()) names.emplace_back(format->name);
            return Refuse("不明な出力形式です: " + to + DidYouMean(to, names) + "。形式は " + FormatRegistry::Names(", ") +
                          " です");
        }
        if (parsed.hasOutput && !parsed.standardOutput && byOutputName != parsed.target)
            return Refuse("出力ファイル名の拡張子が " + std::string(parsed.target->extensions[0]) +
                          " ではありません: " + parsed.output.Str());
    } else if (parsed.hasOutput && !parsed.standardOutput) {
        if (!byOutputName) return Refuse("出力ファイル名の拡張子が .xml ではありません: " + parsed.output.Str());
        parsed.target = byOutputName;
    }
    if (!parsed.target) parsed.target = FormatRegistry::Find("glorie");
    if (parsed.bom && !parsed.target->takesBom) return Refuse("--bom は " + FormatRegistry::BomTitles("、") + " を書くときだけ指定できます");
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
