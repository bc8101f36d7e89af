// The dialog tables the toolkit front end builds its windows from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CAboutDlg.h"
#include "res/DialogLayout.h"
#include "res/resource.h"

namespace {
struct Expected {
    int id;
    ControlKind kind;
    std::string text;  // UTF-8 bytes spelled out where a look-alike character could slip in
    int x, y, w, h;
    bool tabStop;
    bool defaultButton;
};

void ExpectControls(const DialogLayout& layout, const std::vector<Expected>& expected) {
    ASSERT_EQ(layout.controlCount, static_cast<int>(expected.size()));
    for (int i = 0; i < layout.controlCount; ++i) {
        SCOPED_TRACE(i);
        const ControlLayout& c = layout.controls[i];
        const Expected& e = expected[static_cast<size_t>(i)];
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.kind, e.kind);
        EXPECT_EQ(std::string(c.text), e.text);
        EXPECT_EQ((std::vector<int>{c.x, c.y, c.w, c.h}), (std::vector<int>{e.x, e.y, e.w, e.h}));
        EXPECT_EQ(c.tabOrder, i);
        EXPECT_EQ(c.tabStop, e.tabStop);
        EXPECT_EQ(c.defaultButton, e.defaultButton);
    }
}

const std::string kFont = "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";
const std::string kBrowse = "\xE5\x8F\x82\xE7\x85\xA7";

TEST(DialogLayout, MainDialog) {
    const DialogLayout& d = MainDialogLayout();
    EXPECT_EQ(d.id, IDD_MAIN_DIALOG);
    EXPECT_STREQ(d.caption, "Quorvel");
    EXPECT_EQ((std::vector<int>{d.x, d.y, d.w, d.h}), (std::vector<int>{0, 0, 259, 154}));
    EXPECT_EQ(d.fontName, kFont);
    EXPECT_EQ(d.fontSize, 9);
    EXPECT_EQ(d.menuId, IDR_MAINMENU);
    EXPECT_TRUE(d.visibleAtCreation);
    EXPECT_TRUE(d.acceptsFiles);
    ExpectControls(d, {
                          {1000, ControlKind::edit, "", 19, 22, 154, 19, true, false},
                          {1001, ControlKind::edit, "", 19, 70, 154, 19, true, false},
                          {1, ControlKind::defPushButton, "\xE5\xA4\x89\xE6\x8F\x9B", 133, 133, 50, 14, true, true},
                          {2, ControlKind::pushButton, "\xEF\xBD\xB7\xEF\xBD\xAC\xEF\xBE\x9D\xEF\xBD\xBE\xEF\xBE\x99", 202, 133, 50,
                           14, true, false},
                          {1006, ControlKind::pushButton, kBrowse, 202, 22, 50, 14, true, false},
                          {1007, ControlKind::pushButton, kBrowse, 202, 70, 50, 14, true, false},
                          // ideographic space U+3000, full-width brackets U+FF08 and U+FF09
                          {-1, ControlKind::groupBox, "入力\xE3\x80\x80ファイル名\xEF\xBC\x88.mem\xEF\xBC\x89", 7, 7, 182, 42, false, false},
                          {-1, ControlKind::groupBox, "出力\xE3\x80\x80ファイル名\xEF\xBC\x88.xml\xEF\xBC\x89", 7, 57, 182, 42, false, false},
                      });
    ASSERT_NE(FindControl(d, IDOK), nullptr);
    EXPECT_TRUE(FindControl(d, IDOK)->defaultButton);
    EXPECT_EQ(FindControl(d, IDC_STATIC), nullptr);  // two group boxes share it
    EXPECT_EQ(FindControl(d, 4242), nullptr);
}

TEST(DialogLayout, AboutBoxMenuAndString) {
    const DialogLayout& d = CAboutDlg::Layout();
    EXPECT_EQ(d.id, IDD_ABOUTBOX);
    EXPECT_EQ(d.id, CAboutDlg::kTemplateId);
    // No space after the name; half-width katakana.
    EXPECT_EQ(std::string(d.caption),
              "Quorvel\xE3\x81\xAE\xEF\xBE\x8A\xEF\xBE\x9E\xEF\xBD\xB0\xEF\xBD\xBC\xEF\xBE\x9E\xEF\xBD\xAE\xEF\xBE\x9D"
              "\xE6\x83\x85\xE5\xA0\xB1");
    EXPECT_STREQ(CAboutDlg::Caption(), d.caption);
    EXPECT_EQ((std::vector<int>{d.x, d.y, d.w, d.h}), (std::vector<int>{0, 0, 235, 55}));
    EXPECT_EQ(d.fontName, kFont);
    EXPECT_EQ(d.menuId, 0);
    EXPECT_FALSE(d.visibleAtCreation);  // centred over its owner when it opens
    EXPECT_FALSE(d.acceptsFiles);
    ExpectControls(d, {
                          {-1, ControlKind::icon, "", 11, 17, 20, 20, false, false},
                          {-1, ControlKind::staticText, "Quorvel Version 1.100", 40, 10, 119, 8, false, false},
                          {-1, ControlKind::staticText, CAboutDlg::CopyrightText(), 40, 25, 119, 8, false, false},
                          {1, ControlKind::defPushButton, "OK", 178, 7, 50, 14, true, true},
                      });
    EXPECT_STREQ(CAboutDlg::VersionText(), "Quorvel Version 1.100");
    EXPECT_NE(std::string(CAboutDlg::CopyrightText()).find("2006"), std::string::npos);
    EXPECT_TRUE(d.controls[1].noPrefix);

    const MenuLayout& m = MainMenuLayout();
    EXPECT_EQ(m.id, IDR_MAINMENU);
    EXPECT_EQ(std::string(m.popupText), "\xE3\x83\x98\xE3\x83\xAB\xE3\x83\x97");
    EXPECT_EQ(std::string(m.itemText), "\xE3\x83\x90\xE3\x83\xBC\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3");
    EXPECT_EQ(m.itemCommand, ID_HELP_VERSION);
    // Two ASCII spaces after the name; half-width katakana.
    EXPECT_EQ(std::string(AboutItemText()),
              "Quorvel  \xE3\x81\xAE\xEF\xBE\x8A\xEF\xBE\x9E\xEF\xBD\xB0\xEF\xBD\xBC\xEF\xBE\x9E\xEF\xBD\xAE\xEF\xBE\x9D"
              "\xE6\x83\x85\xE5\xA0\xB1(&A)...");
}
}  // namespace
