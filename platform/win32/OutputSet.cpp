// The set writer on Windows: a lock file beside the set, opened without sharing and deleted when
// the run lets it go; the members replaced one after the other, a record of them written, then
// the stale ones removed: only those the earlier record names with the size and time they had.
#include "platform/OutputSet.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/win32/Win32Calls.h"
#include "platform/win32/WideText.h"

namespace {
constexpr DWORD kMaxRecordBytes = 16u << 20;

// The size and last write time of a file as the record keeps them (no inode here).
OutputSet::Recorded Identity(const std::string& name, const WIN32_FIND_DATAW& found) {
    OutputSet::Recorded entry;
    entry.name = name;
    entry.size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entry.seconds = static_cast<long long>((static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                           found.ftLastWriteTime.dwLowDateTime);
    return entry;
}

bool Find(const std::string& path, WIN32_FIND_DATAW& found) {
    return Win32Calls::Current().FindFile(Utf8ToWide(path).c_str(), &found) != FALSE;
}

// The bytes of a record that is a plain file of a sensible size; false otherwise.
bool ReadRecordFile(const std::string& path, std::string& bytes) {
    WIN32_FIND_DATAW found;
    if (!Find(path, found) || (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        found.nFileSizeHigh != 0 || found.nFileSizeLow > kMaxRecordBytes)
        return false;
    Win32Calls& calls = Win32Calls::Current();
    HANDLE file = calls.CreateFile(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.assign(found.nFileSizeLow, '\0');
    DWORD read = 0;
    const BOOL ok = bytes.empty() || calls.ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read);
    calls.CloseHandle(file);
    return ok && read == bytes.size();
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string FullPath(const std::string& name) {
    const std::wstring full = Win32Calls::Current().FullPath(Utf8ToWide(name));
    return full.empty() ? name : WideToUtf8(full);
}
}  // namespace

std::string OutputSet::FullPathOf(const std::string& name) { return FullPath(name); }

OutputSet::OutputSet(CString strSetName, Mode mode) : m_strSetName(std::move(strSetName)), m_mode(mode) {
    const std::string full = FullPath(m_strSetName.Str());
    const std::size_t slash = full.find_last_of("\\/");
    m_strFolder = slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
    m_strBase = full.substr(m_strFolder.size());
}

OutputSet::~OutputSet() noexcept {
    for (auto& file : m_files) file->Abort();
    Unlock();
}

// Inputs are kept by their full names, as this system compares them (without case).
void OutputSet::Protect(const CString& strFileName) {
    m_protected.emplace_back(0, std::hash<std::string>()(Lower(FullPath(strFileName.Str()))));
}

bool OutputSet::Protected(const std::string& path) const {
    const std::pair<unsigned long long, unsigned long long> id(0, std::hash<std::string>()(Lower(path)));
    return std::find(m_protected.begin(), m_protected.end(), id) != m_protected.end();
}

CSaveFile& OutputSet::Add(const CString& strFileName) {
    if (m_mode == Mode::document) return OpenMember(strFileName);
    if (!m_bTaken) {
        Lock();
        ReadRecord();
    }
    m_bTaken = true;
    return OpenMember(strFileName);
}

void OutputSet::Lock() {
    m_bBusy = false;
    const std::wstring path = Utf8ToWide(m_strFolder + HiddenName(m_strBase, ".lock"));
    HANDLE lock = Win32Calls::Current().CreateFile(path.c_str(), GENERIC_WRITE, 0, OPEN_ALWAYS,
                                                   FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
    if (lock == INVALID_HANDLE_VALUE) {
        const long error = static_cast<long>(::GetLastError());
        m_bBusy = error == ERROR_SHARING_VIOLATION;
        throw CFileException(CFileException::OsErrorToException(error), error, m_strSetName);
    }
    m_hLock = reinterpret_cast<std::intptr_t>(lock);
}

void OutputSet::Unlock() noexcept {
    if (m_hLock == CFile::kInvalidHandle) return;
    Win32Calls::Current().CloseHandle(reinterpret_cast<HANDLE>(m_hLock));
    m_hLock = CFile::kInvalidHandle;
}

// The earlier commit's record; one that is no record of bare names leaves nothing to remove.
void OutputSet::ReadRecord() {
    std::string bytes;
    m_record.clear();
    const std::string record = m_strFolder + HiddenName(m_strBase, ".record");
    if (!ReadRecordFile(record, bytes)) return;
    if (DecodeRecord(bytes, m_record)) return;
    m_record.clear();
    m_warnings.push_back("出力の記録 " + record + " は無効なので使いませんでした");
}

void OutputSet::Commit() {
    if (m_mode == Mode::document) {
        CommitDocument();
        return;
    }
    for (auto& file : m_files) file->Flush();
    for (auto& file : m_files) file->Commit();
    m_files.clear();
    std::vector<Recorded> members;
    WIN32_FIND_DATAW found;
    for (const std::string& name : m_names)
        if (Find(name, found)) members.push_back(Identity(name.substr(m_strFolder.size()), found));
    // The members are in place from here on: what fails now is said, not thrown, so that the
    // conversion is not reported as failed with its new documents written.
    std::vector<WIN32_FIND_DATAW> entries;
    const DWORD listError = Win32Calls::Current().ListFolder(Utf8ToWide(m_strFolder).c_str(), entries);
    // Unlisted, the earlier members stay in the record, so that the next commit still removes them.
    if (listError)
        for (const Recorded& earlier : m_record)
            if (std::none_of(members.begin(), members.end(), [&](const Recorded& m) { return m.name == earlier.name; }))
                members.push_back(earlier);
    // The record replaces the earlier one whole; without it the next commit removes nothing.
    const std::string recordPath = m_strFolder + HiddenName(m_strBase, ".record");
    try {
        const std::string bytes = EncodeRecord(members);
        CSaveFile record;
        CFileException error;
        if (!record.Open(CString(recordPath), &error)) throw error;
        record.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
        record.Commit();
    } catch (const CFileException& error) {
        m_warnings.push_back("出力の記録 " + recordPath + " を書けませんでした (" + CFileException::OsErrorText(error.m_lOsError) +
                             ")。次の変換はこの出力のファイルを削除しません");
    }
    if (listError) {
        m_warnings.push_back("フォルダ " + m_strFolder + " の一覧を読めないため、前回の出力の不要なファイルを削除できませんでした (" +
                             CFileException::OsErrorText(static_cast<long>(listError)) + ")");
        Unlock();
        return;
    }
    std::vector<std::string> stale;
    for (const WIN32_FIND_DATAW& entry : entries) {
        const std::string name = WideToUtf8(entry.cFileName);
        const std::string path = m_strFolder + name;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsMemberName(CString(m_strBase), CString(name)) ||
            std::find(m_names.begin(), m_names.end(), path) != m_names.end() || Protected(path))
            continue;
        const auto recorded = std::find_if(m_record.begin(), m_record.end(), [&](const Recorded& r) { return r.name == name; });
        if (recorded != m_record.end() && SameFile(*recorded, Identity(name, entry)))
            stale.push_back(path);
        else
            m_left.emplace_back(path);
    }
    std::sort(m_left.begin(), m_left.end());
    for (const std::string& path : stale) {
        if (Win32Calls::Current().DeleteFile(Utf8ToWide(path).c_str()))
            m_removed.emplace_back(path);
        else
            m_warnings.push_back(path + " を削除できませんでした (" + CFileException::OsErrorText(static_cast<long>(::GetLastError())) + ")");
    }
    Unlock();
}
