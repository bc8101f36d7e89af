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

// A warning that may come for every point of an input: each point's own line ends with own, the
// input's one line for them all goes on with grouped after its count.
struct PointCause {
    const char* own;
    const char* grouped;
};
inline constexpr PointCause kOutsideJapan = {": 日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)",
                                             "は日本の範囲の外です。測地系は Helmert 変換で換算しました (精度は数百 m 以下になることがあります)"};
inline constexpr PointCause kNoGridData = {": 地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました",
                                           "は地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました"};
inline constexpr PointCause kUnmapped = {"はナビで表示できません", "の名称にナビで表示できない文字があります。「?」にしました"};
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
        std::vector<std::string> firstLines;  // the first point's own lines, said where it is the only one
        std::string examples;                 // "12 行目「NAME」、..." of the first kExamples points
    };
    std::vector<Group> groups;
    // The point counted under cause, named among the examples (tail after its name) while they are few.
    Group& Count(const PointCause& cause, const Place& place, std::string_view tail = {});
    // The tally's lines for strInput: each cause's points, the names cut, the readings not found.
    void Say(const CString& strInput, MessageOrder& say, std::vector<ConversionMessage>& messages) const;
};
