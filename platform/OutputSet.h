#pragma once
// Several output files written as one: none of them takes its place until every one of them is
// complete on disk, and a failure before that leaves every target as it was.
#include <memory>
#include <vector>

#include "platform/CFile.h"
#include "platform/CString.h"

class OutputSet {
public:
    // strSetName: the output as named (places.xml); the set's members are that name or, split,
    // places-1.xml, places-2.xml, ...
    explicit OutputSet(CString strSetName);
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;
    ~OutputSet() noexcept;  // drops every file not yet committed

    // A new member of the set, open for writing. Throws CFileException (cause and the name as
    // given) when it cannot be made.
    CFile& Add(const CString& strFileName);
    // Flushes the member written last, so that its buffer is on disk before the next one is made.
    void Finish(CFile& file);
    // Puts every member in its place. Throws CFileException.
    void Commit();

private:
    CString m_strSetName;
    std::vector<std::unique_ptr<CFile>> m_files;
};
