#include "cli/CliArguments.h"

#include "platform/PathSplit.h"

namespace {
CliArguments Refuse(std::string reason) {
    CliArguments refused;
    refused.error = std::move(reason);
    return refused;
}
}  // namespace

CliArguments CliArguments::Parse(const std::vector<std::string>& args) {
    CliArguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            parsed.inputs.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            parsed.mode = Mode::help;
            return parsed;
        } else if (arg == "--version") {
            parsed.mode = Mode::version;
            return parsed;
        } else if (arg == "--list") {
            parsed.mode = Mode::list;
        } else if (arg == "-o" || arg == "-d") {
            bool& given = arg == "-o" ? parsed.hasOutput : parsed.hasFolder;
            if (given) return Refuse("オプション " + arg + " が二度指定されています");
            if (i + 1 == args.size()) return Refuse("オプション " + arg + " には引数が必要です");
            given = true;
            (arg == "-o" ? parsed.output : parsed.folder) = CString(args[++i]);
        } else {
            return Refuse("不明なオプションです: " + arg);
        }
    }

    if (parsed.inputs.empty()) return Refuse("入力ファイルが指定されていません");
    if (parsed.mode == Mode::list && (parsed.hasOutput || parsed.hasFolder))
        return Refuse("--list は -o や -d と同時に指定できません");
    if (parsed.hasOutput && parsed.hasFolder) return Refuse("-o と -d は同時に指定できません");
    if (parsed.hasOutput && parsed.inputs.size() > 1) return Refuse("-o は入力ファイルが一つのときだけ指定できます");
    if (parsed.hasOutput && !PathHasExtension(parsed.output, ".XML"))
        return Refuse("出力ファイル名の拡張子が .xml ではありません: " + parsed.output.Str());
    if (parsed.hasFolder && parsed.folder.IsEmpty()) return Refuse("-d のフォルダ名が空です");
    return parsed;
}
