#include "pipeline/UnitTally.h"

#include <algorithm>
#include <iterator>

#include "convert/CPoiTable.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/MessageOrder.h"
#include "text/MapText.h"

using Kind = ConversionMessage::Kind;

UnitTally::Group& UnitTally::Count(const PointCause& cause, Message example) {
    auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.cause == &cause; });
    if (group == groups.end()) {
        groups.emplace_back();
        groups.back().cause = &cause;
        group = std::prev(groups.end());
    }
    if (++group->count <= kExamples)
        group->examples = group->count == 1 ? std::move(example)
                                            : Message(MessageId::exampleSeparator, std::move(group->examples), std::move(example));
    return *group;
}

void UnitTally::Say(const CString& strInput, MessageOrder& say, std::vector<ConversionMessage>& messages) const {
    const UnitTally& tally = *this;
    for (const UnitTally::Group& group : tally.groups) {
        if (group.count == 1) {
            for (const Message& line : group.firstLines) say.Say(messages, {Kind::warning, line});
            continue;
        }
        say.Say(messages, {Kind::warning, {group.count > kExamples ? group.cause->more : group.cause->some, strInput.Str(), Thousands(group.count), group.examples}});
    }
    if (cut.count > 0)
        say.Say(messages, {Kind::warning, {cut.count == 1 ? MessageId::nameCut : MessageId::namesCut, strInput.Str(), cut.count, CPoiTable::kNameLimit, cut.example, cut.cut}});
    if (tally.unread > 0) say.Say(messages, {Kind::warning, {tally.unread == 1 ? MessageId::readingNotGuessed : MessageId::readingsNotGuessed, strInput.Str(), tally.unread}});
}
