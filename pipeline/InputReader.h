#pragma once
// What a format's reader made of an input: its warnings said, and the points no map can hold (not
// a position, or no position at all) refused with their coordinates as the file has them.
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "places/Format.h"
#include "platform/CString.h"

class InputLoader;
class MessageOrder;
struct ConversionInput;
struct ConversionOptions;

class InputReader {
public:
    InputReader(const ConversionOptions& options, MessageOrder& say, InputLoader& loader)
        : m_options(options), m_say(say), m_loader(loader) {}

    // The input loaded, read whole and accepted (false when it cannot be read, said why).
    bool Read(const CString& strInput, ConversionInput& input, std::vector<ConversionMessage>& messages);
    // What the reader made of (a batch of) the input: its warnings said, points no map can hold refused.
    void Accept(ConversionInput& input, MapReadResult read, std::vector<ConversionMessage>& messages);

private:
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);

    const ConversionOptions& m_options;
    MessageOrder& m_say;
    InputLoader& m_loader;
};
