#include "pipeline/SetWriter.h"

#include <algorithm>
#include <utility>

#include "glorie/FileErrorText.h"
#include "pipeline/Conversion.h"
#include "pipeline/MessageOrder.h"
#include "platform/CFileException.h"
#include "platform/CSaveFile.h"
#include "platform/OutputSet.h"

using Kind = ConversionMessage::Kind;

Message SetWriter::OpenFailure(CFileException error, const CString& strName) {
    if (error.m_cause != CFileException::sharingViolation) return OpenFailureMessage(error, strName).Str();
    error.m_strFileName = strName;
    return CommandFailureMessage(error);
}

std::string SetWriter::JoinedNames(const std::vector<CString>& names) {
    std::string joined;
    for (std::size_t i = 0; i < names.size(); ++i) joined += (i ? ", " : "") + names[i].Str();
    return joined;
}

bool SetWriter::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) { return m_say.Say(messages, std::move(message)); }

bool SetWriter::Write(const CString& strOutput, const std::vector<CString>& names, const std::vector<CString>& inputs, SetMembers& members,
                      ConversionResult& result, std::vector<CString>& removed, std::vector<CString>& left) {
    OutputSet set(strOutput);
    for (const CString& input : inputs) set.Protect(input);
    const auto notes = [&] {
        for (const std::string& warning : set.GetWarnings()) Say(result.messages, {Kind::warning, warning});
    };
    const auto advice = [&] {
        if (!set.GetAdvice().empty()) Say(result.messages, {Kind::failure, set.GetAdvice()});
    };
    try {
        for (std::size_t k = 0; k < names.size(); ++k) {
            CSaveFile* file = nullptr;
            try {
                file = &set.Add(names[k]);
            } catch (const CFileException& error) {
                notes();
                // Another run writing the set is the whole story: no cause text of the member's own.
                // Nor is a cause that is no file's own (the folder, another user's file).
                if (!set.GetFailure().empty())
                    Say(result.messages, {Kind::failure, set.GetFailure()});
                else if (set.Busy())
                    Say(result.messages, {Kind::failure, SetInUseText(set.GetSetName()).Str()});
                else
                    members.OpenFailed(error, names[k]);
                advice();
                return false;
            }
            members.Write(*file, k);
            set.Finish(*file);
        }
        set.Commit();
    } catch (const CFileException& error) {
        notes();
        Say(result.messages, {Kind::failure, CommandFailureMessage(error)});
        advice();
        return false;
    }
    notes();
    removed = set.GetRemoved();
    std::sort(removed.begin(), removed.end());  // the folder's order is no order
    left = set.GetLeft();
    return true;
}

void SetWriter::SayRemoved(const std::vector<CString>& removed, const std::vector<CString>& left, ConversionResult& result) {
    for (const CString& name : removed)
        Say(result.messages, {Kind::written, {MessageId::oldMemberRemoved, name.Str()}});
    // Files with a member's name that no earlier commit of this set wrote: said once, left alone.
    if (!left.empty()) Say(result.messages, {Kind::warning, {MessageId::oldMembersKept, JoinedNames(left)}});
}
