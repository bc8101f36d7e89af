#include "ui/win32/Win32AboutDlg.h"

#include "res/resource.h"

namespace {
// The template is not visible at creation, so it is centred over its owner before it shows.
void CentreOverOwner(HWND hWnd) {
    HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    RECT area;
    if (hOwner == nullptr || ::IsIconic(hOwner) || !::GetWindowRect(hOwner, &area))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT box;
    ::GetWindowRect(hWnd, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    ::SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK AboutProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG:
        CentreOverOwner(hWnd);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(hWnd, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
}  // namespace

void RunWin32AboutBox(HINSTANCE hInstance, HWND hOwner) {
    ::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), hOwner, AboutProc, 0);
}
