#include "glorie/FileErrorText.h"

#include <gtest/gtest.h>

#include "support/RecordingBoxes.h"
#include "app/FileFailureReport.h"
#include "app/CConverterApp.h"

namespace {
struct CauseTexts {
    int cause;
    const char* openFailure;
    const char* named;     // for a failure record naming /home/u/地図/out.xml
    const char* untitled;  // for a failure record without a file name
};

const CauseTexts kCauses[] = {
    {0, "エラーなし", "ｴﾗｰはありませんでした。", "ｴﾗｰはありませんでした。"},
    {1, "未定義エラー", "/home/u/地図/out.xml へのｱｸｾｽ中に不明なｴﾗｰが発生しました。", "無題のﾌｧｲﾙ へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"},
    {2, "ファイル未定義", "/home/u/地図/out.xml が見つかりませんでした。", "無題のﾌｧｲﾙ が見つかりませんでした。"},
    {3, "不正パス", "/home/u/地図/out.xml には無効なﾊﾟｽが含まれています。", "無題のﾌｧｲﾙ には無効なﾊﾟｽが含まれています。"},
    {4, "オープン ファイル数超過", "開いているﾌｧｲﾙが多すぎるため、/home/u/地図/out.xml を開けませんでした。", "開いているﾌｧｲﾙが多すぎるため、無題のﾌｧｲﾙ を開けませんでした。"},
    {5, "ファイル アクセス禁止", "/home/u/地図/out.xml へのｱｸｾｽは拒否されました。", "無題のﾌｧｲﾙ へのｱｸｾｽは拒否されました。"},
    {6, "不正ファイル ハンドル使用", "/home/u/地図/out.xml へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。", "無題のﾌｧｲﾙ へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。"},
    {7, "作業中のカレント ディレクトリの削除不可", "現在のﾃﾞｨﾚｸﾄﾘ /home/u/地図/out.xml は削除できませんでした。", "現在のﾃﾞｨﾚｸﾄﾘ 無題のﾌｧｲﾙ は削除できませんでした。"},
    {8, "ディレクトリ フル", "/home/u/地図/out.xml を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。", "無題のﾌｧｲﾙ を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。"},
    {9, "ファイル ポインタ設定エラー", "/home/u/地図/out.xml のｼｰｸに失敗しました。", "無題のﾌｧｲﾙ のｼｰｸに失敗しました。"},
    {10, "ハードウェア エラー", "/home/u/地図/out.xml へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。", "無題のﾌｧｲﾙ へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。"},
    {11, "SHARE.EXE 未ロードまたは共有領域ロック済み", "/home/u/地図/out.xml へのｱｸｾｽ中に共有違反が発生しました。", "無題のﾌｧｲﾙ へのｱｸｾｽ中に共有違反が発生しました。"},
    {12, "ロック済み領域のロック要求", "/home/u/地図/out.xml へのｱｸｾｽ中にﾛｯｸ違反が発生しました。", "無題のﾌｧｲﾙ へのｱｸｾｽ中にﾛｯｸ違反が発生しました。"},
    {13, "ディスク フル", "/home/u/地図/out.xml へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。", "無題のﾌｧｲﾙ へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
    {14, "ファイルの終わりに到達", "/home/u/地図/out.xml の末尾以降にｱｸｾｽしようとしました。", "無題のﾌｧｲﾙ の末尾以降にｱｸｾｽしようとしました。"},
    {15, "読み取る側のないパイプ", "/home/u/地図/out.xml はﾊﾟｲﾌﾟですが、読み取る側がありません。", "無題のﾌｧｲﾙ はﾊﾟｲﾌﾟですが、読み取る側がありません。"},
};

const char* const kName = "/home/u/地図/out.xml";

TEST(FileErrorText, OpenFailureTextForEveryCause) {
    for (const CauseTexts& c : kCauses) EXPECT_STREQ(OpenFailureText(c.cause), c.openFailure) << c.cause;
    for (int cause : {-1, 16, 17, 1000, -2147483647 - 1}) EXPECT_STREQ(OpenFailureText(cause), "原因不明です") << cause;
}

TEST(FileErrorText, ReportOpenErrorQuotesTheNameAsGiven) {
    const CConverterApp app("C:\\Tools\\quorvel.exe");
    struct Case {
        int cause;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {5, "out.xml", "\"out.xml\"\n\nファイル アクセス禁止"},
        {3, "..\\maps\\new.xml", "\"..\\maps\\new.xml\"\n\n不正パス"},
        {2, "地図/旅.xml", "\"地図/旅.xml\"\n\nファイル未定義"},
        {99, "out.xml", "\"out.xml\"\n\n原因不明です"},
        {-1, "", "\"\"\n\n原因不明です"},
        {0, "a\"b.xml", "\"a\"b.xml\"\n\nエラーなし"},
    };
    for (const Case& c : cases) {
        RecordingBoxes boxes;
        ReportOutputOpenFailure(boxes, CFileException(c.cause, 17, CString("/elsewhere/full.xml")), c.name);
        ASSERT_EQ(boxes.shown.size(), 1u) << c.cause;
        EXPECT_EQ(boxes.shown[0].text, c.expected) << c.cause;
        EXPECT_EQ(boxes.shown[0].caption, "quorvel");
        EXPECT_EQ(boxes.shown[0].style, kMbOk | kMbIconExclamation);
    }
    for (const CauseTexts& c : kCauses) {
        RecordingBoxes boxes;
        ReportOutputOpenFailure(boxes, CFileException(c.cause), "out.xml");
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, std::string("\"out.xml\"\n\n") + c.openFailure) << c.cause;
    }
}

TEST(FileErrorText, CommandFailureTextNamesTheFileOrAnUntitledOne) {
    for (const CauseTexts& c : kCauses) {
        EXPECT_EQ(CommandFailureText(CFileException(c.cause, 28, CString(kName))), c.named) << c.cause;
        EXPECT_EQ(CommandFailureText(CFileException(c.cause, -1)), c.untitled) << c.cause;
    }
    // A cause outside the set gets the generic text, which still names the file.
    for (int cause : {-1, 16, 1000}) {
        EXPECT_EQ(CommandFailureText(CFileException(cause, -1, CString(kName))), kCauses[1].named) << cause;
        EXPECT_EQ(CommandFailureText(CFileException(cause)), kCauses[1].untitled) << cause;
    }
    // The name is inserted once and never scanned for the marker itself.
    EXPECT_EQ(CommandFailureText(CFileException(CFileException::badSeek, -1, CString("/t/100%1.xml"))),
              "/t/100%1.xml のｼｰｸに失敗しました。");
    EXPECT_EQ(SetInUseText(CString(kName)), "/home/u/地図/out.xml は別の変換が書き込み中です。");
}

TEST(FileErrorText, ReportFileFailureShowsTheStopIcon) {
    const CConverterApp app("/usr/bin/quorvel");
    RecordingBoxes boxes;
    ReportFileFailure(boxes, CFileException(CFileException::diskFull, -1, CString(kName)));
    ReportFileFailure(boxes, CFileException(CFileException::generic, 5));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "/home/u/地図/out.xml へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。");
    EXPECT_EQ(boxes.shown[1].text, "無題のﾌｧｲﾙ へのｱｸｾｽ中に不明なｴﾗｰが発生しました。");
    for (const ShownMessageBox& box : boxes.shown) {
        EXPECT_EQ(box.caption, "quorvel");
        EXPECT_EQ(box.style, kMbOk | kMbIconStop);
    }
}
}  // namespace

// The page words the same failures in English: the file named, or said untitled, in its words.
TEST(FileErrorText, CommandFailureInEnglish) {
    const struct {
        int cause;
        const char* name;
        const char* english;
    } kRows[] = {
        {2, kName, "/home/u/地図/out.xml was not found."},
        {5, "", "Access to an untitled file was denied."},
        {13, kName, "The disk became full while /home/u/地図/out.xml was being written."},
        {99, kName, "An unknown error occurred while /home/u/地図/out.xml was being accessed."},
    };
    for (const auto& row : kRows) {
        const Message said = CommandFailureMessage(CFileException(row.cause, 0, CString(row.name)));
        EXPECT_EQ(Words(said, Language::en), row.english) << row.cause;
        EXPECT_EQ(Words(said), CommandFailureText(CFileException(row.cause, 0, CString(row.name))).Str()) << row.cause;
    }
}
