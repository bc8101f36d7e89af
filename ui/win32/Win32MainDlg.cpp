#include "ui/win32/Win32MainDlg.h"

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/WideText.h"
#include "res/dialog.h"
#include "res/resource.h"
#include "ui/win32/Win32AboutDlg.h"

// The core passes styles and flags through untouched, so they must be the Windows values.
static_assert(kMbOk == MB_OK, "MB_OK");
static_assert(kMbIconStop == MB_ICONSTOP, "MB_ICONSTOP");
static_assert(kMbIconExclamation == MB_ICONEXCLAMATION, "MB_ICONEXCLAMATION");
static_assert(kMbIconMask == MB_ICONMASK, "MB_ICONMASK");
static_assert(kIdOk == IDOK, "IDOK");
static_assert(kOfnOverwritePrompt == OFN_OVERWRITEPROMPT, "OFN_OVERWRITEPROMPT");
static_assert(kOfnHideReadOnly == OFN_HIDEREADONLY, "OFN_HIDEREADONLY");
static_assert(kOfnPathMustExist == OFN_PATHMUSTEXIST, "OFN_PATHMUSTEXIST");

namespace {
// A dropped name is fetched into this many characters: at most 255 and the terminator.
constexpr UINT kDropNameRoom = 256;

std::wstring Wide(const CString& text) { return Utf8ToWide(text.Str()); }
}  // namespace

Win32MainDlg::Win32MainDlg(HINSTANCE hInstance, const CString& strCmdLine, CMainDlg::Inputs inputs)
    : m_hInstance(hInstance),
      m_hIcon(::LoadIconW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_strCmdLine(strCmdLine),
      m_dlg(*this, inputs) {}

INT_PTR Win32MainDlg::DoModal() {
    return ::DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Win32MainDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32MainDlg*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
    }
    auto* self = reinterpret_cast<Win32MainDlg*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
    return self->HandleMessage(message, wParam, lParam);
}

INT_PTR Win32MainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND: return OnCommand(wParam);
    case WM_SYSCOMMAND: return OnSysCommand(wParam);
    case WM_PAINT: return OnPaint();
    case WM_QUERYDRAGICON: return OnQueryDragIcon();
    case WM_DROPFILES: return OnDropFiles(reinterpret_cast<HDROP>(wParam));
    default: (void)lParam; return FALSE;
    }
}

BOOL Win32MainDlg::OnInitDialog() {
    HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu != nullptr) {
        // LoadStringW with no room gives a read-only pointer to the resource text and its length.
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(m_hInstance, IDS_ABOUTBOX, reinterpret_cast<wchar_t*>(&text), 0);
        if (length > 0 && text != nullptr) {
            const std::wstring item(text, static_cast<size_t>(length));
            ::AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, item.c_str());
        }
    }
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    ::SetWindowTextW(m_hWnd, Wide(QV_APP_NAME).c_str());
    return m_dlg.OnInitDialog(m_strCmdLine) ? TRUE : FALSE;
}

BOOL Win32MainDlg::OnCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE && (id == IDC_INPUT_FILE || id == IDC_OUTPUT_FILE)) {
        if (!m_bWritingBoxes) m_dlg.OnBoxEdited();
        return FALSE;
    }
    // Only clicks, menu items and accelerators are commands; edit boxes notify with the same ids.
    if (HIWORD(wParam) > 1) return FALSE;
    return m_dlg.OnCommand(id) ? TRUE : FALSE;
}

BOOL Win32MainDlg::OnSysCommand(WPARAM wParam) {
    // FALSE lets the dialog manager do the default: move, minimise, close and the rest.
    return m_dlg.OnSysCommand(static_cast<unsigned>(wParam)) ? TRUE : FALSE;
}

POINT Win32MainDlg::IconOrigin(const RECT& client, int cxIcon, int cyIcon) {
    POINT origin;
    origin.x = (client.right - client.left - cxIcon + 1) / 2;
    origin.y = (client.bottom - client.top - cyIcon + 1) / 2;
    return origin;
}

BOOL Win32MainDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) return FALSE;
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const POINT origin = IconOrigin(client, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(hdc, origin.x, origin.y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
    return TRUE;
}

INT_PTR Win32MainDlg::OnQueryDragIcon() { return reinterpret_cast<INT_PTR>(m_hIcon); }

BOOL Win32MainDlg::OnDropFiles(HDROP hDrop) {
    std::vector<CString> names;
    const UINT count = ::DragQueryFileW(hDrop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t name[kDropNameRoom] = {};
        const UINT length = ::DragQueryFileW(hDrop, i, name, kDropNameRoom);
        names.emplace_back(WideToUtf8(name, static_cast<int>(length)));
    }
    m_dlg.OnDropFiles(names);
    ::DragFinish(hDrop);
    return TRUE;
}

CString Win32MainDlg::GetBoxText(int id) const {
    HWND hBox = ::GetDlgItem(m_hWnd, id);
    const int length = ::GetWindowTextLengthW(hBox);
    if (length <= 0) return CString();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(hBox, &text[0], length + 1);
    return CString(WideToUtf8(text.data(), got));
}

void Win32MainDlg::ReadBoxes(CString& input, CString& output) {
    input = GetBoxText(IDC_INPUT_FILE);
    output = GetBoxText(IDC_OUTPUT_FILE);
}

void Win32MainDlg::WriteBoxes(const CString& input, const CString& output) {
    SetBoxText(IDC_INPUT_FILE, input);
    SetBoxText(IDC_OUTPUT_FILE, output);
}

void Win32MainDlg::SetBoxText(int id, const CString& text) {
    if (id == IDC_OUTPUT_SET) return SetOutputSetText(text);
    m_bWritingBoxes = true;
    ::SetDlgItemTextW(m_hWnd, id, Wide(text).c_str());
    m_bWritingBoxes = false;
}

void Win32MainDlg::SetOutputSetText(const CString& text) {
    HWND hLine = ::GetDlgItem(m_hWnd, IDC_OUTPUT_SET);
    if (text.IsEmpty()) {
        if (hLine) ::DestroyWindow(hLine);
        return;
    }
    if (!hLine) {
        RECT rect = {QV_MAIN_OUTPUT_SET_X, QV_MAIN_OUTPUT_SET_Y, QV_MAIN_OUTPUT_SET_X + QV_MAIN_OUTPUT_SET_W,
                     QV_MAIN_OUTPUT_SET_Y + QV_MAIN_OUTPUT_SET_H};
        ::MapDialogRect(m_hWnd, &rect);
        hLine = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, m_hWnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_OUTPUT_SET)), m_hInstance, nullptr);
        ::SendMessageW(hLine, WM_SETFONT, ::SendMessageW(m_hWnd, WM_GETFONT, 0, 0), FALSE);
    }
    ::SetWindowTextW(hLine, Wide(text).c_str());
}

void Win32MainDlg::GotoInputBox() {
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_hWnd, IDC_INPUT_FILE)), TRUE);
}

void Win32MainDlg::FocusBox(int id) {
    HWND hBox = ::GetDlgItem(m_hWnd, id);
    ::SetFocus(hBox);
    ::SendMessageW(hBox, EM_SETSEL, 0, -1);
    ::SendMessageW(hBox, EM_SCROLLCARET, 0, 0);
}

int Win32MainDlg::MessageBox(const CString& text, const CString& caption, unsigned style) {
    return ::MessageBoxW(m_hWnd, Wide(text).c_str(), Wide(caption).c_str(), style);
}

bool Win32MainDlg::ChooseFile(const FileDialogRequest& request, CString& path) {
    // The common dialog takes the list as NUL-separated pairs ended by an empty string.
    std::wstring filter = Wide(request.filter);
    for (wchar_t& ch : filter) {
        if (ch == L'|') ch = L'\0';
    }
    const std::wstring defaultExt = Wide(request.defaultExt);
    const std::wstring title = Wide(request.title);
    const std::wstring initialDir = Wide(request.initialDir);
    wchar_t file[MAX_PATH] = {};

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.hInstance = m_hInstance;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    // The explorer-style dialog, as the framework's file dialog always asks for.
    ofn.Flags = request.flags | OFN_EXPLORER;

    const BOOL confirmed = request.bOpenFileDialog ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!confirmed) return false;
    path = CString(WideToUtf8(std::wstring(file)));
    return true;
}

void Win32MainDlg::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

void Win32MainDlg::RunAboutBox() { RunWin32AboutBox(m_hInstance, m_hWnd); }
