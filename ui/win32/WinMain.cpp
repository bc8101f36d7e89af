// quorvel.exe: one modal dialog; the program ends when it closes.
#include <windows.h>

#include <string>

#include "app/CConverterApp.h"
#include "platform/MessageBox.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Win32MainDlg.h"

namespace {
CString ModuleFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return CString();
        if (length < path.size()) return CString(WideToUtf8(path.data(), static_cast<int>(length)));
        path.resize(path.size() * 2);
    }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*pCmdLine*/, int /*nShowCmd*/) {
    // Boxes of the application are captioned with the program file's base name.
    const CConverterApp app(ModuleFileName());
    // The whole command line, so that nothing is lost to a code page; the program name is skipped here.
    const CString strCmdLine =
        CConverterApp::CommandLineAfterProgram(CString(WideToUtf8(std::wstring(::GetCommandLineW()))));

    Win32MainDlg dlg(hInstance, strCmdLine, CMainDlg::Inputs::all);
    IMessageBoxHost* previous = SetMessageBoxHost(&dlg);
    dlg.DoModal();
    SetMessageBoxHost(previous);
    return 0;
}
