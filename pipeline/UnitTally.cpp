#include "pipeline/UnitTally.h"

#include <algorithm>
#include <iterator>

#include "convert/CPoiTable.h"
#include "pipeline/ConversionInput.h"
#include "pipeline/MessageOrder.h"
#include "text/MapText.h"

using Kind = ConversionMessage::Kind;

UnitTally::Group& UnitTally::Count(const PointCause& cause, const Place& place, std::string_view tail) {
    auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.cause == &cause; });
    if (group == groups.end()) {
        groups.emplace_back();
        groups.back().cause = &cause;
        group = std::prev(groups.end());
    }
    if (++group->count <= kExamples) {
        if (!group->examples.empty()) group->examples += "、";
        AppendPoint(group->examples, place);
        group->examples += tail;
    }
    return *group;
}

void UnitTally::Say(const CString& strInput, MessageOrder& say, std::vector<ConversionMessage>& messages) const {
    const UnitTally& tally = *this;
    for (const UnitTally::Group& group : tally.groups) {
        if (group.count == 1) {
            for (const std::string& line : group.firstLines) say.Say(messages, {Kind::warning, line});
            continue;
        }
        say.Say(messages, {Kind::warning, strInput.Str() + ": " + Thousands(group.count) + " 地点" + group.cause->grouped + " (例: " +
                                              group.examples + (group.count > kExamples ? "ほか" : "") + ")"});
    }
    if (cut.count > 0)
        say.Say(messages, {Kind::warning, strInput.Str() + ": " + std::to_string(cut.count) + " 地点の名称はナビの " +
                                              std::to_string(CPoiTable::kNameLimit) + " バイトに収まらないので切り詰めます (例:「" +
                                              cut.example + "」→「" + cut.cut + "」)"});
    if (tally.unread > 0)
        say.Say(messages, {Kind::warning, strInput.Str() + ": " + std::to_string(tally.unread) + " 地点の名称の読みを推定できませんでした"});
}
