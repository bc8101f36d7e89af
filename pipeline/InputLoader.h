#pragma once
// An input's bytes and format: the named file (or its edited document), or standard input's bytes
// the front gave; an input that cannot be loaded said why, naming it.
#include <map>
#include <string>
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "places/Format.h"
#include "platform/CString.h"

class MessageOrder;
struct ConversionInput;

class InputLoader {
public:
    explicit InputLoader(MessageOrder& say) : m_say(say) {}

    // The bytes of the input named "-", of format, or of the format their content shows when null.
    void SetStandardInput(std::string bytes, const Format* format);
    // strInput is read from document from now on.
    void SetEdited(const std::string& strInput, const CString& document) { m_edited[strInput] = document; }
    void ForgetEdited() { m_edited.clear(); }
    // The file an input is read from: its edited document, if any.
    CString SourceOf(const CString& strInput) const;

    // The bytes of an input and its format (false when it cannot be read, said why).
    bool Load(const CString& strInput, ConversionInput& input, std::string& bytes, std::vector<ConversionMessage>& messages);
    // An input that cannot be read, said (false).
    bool Fail(const CString& strInput, const std::string& text, std::vector<ConversionMessage>& messages);
    // Why an input that failed could not be read, where the open or the store said less: a folder;
    // for the unit's road, a name that is no file or a memory-point file of the wrong size. Empty
    // when none of these.
    static std::string Problem(const CString& strInput, bool bMemPoints);

private:
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);

    MessageOrder& m_say;
    bool m_bHasStandardInput = false;
    std::string m_standardInput;
    const Format* m_standardInputFormat = nullptr;
    std::map<std::string, CString> m_edited;  // input name -> its edited document
};
