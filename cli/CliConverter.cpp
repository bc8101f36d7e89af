#include "cli/CliConverter.h"

#include <map>

#include "cli/MapConverter.h"
#include "cli/StreamMessageBoxHost.h"
#include "convert/ConversionDriver.h"
#include "glorie/FileErrorText.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"
#include "platform/MessageBox.h"
#include "platform/PathSplit.h"

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
        m_out << kVersionText << '\n' << "読みの推定: "
              << (ReadingGuesser::Backend().empty() ? std::string("なし (MeCab なしで作られています)") : ReadingGuesser::Backend())
              << '\n';
        return kExitConverted;
    case CliArguments::Mode::list:
        return ListAll(parsed);
    case CliArguments::Mode::convert:
        break;
    }
    return ConvertAll(parsed);
}

CString CliConverter::OutputNameFor(const CString& strInput, const CliArguments& args) {
    if (args.hasOutput) return args.output;
    const PathParts parts = SplitPath(strInput);
    if (!args.hasFolder) return MakePath(parts.drive, parts.dir, parts.fname, args.OutputExtension());
    CString joined = args.folder;
    const char last = joined.GetAt(joined.GetLength() - 1);
    // A slash, not the runtime's backslash: it separates on every host.
    if (last != '/' && last != '\\') joined += '/';
    return joined + parts.fname + "." + args.OutputExtension();
}

int CliConverter::Usage(const std::string& reason) {
    m_err << m_strProgramName.Str() << ": " << reason << '\n'
          << "使い方は " << m_strProgramName.Str() << " --help で表示されます\n";
    return kExitUsage;
}

void CliConverter::WriteHelp() {
    const std::string name = m_strProgramName.Str();
    m_out << "使い方:\n"
          << "  " << name << " 入力.mem [-o 出力.xml]    一つのファイルを変換します\n"
          << "  " << name << " 入力.mem... [-d フォルダ]  複数のファイルを変換します\n"
          << "  " << name << " --list 入力...            地点の一覧を表示します\n"
          << "  " << name << " 入力... --to 形式 [-o 出力 | -d フォルダ]\n"
          << "                                   形式: glorie, mem, gpx, kml, geojson, csv\n"
          << "  " << name << " 入力... --merge -o 出力    すべての入力を一つの出力にまとめます\n"
          << "  " << name << " --help | --version\n"
          << "\n"
          << "入力はメモリーポイントファイル (.mem)、glorie 文書 (.xml)、GPX、KML、GeoJSON (.geojson, .json)、\n"
          << "CSV です。出力の形式は --to か -o の拡張子で決まり、どちらもなければ glorie 文書です。\n"
          << "出力ファイルの名前は、-o がなければ入力と同じフォルダ、同じ名前で拡張子を形式のものにしたもの、\n"
          << "-d があればそのフォルダの中の同じ名前のものです。glorie 文書は 700 地点、メモリーポイントファイルは\n"
          << "100 地点までで、それを超えると 名前-1、名前-2 … に分けて書きます。\n"
          << "\n"
          << "  --datum tokyo|wgs84   入力の測地系 (既定: ナビのファイルは日本測地系、地図のファイルは WGS 84)\n"
          << "  --reading auto|none   読みのない地点の読みを推定するか (既定: auto)\n"
          << "  --strict              ナビで表示できない文字があれば、その入力を変換しません\n"
          << "  --all-points          GPX のルートとトラックの点も読みます\n"
          << "  --bom                 CSV の先頭に BOM を付けます\n"
          << "\n"
          << "日本測地系と WGS 84 の換算には国土地理院の地域パラメータ (TKY2JGD) を使い、その範囲外では\n"
          << "Helmert 変換 (EPSG:15484) を使います。\n"
          << "一覧には番号、名称、読み、緯度、経度 (日本測地系)、数字、WGS 84 の緯度と経度、換算の方法、\n"
          << "元の名称を表示します。\n"
          << "\n"
          << "終了コード: 0 すべて変換しました, 1 変換できなかったファイルがあります, 2 指定の誤り\n";
}

namespace {
// An input the dialog's road refuses by its name before it writes anything.
bool IsRefusedByTheStore(const CString& input, const CliArguments& args) {
    MapFormat format;
    return args.target == CliArguments::Target::glorie && !PathHasExtension(input, ".MEM") &&
           !PathHasExtension(input, ".XML") && !MapFormatFromPath(input.Str(), format);
}
}  // namespace

int CliConverter::ConvertAll(const CliArguments& args) {
    std::vector<CString> outputs;
    if (args.merge) {
        outputs.push_back(args.output);
    } else {
        for (const CString& input : args.inputs) outputs.push_back(OutputNameFor(input, args));
    }
    // Two inputs writing one output would silently lose the first document; an output over its
    // own input would lose the input.
    // Names are compared by the file they stand for, whatever their spelling.
    std::map<CString, CString> claimed;
    for (size_t i = 0; i < args.inputs.size(); ++i) {
        const CString& input = args.inputs[i];
        const CString& output = outputs[args.merge ? 0 : i];
        const CString identity = FileIdentity(output);
        if (identity == FileIdentity(input)) return Usage("出力ファイル " + output.Str() + " が入力と同じです");
        if (args.merge || IsRefusedByTheStore(input, args)) continue;  // it writes nothing
        const auto inserted = claimed.emplace(identity, input);
        if (!inserted.second)
            return Usage("出力ファイル " + output.Str() + " が " + inserted.first->second.Str() + " と " +
                         input.Str() + " の両方から作られます");
    }

    MapConverter maps(m_out, m_err, args);
    if (args.merge) return maps.Convert(args.inputs, args.output) ? kExitConverted : kExitFailed;
    int status = kExitConverted;
    for (size_t i = 0; i < args.inputs.size(); ++i) {
        const CString& input = args.inputs[i];
        // To a glorie document, whatever is neither a map nor a document itself takes the dialog's
        // own road (and its messages for what is not a memory-point file).
        const bool bClassic = args.target == CliArguments::Target::glorie &&
                              (PathHasExtension(input, ".MEM") || IsRefusedByTheStore(input, args));
        if (!(bClassic ? ConvertOne(input, outputs[i]) : maps.Convert({input}, outputs[i]))) status = kExitFailed;
    }
    return status;
}

bool CliConverter::Load(const CString& strInput) {
    if (m_store.Load(strInput) == 0) return true;
    GetMessageBoxHost().ShowMessageBox("ファイル " + strInput + " の読み込みに失敗しました", "ERROR", kMbOk);
    return false;
}

bool CliConverter::ConvertOne(const CString& strInput, const CString& strOutput) {
    try {
        if (!Load(strInput)) return false;
        ResetPoiTable(m_table);
        if (ConvertPoints(m_store, m_table, strOutput) != 0) return false;
    } catch (const CFileException& error) {
        ReportFileFailure(error);
        return false;
    }
    m_out << strInput.Str() << " -> " << strOutput.Str() << " (" << m_table.GetCount() << " 地点)\n";
    m_out.flush();
    return true;
}

int CliConverter::ListAll(const CliArguments& args) {
    MapConverter maps(m_out, m_err, args);
    int status = kExitConverted;
    bool bFirst = true;
    for (const CString& input : args.inputs) {
        if (maps.List(input, bFirst)) bFirst = false;
        else status = kExitFailed;
    }
    return status;
}
