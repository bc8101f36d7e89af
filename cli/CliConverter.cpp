#include "cli/CliConverter.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "pipeline/BatchPlan.h"
#include "formats/FormatRegistry.h"
#include "text/MapError.h"
#include "pipeline/PointListing.h"
#include "readings/ReadingGuesser.h"
#include "platform/HostSystem.h"
#include "platform/StandardOutput.h"
#include "text/Utf8.h"
#include "readings/UserReadings.h"

namespace {
ConversionOptions OptionsOf(const CliArguments& args, std::shared_ptr<const UserReadings> userReadings) {
    ConversionOptions options;
    options.target = args.target;
    options.datum = args.datum == CliArguments::Datum::tokyo   ? ConversionOptions::Datum::tokyo
                    : args.datum == CliArguments::Datum::wgs84 ? ConversionOptions::Datum::wgs84
                                                               : ConversionOptions::Datum::native;
    options.epoch = args.epoch;
    options.strict = args.strict;
    options.guessReadings = args.guessReadings;
    options.userReadings = userReadings;
    options.read = args.read;
    options.write = args.write;
    options.eachPoint = args.verbose;
    return options;
}

// Help is read in an 80-column terminal: a wide (East Asian) character takes two columns.
constexpr std::size_t kHelpColumns = 80;
constexpr std::size_t kOptionColumn = 24;

bool Wide(char32_t c) { return c >= 0x1100 && !(c >= 0xFF61 && c <= 0xFF9F); }

std::size_t Columns(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size();) columns += Wide(NextCodePoint(text, i)) ? 2 : 1;
    return columns;
}

// text broken into lines of the help's width, the first starting at column first, the others
// indented to column indent: at a blank, or after a wide character where neither it nor the next
// is punctuation that keeps to its neighbour.
std::string Wrapped(std::string_view text, std::size_t first, std::size_t indent) {
    std::string out;
    std::size_t column = first, lineStart = 0, breakAt = std::string_view::npos, breakNext = 0;
    char32_t previous = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const char32_t c = NextCodePoint(text, i);
        // "WGS 84" stays on one line.
        const bool nameAndNumber = previous < 0x80 && std::isalpha(static_cast<int>(previous)) && i < text.size() &&
                                   std::isdigit(static_cast<unsigned char>(text[i]));
        if (c == ' ' && !nameAndNumber) {
            breakAt = at;
            breakNext = i;
        } else if (Wide(previous) && (Wide(c) || previous == U'、' || previous == U'。') &&
                   std::u32string_view(U"、。」）").find(c) == std::u32string_view::npos && previous != U'「' && previous != U'（') {
            breakAt = at;
            breakNext = at;
        }
        column += Wide(c) ? 2 : 1;
        previous = c;
        if (column > kHelpColumns && breakAt != std::string_view::npos && breakAt > lineStart) {
            out.append(text.substr(lineStart, breakAt - lineStart)).append("\n").append(indent, ' ');
            lineStart = breakNext;
            column = indent + Columns(text.substr(lineStart, i - lineStart));
            breakAt = std::string_view::npos;
        }
    }
    return out.append(text.substr(lineStart));
}
}  // namespace

CliConverter::CliConverter(std::ostream& out, std::ostream& err, CString strProgramName)
    : m_out(out), m_err(err), m_strProgramName(std::move(strProgramName)) {}

int CliConverter::Run(const std::vector<std::string>& args) {
    const CliArguments parsed = CliArguments::Parse(args);
    if (!parsed.error.empty()) return Usage(parsed.error);
    switch (parsed.mode) {
    case CliArguments::Mode::help:
        WriteHelp();
        return kExitConverted;
    case CliArguments::Mode::version:
        m_out << kVersionText << '\n'
              << "ファイルの版: " QV_FILE_VERSION_TEXT "\n"
              << "読みの推定: "
              << (ReadingGuesser::Backend().empty() ? std::string("なし (MeCab なしで作られています)") : ReadingGuesser::Backend())
              << '\n';
        return kExitConverted;
    case CliArguments::Mode::list:
    case CliArguments::Mode::convert:
        break;
    }
    // The user's readings are read before any input: a list that cannot be read converts nothing;
    // a line of it that cannot be taken is said, and the rest used.
    if (!parsed.readings.IsEmpty()) {
        try {
            std::vector<Message> warnings;
            m_userReadings = std::make_shared<const UserReadings>(UserReadings::Load(parsed.readings, warnings));
            for (Message& warning : warnings) Print({ConversionMessage::Kind::warning, std::move(warning)});
        } catch (const MapError& error) {
            m_err << error.what() << '\n';
            return kExitFailed;
        }
    }
    return parsed.mode == CliArguments::Mode::list ? ListAll(parsed) : ConvertAll(parsed);
}

int CliConverter::Usage(const std::string& reason) {
    m_err << m_strProgramName.Str() << ": " << reason << '\n'
          << "使い方は " << m_strProgramName.Str() << " --help で表示されます\n";
    return kExitUsage;
}

void CliConverter::WriteHelp() {
    const std::string name = m_strProgramName.Str();
    // What the inputs may be and how outputs are split, as the format table has it.
    std::string inputs, splits;
    for (const Format* format : FormatRegistry::Rows()) {
        inputs += (inputs.empty() ? "" : "、") + FormatRegistry::InputTitle(*format);
        if (format->pointsPerFile > 0)
            splits += (splits.empty() ? "" : "、") + std::string(format->title) + "は " +
                      std::to_string(format->pointsPerFile) + " 地点";
    }
    // Each option on a line of its own, its text from the option's column; a label that reaches
    // the column has its text on the next line.
    std::string options;
    for (const CliArguments::HelpLine& option : CliArguments::HelpLines()) {
        std::string line = "  " + option.label;
        const std::size_t columns = Columns(line);
        line.append(columns < kOptionColumn ? kOptionColumn - columns : 0, ' ');
        if (columns >= kOptionColumn) line.append("\n").append(kOptionColumn, ' ');
        options += line + Wrapped(option.text, kOptionColumn, kOptionColumn) + "\n";
    }
    m_out << "使い方:\n"
          << "  " << name << " 入力.mem [-o 出力.xml]    一つのファイルを変換します\n"
          << "  " << name << " 入力.mem... [-d フォルダ]  複数のファイルを変換します\n"
          << "  " << name << " --list 入力...            地点の一覧を表示します\n"
          << "  " << name << " 入力... --to 形式 [-o 出力 | -d フォルダ]\n"
          << "      形式: " << FormatRegistry::Names(", ") << "\n"
          << "  " << name << " 入力... --merge -o 出力    すべての入力を一つの出力にまとめます\n"
          << "  " << name << " -h | --help | --version   (Windows では /? も)\n"
          << "\n"
          << Wrapped("入力は " + inputs + " です。出力の形式は --to か -o の拡張子で決まり、どちらもなければ glorie 文書です。", 0, 0) << "\n"
          << Wrapped("出力ファイルの名前は、-o がなければ入力と同じフォルダ、同じ名前で拡張子を形式のものにしたもの、-d があればそのフォルダの中の同じ名前のものです。" +
                         splits + "までで、それを超えると 名前-1、名前-2 … (10 個以上なら 名前-01 …) に分けて書きます。",
                     0, 0)
          << "\n\n"
          << options
          << "\n"
          << Wrapped("形式は大文字でも拡張子 (" + FormatRegistry::OtherWords(", ") + ") でも指定できます。値は --to=gpx のようにも書けます。", 0, 0) << "\n"
          << "入力の - は標準入力、-o - は標準出力です。-d のフォルダはなければ作ります。\n"
          << Wrapped(
                 "地図のリンク (Google マップ、Apple マップ、OpenStreetMap、地理院地図) や geo: URI を一行に一つ並べたテキスト"
                 "ファイルも読めます。XML の文書 (GPX、KML、glorie 文書) は拡張子がなくても最初の要素で見分けます。",
                 0, 0)
          << "\n\n"
          << Wrapped(
                 "日本測地系と WGS 84 の換算には国土地理院の地域パラメータ (TKY2JGD) を使い、その範囲外では Helmert 変換 "
                 "(EPSG:15484) を使います。地図の位置は、その後の地震による地殻変動を国土地理院の座標補正パラメータ (PatchJGD) で"
                 "補正した今日のもの (JGD2011) です。一覧には番号、名称、読み、緯度、経度 (日本測地系)、数字、WGS 84 の緯度と経度、換算の"
                 "方法、元の名称と、読みが推定したものなら「推測」の列に ○ を表示します。",
                 0, 0)
          << "\n\n"
          << "終了コード:\n"
          << "  0  すべての入力を変換し、すべての地点を書きました\n"
          << "  1  " << Wrapped(
                            "読めない入力 (--readings のファイルも)、書けない出力、--strict で変換しなかった入力、"
                            "書かなかった地点 (範囲外の座標、位置なし、ナビの形式へは南緯や西経) のどれかが一つでも"
                            "あります。ほかの出力は書いています (--merge では入力が一つでも読めなければ何も書きません)",
                            5, 5)
          << "\n"
          << "  2  指定の誤りです。何も変換していません\n";
}

// Summaries to standard output; everything else to standard error, a warning marked as such. The
// error stream is unbuffered, so lines are gathered and written 64 KiB at a time.
void CliConverter::Print(const ConversionMessage& message) {
    if (m_bDocumentToOutput) {
        // The document itself goes to standard output: what is said goes to standard error.
        if (message.kind == ConversionMessage::Kind::warning) {
            m_pendingErrors += "警告: ";
            ++m_warnings;
        }
        m_pendingErrors += message.text + '\n';
        return;
    }
    if (message.kind == ConversionMessage::Kind::written) {
        FlushErrors();
        m_out << message.text << '\n';
        return;
    }
    if (message.kind == ConversionMessage::Kind::warning) {
        m_pendingErrors += "警告: ";
        ++m_warnings;
    }
    m_pendingErrors += message.text;
    m_pendingErrors += '\n';
    if (m_pendingErrors.size() >= 65536) FlushErrors();
}

void CliConverter::FlushErrors() {
    m_err << m_pendingErrors;
    m_pendingErrors.clear();
}

// The closing line of a run that warned or left points out: thousands of lines scroll away.
void CliConverter::PrintTotals() {
    if (m_warnings == 0 && m_refusals == 0) return;
    m_err << "合計: 警告 " << m_warnings << " 件、変換できなかった地点 " << m_refusals << " 件\n";
}

// -d's folder made when missing, said once; false after the one line saying why it cannot be.
bool CliConverter::PrepareFolder(const CliArguments& args) {
    if (!args.hasFolder || IsFolder(args.folder)) return true;
    std::string reason;
    if (IsRegularFile(args.folder)) {
        m_err << m_strProgramName.Str() << ": -d の " << args.folder.Str() << " はフォルダではありません\n";
        return false;
    }
    if (!MakeFolder(args.folder, reason)) {
        m_err << m_strProgramName.Str() << ": 出力フォルダ " << args.folder.Str() << " を作れません (" << reason << ")\n";
        return false;
    }
    m_out << "出力フォルダ " << args.folder.Str() << " を作りました\n";
    return true;
}

// Standard input read whole for the conversion; false after the one line saying why it cannot be.
bool CliConverter::ReadStandardInputInto(Conversion& conversion, const CliArguments& args) {
    if (!args.standardInput) return true;
    std::string bytes, reason;
    if (!ReadStandardInput(bytes, reason)) {
        m_err << m_strProgramName.Str() << ": 標準入力を読めません (" << reason << ")\n";
        return false;
    }
    if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
        m_err << m_strProgramName.Str() << ": 標準入力が空です。変換するファイルをパイプかリダイレクト (< ファイル) で渡して下さい\n";
        return false;
    }
    if (bytes.size() > kMaxInputBytes) {
        m_err << m_strProgramName.Str() << ": 標準入力は大きすぎます。読み込めるのは " << kMaxInputBytes / (1024 * 1024)
              << " MB までです\n";
        return false;
    }
    conversion.SetStandardInput(std::move(bytes), args.from);
    return true;
}

// The document streamed to standard output as it is written, its bytes as they are. One that
// fails before its first bytes went out leaves standard output empty; after that, what went out
// is said to be incomplete, and the status is a failure.
int CliConverter::ConvertToStandardOutput(Conversion& conversion, const BatchJob& job) {
    m_out.flush();  // nothing printed before may land inside the document
    StandardOutput output;
    conversion.SetOutputStream(&output);
    m_bDocumentToOutput = true;
    const ConversionResult result = conversion.Convert(job.inputs, CString("-"));
    conversion.SetOutputStream(nullptr);
    // The document went out whole where it is among the outputs (the conversion finished the stream).
    const int status = result.ok && !result.outputs.empty() ? kExitConverted : kExitFailed;
    if (result.splitInto > 1)
        Print({ConversionMessage::Kind::failure, "標準出力には一つの文書しか書けません (" + std::to_string(result.splitInto) +
                                                     " 個に分かれます)。-o でファイル名を指定して下さい"});
    if (result.outputs.empty() && output.Started()) Print({ConversionMessage::Kind::failure, kIncompleteOutput});
    m_bDocumentToOutput = false;
    FlushErrors();
    m_refusals += result.refused;
    PrintTotals();
    return status;
}

int CliConverter::ConvertAll(const CliArguments& args) {
    std::vector<BatchJob> jobs;
    Message reason;
    // Standard output is no file an input could be: one job, every input into it.
    if (args.standardOutput)
        jobs.push_back({args.inputs, CString("-")});
    else if (!BatchPlan::Make(args.Batch(), jobs, reason))
        return Usage(Words(reason));
    if (!PrepareFolder(args)) return kExitFailed;

    Conversion conversion(OptionsOf(args, m_userReadings));
    conversion.SetMessageSink([this](const ConversionMessage& message) { Print(message); });
    if (!ReadStandardInputInto(conversion, args)) return kExitFailed;
    if (args.standardOutput) return ConvertToStandardOutput(conversion, jobs[0]);
    // A memory-point file alone takes the unit's own road; merged, it is read like any map.
    conversion.SetRecordForRecord(!args.merge);
    int status = kExitConverted;
    for (const BatchJob& job : jobs) {
        const ConversionResult result = conversion.Convert(job.inputs, job.output);
        FlushErrors();
        m_out.flush();
        m_refusals += result.refused;
        if (!result.ok) status = kExitFailed;
    }
    PrintTotals();
    return status;
}

void CliConverter::PrintList(const CString& strInput, const ListResult& listed, bool bFirst) {
    std::string text = bFirst ? std::string() : "\n";
    text += PointListing::Heading(strInput.Str(), listed.points.size());
    std::size_t number = 0;
    for (const ListedPoint& point : listed.points) PointListing::AppendLine(text, ++number, point);
    m_out << text;
    m_out.flush();
}

int CliConverter::ListAll(const CliArguments& args) {
    Conversion conversion(OptionsOf(args, m_userReadings));
    if (!ReadStandardInputInto(conversion, args)) return kExitFailed;
    int status = kExitConverted;
    bool bFirst = true;
    for (const CString& input : args.inputs) {
        const ListResult listed = conversion.List(input);
        if (listed.read) {
            PrintList(input, listed, bFirst);
            bFirst = false;
        }
        for (const ConversionMessage& message : listed.messages) Print(message);
        FlushErrors();
        m_refusals += listed.refused;
        if (!listed.ok) status = kExitFailed;
    }
    PrintTotals();
    return status;
}
