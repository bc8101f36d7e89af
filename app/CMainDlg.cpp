#include "app/CMainDlg.h"

#include <cstring>
#include <string>

#include "app/FileFailureReport.h"
#include "mempoint/CMemPointStore.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"
#include "platform/MessageBox.h"
#include "platform/PathSplit.h"
#include "res/resource.h"

namespace {
constexpr const char* kMemPointFilter = "入力 ファイル (*.mem)|*.mem|";
constexpr const char* kAllFilesFilter = "すべてのファイル (*.*)|*.*||";
constexpr const char* kOutputFilter = "出力 ファイル (*.xml)|*.xml|すべてのファイル (*.*)|*.*||";
constexpr const char* kInputTitle = "入力 ファイル指定";
constexpr const char* kOutputTitle = "出力 ファイル指定";
constexpr const char* kDropRefused =
    "入力ファイルのファイルタイプが違います。\n拡張子[.mem]のファイルを選択して下さい。";
constexpr const char* kConverted = "変換が終了しました。\nOKボタンを押して下さい。";
// A map file's warnings and refused points: one box after the conversion, the first ones listed.
constexpr std::size_t kNotesShown = 20;
// The files a map conversion wrote, listed by name up to this many; past it the first and the last.
constexpr std::size_t kFilesListed = 20;

// The command line's first token lives in a work area of this size, terminator included.
constexpr size_t kCmdLineRoom = 256;

bool IsSeparator(char ch) { return ch == '\\' || ch == '/'; }

// A folder longer than the buffer is cut back to the longest of its ancestors that fits, so
// the browse still starts in a real folder and nothing is overrun.
void StoreFolder(char (&buffer)[CMainDlg::kDirSize], const CString& folder) {
    const std::string& text = folder.Str();
    size_t length = text.size();
    if (length >= sizeof buffer) {
        length = 0;
        for (size_t i = sizeof buffer - 1; i > 0; --i) {
            if (IsSeparator(text[i - 1])) {
                length = i;
                break;
            }
        }
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

bool IsTokenSeparator(char ch) { return ch == '"' || ch == ',' || ch == '\t' || ch == '\n'; }

// The first token of the command line. A token that does not fit the work area is refused
// (empty) rather than cut, since a cut name would name another file.
CString FirstToken(const CString& strCmdLine) {
    const std::string& text = strCmdLine.Str();
    size_t first = 0;
    while (first < text.size() && IsTokenSeparator(text[first])) ++first;
    size_t last = first;
    while (last < text.size() && !IsTokenSeparator(text[last])) ++last;
    if (last - first >= kCmdLineRoom) return CString();
    return CString(text.substr(first, last - first));
}

CString ReadFailedText(const CString& strInput) { return "ファイル " + strInput + " の読み込みに失敗しました"; }

CString FolderOf(const CString& path) {
    PathParts parts = SplitPath(path);
    return MakePath(parts.drive, parts.dir, "", "");
}

std::string BaseName(const CString& path) {
    PathParts parts = SplitPath(path);
    return MakePath("", "", parts.fname, parts.ext).Str();
}

// "10000 地点を 15 ファイルに書き込みました。", the folder, and the files.
std::string WrittenText(const MapConversionOutcome& outcome) {
    const std::vector<CString>& outputs = outcome.outputs;
    std::string text = std::to_string(outcome.points) + " 地点を" +
                       (outputs.size() > 1 ? " " + std::to_string(outputs.size()) + " ファイルに" : "") + "書き込みました。";
    CString folder = FolderOf(outputs.front());
    if (folder.IsEmpty()) folder = GetCurrentFolder();
    text += "\nフォルダ: " + folder.Str();
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs.size() > kFilesListed && i > 0 && i + 1 < outputs.size()) {
            if (i == 1) text += "\n…";
            continue;
        }
        text += "\n" + BaseName(outputs[i]);
    }
    return text;
}
}  // namespace

CMainDlg::CMainDlg(IMainDlgUi& ui, IMapConversion* maps) : m_ui(ui), m_maps(maps) {}

template <typename Handler>
void CMainDlg::Guarded(Handler handler) {
    try {
        handler();
    } catch (const CFileException& error) {
        // A file failure ends the command, not the dialog.
        ReportFileFailure(error);
    }
}

bool CMainDlg::OnInitDialog(const CString& strCmdLine) {
    Guarded([&] {
        UpdateData(false);
        InitFileNames(strCmdLine);
    });
    return true;
}

bool CMainDlg::OnCommand(int id) {
    switch (id) {
    case IDOK: Guarded([this] { OnOK(); }); return true;
    case IDCANCEL: Guarded([this] { OnCancel(); }); return true;
    case IDC_BROWSE_INPUT: Guarded([this] { OnBrowseInput(); }); return true;
    case IDC_BROWSE_OUTPUT: Guarded([this] { OnBrowseOutput(); }); return true;
    case ID_HELP_VERSION: Guarded([this] { OnHelpVersion(); }); return true;
    default: return false;
    }
}

bool CMainDlg::OnSysCommand(unsigned nID) {
    if ((nID & 0xFFF0u) != IDM_ABOUTBOX) return false;
    Guarded([this] { m_ui.RunAboutBox(); });
    return true;
}

void CMainDlg::OnDropFiles(const std::vector<CString>& names) {
    Guarded([&] {
        m_strInputFile.Empty();
        m_strOutputFile.Empty();
        for (const CString& name : names) m_strInputFile = name;  // the last file counts
        if (HasExtension(m_strInputFile, ".MEM") || (m_maps && m_maps->Takes(m_strInputFile))) {
            DeriveOutputName(m_strInputFile);
            m_ui.SetBoxText(IDC_INPUT_FILE, m_strInputFile);
            m_ui.SetBoxText(IDC_OUTPUT_FILE, m_strOutputFile);
            ProposeOutputSet(Count::chosen);
        } else {
            m_ui.MessageBox(kDropRefused, "Error", kMbOk | kMbIconExclamation);
        }
    });
}

void CMainDlg::OnOK() {
    UpdateData(true);
    const bool bMemPoints = HasExtension(m_strInputFile, ".MEM");
    const bool bMapFile = !bMemPoints && m_maps && m_maps->Takes(m_strInputFile);
    if (!bMemPoints && !bMapFile) {
        // A file of no kind read gets the store's answer (it refuses the name unopened), as the
        // command line gives it; only an empty box goes without a message.
        if (!m_strInputFile.IsEmpty()) {
            AfxMessageBox(CMemPointStore::UnrecognisedFileText(m_strInputFile), kMbOk);
            m_ui.MessageBox(ReadFailedText(m_strInputFile), "ERROR", kMbOk);
        }
        m_ui.GotoInputBox();
        return;
    }
    if (!HasExtension(m_strOutputFile, ".XML")) {
        DeriveOutputName(m_strInputFile);
        UpdateData(false);
        ProposeOutputSet(Count::taken);
        m_ui.FocusBox(IDC_OUTPUT_FILE);
        return;
    }
    if (bMapFile) {
        ConvertMapFile();
        return;
    }
    if (ConvertPoints() != 0) return;
    m_ui.MessageBox(kConverted, "終了", kMbOk);
    // Closing as confirmed reads the boxes once more.
    UpdateData(true);
    m_ui.EndDialog(IDOK);
}

void CMainDlg::OnCancel() { m_ui.EndDialog(IDCANCEL); }

void CMainDlg::OnBrowseInput() {
    FileDialogRequest request;
    request.bOpenFileDialog = true;
    request.defaultExt = "mem";
    request.flags = kOfnHideReadOnly | kOfnOverwritePrompt;
    request.filter = InputFilter();
    request.title = kInputTitle;
    request.initialDir = m_szInputDir;
    CString path;
    if (!m_ui.ChooseFile(request, path)) {
        m_ui.FocusBox(IDC_INPUT_FILE);
        return;
    }
    m_strInputFile = path;
    StoreFolder(m_szInputDir, FolderOf(path));
    DeriveOutputName(m_strInputFile);
    UpdateData(false);
    ProposeOutputSet(Count::chosen);
    m_ui.FocusBox(IDC_OUTPUT_FILE);
}

void CMainDlg::OnBrowseOutput() {
    FileDialogRequest request;
    request.bOpenFileDialog = false;
    request.defaultExt = "xml";
    request.flags = kOfnHideReadOnly | kOfnOverwritePrompt | kOfnPathMustExist;
    request.filter = kOutputFilter;
    request.title = kOutputTitle;
    request.initialDir = m_szOutputDir;
    CString path;
    if (m_ui.ChooseFile(request, path)) {
        m_strOutputFile = path;
        // The next output browse starts again in the input file's folder.
        StoreFolder(m_szOutputDir, FolderOf(m_strInputFile));
        UpdateData(false);
        ProposeOutputSet(Count::taken);
    }
    m_ui.FocusBox(IDC_OUTPUT_FILE);
}

void CMainDlg::OnHelpVersion() { m_ui.RunAboutBox(); }

void CMainDlg::InitFileNames(const CString& strCmdLine) {
    StoreFolder(m_szInputDir, GetCurrentFolder());
    std::memcpy(m_szOutputDir, m_szInputDir, sizeof m_szOutputDir);
    m_strInputFile.Empty();
    m_strOutputFile.Empty();
    m_strInputFile = FirstToken(strCmdLine);
    if (!m_strInputFile.IsEmpty()) DeriveOutputName(m_strInputFile);
    m_ui.SetBoxText(IDC_INPUT_FILE, m_strInputFile);
    m_ui.SetBoxText(IDC_OUTPUT_FILE, m_strOutputFile);
    ProposeOutputSet(Count::chosen);
    if (m_strInputFile.IsEmpty()) m_ui.GotoInputBox();
}

bool CMainDlg::HasExtension(const CString& strName, const char* ext) { return PathHasExtension(strName, ext); }

void CMainDlg::DeriveOutputName(const CString& strInput) {
    PathParts parts = SplitPath(strInput);
    m_strOutputFile = MakePath(parts.drive, parts.dir, parts.fname, "xml");
    CString folder = MakePath(parts.drive, parts.dir, "", "");
    StoreFolder(m_szInputDir, folder);
    StoreFolder(m_szOutputDir, folder);
}

int CMainDlg::ConvertPoints() {
    using Stage = MemPointOutcome::Stage;
    if (!m_maps) {
        m_ui.MessageBox(ReadFailedText(m_strInputFile), "ERROR", kMbOk);
        return -1;
    }
    const MemPointOutcome outcome = m_maps->ConvertMemPoints(m_strInputFile, m_strOutputFile);
    switch (outcome.stage) {
    case Stage::converted: return 0;
    case Stage::notRead:
        ReportStoreMessage(outcome.message);
        m_ui.MessageBox(ReadFailedText(m_strInputFile), "ERROR", kMbOk);
        break;
    // The name as typed, not as the file layer resolved it.
    case Stage::notOpened: ReportOutputOpenFailure(outcome.error, m_strOutputFile); break;
    case Stage::failed: ReportFileFailure(outcome.error); break;
    }
    return -1;
}

void CMainDlg::ConvertMapFile() {
    const MapConversionOutcome outcome = m_maps->Convert(m_strInputFile, m_strOutputFile, kNotesShown);
    std::string text;
    const auto line = [&text](const std::string& part) { text += (text.empty() ? "" : "\n") + part; };
    for (const std::string& note : outcome.notes) line(note);
    if (outcome.notesLeftOut > 0) line("ほか " + std::to_string(outcome.notesLeftOut) + " 件");
    for (const std::string& failure : outcome.failures) line(failure);
    if (outcome.outputs.empty()) {
        // Nothing written: the dialog stays open for another attempt.
        if (text.empty()) line("ファイル " + m_strInputFile.Str() + " は変換できませんでした");
        m_ui.MessageBox(text, "ERROR", kMbOk | kMbIconStop);
        return;
    }
    if (!text.empty()) m_ui.MessageBox(text, "警告", kMbOk | kMbIconExclamation);
    m_ui.MessageBox(WrittenText(outcome), "変換結果", kMbOk);
    m_ui.MessageBox(kConverted, "終了", kMbOk);
    UpdateData(true);
    m_ui.EndDialog(IDOK);
}

CString CMainDlg::InputFilter() const {
    CString filter = kMemPointFilter;
    if (m_maps)
        for (const InputKind& kind : m_maps->InputKinds())
            filter += kind.title + " (" + kind.patterns + ")|" + kind.patterns + "|";
    return filter + kAllFilesFilter;
}

void CMainDlg::OnBoxEdited() {
    CString input, output;
    m_ui.ReadBoxes(input, output);
    ShowOutputSet(OutputSetText(input, output, Count::typed));
}

CString CMainDlg::OutputSetText(const CString& strInput, const CString& strOutput, Count count) {
    if (!m_maps || strInput.IsEmpty() || HasExtension(strInput, ".MEM") || !m_maps->Takes(strInput)) return CString();
    if (count == Count::chosen || m_strCountedInput != strInput) {
        // Typing is not choosing: an input typed is read when the convert command takes it.
        if (count == Count::typed) return CString();
        m_strCountedInput = strInput;
        m_bCounted = m_maps->CountPoints(strInput, m_nCountedPoints);
    }
    if (!m_bCounted || m_nCountedPoints == 0 || !HasExtension(strOutput, ".XML")) return CString();
    const std::vector<CString> names = m_maps->OutputNames(strOutput, m_nCountedPoints);
    std::string text = std::to_string(m_nCountedPoints) + " 地点を";
    if (names.size() <= 1) return text + "書き込みます";
    return text + " " + std::to_string(names.size()) + " ファイルに分けて書き込みます:\n" + BaseName(names.front()) + " … " +
           BaseName(names.back());
}

void CMainDlg::ProposeOutputSet(Count count) { ShowOutputSet(OutputSetText(m_strInputFile, m_strOutputFile, count)); }

void CMainDlg::ShowOutputSet(const CString& text) {
    // The memory-point road never shows the line, so its boxes' calls stay as they were.
    if (text == m_strOutputSet) return;
    m_strOutputSet = text;
    m_ui.SetBoxText(IDC_OUTPUT_SET, text);
}

void CMainDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) m_ui.ReadBoxes(m_strInputFile, m_strOutputFile);
    else m_ui.WriteBoxes(m_strInputFile, m_strOutputFile);
}
