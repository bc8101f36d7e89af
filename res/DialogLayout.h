#pragma once
// The dialog templates, menu and about string as tables, for front ends without a resource
// compiler. Built from res/dialog.h, the same definitions the resource script uses.

enum class ControlKind {
    edit,           // single-line, bordered, scrolls horizontally
    defPushButton,  // the dialog's default button
    pushButton,
    groupBox,
    icon,        // the program icon
    staticText,  // left-aligned text
};

struct ControlLayout {
    int id;  // IDC_STATIC (-1) for controls without an id
    ControlKind kind;
    const char* text;  // UTF-8
    int x, y, w, h;    // dialog units
    int tabOrder;      // position in the template, 0 first
    bool tabStop;
    bool defaultButton;
    bool noPrefix;  // '&' is shown, not taken as a mnemonic
};

struct DialogLayout {
    int id;
    const char* caption;
    int x, y, w, h;
    const char* fontName;
    int fontSize;  // points
    int menuId;    // 0: no menu
    bool visibleAtCreation;
    bool acceptsFiles;
    bool minimizeBox;
    const ControlLayout* controls;  // in tab order
    int controlCount;
};

struct MenuLayout {
    int id;
    const char* popupText;
    const char* itemText;
    int itemCommand;
};

const DialogLayout& MainDialogLayout();   // template 102
const DialogLayout& AboutDialogLayout();  // template 100
const MenuLayout& MainMenuLayout();       // menu 131
// String 101: the about item appended to the system menu.
const char* AboutItemText();
// The control of the layout with this id, nullptr when there is none (or several: IDC_STATIC).
const ControlLayout* FindControl(const DialogLayout& layout, int id);
