// Drives the real quorvel.exe inside Wine: starts it, finds its windows and controls by class,
// caption and id, types (WM_SETTEXT), clicks (BM_CLICK), drops files (WM_DROPFILES) and reads
// message boxes. Prints "PASS case" or "FAIL case: why" per case; the exit code is the failures.
//
//   quorvel_wine_driver make-input <folder>
//   quorvel_wine_driver convert <quorvel.exe> <input.mem> <golden document>
//   quorvel_wine_driver drop-convert <quorvel.exe> <map file> <golden document>
//   quorvel_wine_driver pose <quorvel.exe> <input.mem> main|message|about <done file>
//   quorvel_wine_driver <quorvel.exe> <work folder> <golden document> [case...]
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/WideText.h"
#include "res/dialog.h"
#include "res/resource.h"
#include "tests/support/DialogCases.h"
#include "tests/win32/WineInput.h"

namespace {
constexpr DWORD kWaitMs = 15000;
constexpr DWORD kQuietMs = 1500;  // how long "no box appears" is watched
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kMainCaption[] = L"Quorvel";
constexpr wchar_t kAboutCaption[] = L"Quorvelのﾊﾞｰｼﾞｮﾝ情報";
constexpr wchar_t kAppCaption[] = L"quorvel";
constexpr wchar_t kAboutItem[] = L"Quorvel  のﾊﾞｰｼﾞｮﾝ情報(&A)...";

struct Failure : std::runtime_error {
    explicit Failure(const std::string& why) : std::runtime_error(why) {}
};

std::string U8(const std::wstring& text) { return WideToUtf8(text); }

void Check(bool condition, const std::string& why) {
    if (!condition) throw Failure(why);
}

void CheckText(const std::wstring& actual, const std::wstring& expected, const std::string& what) {
    if (actual != expected) throw Failure(what + ": got \"" + U8(actual) + "\", expected \"" + U8(expected) + "\"");
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return std::string();
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Names in a folder matching a pattern, e.g. every file a failed write might have left; the
// file `except` (which "name.*" matches too) is not counted.
std::vector<std::wstring> FilesMatching(const std::wstring& pattern, const std::wstring& except = L"") {
    const std::wstring self = except.substr(except.rfind(L'\\') + 1);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && self != data.cFileName)
            names.emplace_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

std::wstring WindowText(HWND hWnd) {
    wchar_t buffer[2048] = {};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, kWaitMs, &result);
    return buffer;
}

std::wstring ClassOf(HWND hWnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hWnd, name, 64);
    return name;
}

void Settle() { ::Sleep(150); }

// One run of quorvel.exe; ended by force if a case leaves it running.
class Program {
public:
    Program(const std::wstring& exe, const std::wstring& arguments) {
        std::wstring line = L"\"" + exe + L"\"";
        if (!arguments.empty()) line += L" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        if (!::CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            throw Failure("cannot start quorvel.exe, error " + std::to_string(::GetLastError()));
        ::WaitForInputIdle(m_pi.hProcess, kWaitMs);
    }
    ~Program() {
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(m_pi.hProcess, 99);
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // A top-level dialog of this process with exactly this caption; nullptr when none.
    HWND Find(const std::wstring& caption) const {
        for (HWND hWnd : Dialogs()) {
            wchar_t text[256] = {};
            ::GetWindowTextW(hWnd, text, 256);
            if (caption == text) return hWnd;
        }
        return nullptr;
    }

    HWND WaitFor(const std::wstring& caption) const {
        const DWORD start = ::GetTickCount();
        for (;;) {
            if (HWND hWnd = Find(caption)) {
                Settle();
                return hWnd;
            }
            if (HasEnded()) throw Failure("the program ended before \"" + U8(caption) + "\" appeared");
            if (::GetTickCount() - start > kWaitMs) throw Failure("no window \"" + U8(caption) + "\" appeared");
            ::Sleep(50);
        }
    }

    // No dialog of the process other than the listed ones turns up for a while.
    void ExpectNoOtherWindow(const std::vector<HWND>& known) const {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < kQuietMs) {
            std::vector<HWND> all = Dialogs();
            for (HWND hWnd : all) {
                bool isKnown = false;
                for (HWND k : known) isKnown = isKnown || k == hWnd;
                if (!isKnown) throw Failure("unexpected window \"" + U8(WindowText(hWnd)) + "\"");
            }
            ::Sleep(100);
        }
    }

    // The visible top-level dialogs of this process.
    std::vector<HWND> Dialogs() const {
        Search search{m_pi.dwProcessId, {}};
        ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    bool HasEnded() const { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }

    void WaitForEnd() const {
        Check(::WaitForSingleObject(m_pi.hProcess, kWaitMs) == WAIT_OBJECT_0, "the program did not end");
    }

    HWND Focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(m_pi.dwThreadId, &info);
        return info.hwndFocus;
    }

    HANDLE Process() const { return m_pi.hProcess; }

private:
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    };
    static BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM lParam) {
        auto* s = reinterpret_cast<Search*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        if (pid == s->pid && ::IsWindowVisible(hWnd) && ClassOf(hWnd) == kDialogClass) s->found.push_back(hWnd);
        return TRUE;
    }

    PROCESS_INFORMATION m_pi = {};
};

void Click(HWND hButton) {
    Check(hButton != nullptr, "no such button");
    ::PostMessageW(hButton, BM_CLICK, 0, 0);
}

void Type(HWND hDialog, int id, const std::wstring& text) {
    HWND hBox = ::GetDlgItem(hDialog, id);
    Check(hBox != nullptr, "no box " + std::to_string(id));
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kWaitMs, &result);
}

std::wstring BoxText(HWND hDialog, int id) { return WindowText(::GetDlgItem(hDialog, id)); }

// The message of a message box: its static text control with text.
std::wstring MessageText(HWND hBox) {
    std::wstring text;
    for (HWND child = ::GetWindow(hBox, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static") continue;
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        std::wstring t = WindowText(child);
        if (!t.empty()) text = t;
    }
    return text;
}

// Whether the box shows an icon (the completion box has none; the application's boxes do).
bool ShowsIcon(HWND hBox) {
    for (HWND child = ::GetWindow(hBox, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ::IsWindowVisible(child) && ::SendMessageW(child, STM_GETICON, 0, 0) != 0)
            return true;
    }
    return false;
}

void ExpectBox(const Program& program, const std::wstring& caption, const std::wstring& text, bool icon) {
    HWND hBox = program.WaitFor(caption);
    CheckText(MessageText(hBox), text, "text of the box \"" + U8(caption) + "\"");
    Check(::GetWindow(hBox, GW_OWNER) == program.Find(kMainCaption), "the box \"" + U8(caption) + "\" is not owned by the main dialog");
    Check(ShowsIcon(hBox) == icon, "box \"" + U8(caption) + (icon ? "\" shows no icon" : "\" shows an icon"));
    Click(::GetDlgItem(hBox, IDOK));
    const DWORD start = ::GetTickCount();
    while (::IsWindow(hBox) && ::IsWindowVisible(hBox)) {
        Check(::GetTickCount() - start < kWaitMs, "the box \"" + U8(caption) + "\" did not close");
        ::Sleep(50);
    }
    Settle();
}

// A drop as the shell makes it: DROPFILES and the wide names, double-NUL ended, placed in the
// target process (an HGLOBAL of fixed memory is its own address, so DragQueryFile reads it there).
void Drop(const Program& program, HWND hMain, const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names) list += name + L'\0';
    list += L'\0';
    const SIZE_T size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL hLocal = ::GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    Check(hLocal != nullptr, "GlobalAlloc failed");
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(hLocal));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    void* remote = ::VirtualAllocEx(program.Process(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    Check(remote != nullptr, "VirtualAllocEx failed");
    SIZE_T written = 0;
    Check(::WriteProcessMemory(program.Process(), remote, drop, size, &written) && written == size,
          "WriteProcessMemory failed");
    ::GlobalUnlock(hLocal);
    ::GlobalFree(hLocal);
    ::PostMessageW(hMain, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
    Settle();
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

struct Context {
    std::wstring exe;
    std::wstring work;  // ends with a backslash
    std::string golden;
};

void ExpectGolden(const Context& c, const std::wstring& output) {
    const std::string bytes = ReadFileBytes(output);
    Check(!bytes.empty(), "no document " + U8(output));
    Check(bytes == c.golden, "document " + U8(output) + " differs from the golden file (" +
                                 std::to_string(bytes.size()) + " bytes, expected " + std::to_string(c.golden.size()) + ")");
    Check(FilesMatching(output + L".*", output).empty(), "a temporary file was left beside " + U8(output));
}

const std::wstring kConverted = L"変換が終了しました。\nOKボタンを押して下さい。";

// Converts input named on the command line; its document must equal the golden bytes.
void ConvertFromCommandLine(const Context& c, const std::wstring& input) {
    const std::wstring output = input.substr(0, input.rfind(L'.')) + L".xml";
    ::DeleteFileW(output.c_str());
    Program program(c.exe, Quoted(input));
    HWND hMain = program.WaitFor(kMainCaption);
    CheckText(BoxText(hMain, IDC_INPUT_FILE), input, "input box");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), output, "output box");
    Click(::GetDlgItem(hMain, IDOK));
    ExpectBox(program, L"終了", kConverted, false);
    program.WaitForEnd();
    ExpectGolden(c, output);
}

void CaseReplaceExisting(const Context& c) {
    // An older, longer document is replaced whole; the name without quotes arrives whole too.
    const std::wstring input = c.work + L"route.mem";
    const std::wstring output = c.work + L"route.xml";
    {
        std::ofstream old(output.c_str(), std::ios::binary);
        old << std::string(c.golden.size() + 5000, 'x');
    }
    Program program(c.exe, input);
    HWND hMain = program.WaitFor(kMainCaption);
    Click(::GetDlgItem(hMain, IDOK));
    ExpectBox(program, L"終了", kConverted, false);
    program.WaitForEnd();
    ExpectGolden(c, output);
}

// Files held open elsewhere without sharing: neither is read nor replaced.
void CaseFilesInUse(const Context& c) {
    const std::wstring input = c.work + L"route.mem";
    const std::wstring output = c.work + L"held.xml";
    {
        std::ofstream old(output.c_str(), std::ios::binary);
        old << "held document";
    }
    Program program(c.exe, Quoted(input));
    HWND hMain = program.WaitFor(kMainCaption);
    HANDLE hHeld = ::CreateFileW(input.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(hHeld != INVALID_HANDLE_VALUE, "cannot hold the input");
    Click(::GetDlgItem(hMain, IDOK));
    ExpectBox(program, kAppCaption, L"ファイルの共有違反です", true);
    ExpectBox(program, L"ERROR", L"ファイル " + input + L" の読み込みに失敗しました", false);
    ::CloseHandle(hHeld);

    hHeld = ::CreateFileW(output.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(hHeld != INVALID_HANDLE_VALUE, "cannot hold the output");
    Type(hMain, IDC_OUTPUT_FILE, output);
    Click(::GetDlgItem(hMain, IDOK));
    ExpectBox(program, kAppCaption, L"\"" + output + L"\"\n\nSHARE.EXE 未ロードまたは共有領域ロック済み", true);
    program.ExpectNoOtherWindow({hMain});
    ::CloseHandle(hHeld);
    Check(ReadFileBytes(output) == "held document", "the held document was changed");
    Check(FilesMatching(output + L".*", output).empty(), "a temporary file was left beside the held document");
    Click(::GetDlgItem(hMain, IDCANCEL));
    program.WaitForEnd();
}

void CaseDropLongName(const Context& c) {
    // A name longer than 255 characters reaches the dialog cut to 255.
    Program program(c.exe, L"");
    HWND hMain = program.WaitFor(kMainCaption);
    std::wstring longName = c.work;
    while (longName.size() < 300) longName += L"d\\";
    longName += L"x.mem";
    Drop(program, hMain, {longName});
    program.WaitFor(L"Error");  // the cut name no longer ends in .mem
    HWND hBox = program.Find(L"Error");
    Click(::GetDlgItem(hBox, IDOK));
    Settle();
    CheckText(BoxText(hMain, IDC_INPUT_FILE), L"", "input box after the refused long drop");
    Drop(program, hMain, {longName.substr(0, 251) + L".mem"});
    program.ExpectNoOtherWindow({hMain});
    CheckText(BoxText(hMain, IDC_INPUT_FILE), longName.substr(0, 251) + L".mem", "input box after a 255-character drop");
    Click(::GetDlgItem(hMain, IDCANCEL));
    program.WaitForEnd();
}

// The common file dialog's name box, found by its class among the dialog's controls.
HWND FileNameBox(HWND hDialog) {
    for (int id : {0x047C, 0x0480}) {  // cmb13 and edt1, the ids the explorer-style dialog uses
        HWND hBox = ::GetDlgItem(hDialog, id);
        if (hBox == nullptr) continue;
        if (ClassOf(hBox) == L"Edit") return hBox;
        if (HWND hEdit = ::FindWindowExW(hBox, nullptr, L"Edit", nullptr)) return hEdit;
        HWND hInner = ::FindWindowExW(hBox, nullptr, nullptr, nullptr);
        if (hInner != nullptr) {
            if (HWND hEdit = ::FindWindowExW(hInner, nullptr, L"Edit", nullptr)) return hEdit;
        }
    }
    return nullptr;
}

// Waits for the file dialog, checks its filter and starting folder, then confirms the name typed
// (relative to the starting folder) or cancels when name is empty.
void UseFileDialog(const Program& program, const std::wstring& title, const std::wstring& filter,
                   const std::wstring& folderName, const std::wstring& name) {
    HWND hDialog = program.WaitFor(title);
    ::Sleep(300);
    CheckText(WindowText(::GetDlgItem(hDialog, 0x0470)), filter, "first filter of \"" + U8(title) + "\"");
    CheckText(WindowText(::GetDlgItem(hDialog, 0x0471)), folderName, "starting folder of \"" + U8(title) + "\"");
    if (name.empty()) {
        Click(::GetDlgItem(hDialog, IDCANCEL));
    } else {
        HWND hName = FileNameBox(hDialog);
        Check(hName != nullptr, "no name box in \"" + U8(title) + "\"");
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), SMTO_ABORTIFHUNG, kWaitMs, &result);
        Click(::GetDlgItem(hDialog, IDOK));
    }
    const DWORD start = ::GetTickCount();
    while (::IsWindow(hDialog)) {
        Check(::GetTickCount() - start < kWaitMs, "\"" + U8(title) + "\" did not close");
        ::Sleep(50);
    }
    Settle();
}

void ExpectFocusSelected(const Program& program, HWND hMain, int id, const std::string& what) {
    HWND hBox = ::GetDlgItem(hMain, id);
    Check(program.Focus() == hBox, what + ": the box has no focus");
    const DWORD packed = static_cast<DWORD>(::SendMessageW(hBox, EM_GETSEL, 0, 0));
    Check(LOWORD(packed) == 0 && HIWORD(packed) == WindowText(hBox).size(), what + ": the text is not selected");
}

// One case of the table every front passes (tests/support/DialogCases.h) on quorvel.exe: the
// user's steps by messages, each box answered with OK. The work folder is shared by the cases,
// so the names a case writes or must not find are removed first.
void RunDialogCase(const Context& c, const dialogcases::Case& dc) {
    const std::string dir = U8(c.work);
    const auto expand = [&dir](const char* pattern) { return Utf8ToWide(dialogcases::Expand(pattern, dir, '\\')); };
    for (const char* name : dc.written) ::DeleteFileW((c.work + Utf8ToWide(name)).c_str());
    for (const char* name : dc.absent) ::DeleteFileW((c.work + Utf8ToWide(name)).c_str());
    const std::wstring start = expand(dc.commandLine);
    Program program(c.exe, start.empty() ? L"" : Quoted(start));
    HWND hMain = program.WaitFor(kMainCaption);
    CheckText(BoxText(hMain, IDC_INPUT_FILE), start, "input box at start");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), Utf8ToWide(dialogcases::ProposedOutput(U8(start))), "output box at start");
    for (const dialogcases::Step& step : dc.steps) {
        switch (step.act) {
        case dialogcases::Act::typeOutput: Type(hMain, IDC_OUTPUT_FILE, expand(step.names)); break;
        case dialogcases::Act::convert: Click(::GetDlgItem(hMain, IDOK)); break;
        case dialogcases::Act::drop: {
            std::vector<std::wstring> names;
            for (const std::string& name : dialogcases::ExpandList(step.names, dir, '\\')) names.push_back(Utf8ToWide(name));
            Drop(program, hMain, names);
            break;
        }
        case dialogcases::Act::cancel: Click(::GetDlgItem(hMain, IDCANCEL)); break;
        }
        for (const dialogcases::Box& box : step.boxes)
            ExpectBox(program, Utf8ToWide(box.caption), expand(box.text), (box.style & kMbIconMask) != 0);
        if (dc.endResult == 0 || &step != &dc.steps.back()) program.ExpectNoOtherWindow({hMain});
    }
    if (dc.endResult != 0) {
        program.WaitForEnd();
        DWORD code = 1;
        ::GetExitCodeProcess(program.Process(), &code);
        Check(code == 0, "exit code " + std::to_string(code));
    } else {
        Check(!program.HasEnded() && ::IsWindowVisible(hMain), "the dialog closed");
        if (dc.inputBox) CheckText(BoxText(hMain, IDC_INPUT_FILE), expand(dc.inputBox), "input box at the end");
        if (dc.outputBox) CheckText(BoxText(hMain, IDC_OUTPUT_FILE), expand(dc.outputBox), "output box at the end");
        if (dc.focus) ExpectFocusSelected(program, hMain, dc.focus, "at the end");
        Click(::GetDlgItem(hMain, IDCANCEL));
        program.WaitForEnd();
    }
    for (const char* name : dc.written) ExpectGolden(c, c.work + Utf8ToWide(name));
    for (const char* name : dc.absent) Check(!FileExists(c.work + Utf8ToWide(name)), std::string(name) + " exists");
}

std::wstring FolderName(const std::wstring& work) {
    const std::wstring folder = work.substr(0, work.size() - 1);
    return folder.substr(folder.rfind(L'\\') + 1);
}

void CaseBrowse(const Context& c) {
    const std::wstring chosen = c.work + L"chosen.xml";
    ::DeleteFileW(chosen.c_str());
    Program program(c.exe, Quoted(c.work + L"cancel.mem"));
    HWND hMain = program.WaitFor(kMainCaption);
    // Input: confirmed by name in the starting folder; the output name follows it.
    Click(::GetDlgItem(hMain, IDC_BROWSE_INPUT));
    UseFileDialog(program, L"入力 ファイル指定", L"入力 ファイル (*.mem)", FolderName(c.work), L"route.mem");
    CheckText(BoxText(hMain, IDC_INPUT_FILE), c.work + L"route.mem", "input box after the input browse");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), c.work + L"route.xml", "output box after the input browse");
    ExpectFocusSelected(program, hMain, IDC_OUTPUT_FILE, "after the input browse");
    // Input, cancelled: nothing changes but the focus.
    Click(::GetDlgItem(hMain, IDC_BROWSE_INPUT));
    UseFileDialog(program, L"入力 ファイル指定", L"入力 ファイル (*.mem)", FolderName(c.work), L"");
    CheckText(BoxText(hMain, IDC_INPUT_FILE), c.work + L"route.mem", "input box after a cancelled browse");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), c.work + L"route.xml", "output box after a cancelled browse");
    ExpectFocusSelected(program, hMain, IDC_INPUT_FILE, "after a cancelled input browse");
    // Output: a name typed without extension gets .xml; a typed input box is reset.
    Type(hMain, IDC_INPUT_FILE, L"typed but not stored");
    Click(::GetDlgItem(hMain, IDC_BROWSE_OUTPUT));
    UseFileDialog(program, L"出力 ファイル指定", L"出力 ファイル (*.xml)", FolderName(c.work), L"chosen");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), chosen, "output box after the output browse");
    CheckText(BoxText(hMain, IDC_INPUT_FILE), c.work + L"route.mem", "input box after the output browse");
    ExpectFocusSelected(program, hMain, IDC_OUTPUT_FILE, "after the output browse");
    Click(::GetDlgItem(hMain, IDOK));
    ExpectBox(program, L"終了", kConverted, false);
    program.WaitForEnd();
    ExpectGolden(c, chosen);
}

void ExpectAboutBox(const Program& program, HWND hMain) {
    HWND hAbout = program.WaitFor(kAboutCaption);
    std::vector<std::wstring> texts;
    for (HWND child = ::GetWindow(hAbout, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            texts.push_back(WindowText(child));
    }
    Check(texts.size() == 2, "the about box has " + std::to_string(texts.size()) + " texts");
    CheckText(texts[0], L"Quorvel Version 1.100", "version text");
    CheckText(texts[1], Utf8ToWide(QV_TEXT_ABOUT_COPYRIGHT), "copyright notice");
    Check(texts[1].find(L"2006") != std::wstring::npos, "the copyright notice names no 2006");
    Check(::GetWindow(hAbout, GW_OWNER) == hMain, "the about box is not owned by the main dialog");
    CheckText(WindowText(::GetDlgItem(hAbout, IDOK)), L"OK", "about box button");
    Click(::GetDlgItem(hAbout, IDOK));
    const DWORD start = ::GetTickCount();
    while (::IsWindow(hAbout)) {
        Check(::GetTickCount() - start < kWaitMs, "the about box did not close");
        ::Sleep(50);
    }
    Check(::IsWindowVisible(hMain) && !program.HasEnded(), "the main dialog closed with the about box");
}

void CaseAbout(const Context& c) {
    const std::wstring input = c.work + L"route.mem";
    Program program(c.exe, Quoted(input));
    HWND hMain = program.WaitFor(kMainCaption);
    // The help menu's item, twice, then the system menu's item.
    ::PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(ID_HELP_VERSION, 0), 0);
    ExpectAboutBox(program, hMain);
    ::PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(ID_HELP_VERSION, 0), 0);
    ExpectAboutBox(program, hMain);
    ::PostMessageW(hMain, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ExpectAboutBox(program, hMain);
    CheckText(BoxText(hMain, IDC_INPUT_FILE), input, "input box after the about box");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), c.work + L"route.xml", "output box after the about box");
    Click(::GetDlgItem(hMain, IDCANCEL));
    program.WaitForEnd();
}

void CaseMenus(const Context& c) {
    Program program(c.exe, L"");
    HWND hMain = program.WaitFor(kMainCaption);
    Check(::GetMenu(hMain) != nullptr, "the main dialog has no menu");
    // Menus live in their own process, so the texts are read from the program's resources.
    HMODULE hModule = ::LoadLibraryExW(c.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Check(hModule != nullptr, "cannot load the program's resources");
    wchar_t text[128] = {};
    HMENU hMenu = ::LoadMenuW(hModule, MAKEINTRESOURCEW(IDR_MAINMENU));
    Check(hMenu != nullptr && ::GetMenuItemCount(hMenu) == 1, "menu 131 does not hold one pop-up");
    ::GetMenuStringW(hMenu, 0, text, 128, MF_BYPOSITION);
    CheckText(text, L"ヘルプ", "menu title");
    Check(::GetMenuItemCount(::GetSubMenu(hMenu, 0)) == 1, "the help menu does not hold one item");
    ::GetMenuStringW(::GetSubMenu(hMenu, 0), ID_HELP_VERSION, text, 128, MF_BYCOMMAND);
    CheckText(text, L"バーション", "help menu item");
    ::DestroyMenu(hMenu);
    const wchar_t* item = nullptr;
    const int length = ::LoadStringW(hModule, IDS_ABOUTBOX, reinterpret_cast<wchar_t*>(&item), 0);
    CheckText(std::wstring(item ? item : L"", static_cast<size_t>(length > 0 ? length : 0)), kAboutItem, "string 101");
    // Icon 128: one image of 32 by 32 pixels in 16 colours (its group entry: width, height, colours).
    HRSRC hGroup = ::FindResourceW(hModule, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    Check(hGroup != nullptr, "no icon 128");
    const auto* group = static_cast<const unsigned char*>(::LockResource(::LoadResource(hModule, hGroup)));
    Check(group != nullptr && ::SizeofResource(hModule, hGroup) == 6 + 14, "icon 128 does not hold one image");
    Check(group[4] == 1 && group[6] == 32 && group[7] == 32 && group[8] == 16, "icon 128 is not 32x32 in 16 colours");
    ::FreeLibrary(hModule);

    // The version record: only its fixed part.
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(c.exe.c_str(), &ignored);
    Check(size > 0, "the program has no version record");
    std::vector<char> info(size);
    Check(::GetFileVersionInfoW(c.exe.c_str(), 0, size, info.data()), "cannot read the version record");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    Check(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed != nullptr,
          "the version record has no fixed part");
    Check(fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0x00000001, "file version is not 1.0.0.1");
    Check(fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0x00000001,
          "product version is not 1.0.0.1");
    Check(fixed->dwFileFlagsMask == 0x3F && fixed->dwFileFlags == 0, "version flags");
    Check(fixed->dwFileOS == VOS__WINDOWS32 && fixed->dwFileType == VFT_APP, "version OS or type");
    void* translations = nullptr;
    UINT translationSize = 0;
    Check(!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &translations, &translationSize) ||
              translationSize == 0,
          "the version record carries string information");
    CheckText(WindowText(::GetDlgItem(hMain, IDOK)), L"変換", "convert button");
    CheckText(WindowText(::GetDlgItem(hMain, IDCANCEL)), L"ｷｬﾝｾﾙ", "cancel button");
    CheckText(WindowText(::GetDlgItem(hMain, IDC_BROWSE_INPUT)), L"参照", "input browse button");
    const LONG style = ::GetWindowLongW(hMain, GWL_STYLE);
    const LONG wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    Check((style & wanted) == wanted && !(style & WS_MAXIMIZEBOX), "main dialog style " + std::to_string(style));
    const LONG exWanted = WS_EX_APPWINDOW | WS_EX_STATICEDGE | WS_EX_CLIENTEDGE | WS_EX_ACCEPTFILES;
    Check((::GetWindowLongW(hMain, GWL_EXSTYLE) & exWanted) == exWanted, "main dialog extended style");
    // The controls in tab order, with their texts and the styles that matter.
    const struct {
        int id;
        const wchar_t* className;
        const wchar_t* text;
        LONG style;
    } controls[] = {
        {IDC_INPUT_FILE, L"Edit", L"", WS_TABSTOP | ES_AUTOHSCROLL},
        {IDC_OUTPUT_FILE, L"Edit", L"", WS_TABSTOP | ES_AUTOHSCROLL},
        {IDOK, L"Button", L"変換", WS_TABSTOP | BS_DEFPUSHBUTTON},
        {IDCANCEL, L"Button", L"ｷｬﾝｾﾙ", WS_TABSTOP},
        {IDC_BROWSE_INPUT, L"Button", L"参照", WS_TABSTOP},
        {IDC_BROWSE_OUTPUT, L"Button", L"参照", WS_TABSTOP},
        {0xFFFF, L"Button", L"入力　ファイル名（.mem）", BS_GROUPBOX},
        {0xFFFF, L"Button", L"出力　ファイル名（.xml）", BS_GROUPBOX},
    };
    HWND child = ::GetWindow(hMain, GW_CHILD);
    for (const auto& control : controls) {
        Check(child != nullptr, "too few controls");
        const std::string what = "control " + U8(control.text) + " (" + std::to_string(control.id) + ")";
        Check((::GetDlgCtrlID(child) & 0xFFFF) == control.id, what + ": id " + std::to_string(::GetDlgCtrlID(child)));
        CheckText(ClassOf(child), control.className, what + ": class");
        CheckText(WindowText(child), control.text, what + ": text");
        const LONG childStyle = ::GetWindowLongW(child, GWL_STYLE);
        Check((childStyle & control.style) == control.style, what + ": style " + std::to_string(childStyle));
        // An edit box's border becomes the sunken client edge when the box is created.
        if (control.id == IDC_INPUT_FILE || control.id == IDC_OUTPUT_FILE)
            Check((childStyle & WS_BORDER) || (::GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE), what + ": no border");
        child = ::GetWindow(child, GW_HWNDNEXT);
    }
    Check(child == nullptr, "more controls than the template holds");
    RECT rect;
    ::GetWindowRect(hMain, &rect);
    Check(rect.left == 0 && rect.top == 0, "the dialog does not open at the top-left corner");
    Check(program.Focus() == ::GetDlgItem(hMain, IDC_INPUT_FILE), "the focus is not in the input box at start");
    Click(::GetDlgItem(hMain, IDCANCEL));
    program.WaitForEnd();
}

// Escape in a box and the window's close command end it as the cancel button does, without a
// question (the button is the cases' "cancel").
void CaseEscapeAndClose(const Context& c) {
    Program second(c.exe, L"");
    HWND hSecond = second.WaitFor(kMainCaption);
    ::PostMessageW(::GetDlgItem(hSecond, IDC_INPUT_FILE), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    second.WaitForEnd();
    Program third(c.exe, L"");
    HWND hThird = third.WaitFor(kMainCaption);
    ::PostMessageW(hThird, WM_SYSCOMMAND, SC_CLOSE, 0);
    third.WaitForEnd();
}

// Brings the program into a scene for a screenshot, prints the rectangle of the window to take
// as "RECT x y width height" and holds the scene until the file `done` exists.
int Pose(const std::wstring& exe, const std::wstring& input, const std::wstring& scene, const std::wstring& done) {
    try {
        Program program(exe, Quoted(input));
        HWND hShown = program.WaitFor(kMainCaption);
        if (scene == L"about") {
            ::PostMessageW(hShown, WM_COMMAND, MAKEWPARAM(ID_HELP_VERSION, 0), 0);
            hShown = program.WaitFor(kAboutCaption);
        } else if (scene == L"message") {
            Click(::GetDlgItem(hShown, IDOK));
            hShown = program.WaitFor(L"終了");
        } else if (scene == L"browse") {
            // The common open dialog, as Windows words it in the session's language.
            ::PostMessageW(hShown, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_INPUT, 0), 0);
            hShown = program.WaitFor(L"入力 ファイル指定");
        }
        ::Sleep(700);  // let the window paint
        RECT rect;
        ::GetWindowRect(hShown, &rect);
        std::printf("RECT %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        std::fflush(stdout);
        const DWORD start = ::GetTickCount();
        while (!FileExists(done) && ::GetTickCount() - start < 60000) ::Sleep(100);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pose %s: %s\n", U8(scene).c_str(), error.what());
        return 1;
    }
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// A map file dropped on the dialog, converted: the document must equal the golden bytes (the
// native command line's).
void DropConvert(const Context& c, const std::wstring& input) {
    const std::wstring output = input.substr(0, input.rfind(L'.')) + L".xml";
    ::DeleteFileW(output.c_str());
    Program program(c.exe, L"");
    HWND hMain = program.WaitFor(kMainCaption);
    Drop(program, hMain, {input});
    program.ExpectNoOtherWindow({hMain});
    CheckText(BoxText(hMain, IDC_INPUT_FILE), input, "input box after the drop");
    CheckText(BoxText(hMain, IDC_OUTPUT_FILE), output, "output box after the drop");
    // The points, under the output box and again, with the folder and the file, once written.
    std::size_t points = 0;
    for (std::size_t at = c.golden.find("<gpoi>"); at != std::string::npos; at = c.golden.find("<gpoi>", at + 1)) ++points;
    const std::wstring counted = std::to_wstring(points) + L" 地点を";
    CheckText(BoxText(hMain, IDC_OUTPUT_SET), counted + L"書き込みます", "line under the output box");
    Click(::GetDlgItem(hMain, IDOK));
    const std::size_t slash = output.rfind(L'\\') + 1;
    ExpectBox(program, L"変換結果", counted + L"書き込みました。\nフォルダ: " + output.substr(0, slash) + L"\n" + output.substr(slash),
              false);
    ExpectBox(program, L"終了", kConverted, false);
    program.WaitForEnd();
    ExpectGolden(c, output);
}

int MakeInput(const std::wstring& folder) {
    const std::string image = WineConvertInput();
    const bool ok = WriteBytes(folder + L"\\route.mem", image) &&
                    WriteBytes(folder + L"\\short.mem", image.substr(0, image.size() - 1)) &&
                    WriteBytes(folder + L"\\route.dat", image) && WriteBytes(folder + L"\\cancel.mem", image);
    if (!ok) std::fprintf(stderr, "cannot write the inputs into %s\n", U8(folder).c_str());
    return ok ? 0 : 1;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"make-input") return MakeInput(argv[2]);
    if (argc == 6 && std::wstring(argv[1]) == L"pose") return Pose(argv[2], argv[3], argv[4], argv[5]);
    const bool bDropConvert = argc == 5 && std::wstring(argv[1]) == L"drop-convert";
    if (argc == 5 && (std::wstring(argv[1]) == L"convert" || bDropConvert)) {
        // One more input with its expected document, e.g. a bundled sample copied to a scratch folder.
        Context c;
        c.exe = argv[2];
        c.golden = ReadFileBytes(argv[4]);
        const char* what = bDropConvert ? "drop-convert" : "convert";
        try {
            if (bDropConvert) DropConvert(c, argv[3]);
            else ConvertFromCommandLine(c, argv[3]);
            std::printf("PASS %s %s\n", what, U8(argv[3]).c_str());
            return 0;
        } catch (const std::exception& error) {
            std::printf("FAIL %s %s: %s\n", what, U8(argv[3]).c_str(), error.what());
            return 1;
        }
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: quorvel_wine_driver <quorvel.exe> <work folder> <golden> [case...]\n");
        return 2;
    }
    Context c;
    c.exe = argv[1];
    c.work = argv[2];
    if (c.work.empty() || c.work.back() != L'\\') c.work += L'\\';
    c.golden = ReadFileBytes(argv[3]);
    if (c.golden.empty()) {
        std::fprintf(stderr, "cannot read the golden document %s\n", U8(argv[3]).c_str());
        return 2;
    }

    // The cases every front passes, then quorvel.exe's own.
    std::vector<std::pair<std::string, std::function<void(const Context&)>>> cases;
    for (const dialogcases::Case& shared : dialogcases::Cases())
        cases.emplace_back(shared.name, [&shared](const Context& context) { RunDialogCase(context, shared); });
    cases.insert(cases.end(), {
                                  {"replace-existing-document", CaseReplaceExisting},
                                  {"files-in-use", CaseFilesInUse},
                                  {"drop-long-name", CaseDropLongName},
                                  {"about-box", CaseAbout},
                                  {"menus-and-controls", CaseMenus},
                                  {"escape-and-close", CaseEscapeAndClose},
                                  {"browse", CaseBrowse},
                              });
    std::vector<std::string> chosen;
    for (int i = 4; i < argc; ++i) chosen.push_back(U8(argv[i]));

    int failures = 0;
    for (const auto& [name, run] : cases) {
        bool wanted = chosen.empty();
        for (const std::string& n : chosen) wanted = wanted || n == name;
        if (!wanted) continue;
        try {
            run(c);
            std::printf("PASS %s\n", name.c_str());
        } catch (const std::exception& error) {
            std::printf("FAIL %s: %s\n", name.c_str(), error.what());
            ++failures;
        }
        std::fflush(stdout);
    }
    return failures;
}
