#include "cli/CliConverter.h"

#include <map>

#include "cli/PointList.h"
#include "cli/StreamMessageBoxHost.h"
#include "convert/ConversionDriver.h"
#include "glorie/FileErrorText.h"
#include "platform/CFileException.h"
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
        m_out << kVersionText << '\n';
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
    if (!args.hasFolder) return MakePath(parts.drive, parts.dir, parts.fname, "xml");
    CString joined = args.folder;
    const char last = joined.GetAt(joined.GetLength() - 1);
    // A slash, not the runtime's backslash: it separates on every host.
    if (last != '/' && last != '\\') joined += '/';
    return joined + parts.fname + ".xml";
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
          << "  " << name << " --list 入力.mem...        地点の一覧を表示します\n"
          << "  " << name << " --help | --version\n"
          << "\n"
          << "出力ファイルの名前は、-o がなければ入力と同じフォルダ、同じ名前で拡張子を xml にしたもの、\n"
          << "-d があればそのフォルダの中の同じ名前のものです。\n"
          << "一覧には番号、名称、読み、緯度、経度、数字を表示します。\n"
          << "\n"
          << "終了コード: 0 すべて変換しました, 1 変換できなかったファイルがあります, 2 指定の誤り\n";
}

int CliConverter::ConvertAll(const CliArguments& args) {
    // Two inputs writing one output would silently lose the first document.
    std::map<CString, CString> claimed;
    std::vector<CString> outputs;
    for (const CString& input : args.inputs) {
        const CString output = OutputNameFor(input, args);
        outputs.push_back(output);
        if (!PathHasExtension(input, ".MEM")) continue;  // refused on load; it writes nothing
        const auto inserted = claimed.emplace(output, input);
        if (!inserted.second && inserted.first->second != input)
            return Usage("出力ファイル " + output.Str() + " が " + inserted.first->second.Str() + " と " +
                         input.Str() + " の両方から作られます");
    }

    int status = kExitConverted;
    for (size_t i = 0; i < args.inputs.size(); ++i) {
        if (!ConvertOne(args.inputs[i], outputs[i])) status = kExitFailed;
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
    int status = kExitConverted;
    bool bFirst = true;
    for (const CString& input : args.inputs) {
        if (ListOne(input, bFirst)) bFirst = false;
        else status = kExitFailed;
    }
    return status;
}

bool CliConverter::ListOne(const CString& strInput, bool bFirst) {
    try {
        if (!Load(strInput)) return false;
    } catch (const CFileException& error) {
        ReportFileFailure(error);
        return false;
    }
    FillPoiTable(m_store, m_table);
    if (!bFirst) m_out << '\n';
    WritePointList(m_out, strInput, m_table);
    m_out.flush();
    return true;
}
