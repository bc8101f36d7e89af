#pragma once
// The unit's checks of an input's places before its records are made: south and west refused,
// readings given, names cut to its field counted, characters it cannot show said or counted.
#include <vector>

#include "pipeline/ConversionMessage.h"

class MessageOrder;
class ReadingGiver;
struct ConversionInput;
struct ConversionOptions;
struct UnitTally;

class UnitRecords {
public:
    UnitRecords(const ConversionOptions& options, MessageOrder& say, ReadingGiver& readings)
        : m_options(options), m_say(say), m_readings(readings) {}

    // False when a character the unit cannot show fails the conversion (strict). usable, when
    // given, tells each point the unit takes.
    bool Make(ConversionInput& input, std::vector<ConversionMessage>& messages, std::vector<bool>* usable, UnitTally& tally);

private:
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);

    const ConversionOptions& m_options;
    MessageOrder& m_say;
    ReadingGiver& m_readings;
};
