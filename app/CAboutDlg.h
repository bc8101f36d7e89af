#pragma once
// The about box, template 100: what it shows. The front ends run it modally; it changes nothing.
#include "res/DialogLayout.h"

class CAboutDlg {
public:
    static constexpr int kTemplateId = 100;

    static const char* Caption();
    static const char* VersionText();
    static const char* CopyrightText();
    static const DialogLayout& Layout();
};
