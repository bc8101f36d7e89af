// Texts and geometry of the dialog templates, menu and string table, shared by the resource
// script (compiled as UTF-8 with #pragma code_page(65001)) and the C++ front ends.
// Preprocessor definitions only, so that both the resource compiler and C++ can include it.
// Geometry is in dialog units; texts are UTF-8 string literals.
#ifndef QUORVEL_RES_DIALOG_H
#define QUORVEL_RES_DIALOG_H

#include "res/Version.h"

// Shared by both dialogs.
#define QV_FONT_NAME "ＭＳ Ｐゴシック"
#define QV_FONT_SIZE 9
#define QV_APP_NAME "Quorvel"

// Main dialog, template 102.
#define QV_MAIN_CAPTION "Quorvel"
#define QV_MAIN_X 0
#define QV_MAIN_Y 0
#define QV_MAIN_W 259
#define QV_MAIN_H 154

#define QV_MAIN_INPUT_X 19
#define QV_MAIN_INPUT_Y 22
#define QV_MAIN_INPUT_W 154
#define QV_MAIN_INPUT_H 19

#define QV_MAIN_OUTPUT_X 19
#define QV_MAIN_OUTPUT_Y 70
#define QV_MAIN_OUTPUT_W 154
#define QV_MAIN_OUTPUT_H 19

#define QV_MAIN_OK_X 133
#define QV_MAIN_OK_Y 133
#define QV_MAIN_OK_W 50
#define QV_MAIN_OK_H 14

#define QV_MAIN_CANCEL_X 202
#define QV_MAIN_CANCEL_Y 133
#define QV_MAIN_CANCEL_W 50
#define QV_MAIN_CANCEL_H 14

#define QV_MAIN_BROWSE_INPUT_X 202
#define QV_MAIN_BROWSE_INPUT_Y 22
#define QV_MAIN_BROWSE_INPUT_W 50
#define QV_MAIN_BROWSE_INPUT_H 14

#define QV_MAIN_BROWSE_OUTPUT_X 202
#define QV_MAIN_BROWSE_OUTPUT_Y 70
#define QV_MAIN_BROWSE_OUTPUT_W 50
#define QV_MAIN_BROWSE_OUTPUT_H 14

#define QV_MAIN_GROUP_INPUT_X 7
#define QV_MAIN_GROUP_INPUT_Y 7
#define QV_MAIN_GROUP_INPUT_W 182
#define QV_MAIN_GROUP_INPUT_H 42

#define QV_MAIN_GROUP_OUTPUT_X 7
#define QV_MAIN_GROUP_OUTPUT_Y 57
#define QV_MAIN_GROUP_OUTPUT_W 182
#define QV_MAIN_GROUP_OUTPUT_H 42

// Under the output group: the files a map input is written to (none on the memory-point road).
#define QV_MAIN_OUTPUT_SET_X 7
#define QV_MAIN_OUTPUT_SET_Y 102
#define QV_MAIN_OUTPUT_SET_W 245
#define QV_MAIN_OUTPUT_SET_H 27

#define QV_TEXT_CONVERT "変換"
#define QV_TEXT_CANCEL "ｷｬﾝｾﾙ"
#define QV_TEXT_BROWSE "参照"
// Ideographic space and full-width brackets.
#define QV_TEXT_GROUP_INPUT "入力　ファイル名（.mem）"
#define QV_TEXT_GROUP_OUTPUT "出力　ファイル名（.xml）"

// Menu 131.
#define QV_TEXT_MENU_HELP "ヘルプ"
#define QV_TEXT_MENU_VERSION "バーション"

// String 101: the about item of the system menu (two spaces after the name).
#define QV_TEXT_ABOUT_ITEM "Quorvel  のﾊﾞｰｼﾞｮﾝ情報(&A)..."

// About box, template 100.
#define QV_ABOUT_CAPTION "Quorvelのﾊﾞｰｼﾞｮﾝ情報"
#define QV_ABOUT_X 0
#define QV_ABOUT_Y 0
#define QV_ABOUT_W 235
#define QV_ABOUT_H 55

#define QV_ABOUT_ICON_X 11
#define QV_ABOUT_ICON_Y 17
#define QV_ABOUT_ICON_W 20
#define QV_ABOUT_ICON_H 20

#define QV_ABOUT_VERSION_X 40
#define QV_ABOUT_VERSION_Y 10
#define QV_ABOUT_VERSION_W 119
#define QV_ABOUT_VERSION_H 8

#define QV_ABOUT_COPYRIGHT_X 40
#define QV_ABOUT_COPYRIGHT_Y 25
#define QV_ABOUT_COPYRIGHT_W 119
#define QV_ABOUT_COPYRIGHT_H 8

#define QV_ABOUT_OK_X 178
#define QV_ABOUT_OK_Y 7
#define QV_ABOUT_OK_W 50
#define QV_ABOUT_OK_H 14

#define QV_TEXT_ABOUT_COPYRIGHT "Copyright (C) 2006 Quorvel"
#define QV_TEXT_OK "OK"

#endif
