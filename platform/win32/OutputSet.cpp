// The set writer on Windows: the set's lock and record live in the user's state folder
// (%LOCALAPPDATA%\Quorvel), named after the output folder's volume and file index and the set's
// name; the lock is opened without sharing and deleted when the run lets it go. The members are
// replaced one after the other, a record of them written, then the stale ones removed: only those
// the earlier record names with the size and time they had, looked at again just before.
#include "platform/OutputSet.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

#include "platform/HostSystem.h"
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

// The folder's volume and file index: its identity, whatever it is called; 0 or the error code.
DWORD FolderIdentity(const std::string& folder, std::string& id) {
    Win32Calls& calls = Win32Calls::Current();
    HANDLE handle = calls.CreateFile(Utf8ToWide(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL known = calls.GetFileInformationByHandle(handle, &info);
    const DWORD error = known ? 0 : ::GetLastError();
    calls.CloseHandle(handle);
    if (!known) return error;
    char text[32];
    std::snprintf(text, sizeof text, "%08lx-%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
                  static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
    id = text;
    return 0;
}

// Makes the state folder (and the parents it lacks): 0 or the error code.
DWORD MakeStateFolder(const std::string& folder) {
    Win32Calls& calls = Win32Calls::Current();
    const std::wstring wide = Utf8ToWide(folder);
    for (std::size_t at = wide.find_first_of(L"\\/", 3);; at = wide.find_first_of(L"\\/", at + 1)) {
        const std::wstring part = wide.substr(0, at);
        if (!calls.CreateDirectory(part.c_str())) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_ALREADY_EXISTS) return error;
        }
        if (at == std::wstring::npos) break;
    }
    const DWORD attributes = calls.GetFileAttributes(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
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

// The set's lock in the state folder. Without a state folder the set is written unlocked and its
// stale members kept, said once.
void OutputSet::Lock() {
    m_bBusy = false;
    const std::string state = UserStateFolder().Str();
    std::string id;
    DWORD error = state.empty() ? ERROR_ENVVAR_NOT_FOUND : MakeStateFolder(state);
    if (error == 0) error = FolderIdentity(m_strFolder, id);
    if (error != 0) {
        m_warnings.push_back("状態フォルダー " + (state.empty() ? std::string("(LOCALAPPDATA 未設定)") : state) +
                             " に書き込めないため、前回の出力の不要なファイルは削除しません (" +
                             CFileException::OsErrorText(static_cast<long>(error)) + ")");
        return;
    }
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a, of the name as the file system compares it
    for (const unsigned char c : Lower(m_strBase)) hash = (hash ^ c) * 1099511628211ull;
    char tag[24];
    std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(hash));
    m_strState = state + "\\";
    m_strKey = "set-" + id + "-" + tag;
    const std::wstring path = Utf8ToWide(m_strState + m_strKey + ".lock");
    HANDLE lock = Win32Calls::Current().CreateFile(path.c_str(), GENERIC_WRITE, 0, OPEN_ALWAYS,
                                                   FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE);
    if (lock == INVALID_HANDLE_VALUE) {
        const long failure = static_cast<long>(::GetLastError());
        m_bBusy = failure == ERROR_SHARING_VIOLATION;
        m_strState.clear();
        throw CFileException(CFileException::OsErrorToException(failure), failure, m_strSetName);
    }
    m_hLock = reinterpret_cast<std::intptr_t>(lock);
}

void OutputSet::Unlock() noexcept {
    if (m_hLock == CFile::kInvalidHandle) return;
    Win32Calls::Current().CloseHandle(reinterpret_cast<HANDLE>(m_hLock));
    m_hLock = CFile::kInvalidHandle;
}

// The earlier commit's record; one that is no record of this set's bare names leaves nothing to
// remove. Without one, the record an earlier release left beside the set is read once.
void OutputSet::ReadRecord() {
    std::string bytes;
    m_record.clear();
    m_legacy = Recorded();
    if (m_strState.empty()) return;
    const std::string record = m_strState + m_strKey + ".record";
    if (ReadRecordFile(record, bytes)) {
        const std::size_t end = bytes.find('\0');
        if (end != std::string::npos && Lower(bytes.substr(0, end)) == Lower(m_strBase) && DecodeRecord(bytes.substr(end + 1), m_record))
            return;
        m_record.clear();
        m_warnings.push_back("出力の記録 " + record + " は無効なので使いませんでした");
        return;
    }
    const std::string legacy = m_strFolder + HiddenName(m_strBase, ".record");
    WIN32_FIND_DATAW found;
    if (ReadRecordFile(legacy, bytes) && DecodeRecord(bytes, m_record) && Find(legacy, found))
        m_legacy = Identity(legacy, found);
    else
        m_record.clear();
}

void OutputSet::Commit() {
    if (m_mode == Mode::document) {
        CommitDocument();
        return;
    }
    for (auto& file : m_files) file->Flush();
    for (auto& file : m_files) file->Commit();
    m_files.clear();
    if (m_strState.empty()) {
        Unlock();
        return;
    }
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
    const std::string recordPath = m_strState + m_strKey + ".record";
    try {
        const std::string bytes = m_strBase + '\0' + EncodeRecord(members);
        CSaveFile record;
        CFileException error;
        if (!record.Open(CString(recordPath), &error)) throw error;
        record.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
        record.Commit();
        // An earlier release's record beside the set has served: the state folder's replaces it.
        if (!m_legacy.name.empty() && Find(m_legacy.name, found) && SameFile(Identity(m_legacy.name, found), m_legacy))
            Win32Calls::Current().DeleteFile(Utf8ToWide(m_legacy.name).c_str());
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
    std::vector<std::pair<std::string, Recorded>> stale;
    for (const WIN32_FIND_DATAW& entry : entries) {
        const std::string name = WideToUtf8(entry.cFileName);
        const std::string path = m_strFolder + name;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsMemberName(CString(m_strBase), CString(name)) ||
            std::find(m_names.begin(), m_names.end(), path) != m_names.end() || Protected(path))
            continue;
        const auto recorded = std::find_if(m_record.begin(), m_record.end(), [&](const Recorded& r) { return r.name == name; });
        if (recorded != m_record.end() && SameFile(*recorded, Identity(name, entry)))
            stale.emplace_back(path, *recorded);
        else
            m_left.emplace_back(path);
    }
    for (const auto& member : stale) {
        // Still the file the record names, just before it goes; another stays and is said.
        if (!Find(member.first, found)) continue;
        if (!SameFile(Identity(member.second.name, found), member.second)) {
            m_left.emplace_back(member.first);
            continue;
        }
        if (Win32Calls::Current().DeleteFile(Utf8ToWide(member.first).c_str()))
            m_removed.emplace_back(member.first);
        else
            m_warnings.push_back(member.first + " を削除できませんでした (" + CFileException::OsErrorText(static_cast<long>(::GetLastError())) +
                                 ")");
    }
    std::sort(m_left.begin(), m_left.end());
    Unlock();
}
