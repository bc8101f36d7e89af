#include "cli/CliArguments.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "formats/FormatRegistry.h"

namespace {
CliArguments Refuse(std::string reason) {
    CliArguments refused;
    refused.error = std::move(reason);
    return refused;
}

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

// The line as it is parsed: what the options say, kept until every argument is seen.
struct Parsing {
    CliArguments& parsed;
    std::string to, from;
    std::vector<const FormatOption*> formatOptions;  // given, of the format table's rows
};

constexpr int kMaxChoices = 4;

// What an option takes after it.
enum class Value {
    none,    // a flag
    text,    // a file's or a format's name, any text
    number,  // a whole number in the range its row declares
    choice   // one of its words
};

// One option of the command line: the program's own, or one a row of the format table declares.
struct OptionRow {
    const char* word;
    const char* valueName;             // --help's name of a text value ("ファイル"); null for the others
    const char* help;                  // --help's text; null where the usage lines say it
    const char* choices[kMaxChoices];  // a choice's words, in --help's order
    // What it does with its value (the choice's index for a choice): the refusal, or empty.
    std::string (*take)(Parsing& parsing, const std::string& value, int index);
    CliArguments::Mode mode;     // help or version: the answer whatever else is given
    const FormatOption* format;  // declared by the format table's rows: it says the rest

    Value Takes() const {
        if (format)
            return format->type == FormatOptionType::flag     ? Value::none
                   : format->type == FormatOptionType::number ? Value::number
                                                              : Value::choice;
        return choices[0] ? Value::choice : valueName ? Value::text
                                                      : Value::none;
    }
    const char* const* Choices() const { return format ? format->choices : choices; }
    const char* ValueName() const { return format ? format->valueName : valueName; }
};

// "today か jgd2000", "a、b か c".
std::string ChoiceWords(const OptionRow& row) {
    std::string words;
    int count = 0;
    while (count < kMaxChoices && row.Choices()[count]) ++count;
    for (int k = 0; k < count; ++k) words += (k == 0 ? "" : k + 1 == count ? " か "
                                                                           : "、") +
                                             std::string(row.Choices()[k]);
    return words;
}

// Any option but --help and --version: the line goes on.
const CliArguments::Mode kGo = CliArguments::Mode::convert;

// The program's own options, in --help's order; kFormatsHere marks where the rows' go.
const OptionRow kFormatsHere = {"", nullptr, nullptr, {}, nullptr, kGo, nullptr};
const OptionRow kOwnOptions[] = {
    {"-o", "出力", nullptr, {}, [](Parsing& p, const std::string& value, int) -> std::string {
         p.parsed.hasOutput = true;
         p.parsed.output = CString(value);
         return {};
     },
     kGo,
     nullptr},
    {"-d", "フォルダ", nullptr, {}, [](Parsing& p, const std::string& value, int) -> std::string {
         p.parsed.hasFolder = true;
         p.parsed.folder = CString(value);
         return {};
     },
     kGo,
     nullptr},
    {"--to", "形式", nullptr, {}, [](Parsing& p, const std::string& value, int) -> std::string {
         p.to = value;
         return {};
     },
     kGo,
     nullptr},
    {"--list", nullptr, nullptr, {}, [](Parsing& p, const std::string&, int) -> std::string {
         p.parsed.mode = CliArguments::Mode::list;
         return {};
     },
     kGo,
     nullptr},
    {"--merge", nullptr, nullptr, {}, [](Parsing& p, const std::string&, int) -> std::string {
         p.parsed.merge = true;
         return {};
     },
     kGo,
     nullptr},
    {"--help", nullptr, nullptr, {}, nullptr, CliArguments::Mode::help, nullptr},
    {"--version", nullptr, nullptr, {}, nullptr, CliArguments::Mode::version, nullptr},
    {"--datum", "測地系",
     "入力の測地系: tokyo (日本測地系) か wgs84 (世界測地系)。既定はナビのファイルが日本測地系、"
     "地図のファイルが WGS 84 です。JGD2000 と JGD2011 は wgs84 として読みます (二つが違うのは "
     "2011 年の東北地方太平洋沖地震で地面が動いた東日本だけです)",
     {},
     [](Parsing& p, const std::string& value, int) -> std::string {
         return DatumWord(value, p.parsed.datum) ? std::string()
                                                 : "--datum は tokyo (日本測地系) か wgs84 (世界測地系、JGD2000、JGD2011) です: " + value;
     },
     kGo,
     nullptr},
    {"--epoch", nullptr,
     "地図の位置: today は今日の地面 (既定: その後の地震による地殻変動を国土地理院の補正で加えます)、"
     "jgd2000 は JGD2000 のまま",
     {"today", "jgd2000"},
     [](Parsing& p, const std::string&, int index) -> std::string {
         p.parsed.epoch = index == 0 ? DatumEpoch::today : DatumEpoch::jgd2000;
         return {};
     },
     kGo,
     nullptr},
    {"--reading", nullptr, "読みのない地点の読みを推定するか (既定: auto)", {"auto", "none"}, [](Parsing& p, const std::string&, int index) -> std::string {
         p.parsed.guessReadings = index == 0;
         return {};
     },
     kGo,
     nullptr},
    {"--readings", "ファイル",
     "名称と読みの CSV (UTF-8 か CP932)。名称のどこかに一致する最も長い名称の読みを推定より先に"
     "使います。使えない行は警告して飛ばします",
     {},
     [](Parsing& p, const std::string& value, int) -> std::string {
         if (value.empty()) return "--readings のファイル名が空です";
         p.parsed.readings = CString(value);
         return {};
     },
     kGo,
     nullptr},
    {"--strict", nullptr, "ナビで表示できない文字があれば、その入力を変換しません", {}, [](Parsing& p, const std::string&, int) -> std::string {
         p.parsed.strict = true;
         return {};
     },
     kGo,
     nullptr},
    kFormatsHere,
    {"--from", "形式", "標準入力 (入力の -) の形式 (既定: 中身から決めます)", {}, [](Parsing& p, const std::string& value, int) -> std::string {
         p.from = value;
         return {};
     },
     kGo,
     nullptr},
    {"--verbose", nullptr,
     "地点ごとの警告を一行ずつ表示します (既定: 入力ごと、原因ごとに一行で、地点の数と初めの"
     "いくつかの地点を表示します)",
     {},
     [](Parsing& p, const std::string&, int) -> std::string {
         p.parsed.verbose = true;
         return {};
     },
     kGo,
     nullptr},
};

// The one table Parse, --help and the suggestions for a mistyped option read: the program's own
// options and, where kFormatsHere stands, each the format table's rows declare.
const std::vector<OptionRow>& Table() {
    static const std::vector<OptionRow> table = [] {
        std::vector<OptionRow> rows;
        for (const OptionRow& own : kOwnOptions) {
            if (own.word[0]) {
                rows.push_back(own);
                continue;
            }
            for (const FormatOption* option : FormatRegistry::Options())
                rows.push_back({option->word, nullptr, nullptr, {}, nullptr, kGo, option});
        }
        return rows;
    }();
    return table;
}
}  // namespace

CliArguments CliArguments::Parse(const std::vector<std::string>& args) {
    CliArguments parsed;
    Parsing parsing{parsed, {}, {}, {}};
    bool optionsEnded = false;
    std::vector<const OptionRow*> seen;
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
        const OptionRow* row = nullptr;
        for (const OptionRow& known : Table())
            if (arg == known.word) row = &known;
        if (!row) {
            std::vector<std::string> words;
            for (const OptionRow& known : Table()) words.emplace_back(known.word);
            // A long option mistyped; a short one of a letter has no near neighbour worth naming.
            return Refuse("不明なオプションです: " + arg + (arg.compare(0, 2, "--") == 0 ? DidYouMean(arg, words) : ""));
        }
        // --help and --version answer whatever else the line holds.
        if (row->mode != Mode::convert && row->mode != Mode::list) {
            parsed.mode = row->mode;
            return parsed;
        }
        const bool takesValue = row->Takes() != Value::none;
        if (hasJoinedValue && !takesValue) return Refuse("オプション " + arg + " は値を取りません");
        if (std::find(seen.begin(), seen.end(), row) != seen.end()) return Refuse("オプション " + arg + " が二度指定されています");
        seen.push_back(row);
        if (takesValue && !hasJoinedValue && i + 1 == args.size()) return Refuse("オプション " + arg + " には引数が必要です");
        const std::string value = !takesValue ? std::string() : hasJoinedValue ? joinedValue
                                                                               : args[++i];
        // The value as a number: 1 for a flag, the choice's index, the number itself.
        int number = 1;
        bool usable = true;
        if (row->format) {
            usable = FormatRegistry::OptionValue(*row->format, value, number);
        } else if (row->Takes() == Value::choice) {
            usable = false;
            for (int k = 0; k < kMaxChoices && row->choices[k]; ++k)
                if (value == row->choices[k]) usable = true, number = k;
        }
        if (!usable && row->Takes() == Value::choice)
            return Refuse(std::string(row->word) + " は " + ChoiceWords(*row) + " です: " + value);
        if (!usable)
            return Refuse(std::string(row->word) + " は " + std::to_string(row->format->minimum) + " から " +
                          std::to_string(row->format->maximum) + " までの数です: " + value);
        if (row->format) {
            row->format->apply(parsed.read, parsed.write, number);
            parsing.formatOptions.push_back(row->format);
        } else {
            std::string refusal = row->take(parsing, value, number);
            if (!refusal.empty()) return Refuse(std::move(refusal));
        }
    }

    if (parsed.inputs.empty()) return Refuse("入力ファイルが指定されていません");
    if (parsed.mode == Mode::list && (parsed.hasOutput || parsed.hasFolder))
        return Refuse("--list は -o や -d と同時に指定できません");
    if (parsed.hasOutput && parsed.hasFolder) return Refuse("-o と -d は同時に指定できません");
    if (parsed.merge && !parsed.hasOutput) return Refuse("--merge には -o で出力ファイルを指定して下さい");
    if (parsed.hasOutput && parsed.inputs.size() > 1 && !parsed.merge)
        return Refuse("-o は入力ファイルが一つのときか --merge のときだけ指定できます");
    const std::string& to = parsing.to;
    const std::string& from = parsing.from;
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
    // An option of writing that the output's format does not take. One of reading may suit some
    // input of the run: whether one does is known only once they are read.
    for (const FormatOption* option : parsing.formatOptions)
        if (option->use == FormatOptionUse::write &&
            std::find(std::begin(parsed.target->options), std::end(parsed.target->options), option) == std::end(parsed.target->options))
            return Refuse(std::string(option->word) + " は " + FormatRegistry::OptionTitles(*option, "、") + " を書くときだけ指定できます");
    if (parsed.hasFolder && parsed.folder.IsEmpty()) return Refuse("-d のフォルダ名が空です");
    return parsed;
}

std::vector<CliArguments::HelpLine> CliArguments::HelpLines() {
    std::vector<HelpLine> lines;
    for (const OptionRow& row : Table()) {
        const char* text = row.format ? row.format->japanese : row.help;
        if (!text) continue;
        std::string label = row.word;
        if (row.Takes() == Value::choice) {
            label += ' ';
            for (int k = 0; k < kMaxChoices && row.Choices()[k]; ++k) label += (k ? "|" : "") + std::string(row.Choices()[k]);
        } else if (row.ValueName()) {
            label += std::string(" ") + row.ValueName();
        }
        lines.push_back({std::move(label), text});
    }
    return lines;
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
