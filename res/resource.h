// Resource identifiers, shared by quorvel.rc and the code.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_MAINMENU 131
#define IDC_INPUT_FILE 1000
#define IDC_OUTPUT_FILE 1001
#define IDC_BROWSE_INPUT 1006
#define IDC_BROWSE_OUTPUT 1007
// The files a map input is written to, under the output box; made only when there is a text.
#define IDC_OUTPUT_SET 1008
#define ID_HELP_VERSION 32774

#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
