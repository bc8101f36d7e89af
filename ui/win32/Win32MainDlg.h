#pragma once
// Binds the main dialog's logic (CMainDlg) to dialog template 102 through the Win32 dialog manager.
#include <windows.h>

#include "app/CMainDlg.h"
#include "app/IMainDlgUi.h"

class Win32MainDlg : public IMainDlgUi {
public:
    // strCmdLine: the command line after the program's own name, UTF-8.
    // inputs: memory-point files only, or the map files too.
    Win32MainDlg(HINSTANCE hInstance, const CString& strCmdLine, CMainDlg::Inputs inputs);

    INT_PTR DoModal();

    // IMainDlgUi
    void ReadBoxes(CString& input, CString& output) override;
    void WriteBoxes(const CString& input, const CString& output) override;
    void SetBoxText(int id, const CString& text) override;
    void GotoInputBox() override;
    void FocusBox(int id) override;
    int MessageBox(const CString& text, const CString& caption, unsigned style) override;
    bool ChooseFile(const FileDialogRequest& request, CString& path) override;
    void EndDialog(int result) override;
    void RunAboutBox() override;

    // Where a minimised window draws its icon: centred, rounding as the framework does.
    static POINT IconOrigin(const RECT& client, int cxIcon, int cyIcon);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    BOOL OnCommand(WPARAM wParam);
    BOOL OnSysCommand(WPARAM wParam);
    BOOL OnPaint();
    INT_PTR OnQueryDragIcon();
    BOOL OnDropFiles(HDROP hDrop);

    CString GetBoxText(int id) const;
    // The line under the output box, made when it first has a text and removed when it has none,
    // so that the memory-point road's window holds the template's controls only.
    void SetOutputSetText(const CString& text);

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
    HICON m_hIcon;
    CString m_strCmdLine;
    bool m_bWritingBoxes = false;  // the boxes' change notices are the program's own, not the user's
    CMainDlg m_dlg;
};
