#pragma once
// The points of one input as the unit and today's maps get them: both datums, the unit's columns
// and how each point was shifted.
#include "platform/CString.h"

class DatumStage;
class InputReader;
class MessageOrder;
class UnitRecords;
struct ListResult;

class InputListing {
public:
    InputListing(MessageOrder& say, InputReader& reader, DatumStage& datum, UnitRecords& unit)
        : m_say(say), m_reader(reader), m_datum(datum), m_unit(unit) {}

    ListResult List(const CString& strInput);

private:
    MessageOrder& m_say;
    InputReader& m_reader;
    DatumStage& m_datum;
    UnitRecords& m_unit;
};
