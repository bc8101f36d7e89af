#include "glorie/FileErrorText.h"


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

// The messages of a file failure that leaves a command, by cause (half-width katakana in Japanese).
constexpr MessageId kCommandFailures[] = {
    MessageId::fileNoError,
    MessageId::fileGeneric,
    MessageId::fileNotFound,
    MessageId::fileBadPath,
    MessageId::fileTooManyOpen,
    MessageId::fileAccessDenied,
    MessageId::fileInvalidHandle,
    MessageId::fileRemoveCurrentDir,
    MessageId::fileDirectoryFull,
    MessageId::fileBadSeek,
    MessageId::fileHardIo,
    MessageId::fileSharingViolation,
    MessageId::fileLockViolation,
    MessageId::fileDiskFull,
    MessageId::fileEndOfFile,
    MessageId::fileNoReader,
};
constexpr int kCauseCount = static_cast<int>(sizeof kOpenFailureTexts / sizeof kOpenFailureTexts[0]);
static_assert(sizeof kCommandFailures / sizeof kCommandFailures[0] == kCauseCount, "one message a cause");
}  // namespace

const char* OpenFailureText(int cause) {
    return cause >= 0 && cause < kCauseCount ? kOpenFailureTexts[cause] : kUnknownOpenFailure;
}

// A cause outside the known set gets the generic text: it still names the file.
Message CommandFailureMessage(const CFileException& error) {
    const int cause = error.m_cause >= 0 && error.m_cause < kCauseCount ? error.m_cause : CFileException::generic;
    if (error.m_strFileName.IsEmpty()) return {kCommandFailures[cause], Message(MessageId::untitledFile)};
    return {kCommandFailures[cause], error.m_strFileName.Str()};
}

CString CommandFailureText(const CFileException& error) { return CString(Words(CommandFailureMessage(error))); }

CString OpenFailureMessage(const CFileException& error, const CString& strFileName) {
    return "\"" + strFileName + "\"\n\n" + OpenFailureText(error.m_cause);
}

CString SetInUseText(const CString& strSetName) { return strSetName + " は別の変換が書き込み中です。"; }
