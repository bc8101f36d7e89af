#pragma once
// Several output files written as one: none of them takes its place until every one of them is
// complete on disk, and a failure before that leaves every target as it was.
//
// The set is named after the output as given (places.xml); its members are that name or, split,
// places-1.xml, places-2.xml, ... One run at a time writes a set: the first Add takes the set for
// this run, and another run that tries meanwhile is refused. Each member is a new file made by this
// run and renamed over its name; nothing is ever written into an existing file. The commit puts
// the new members in place and removes the members of the earlier set that the new one lacks.
// Only a file that the earlier commit's record names, and that is still the file that commit
// wrote (identity checked again just before each removal), is ever removed: a user's
// places-2024.xml, an input, or a file this run wrote for another set stays.
//
// Nothing but the members is left beside the set after a run: the record, the journal of a
// commit, the list of a run's temporary files and the lock live in the user's state folder
// (UserStateFolder), keyed by the output folder's identity and the set's name, so that no other
// user can plant one and a copied folder carries none. Where that folder cannot be written the
// set is still written, its stale members kept, with one warning. On POSIX a run killed, or a
// power cut, during a commit leaves its journal there; the user's next run completes it (after
// finding the folder again by its identity) and removes the temporary files killed runs left,
// only those the state folder proves its own. Windows keeps no journal: there the members take
// their places one after the other, and a run killed among them leaves some new and some old.
// A set of an earlier release, with its record beside it (.places.xml.record), is recognised
// once and that record removed.
//
// In a folder shared like /tmp (sticky), a member's name held by another user's file refuses the
// run before anything changes.
//
// A single document (Mode::document) is the one file a user chose by name: it has no stale
// members, so it takes no lock and leaves no record; its commit only puts the complete document
// in place of the old one, which stays byte for byte until then.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/CFile.h"
#include "platform/CSaveFile.h"
#include "platform/CString.h"

class OutputSet {
public:
    enum class Mode {
        set,
        document
    };

    explicit OutputSet(CString strSetName, Mode mode = Mode::set);
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;
    ~OutputSet() noexcept;  // drops every file not yet committed

    // A new member of the set, open for writing (a document takes one). Throws CFileException (cause and the name as
    // given) when it cannot be made; when another run is writing the set, the cause is
    // sharingViolation, the name is the set's and Busy() is true.
    CSaveFile& Add(const CString& strFileName);
    // The member is complete and its writing to disk begun (Commit waits for it); it keeps no
    // descriptor open.
    void Finish(CSaveFile& file);
    // Puts every member in its place and removes the stale members. Throws CFileException.
    void Commit();

    // The last Add failed because another run is writing this set.
    bool Busy() const { return m_bBusy; }
    const CString& GetSetName() const { return m_strSetName; }
    // The members of an earlier set that the commit removed, as full paths.
    const std::vector<CString>& GetRemoved() const { return m_removed; }
    // Files with member names that the commit left because no record names them as the earlier
    // set's (or they changed since), as full paths; the run's inputs are not among them.
    const std::vector<CString>& GetLeft() const { return m_left; }
    // What the set found and did of its own (a journal set aside), UTF-8 lines to show as warnings.
    const std::vector<std::string>& GetWarnings() const { return m_warnings; }
    // After a failure of Add or Commit: what the user can do (a journal that cannot be completed),
    // UTF-8; empty when the failure says it all.
    const std::string& GetAdvice() const { return m_advice; }
    // After a failure of Add: the failure in the user's words when the cause is no file's own
    // (a folder that takes no new file, another user's file), UTF-8; empty otherwise.
    const std::string& GetFailure() const { return m_failure; }
    // A file the run reads: never removed as a stale member, whatever its name.
    void Protect(const CString& strFileName);

    // Whether strFileName (a name without folder) is one of the member names of a set named
    // strSetFileName: that name itself, or its stem, "-", digits and its extension, byte for byte.
    // Only such files are ever removed.
    static bool IsMemberName(const CString& strSetFileName, const CString& strFileName);
    // The name an earlier release gave a set's own file beside it (".NAME.record"): a name too
    // long for it is cut and told apart by a hash, so that every output name has one within NAME_MAX.
    static std::string HiddenName(const std::string& strSetFileName, const std::string& suffix);
    // A member as the record keeps it: its name in the set's folder and the file it was.
    struct Recorded {
        std::string name;
        unsigned long long device = 0, inode = 0, size = 0;
        long long seconds = 0, nanoseconds = 0;
    };
    // The record's bytes of members, and the members of a record's bytes (false: not a record of
    // bare names in the set's folder).
    static std::string EncodeRecord(const std::vector<Recorded>& members);
    static bool DecodeRecord(const std::string& bytes, std::vector<Recorded>& members);
    static bool SameFile(const Recorded& a, const Recorded& b);
    // The name of a set's files in the state folder (POSIX): its folder's device and inode, and a
    // hash of the set's file name.
    static std::string StateKey(unsigned long long device, unsigned long long inode, const std::string& setFileName);
    // One entry of the set's folder: no separator, not "." or "..".
    static bool IsBareName(const std::string& name);
    // NUL-ended fields after magic, complete only when the last is "E"; empty when not so.
    static std::vector<std::string> SplitFields(const std::string& bytes, const char* magic);

private:
    // Opens the new member and keeps it with its full name: Add's work once the set is taken.
    CSaveFile& OpenMember(const CString& strFileName);
    // Commit of Mode::document: the one file into its place, nothing beside it.
    void CommitDocument();
    // The phases of a set's commit (POSIX), in order: the members' renames and the new record
    // planned, the earlier set's stale members found, the record and then the journal written,
    // the steps applied, the set settled.
    struct CommitPlan;
    struct CommitBooks;
    void PlanMembers(CommitPlan& plan);
    void FindStale(CommitPlan& plan);
    void WriteRecord(CommitPlan& plan, CommitBooks& books);
    void WriteJournal(const CommitPlan& plan, CommitBooks& books);
    void ApplySteps(const CommitPlan& plan, CommitBooks& books);
    void Settle(const CommitPlan& plan, CommitBooks& books);
    // The full host path of a name, as this system resolves it.
    static std::string FullPathOf(const std::string& name);
    void Lock();
    void Unlock() noexcept;
    void Recover();
    void ReadRecord();
    bool Protected(const std::string& path) const;

    CString m_strSetName;
    Mode m_mode = Mode::set;
    std::string m_strFolder;  // host path of the set's folder, with its final separator
    std::string m_strBase;    // the set's own file name
    std::vector<std::unique_ptr<CSaveFile>> m_files;
    std::vector<std::string> m_names;  // full host path of each member as given
    std::vector<CString> m_removed;
    std::vector<CString> m_left;
    std::vector<std::string> m_warnings;
    std::string m_advice;
    std::vector<Recorded> m_record;                                              // the earlier commit's members
    std::vector<std::string> m_entries;                                          // the set's folder as listed once the set was taken
    std::vector<std::pair<unsigned long long, unsigned long long>> m_protected;  // device, inode
    std::intptr_t m_hFolder = CFile::kInvalidHandle;                             // the folder, held shared (or exclusive without a state folder)
    std::intptr_t m_hLock = CFile::kInvalidHandle;                               // the set's lock in the state folder
    std::intptr_t m_hTemps = CFile::kInvalidHandle;                              // the list of this run's temporary files
    std::string m_strState;                                                      // the state folder with its final separator; empty when it cannot be written
    std::string m_strKey;                                                        // the set's name in the state folder: folder identity and name
    std::string m_strLockPath;                                                   // the lock file in the state folder, while held
    std::string m_failure;
    Recorded m_legacy;  // an earlier release's record beside the set (name empty: none)
    bool m_bBusy = false;
    bool m_bTaken = false;   // the first Add has taken the set (or found it needs no taking)
    bool m_bDevice = false;  // the output is a device or a FIFO: no set of files to keep whole
};
