#include "glorie/FileErrorText.h"

#include <string>
#include <utility>

namespace {
// Short open-failure texts by cause (full-width katakana).
const char* const kOpenFailureTexts[] = {
    "エラーなし",                                  // CFileException::none
    "未定義エラー",                                // CFileException::generic
    "ファイル未定義",                              // CFileException::fileNotFound
    "不正パス",                                    // CFileException::badPath
    "オープン ファイル数超過",                     // CFileException::tooManyOpenFiles
    "ファイル アクセス禁止",                       // CFileException::accessDenied
    "不正ファイル ハンドル使用",                   // CFileException::invalidFile
    "作業中のカレント ディレクトリの削除不可",     // CFileException::removeCurrentDir
    "ディレクトリ フル",                           // CFileException::directoryFull
    "ファイル ポインタ設定エラー",                 // CFileException::badSeek
    "ハードウェア エラー",                         // CFileException::hardIO
    "SHARE.EXE 未ロードまたは共有領域ロック済み",  // CFileException::sharingViolation
    "ロック済み領域のロック要求",                  // CFileException::lockViolation
    "ディスク フル",                               // CFileException::diskFull
    "ファイルの終わりに到達",                      // CFileException::endOfFile
    "読み取る側のないパイプ",                      // CFileException::noReader
};
const char* const kUnknownOpenFailure = "原因不明です";

// Texts for a file failure that leaves a command (half-width katakana); %1 is the file.
const char* const kCommandFailureTexts[] = {
    "ｴﾗｰはありませんでした。",                                 // CFileException::none
    "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。",                // CFileException::generic
    "%1 が見つかりませんでした。",                             // CFileException::fileNotFound
    "%1 には無効なﾊﾟｽが含まれています。",                      // CFileException::badPath
    "開いているﾌｧｲﾙが多すぎるため、%1 を開けませんでした。",   // CFileException::tooManyOpenFiles
    "%1 へのｱｸｾｽは拒否されました。",                           // CFileException::accessDenied
    "%1 へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。",         // CFileException::invalidFile
    "現在のﾃﾞｨﾚｸﾄﾘ %1 は削除できませんでした。",               // CFileException::removeCurrentDir
    "%1 を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。",  // CFileException::directoryFull
    "%1 のｼｰｸに失敗しました。",                                // CFileException::badSeek
    "%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。",        // CFileException::hardIO
    "%1 へのｱｸｾｽ中に共有違反が発生しました。",                 // CFileException::sharingViolation
    "%1 へのｱｸｾｽ中にﾛｯｸ違反が発生しました。",                  // CFileException::lockViolation
    "%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。",            // CFileException::diskFull
    "%1 の末尾以降にｱｸｾｽしようとしました。",                   // CFileException::endOfFile
    "%1 はﾊﾟｲﾌﾟですが、読み取る側がありません。",              // CFileException::noReader
};
const char* const kUntitledFile = "無題のﾌｧｲﾙ";
constexpr int kCauseCount = static_cast<int>(sizeof kOpenFailureTexts / sizeof kOpenFailureTexts[0]);
static_assert(sizeof kCommandFailureTexts / sizeof kCommandFailureTexts[0] == kCauseCount, "one text a cause");
}  // namespace

const char* OpenFailureText(int cause) {
    return cause >= 0 && cause < kCauseCount ? kOpenFailureTexts[cause] : kUnknownOpenFailure;
}

// A cause outside the known set gets the generic text: it still names the file.
CString CommandFailureText(const CFileException& error) {
    const int cause = error.m_cause >= 0 && error.m_cause < kCauseCount ? error.m_cause : CFileException::generic;
    const std::string& name = error.m_strFileName.IsEmpty() ? std::string(kUntitledFile) : error.m_strFileName.Str();
    const std::string text = kCommandFailureTexts[cause];
    std::string out;
    out.reserve(text.size() + name.size());
    std::size_t from = 0;
    for (std::size_t mark = text.find("%1"); mark != std::string::npos; mark = text.find("%1", from)) {
        out.append(text, from, mark - from);
        out += name;
        from = mark + 2;
    }
    out.append(text, from, std::string::npos);
    return CString(std::move(out));
}

CString OpenFailureMessage(const CFileException& error, const CString& strFileName) {
    return "\"" + strFileName + "\"\n\n" + OpenFailureText(error.m_cause);
}

CString SetInUseText(const CString& strSetName) { return strSetName + " は別の変換が書き込み中です。"; }
