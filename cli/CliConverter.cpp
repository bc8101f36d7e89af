#include "cli/CliConverter.h"

#include <cstdio>

#include "cli/StreamMessageBoxHost.h"
#include "cli/TerminalText.h"
#include "maps/BatchPlan.h"
#include "maps/FormatRegistry.h"
#include "maps/MapError.h"
#include "maps/ReadingGuesser.h"
#include "maps/UserReadings.h"

namespace {
ConversionOptions OptionsOf(const CliArguments& args, std::shared_ptr<const UserReadings> userReadings) {
    ConversionOptions options;
    options.target = args.target;
    options.datum = args.datum == CliArguments::Datum::tokyo   ? ConversionOptions::Datum::tokyo
                    : args.datum == CliArguments::Datum::wgs84 ? ConversionOptions::Datum::wgs84
                                                               : ConversionOptions::Datum::native;
    options.strict = args.strict;
    options.guessReadings = args.guessReadings;
    options.userReadings = userReadings;
    options.read.allPoints = args.allPoints;
    options.write.bom = args.bom;
    return options;
}

std::string Decimal(double value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.7f", value);
    return buffer;
}
}  // namespace

CliConverter::CliConverter(std::ostream& out, std::ostream& err, CString strProgramName)
    : m_out(out), m_err(err), m_strProgramName(std::move(strProgramName)) {}

int CliConverter::Run(const std::vector<std::string>& args) {
    const StreamMessageBoxHost host(m_err);
    const CliArguments parsed = CliArguments::Parse(args);
    if (!parsed.error.empty()) return Usage(parsed.error);
    switch (parsed.mode) {
    case CliArguments::Mode::help:
        WriteHelp();
        return kExitConverted;
    case CliArguments::Mode::version:
        m_out << kVersionText << '\n' << "ファイルの版: " QV_FILE_VERSION_TEXT "\n" << "読みの推定: "
              << (ReadingGuesser::Backend().empty() ? std::string("なし (MeCab なしで作られています)") : ReadingGuesser::Backend())
              << '\n';
        return kExitConverted;
    case CliArguments::Mode::list:
    case CliArguments::Mode::convert:
        break;
    }
    // The user's readings are read before any input: a list that cannot be read converts nothing.
    if (!parsed.readings.IsEmpty()) {
        try {
            m_userReadings = std::make_shared<const UserReadings>(UserReadings::Load(parsed.readings));
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
    for (const Format* format : FormatRegistry::All()) {
        std::string extensions;
        if (format->unit || format->extensions[1])
            for (const char* extension : format->extensions)
                if (extension) extensions += (extensions.empty() ? " (" : ", ") + std::string(extension);
        inputs += (inputs.empty() ? "" : "、") + std::string(format->title) + (extensions.empty() ? "" : extensions + ")");
        if (format->pointsPerFile > 0)
            splits += (splits.empty() ? "" : "、") + std::string(format->title) + "は " +
                      std::to_string(format->pointsPerFile) + " 地点";
    }
    m_out << "使い方:\n"
          << "  " << name << " 入力.mem [-o 出力.xml]    一つのファイルを変換します\n"
          << "  " << name << " 入力.mem... [-d フォルダ]  複数のファイルを変換します\n"
          << "  " << name << " --list 入力...            地点の一覧を表示します\n"
          << "  " << name << " 入力... --to 形式 [-o 出力 | -d フォルダ]\n"
          << "                                   形式: " << FormatRegistry::Names(", ") << "\n"
          << "  " << name << " 入力... --merge -o 出力    すべての入力を一つの出力にまとめます\n"
          << "  " << name << " --help | --version\n"
          << "\n"
          << "入力は" << inputs << " です。出力の形式は --to か -o の拡張子で決まり、どちらもなければ glorie 文書です。\n"
          << "出力ファイルの名前は、-o がなければ入力と同じフォルダ、同じ名前で拡張子を形式のものにしたもの、\n"
          << "-d があればそのフォルダの中の同じ名前のものです。" << splits << "までで、それを超えると 名前-1、名前-2 … に分けて書きます。\n"
          << "\n"
          << "  --datum tokyo|wgs84   入力の測地系 (既定: ナビのファイルは日本測地系、地図のファイルは WGS 84)\n"
          << "  --reading auto|none   読みのない地点の読みを推定するか (既定: auto)\n"
          << "  --readings ファイル   名称と読みの CSV (UTF-8 か CP932)。名称が一致するか、その先頭に一致する\n"
          << "                        最も長い名称の読みを推定より先に使います\n"
          << "  --strict              ナビで表示できない文字があれば、その入力を変換しません\n"
          << "  --all-points          GPX のルートとトラックの点も読みます\n"
          << "  --bom                 CSV の先頭に BOM を付けます\n"
          << "\n"
          << "日本測地系と WGS 84 の換算には国土地理院の地域パラメータ (TKY2JGD) を使い、その範囲外では\n"
          << "Helmert 変換 (EPSG:15484) を使います。\n"
          << "一覧には番号、名称、読み、緯度、経度 (日本測地系)、数字、WGS 84 の緯度と経度、換算の方法、\n"
          << "元の名称と、読みが推定したものなら「推測」の列に ○ を表示します。\n"
          << "\n"
          << "終了コード: 0 すべて変換しました, 1 変換できなかったファイルがあります, 2 指定の誤り\n";
}

// Summaries to standard output; everything else to standard error, a warning marked as such. The
// error stream is unbuffered, so lines are gathered and written 64 KiB at a time.
void CliConverter::Print(const ConversionMessage& message) {
    if (message.kind == ConversionMessage::Kind::written) {
        FlushErrors();
        m_out << message.text << '\n';
        return;
    }
    if (message.kind == ConversionMessage::Kind::warning) m_pendingErrors += "警告: ";
    m_pendingErrors += message.text;
    m_pendingErrors += '\n';
    if (m_pendingErrors.size() >= 65536) FlushErrors();
}

void CliConverter::FlushErrors() {
    m_err << m_pendingErrors;
    m_pendingErrors.clear();
}

int CliConverter::ConvertAll(const CliArguments& args) {
    std::vector<BatchJob> jobs;
    std::string reason;
    if (!BatchPlan::Make(args.Batch(), jobs, reason)) return Usage(reason);

    Conversion conversion(OptionsOf(args, m_userReadings));
    conversion.SetMessageSink([this](const ConversionMessage& message) { Print(message); });
    int status = kExitConverted;
    for (const BatchJob& job : jobs) {
        const ConversionResult result = job.memPointRoad ? conversion.ConvertMemPointFile(job.inputs[0], job.output)
                                                         : conversion.Convert(job.inputs, job.output);
        FlushErrors();
        m_out.flush();
        if (!result.ok) status = kExitFailed;
    }
    return status;
}

void CliConverter::PrintList(const CString& strInput, const ListResult& listed, bool bFirst) {
    if (!bFirst) m_out << '\n';
    m_out << strInput.Str() << " (" << listed.points.size() << " 地点)\n"
          << "番号\t名称\t読み\t緯度\t経度\t数字\t緯度(WGS84)\t経度(WGS84)\t測地系変換\t元の名称\t推測\n";
    std::size_t number = 0;
    for (const ListedPoint& point : listed.points) {
        m_out << ++number << '\t';
        // Points the unit cannot take have no unit columns, points no map can hold no WGS 84 ones.
        if (point.hasUnitColumns)
            m_out << Cp932ToTerminal(point.unitName) << '\t' << Cp932ToTerminal(point.unitReading) << '\t'
                  << point.tokyoLatitude.Str() << '\t' << point.tokyoLongitude.Str() << '\t';
        else
            m_out << "\t\t\t\t";
        m_out << Cp932ToTerminal(point.digits) << '\t';
        if (point.shifted)
            m_out << Decimal(point.latitude) << '\t' << Decimal(point.longitude) << '\t';
        else
            m_out << "\t\t";
        m_out << point.method << '\t' << Utf8ToTerminal(point.name) << '\t' << (point.readingGuessed ? "○" : "") << '\n';
    }
    m_out.flush();
}

int CliConverter::ListAll(const CliArguments& args) {
    Conversion conversion(OptionsOf(args, m_userReadings));
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
        if (!listed.ok) status = kExitFailed;
    }
    return status;
}
