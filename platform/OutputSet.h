#pragma once
// Several output files written as one: none of them takes its place until every one of them is
// complete on disk, and a failure before that leaves every target as it was.
//
// The set is named after the output as given (places.xml); its members are that name or, split,
// places-1.xml, places-2.xml, ... One run at a time writes a set: the first Add takes the set for
// this run, and another run that tries meanwhile is refused. The commit puts the new members in
// place and removes the members of an earlier set under the same name that the new one lacks,
// as one step: an interrupt, a termination or a hang-up waits until it is over. A run that was
// killed, or a power cut, during a commit leaves a journal beside the set, and the next run that
// writes the set completes that commit first; it also removes what killed runs left of their
// temporary files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/CFile.h"
#include "platform/CString.h"

class OutputSet {
public:
    explicit OutputSet(CString strSetName);
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;
    ~OutputSet() noexcept;  // drops every file not yet committed

    // A new member of the set, open for writing. Throws CFileException (cause and the name as
    // given) when it cannot be made; when another run is writing the set, the cause is
    // sharingViolation, the name is the set's and Busy() is true.
    CFile& Add(const CString& strFileName);
    // The member is complete on disk; it keeps no descriptor open.
    void Finish(CFile& file);
    // Puts every member in its place and removes the stale members. Throws CFileException.
    void Commit();

    // The last Add failed because another run is writing this set.
    bool Busy() const { return m_bBusy; }
    const CString& GetSetName() const { return m_strSetName; }
    // The members of an earlier set that the commit removed, as full paths.
    const std::vector<CString>& GetRemoved() const { return m_removed; }

    // Whether strFileName (a name without folder) is one of the member names of a set named
    // strSetFileName: that name itself, or its stem, "-", digits and its extension, byte for byte.
    // Only such files are ever removed.
    static bool IsMemberName(const CString& strSetFileName, const CString& strFileName);

private:
    // Opens the new member and keeps it with its full name: Add's work once the set is taken.
    CFile& OpenMember(const CString& strFileName);
    // The full host path of a name, as this system resolves it.
    static std::string FullPathOf(const std::string& name);
    void Lock();
    void Unlock() noexcept;
    void Recover();

    CString m_strSetName;
    std::string m_strFolder;  // host path of the set's folder, with its final separator
    std::string m_strBase;    // the set's own file name
    std::vector<std::unique_ptr<CFile>> m_files;
    std::vector<std::string> m_names;  // full host path of each member as given
    std::vector<CString> m_removed;
    std::intptr_t m_hLock = CFile::kInvalidHandle;
    std::string m_strLockPath;  // empty when the folder itself is locked
    bool m_bBusy = false;
    bool m_bTaken = false;   // the first Add has taken the set (or found it needs no taking)
    bool m_bDevice = false;  // the output is a device or a FIFO: no set of files to keep whole
};
