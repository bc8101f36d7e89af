#pragma once
// An output written as one all-or-nothing set of members over its name, the inputs kept from
// removal: the set's notes, its failure and advice said; the earlier set's members it removes
// and the files it leaves said after the outputs.
#include <cstddef>
#include <string>
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "platform/CString.h"

class CFileException;
class CSaveFile;
class MessageOrder;
struct ConversionResult;

// The members of a set: what each holds, and what is said when one cannot be opened.
class SetMembers {
public:
    virtual ~SetMembers() = default;
    // Member k (0 first) written to file.
    virtual void Write(CSaveFile& file, std::size_t k) = 0;
    // The member named strName could not be opened for a cause of its own.
    virtual void OpenFailed(const CFileException& error, const CString& strName) = 0;
};

class SetWriter {
public:
    explicit SetWriter(MessageOrder& say) : m_say(say) {}

    // The members named names written by members as one output set over strOutput, the inputs
    // kept from removal; false (said why) when the set was not committed. The removed members of
    // the earlier set come back in removed, the files it left for want of a record in left.
    bool Write(const CString& strOutput, const std::vector<CString>& names, const std::vector<CString>& inputs, SetMembers& members,
               ConversionResult& result, std::vector<CString>& removed, std::vector<CString>& left);
    void SayRemoved(const std::vector<CString>& removed, const std::vector<CString>& left, ConversionResult& result);

    // An output that cannot be opened, as the dialog's writer says it, except for a sharing
    // violation: the dialog's "SHARE.EXE 未ロード..." belongs to its own Windows road, and means
    // nothing to a user of the command line or the page, who gets the file failure's own text instead.
    static Message OpenFailure(CFileException error, const CString& strName);
    // "A, B, C".
    static std::string JoinedNames(const std::vector<CString>& names);

private:
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);

    MessageOrder& m_say;
};
