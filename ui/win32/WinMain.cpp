// quorvel.exe: one modal dialog; the program ends when it closes.
#include <windows.h>

#include "app/CConverterApp.h"
#include "platform/win32/Console.h"
#include "ui/win32/Win32MainDlg.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*pCmdLine*/, int /*nShowCmd*/) {
    // Boxes of the application are captioned with the program file's base name.
    const CConverterApp app{CString(ProgramFileName())};
    // The whole command line, so that nothing is lost to a code page; the program name is skipped here.
    const CString strCmdLine = CConverterApp::CommandLineAfterProgram(CString(CommandLineText()));

    Win32MainDlg dlg(hInstance, strCmdLine, CMainDlg::Inputs::all);
    dlg.DoModal();
    return 0;
}
