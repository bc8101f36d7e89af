#include "app/CAboutDlg.h"

#include "res/dialog.h"
#include "res/resource.h"

static_assert(CAboutDlg::kTemplateId == IDD_ABOUTBOX, "about box template id");

const char* CAboutDlg::Caption() { return QV_ABOUT_CAPTION; }
const char* CAboutDlg::VersionText() { return QV_TEXT_ABOUT_VERSION; }
const char* CAboutDlg::CopyrightText() { return QV_TEXT_ABOUT_COPYRIGHT; }
const DialogLayout& CAboutDlg::Layout() { return AboutDialogLayout(); }
