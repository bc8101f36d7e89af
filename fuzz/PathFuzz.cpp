// Arbitrary text through the path rules and the dialog's name handling. Input: a current folder,
// a NUL byte, then the name or command line (without the NUL: the whole input is the name).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzHosts.h"
#include "app/CMainDlg.h"
#include "platform/PathSplit.h"
#include "support/MemoryCalls.h"

using fuzzcheck::Require;

namespace {
bool Terminated(const char (&buffer)[CMainDlg::kDirSize]) { return std::memchr(buffer, '\0', sizeof buffer) != nullptr; }

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

void CheckSplit(const CString& name) {
    const PathParts parts = SplitPath(name);
    Require(parts.drive.GetLength() <= 2 && parts.dir.GetLength() <= 255 && parts.fname.GetLength() <= 255 &&
                parts.ext.GetLength() <= 255,
            "a part exceeds its room");
    Require(parts.ext.IsEmpty() || parts.ext.GetAt(0) == '.', "an extension without its dot");
    Require(parts.dir.IsEmpty() || parts.dir.GetLength() == 255 || IsSeparator(parts.dir.Str().back()),
            "a folder without its separator");
    const std::string& f = parts.fname.Str();
    Require(std::none_of(f.begin(), f.end(), IsSeparator), "a separator in the base name");
    const std::string& e = parts.ext.Str();
    Require(std::none_of(e.begin(), e.end(), IsSeparator), "a separator in the extension");
    const bool cut = parts.dir.GetLength() == 255 || parts.fname.GetLength() == 255 || parts.ext.GetLength() == 255;
    if (!cut) Require(MakePath(parts.drive, parts.dir, parts.fname, parts.ext) == name, "split and join differ");

    std::string upper = e;
    for (char& ch : upper) ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
    Require(PathHasExtension(name, ".MEM") == (upper == ".MEM"), "the extension test disagrees with the split");
}

void CheckDerive(const CString& name) {
    fuzzcheck::FakeDialogUi ui;
    CMainDlg dlg(ui);
    std::memset(dlg.m_szInputDir, 'x', sizeof dlg.m_szInputDir);
    std::memset(dlg.m_szOutputDir, 'y', sizeof dlg.m_szOutputDir);
    dlg.DeriveOutputName(name);
    Require(Terminated(dlg.m_szInputDir) && Terminated(dlg.m_szOutputDir), "a folder buffer lost its terminator");
    Require(std::strcmp(dlg.m_szInputDir, dlg.m_szOutputDir) == 0, "the two folders differ");
    Require(CMainDlg::HasExtension(dlg.m_strOutputFile, ".XML"), "the derived name is not an .xml name");
    const std::string folder = dlg.m_szInputDir;
    Require(dlg.m_strOutputFile.Str().compare(0, folder.size(), folder) == 0,
            "the folder is not where the derived name lies");
}

void CheckCommandLine(const std::string& cwd, const CString& cmdLine) {
    MemoryCalls calls(cwd);
    fuzzcheck::FakeDialogUi ui;
    CMainDlg dlg(ui);
    Require(dlg.OnInitDialog(cmdLine), "start-up did not give the focus");
    Require(Terminated(dlg.m_szInputDir) && Terminated(dlg.m_szOutputDir), "a folder buffer lost its terminator");
    Require(ui.boxes.empty(), "start-up showed a box");
    const std::string& token = ui.inputBox.Str();
    Require(token.size() < 256, "the first token exceeds the work area");
    Require(token.find_first_of("\",\t\n") == std::string::npos, "the token holds a separator");
    Require(cmdLine.Str().find(token) != std::string::npos, "the token is not from the command line");
    Require(ui.inputBox == dlg.m_strInputFile && ui.outputBox == dlg.m_strOutputFile, "boxes and names differ");
    if (token.empty()) {
        Require(ui.focus == 1000 && ui.outputBox.IsEmpty(), "an empty command line must focus the input box");
    } else {
        Require(CMainDlg::HasExtension(ui.outputBox, ".XML"), "no output name proposed");
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = input.find('\0');
    const std::string cwd = "/" + (nul == std::string::npos ? std::string("work") : input.substr(0, nul));
    const CString name(nul == std::string::npos ? input : input.substr(nul + 1));

    CheckSplit(name);
    CheckDerive(name);
    CheckCommandLine(cwd, name);
    return 0;
}
