#pragma once
// What the shift and the unit's checks count over a whole input, said once at its end: each
// cause's points, the names the unit's field cuts, the readings not found.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/ConversionMessage.h"
#include "places/Place.h"
#include "platform/CString.h"

class MessageOrder;

// A warning that may come for every point of an input: each point's own line (the input, the
// point), or the input's one line for them all (the input, the count, the first points named;
// more when there were more than those).
struct PointCause {
    MessageId own, some, more;
};
inline constexpr PointCause kOutsideJapan = {MessageId::outsideJapan, MessageId::manyOutsideJapan, MessageId::manyOutsideJapanMore};
inline constexpr PointCause kNoGridData = {MessageId::noGridData, MessageId::manyNoGridData, MessageId::manyNoGridDataMore};
inline constexpr PointCause kUnmapped = {MessageId::unmappedReplaced, MessageId::manyUnmapped, MessageId::manyUnmappedMore};
// The points a grouped line names.
inline constexpr std::size_t kExamples = 3;


// How many names the unit's 16 bytes cut, and the first of them with its cut form, for one line.
struct CutNames {
    int count = 0;
    std::string example, cut;
};

struct UnitTally {
    CutNames cut;
    std::size_t unread = 0;  // names the guesser found no reading for
    // The points of each cause of a warning, in the order the causes first came.
    struct Group {
        const PointCause* cause = nullptr;
        std::size_t count = 0;
        std::vector<Message> firstLines;  // the first point's own lines, said where it is the only one
        Message examples;                 // "12 行目「NAME」、..." of the first kExamples points
    };
    std::vector<Group> groups;
    // The point counted under cause, example naming it among the examples while they are few.
    Group& Count(const PointCause& cause, Message example);
    // The tally's lines for strInput: each cause's points, the names cut, the readings not found.
    void Say(const CString& strInput, MessageOrder& say, std::vector<ConversionMessage>& messages) const;
};
