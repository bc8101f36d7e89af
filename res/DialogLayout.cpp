#include "res/DialogLayout.h"

#include "res/dialog.h"
#include "res/resource.h"

namespace {
// clang-format off
const ControlLayout kMainControls[] = {
    {IDC_INPUT_FILE, ControlKind::edit, "",
     QV_MAIN_INPUT_X, QV_MAIN_INPUT_Y, QV_MAIN_INPUT_W, QV_MAIN_INPUT_H, 0, true, false, false},
    {IDC_OUTPUT_FILE, ControlKind::edit, "",
     QV_MAIN_OUTPUT_X, QV_MAIN_OUTPUT_Y, QV_MAIN_OUTPUT_W, QV_MAIN_OUTPUT_H, 1, true, false, false},
    {IDOK, ControlKind::defPushButton, QV_TEXT_CONVERT,
     QV_MAIN_OK_X, QV_MAIN_OK_Y, QV_MAIN_OK_W, QV_MAIN_OK_H, 2, true, true, false},
    {IDCANCEL, ControlKind::pushButton, QV_TEXT_CANCEL,
     QV_MAIN_CANCEL_X, QV_MAIN_CANCEL_Y, QV_MAIN_CANCEL_W, QV_MAIN_CANCEL_H, 3, true, false, false},
    {IDC_BROWSE_INPUT, ControlKind::pushButton, QV_TEXT_BROWSE,
     QV_MAIN_BROWSE_INPUT_X, QV_MAIN_BROWSE_INPUT_Y, QV_MAIN_BROWSE_INPUT_W, QV_MAIN_BROWSE_INPUT_H,
     4, true, false, false},
    {IDC_BROWSE_OUTPUT, ControlKind::pushButton, QV_TEXT_BROWSE,
     QV_MAIN_BROWSE_OUTPUT_X, QV_MAIN_BROWSE_OUTPUT_Y, QV_MAIN_BROWSE_OUTPUT_W, QV_MAIN_BROWSE_OUTPUT_H,
     5, true, false, false},
    {IDC_STATIC, ControlKind::groupBox, QV_TEXT_GROUP_INPUT,
     QV_MAIN_GROUP_INPUT_X, QV_MAIN_GROUP_INPUT_Y, QV_MAIN_GROUP_INPUT_W, QV_MAIN_GROUP_INPUT_H,
     6, false, false, false},
    {IDC_STATIC, ControlKind::groupBox, QV_TEXT_GROUP_OUTPUT,
     QV_MAIN_GROUP_OUTPUT_X, QV_MAIN_GROUP_OUTPUT_Y, QV_MAIN_GROUP_OUTPUT_W, QV_MAIN_GROUP_OUTPUT_H,
     7, false, false, false},
};

const ControlLayout kAboutControls[] = {
    {IDC_STATIC, ControlKind::icon, "",
     QV_ABOUT_ICON_X, QV_ABOUT_ICON_Y, QV_ABOUT_ICON_W, QV_ABOUT_ICON_H, 0, false, false, false},
    {IDC_STATIC, ControlKind::staticText, QV_TEXT_ABOUT_VERSION,
     QV_ABOUT_VERSION_X, QV_ABOUT_VERSION_Y, QV_ABOUT_VERSION_W, QV_ABOUT_VERSION_H, 1, false, false, true},
    {IDC_STATIC, ControlKind::staticText, QV_TEXT_ABOUT_COPYRIGHT,
     QV_ABOUT_COPYRIGHT_X, QV_ABOUT_COPYRIGHT_Y, QV_ABOUT_COPYRIGHT_W, QV_ABOUT_COPYRIGHT_H,
     2, false, false, false},
    {IDOK, ControlKind::defPushButton, QV_TEXT_OK,
     QV_ABOUT_OK_X, QV_ABOUT_OK_Y, QV_ABOUT_OK_W, QV_ABOUT_OK_H, 3, true, true, false},
};
// clang-format on

template <typename T, int N>
constexpr int CountOf(const T (&)[N]) {
    return N;
}

const DialogLayout kMainDialog = {
    IDD_MAIN_DIALOG,
    QV_MAIN_CAPTION,
    QV_MAIN_X,
    QV_MAIN_Y,
    QV_MAIN_W,
    QV_MAIN_H,
    QV_FONT_NAME,
    QV_FONT_SIZE,
    IDR_MAINMENU,
    true,
    true,
    true,
    kMainControls,
    CountOf(kMainControls),
};

// Not visible at creation, so it is centred over its owner when it opens.
const DialogLayout kAboutDialog = {
    IDD_ABOUTBOX,
    QV_ABOUT_CAPTION,
    QV_ABOUT_X,
    QV_ABOUT_Y,
    QV_ABOUT_W,
    QV_ABOUT_H,
    QV_FONT_NAME,
    QV_FONT_SIZE,
    0,
    false,
    false,
    false,
    kAboutControls,
    CountOf(kAboutControls),
};

const MenuLayout kMainMenu = {IDR_MAINMENU, QV_TEXT_MENU_HELP, QV_TEXT_MENU_VERSION, ID_HELP_VERSION};
}  // namespace

const DialogLayout& MainDialogLayout() { return kMainDialog; }
const DialogLayout& AboutDialogLayout() { return kAboutDialog; }
const MenuLayout& MainMenuLayout() { return kMainMenu; }
const char* AboutItemText() { return QV_TEXT_ABOUT_ITEM; }

const ControlLayout* FindControl(const DialogLayout& layout, int id) {
    const ControlLayout* found = nullptr;
    for (int i = 0; i < layout.controlCount; ++i) {
        if (layout.controls[i].id != id) continue;
        if (found) return nullptr;
        found = &layout.controls[i];
    }
    return found;
}
