#include "app/CMainDlg.h"

#include <cmath>
#include <cstring>
#include <string>

#include "app/CConverterApp.h"
#include "app/FileFailureReport.h"
#include "pipeline/BatchPlan.h"
#include "pipeline/Conversion.h"
#include "formats/FormatRegistry.h"
#include "text/MapError.h"
#include "readings/UserReadings.h"
#include "mempoint/CMemPointStore.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"
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

const Format& Glorie() { return *FormatRegistry::Find("glorie"); }

// The options of "quorvel-cli INPUT --to glorie": every other option at its default, but the
// messages in the dialog's own words (no option named, no map jargon), and a memory-point file
// into the one document the user named, record for record, its failures for the dialog to word.
ConversionOptions GlorieOptions() {
    ConversionOptions options;
    options.target = &Glorie();
    options.read.plainWords = true;
    options.recordForRecord = true;
    options.oneDocument = true;
    return options;
}

// A point the conversion writes into the unit's document, by the rules it refuses the others
// with: a position on a map, not 0/0 ("no position"), neither south nor west. east: 360 for the
// unit's own east-only files.
bool Written(const Place& place, double east) {
    return std::fabs(place.latitude) <= 90 && place.longitude >= -180 && place.longitude <= east &&
           !(place.latitude == 0 && place.longitude == 0) && place.latitude >= 0 && place.longitude >= 0;
}

std::size_t CountWritten(const MapReadResult& read, double east) {
    std::size_t count = 0;
    for (const Place& place : read.places) count += Written(place, east) ? 1 : 0;
    return count;
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

CMainDlg::CMainDlg(IMainDlgUi& ui, Inputs inputs)
    : m_ui(ui), m_inputs(inputs), m_conversion(std::make_unique<Conversion>(GlorieOptions())) {}

CMainDlg::~CMainDlg() = default;

template <typename Handler>
void CMainDlg::Guarded(Handler handler) {
    try {
        handler();
    } catch (const CFileException& error) {
        // A file failure ends the command, not the dialog.
        ReportFileFailure(m_ui, error);
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
        if (HasExtension(m_strInputFile, ".MEM") || TakesMapFile(m_strInputFile)) {
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
    const bool bMapFile = !bMemPoints && TakesMapFile(m_strInputFile);
    if (!bMemPoints && !bMapFile) {
        // A file of no kind read gets the store's answer (it refuses the name unopened), as the
        // command line gives it; only an empty box goes without a message.
        if (!m_strInputFile.IsEmpty()) {
            AfxMessageBox(m_ui, CMemPointStore::UnrecognisedFileText(m_strInputFile), kMbOk);
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
    using Stop = ConversionResult::Stop;
    const ConversionResult outcome = m_conversion->Convert({m_strInputFile}, m_strOutputFile);
    switch (outcome.stop) {
    case Stop::none: return 0;
    case Stop::notRead:
        ReportStoreMessage(m_ui, CString(outcome.readFailure));
        m_ui.MessageBox(ReadFailedText(m_strInputFile), "ERROR", kMbOk);
        break;
    // The name as typed, not as the file layer resolved it.
    case Stop::notOpened: ReportOutputOpenFailure(m_ui, outcome.error, m_strOutputFile); break;
    case Stop::failed: ReportFileFailure(m_ui, outcome.error); break;
    }
    return -1;
}

void CMainDlg::ConvertMapFile() {
    const MapConversionOutcome outcome = ConvertMap(m_strInputFile, m_strOutputFile, kNotesShown);
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
    if (m_inputs == Inputs::all)
        for (const Format* format : FormatRegistry::All()) {
            if (format == FormatRegistry::Find("mem")) continue;  // the first entry
            std::string patterns;
            const auto add = [&patterns](const char* extension) {
                if (extension) patterns += (patterns.empty() ? "*" : ";*") + std::string(extension);
            };
            for (const char* extension : format->extensions) add(extension);
            for (const char* extension : format->inputExtensions) add(extension);
            filter += std::string(format->title) + " (" + patterns + ")|" + patterns + "|";
        }
    return filter + kAllFilesFilter;
}

void CMainDlg::OnBoxEdited() {
    CString input, output;
    m_ui.ReadBoxes(input, output);
    ShowOutputSet(OutputSetText(input, output, Count::typed));
}

CString CMainDlg::OutputSetText(const CString& strInput, const CString& strOutput, Count count) {
    if (strInput.IsEmpty() || HasExtension(strInput, ".MEM") || !TakesMapFile(strInput)) return CString();
    if (count == Count::chosen || m_strCountedInput != strInput) {
        // Typing is not choosing: an input typed is read when the convert command takes it.
        if (count == Count::typed) return CString();
        m_strCountedInput = strInput;
        m_bCounted = CountPoints(strInput, m_nCountedPoints);
    }
    if (!m_bCounted || m_nCountedPoints == 0 || !HasExtension(strOutput, ".XML")) return CString();
    const std::size_t perFile = static_cast<std::size_t>(Glorie().pointsPerFile);
    const std::size_t files = m_nCountedPoints <= perFile ? 1 : (m_nCountedPoints + perFile - 1) / perFile;
    const std::vector<CString> names = Conversion::SplitNames(strOutput, static_cast<int>(files));
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

bool CMainDlg::TakesMapFile(const CString& strInput) const {
    if (m_inputs == Inputs::memPointFiles) return false;
    // A memory-point file and a name no format takes are the unit's own road.
    const Format* byName = FormatRegistry::ForInputPath(strInput.Str());
    if (!byName || byName == FormatRegistry::Find("mem")) return false;
    std::vector<BatchJob> jobs;
    Message reason;
    BatchRequest request;
    request.inputs = {strInput};
    request.target = &Glorie();
    // The road alone is asked here: a name beside itself cannot clash with another input.
    request.output = strInput + ".xml";
    request.hasOutput = true;
    return BatchPlan::Make(request, jobs, reason);
}

MapConversionOutcome CMainDlg::ConvertMap(const CString& strInput, const CString& strOutput, std::size_t notesKept) {
    MapConversionOutcome outcome;
    BatchRequest request;
    request.inputs = {strInput};
    request.target = &Glorie();
    request.output = strOutput;
    request.hasOutput = true;
    std::vector<BatchJob> jobs;
    Message reason;
    // The command line's checks: an output over its own input (a glorie document) is refused.
    if (!BatchPlan::Make(request, jobs, reason)) {
        outcome.failures.push_back(Words(reason));
        return outcome;
    }
    // The readings file of its documented places, read again for each conversion so that a line
    // added to it counts at once; what it cannot take is said among the notes.
    std::vector<Message> warnings;
    m_conversion->SetUserReadings(UserReadings::LoadDialogFiles(warnings));
    for (const Message& warning : warnings)
        if (outcome.notes.size() < notesKept)
            outcome.notes.push_back("警告: " + Words(warning));
        else
            ++outcome.notesLeftOut;
    // Notes past the kept ones are only counted: a file of 100,000 points at sea has one each.
    m_conversion->SetMessageSink([&](const ConversionMessage& message) {
        switch (message.kind) {
        case ConversionMessage::Kind::written: break;
        case ConversionMessage::Kind::failure: outcome.failures.push_back(message.text); break;
        case ConversionMessage::Kind::warning:
        case ConversionMessage::Kind::refusal:
            if (outcome.notes.size() < notesKept)
                outcome.notes.push_back(message.kind == ConversionMessage::Kind::warning ? "警告: " + message.text : message.text);
            else
                ++outcome.notesLeftOut;
            break;
        }
    });
    const ConversionResult result = m_conversion->Convert(jobs[0].inputs, jobs[0].output);
    m_conversion->SetMessageSink(nullptr);
    outcome.outputs = result.outputs;
    outcome.points = result.written;
    return outcome;
}

bool CMainDlg::CountPoints(const CString& strInput, std::size_t& points) {
    points = 0;
    if (!TakesMapFile(strInput)) return false;
    std::string bytes;
    // A failure here only leaves the names unshown: the conversion reads the file again and says why.
    try {
        CFile file;
        CFileException error;
        if (!file.Open(strInput, CFile::modeRead | CFile::shareDenyWrite, &error)) return false;
        const std::uint64_t length = file.GetLength();
        if (length > kMaxInputBytes) return false;
        bytes.resize(static_cast<std::size_t>(length));
        if (length > 0 && file.Read(&bytes[0], static_cast<unsigned>(length)) != length) return false;
        file.Close();
    } catch (const CFileException&) {
        return false;
    }
    const Format* format = FormatRegistry::ForInput(strInput.Str(), bytes);
    if (!format) return false;
    const ReadOptions options = GlorieOptions().read;
    const double east = format->unit ? 360 : 180;
    try {
        // A table is read a batch at a time, as the conversion reads a large one.
        if (format->openBatches) {
            const std::unique_ptr<PlaceBatches> batches = format->openBatches(std::move(bytes), strInput.Str(), options);
            for (MapReadResult read; batches->Next(65536, read);) points += CountWritten(read, east);
        } else {
            points = CountWritten(format->read(std::move(bytes), strInput.Str(), options), east);
        }
    } catch (const MapError&) {
        points = 0;
        return false;
    }
    return true;
}
