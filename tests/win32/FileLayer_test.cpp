// The Win32 file layer's checks, run inside Wine: error mapping, real open failures, the
// all-or-nothing replacement of documents, and failures injected through Win32Calls.
// Prints "PASS name" or "FAIL name: why" per check; the exit code is the number of failures.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CFile.h"
#include "platform/CSaveFile.h"
#include "platform/CFileException.h"
#include "platform/HostSystem.h"
#include "platform/OutputSet.h"
#include "platform/win32/TempFiles.h"
#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"
#include "SeamSweep.h"

namespace {
struct Failure : std::runtime_error {
    explicit Failure(const std::string& why) : std::runtime_error(why) {}
};

void Check(bool condition, const std::string& why) {
    if (!condition) throw Failure(why);
}

template <typename T>
void CheckEq(const T& actual, const T& expected, const std::string& what) {
    if (!(actual == expected)) throw Failure(what + ": got " + std::to_string(actual) + ", expected " + std::to_string(expected));
}

void CheckText(const std::string& actual, const std::string& expected, const std::string& what) {
    if (actual != expected) throw Failure(what + ": got \"" + actual + "\", expected \"" + expected + "\"");
}

std::string g_folder;  // the scratch folder, UTF-8, ends with a backslash

std::string ReadBytes(const std::string& path) {
    std::ifstream in(Utf8ToWide(path).c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(Utf8ToWide(path).c_str(), std::ios::binary);
    out << bytes;
}

// Files beside the target whose names extend its name (the target itself, which the pattern
// also matches, is not one).
std::vector<std::string> Leftovers(const std::string& target) {
    const std::string base = target.substr(target.rfind('\\') + 1);
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(Utf8ToWide(target + ".*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = WideToUtf8(data.cFileName);
        if (name != base) names.push_back(name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

std::string FullPath(const std::string& name) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(Utf8ToWide(name).c_str(), MAX_PATH, buffer, nullptr);
    return WideToUtf8(buffer, static_cast<int>(length));
}

std::string Document(size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>('A' + i % 23);
    return bytes;
}

void WriteDocument(const std::string& name, const std::string& bytes, size_t piece) {
    CSaveFile file;
    CFileException error;
    Check(file.Open(name.c_str(), &error), "open for writing failed");
    for (size_t done = 0; done < bytes.size(); done += piece)
        file.Write(bytes.data() + done, static_cast<unsigned>(std::min(piece, bytes.size() - done)));
    file.Commit();
}

// Fails one kind of call with an error, or shortens writes, from its nth use on.
class FailingCalls : public Win32Calls {
public:
    enum Which {
        kNone,
        kCreateNew,
        kWrite,
        kShortWrite,
        kFlush,
        kCloseTemp,
        kMove,
        kRead,
        kSize,
        kCurrentDir,
        kDelete,
        kList
    };
    FailingCalls(Which which, DWORD error) : m_which(which), m_error(error) { m_previous = Win32Calls::Replace(this); }
    ~FailingCalls() override { Win32Calls::Replace(m_previous); }
    FailingCalls(const FailingCalls&) = delete;
    FailingCalls& operator=(const FailingCalls&) = delete;

    HANDLE CreateFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override {
        if (m_which == kCreateNew && disposition == CREATE_NEW) return Fail<HANDLE>(INVALID_HANDLE_VALUE);
        HANDLE handle = Win32Calls::CreateFile(path, access, share, disposition, flags);
        if (disposition == CREATE_NEW) m_temp = handle;
        return handle;
    }
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written) override {
        if (m_which == kWrite) return Fail<BOOL>(FALSE);
        if (m_which == kShortWrite && count > 1) return Win32Calls::WriteFile(file, buffer, count / 2, written);
        return Win32Calls::WriteFile(file, buffer, count, written);
    }
    BOOL FlushFileBuffers(HANDLE file) override {
        return m_which == kFlush ? Fail<BOOL>(FALSE) : Win32Calls::FlushFileBuffers(file);
    }
    BOOL CloseHandle(HANDLE handle) override {
        if (m_which == kCloseTemp && handle == m_temp) {
            Win32Calls::CloseHandle(handle);
            m_temp = nullptr;
            return Fail<BOOL>(FALSE);
        }
        return Win32Calls::CloseHandle(handle);
    }
    BOOL MoveFileEx(const wchar_t* from, const wchar_t* to, DWORD flags) override {
        return m_which == kMove ? Fail<BOOL>(FALSE) : Win32Calls::MoveFileEx(from, to, flags);
    }
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read) override {
        return m_which == kRead ? Fail<BOOL>(FALSE) : Win32Calls::ReadFile(file, buffer, count, read);
    }
    BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) override {
        return m_which == kSize ? Fail<BOOL>(FALSE) : Win32Calls::GetFileSizeEx(file, size);
    }
    BOOL DeleteFile(const wchar_t* path) override {
        return m_which == kDelete ? Fail<BOOL>(FALSE) : Win32Calls::DeleteFile(path);
    }
    DWORD ListFolder(const wchar_t* folder, std::vector<WIN32_FIND_DATAW>& entries) override {
        return m_which == kList ? m_error : Win32Calls::ListFolder(folder, entries);
    }
    DWORD GetCurrentDirectory(DWORD room, wchar_t* buffer) override {
        return m_which == kCurrentDir ? Fail<DWORD>(0) : Win32Calls::GetCurrentDirectory(room, buffer);
    }

private:
    template <typename T>
    T Fail(T result) {
        ::SetLastError(m_error);
        return result;
    }
    Which m_which;
    DWORD m_error;
    HANDLE m_temp = nullptr;
    Win32Calls* m_previous;
};

void TestErrorMapping() {
    const struct {
        DWORD error;
        int cause;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
        {ERROR_PATH_NOT_FOUND, CFileException::badPath},
        {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
        {ERROR_ACCESS_DENIED, CFileException::accessDenied},
        {ERROR_INVALID_HANDLE, CFileException::invalidFile},
        {ERROR_CURRENT_DIRECTORY, CFileException::removeCurrentDir},
        {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
        {ERROR_SEEK, CFileException::badSeek},
        {ERROR_CRC, CFileException::hardIO},
        {ERROR_GEN_FAILURE, CFileException::hardIO},
        {ERROR_IO_DEVICE, CFileException::hardIO},
        {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
        {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
        {ERROR_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_EOF, CFileException::endOfFile},
        {ERROR_SUCCESS, CFileException::generic},  // a failed call never reads as "no error"
        {ERROR_INVALID_NAME, CFileException::generic},
        {ERROR_NOT_ENOUGH_MEMORY, CFileException::generic},
    };
    for (const auto& row : rows)
        CheckEq(CFileException::OsErrorToException(static_cast<long>(row.error)), row.cause,
                "cause of error " + std::to_string(row.error));
}

void TestOpenFailures() {
    const std::string existing = g_folder + "held.mem";
    WriteBytes(existing, "x");
    CFile holder;
    Check(holder.Open(existing.c_str(), CFile::modeRead), "cannot hold the file");
    const struct {
        const char* what;
        std::string name;
        bool create;  // the save file's open, else the reader's
        int cause;
        DWORD osError;
    } rows[] = {
        {"missing file", g_folder + "absent.mem", false, CFileException::fileNotFound, ERROR_FILE_NOT_FOUND},
        {"missing folder", g_folder + "absent\\x.mem", false, CFileException::badPath, ERROR_PATH_NOT_FOUND},
        {"folder read", g_folder + "sub", false, CFileException::accessDenied, ERROR_ACCESS_DENIED},
        {"file held", existing, false, CFileException::sharingViolation, ERROR_SHARING_VIOLATION},
        {"create in missing folder", g_folder + "absent\\x.xml", true,
         CFileException::badPath, ERROR_PATH_NOT_FOUND},
        {"create over folder", g_folder + "sub", true, CFileException::accessDenied,
         ERROR_ACCESS_DENIED},
        {"create over held file", existing, true, CFileException::sharingViolation,
         ERROR_SHARING_VIOLATION},
    };
    for (const auto& row : rows) {
        CFile file;
        CSaveFile save;
        CFileException error;
        const bool opened = row.create ? save.Open(row.name.c_str(), &error) : file.Open(row.name.c_str(), CFile::modeRead, &error);
        Check(!opened, std::string(row.what) + ": open succeeded");
        CheckEq(error.m_cause, row.cause, std::string(row.what) + ": cause");
        CheckEq(error.m_lOsError, static_cast<long>(row.osError), std::string(row.what) + ": OS error");
        CheckText(error.m_strFileName.Str(), row.name, std::string(row.what) + ": name");
        Check(!file.IsOpen() && !save.IsOpen(), std::string(row.what) + ": file left open");
    }
    holder.Close();
    CheckText(ReadBytes(existing), "x", "the held file");
    Check(Leftovers(existing).empty(), "a refused create left a file");
    Check(::GetFileAttributesW(Utf8ToWide(g_folder + "absent").c_str()) == INVALID_FILE_ATTRIBUTES,
          "a folder was created");
}

void TestWriteAndRead() {
    const std::string target = g_folder + "doc.xml";
    const std::string bytes = Document(200000);  // beyond the 64 KiB buffer several times
    WriteDocument(target, bytes, 777);
    Check(ReadBytes(target) == bytes, "the document differs");
    Check(Leftovers(target).empty(), "a temporary file was left");

    CFile file;
    Check(file.Open(target.c_str(), CFile::modeRead), "cannot open the document");
    CheckText(file.GetFilePath().Str(), target, "recorded path");
    CheckEq(file.GetLength(), static_cast<std::uint64_t>(bytes.size()), "length");
    std::string back(bytes.size(), '\0');
    CheckEq(file.Read(&back[0], static_cast<unsigned>(back.size())), static_cast<unsigned>(bytes.size()), "bytes read");
    Check(back == bytes, "bytes read differ");
    CheckEq(file.Read(&back[0], 10), 0u, "read at the end");
    file.Close();
    Check(!file.IsOpen(), "closed file still open");
}

void TestReplaceShorter() {
    const std::string target = g_folder + "old.xml";
    WriteBytes(target, Document(5000));
    WriteDocument(target, "new", 3);
    CheckText(ReadBytes(target), "new", "replaced document");
    Check(Leftovers(target).empty(), "a temporary file was left");
}

void TestRelativeName() {
    // Failures name the full path even when the name was relative.
    ::SetCurrentDirectoryW(Utf8ToWide(g_folder).c_str());
    CSaveFile file;
    Check(file.Open("relative.xml"), "cannot open a relative name");
    CheckText(file.GetFilePath().Str(), FullPath(g_folder + "relative.xml"), "recorded path");
    file.Abort();
    Check(Leftovers(g_folder + "relative.xml").empty() && ReadBytes(g_folder + "relative.xml").empty(),
          "an aborted document left a file");
}

void TestAbandonedDocument() {
    const std::string target = g_folder + "kept.xml";
    WriteBytes(target, "old content");
    {
        CSaveFile file;
        Check(file.Open(target.c_str()), "cannot open");
        file.Write("partial", 7);
    }  // destroyed without Close
    CheckText(ReadBytes(target), "old content", "target after an abandoned write");
    Check(Leftovers(target).empty(), "an abandoned write left a temporary file");
}

void TestInjectedWriteFailures() {
    const struct {
        const char* what;
        FailingCalls::Which which;
        DWORD error;
        int cause;
        long osError;
    } rows[] = {
        {"write fails", FailingCalls::kWrite, ERROR_DISK_FULL, CFileException::diskFull, ERROR_DISK_FULL},
        {"short write", FailingCalls::kShortWrite, ERROR_SUCCESS, CFileException::diskFull, -1},
        {"flush fails", FailingCalls::kFlush, ERROR_IO_DEVICE, CFileException::hardIO, ERROR_IO_DEVICE},
        {"close fails", FailingCalls::kCloseTemp, ERROR_INVALID_HANDLE, CFileException::invalidFile,
         ERROR_INVALID_HANDLE},
        {"replace fails", FailingCalls::kMove, ERROR_ACCESS_DENIED, CFileException::accessDenied, ERROR_ACCESS_DENIED},
    };
    for (const auto& row : rows) {
        const std::string target = g_folder + "guarded.xml";
        WriteBytes(target, "the old document");
        bool thrown = false;
        {
            FailingCalls calls(row.which, row.error);
            CSaveFile file;
            Check(file.Open(target.c_str()), std::string(row.what) + ": open");
            try {
                file.Write("<glorie/>", 9);
                file.Commit();
            } catch (const CFileException& error) {
                thrown = true;
                CheckEq(error.m_cause, row.cause, std::string(row.what) + ": cause");
                CheckEq(error.m_lOsError, row.osError, std::string(row.what) + ": OS error");
                CheckText(error.m_strFileName.Str(), target, std::string(row.what) + ": name");
            }
            Check(!file.IsOpen(), std::string(row.what) + ": file left open");
        }
        Check(thrown, std::string(row.what) + ": no failure raised");
        CheckText(ReadBytes(target), "the old document", std::string(row.what) + ": target");
        Check(Leftovers(target).empty(), std::string(row.what) + ": a temporary file was left");
    }
}

void TestInjectedOpenAndReadFailures() {
    const std::string target = g_folder + "probe.xml";
    WriteBytes(target, "keep");
    {
        FailingCalls calls(FailingCalls::kCreateNew, ERROR_ACCESS_DENIED);
        CSaveFile file;
        CFileException error;
        Check(!file.Open("probe.xml", &error), "temp creation: open succeeded");
        CheckEq(error.m_cause, static_cast<int>(CFileException::accessDenied), "temp creation: cause");
        CheckText(error.m_strFileName.Str(), "probe.xml", "temp creation: name as given");
    }
    CheckText(ReadBytes(target), "keep", "target after a refused temp file");
    // The refused open let go of the target: it can be replaced at once.
    WriteDocument(target, "next", 4);
    CheckText(ReadBytes(target), "next", "target replaced after a refused open");

    const struct {
        const char* what;
        FailingCalls::Which which;
        DWORD error;
        int cause;
    } rows[] = {
        {"read fails", FailingCalls::kRead, ERROR_CRC, CFileException::hardIO},
        {"read past the end", FailingCalls::kRead, ERROR_HANDLE_EOF, CFileException::endOfFile},
        {"length fails", FailingCalls::kSize, ERROR_INVALID_HANDLE, CFileException::invalidFile},
    };
    for (const auto& row : rows) {
        CFile file;
        Check(file.Open(target.c_str(), CFile::modeRead), std::string(row.what) + ": open");
        FailingCalls calls(row.which, row.error);
        try {
            char buffer[8];
            if (row.which == FailingCalls::kSize) file.GetLength();
            else file.Read(buffer, sizeof buffer);
            throw Failure(std::string(row.what) + ": no failure raised");
        } catch (const CFileException& error) {
            CheckEq(error.m_cause, row.cause, std::string(row.what) + ": cause");
            CheckText(error.m_strFileName.Str(), target, std::string(row.what) + ": name");
        }
    }
}

void TestCurrentFolder() {
    ::SetCurrentDirectoryW(Utf8ToWide(g_folder).c_str());
    const std::string expected = g_folder.substr(0, g_folder.size() - 1);
    CheckText(GetCurrentFolder().Str(), expected, "current folder");
    FailingCalls calls(FailingCalls::kCurrentDir, ERROR_ACCESS_DENIED);
    CheckText(GetCurrentFolder().Str(), "", "current folder when it cannot be had");
}

// What the console's control handler does on Ctrl+C: the temporary file of a document being
// written goes, open or complete (the file layer's own deletion is failed here, so that only the
// handler's can remove it), and the old document stays.
void TestInterruptedDocument() {
    const std::string target = g_folder + "interrupted.xml";
    WriteBytes(target, "old");
    for (const bool bFlushed : {false, true}) {
        const std::string what = bFlushed ? "complete document" : "open document";
        {
            FailingCalls calls(FailingCalls::kDelete, ERROR_ACCESS_DENIED);
            CSaveFile file;
            Check(file.Open(target.c_str()), what + ": open");
            file.Write("new", 3);
            if (bFlushed) file.Flush();
            Check(Leftovers(target).size() == 1, what + ": no temporary file");
            RemoveTempFiles();
            if (bFlushed) {
                bool bReplaced = true;
                try {
                    file.Commit();
                } catch (const CFileException&) {
                    bReplaced = false;
                }
                Check(!bReplaced, what + ": put in place after the interrupt");
            }
        }
        Check(Leftovers(target).empty(), what + ": a temporary file was left");
        CheckText(ReadBytes(target), "old", what + ": old document");
    }
}

// Two names of one file compare equal whatever their spelling; names of two files never do.
void TestFileIdentity() {
    ::SetCurrentDirectoryW(Utf8ToWide(g_folder).c_str());
    WriteBytes(g_folder + "same.mem", "x");
    WriteBytes(g_folder + "sub\\same.mem", "y");
    Check(::CreateHardLinkW(Utf8ToWide(g_folder + "linked.mem").c_str(), Utf8ToWide(g_folder + "same.mem").c_str(),
                            nullptr) != 0,
          "cannot make a hard link");
    const std::string drive = g_folder.substr(0, 2);
    const struct {
        const char* what;
        std::string a, b;
        bool same;
    } rows[] = {
        {"relative and full", "same.mem", g_folder + "same.mem", true},
        {"other case", g_folder + "SAME.MEM", g_folder + "same.mem", true},
        {"slashes and dots", drive + "/" + g_folder.substr(3) + "sub/../same.mem", g_folder + "same.mem", true},
        {"hard link", g_folder + "linked.mem", g_folder + "same.mem", true},
        {"not yet made, other case", "東京 ①.xml", g_folder + "東京 ①.XML", true},
        {"not yet made, through a folder", g_folder + "sub\\..\\new.xml", g_folder + "NEW.xml", true},
        {"missing folder", g_folder + "absent\\a.xml", g_folder + "ABSENT\\A.XML", true},
        {"other folder", g_folder + "sub\\same.mem", g_folder + "same.mem", false},
        {"other name", g_folder + "new.xml", g_folder + "new.gpx", false},
        {"made and not made", g_folder + "same.mem", g_folder + "same.xml", false},
    };
    for (const auto& row : rows) {
        const bool same = FileIdentity(CString(row.a)) == FileIdentity(CString(row.b));
        Check(same == row.same, std::string(row.what) + ": " + row.a + " and " + row.b +
                                    (row.same ? " differ" : " are taken for one file"));
    }
}
}  // namespace

// A set's folder that cannot be listed once the members are in place: the new set stands, the
// earlier members stay, and a warning says that nothing was removed.
void TestSetListingFailure() {
    const std::string set = g_folder + "set.xml";
    const auto write = [&](const std::vector<std::string>& names, const char* text, bool failList) {
        OutputSet outputs{CString(set)};
        for (const std::string& name : names) {
            CSaveFile& file = outputs.Add(CString(g_folder + name));
            file.Write(text, 3);
            outputs.Finish(file);
        }
        FailingCalls failing(failList ? FailingCalls::kList : FailingCalls::kNone, ERROR_ACCESS_DENIED);
        outputs.Commit();
        return outputs.GetWarnings();
    };
    Check(write({"set-1.xml", "set-2.xml"}, "old", false).empty(), "the first set warned");
    const std::vector<std::string> warnings = write({"set.xml"}, "new", true);
    Check(ReadBytes(set) == "new", "the new member is not in place");
    Check(ReadBytes(g_folder + "set-1.xml") == "old" && ReadBytes(g_folder + "set-2.xml") == "old",
          "an earlier member changed without a listing");
    Check(warnings.size() == 1 && warnings[0].find("の一覧を読めないため") != std::string::npos &&
              warnings[0].find("(error 5)") != std::string::npos,
          "no warning of the listing: " + (warnings.empty() ? std::string("none") : warnings[0]));
    // The next commit that can list the folder removes them, as its record names them.
    Check(write({"set.xml"}, "new", false).empty(), "the next set warned");
    Check(::GetFileAttributesW(Utf8ToWide(g_folder + "set-1.xml").c_str()) == INVALID_FILE_ATTRIBUTES,
          "the earlier member was not removed by the next commit");
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvel_wine_file_tests <empty scratch folder>\n");
        return 2;
    }
    // The folder arrives in the ANSI code page; everything inside is UTF-8.
    wchar_t wide[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH);
    g_folder = WideToUtf8(std::wstring(wide));
    if (g_folder.back() != '\\') g_folder += '\\';
    ::CreateDirectoryW(Utf8ToWide(g_folder + "sub").c_str(), nullptr);

    const std::vector<std::pair<const char*, std::function<void()>>> tests = {
        {"error-mapping", TestErrorMapping},
        {"open-failures", TestOpenFailures},
        {"write-and-read", TestWriteAndRead},
        {"replace-shorter", TestReplaceShorter},
        {"relative-name", TestRelativeName},
        {"abandoned-document", TestAbandonedDocument},
        {"injected-write-failures", TestInjectedWriteFailures},
        {"injected-open-and-read-failures", TestInjectedOpenAndReadFailures},
        {"current-folder", TestCurrentFolder},
        {"interrupted-document", TestInterruptedDocument},
        {"file-identity", TestFileIdentity},
        {"set-listing-failure", TestSetListingFailure},
        {"every-call-fails-in-turn", [] { TestEveryCallFailsInTurn(g_folder); }},
    };
    int failures = 0;
    for (const auto& [name, run] : tests) {
        try {
            run();
            std::printf("PASS file-layer/%s\n", name);
        } catch (const std::exception& error) {
            std::printf("FAIL file-layer/%s: %s\n", name, error.what());
            ++failures;
        }
        std::fflush(stdout);
    }
    return failures;
}
