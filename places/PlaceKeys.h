#pragma once
// The keys under which people's files name a place's fields: GeoJSON's properties and a CSV's
// header share them, in order of preference (a CSV header is compared without letter case).
#include <string_view>
#include <utility>

inline constexpr std::string_view kNameKeys[] = {"name", "Name", "NAME", "title", "Title", "名称", "名前"};
// A map service's saved places keep the name one level down: Location."Business Name", location.name.
inline constexpr std::pair<std::string_view, std::string_view> kSavedPlaceNameKeys[] = {{"Location", "Business Name"},
                                                                                        {"location", "name"}};
inline constexpr std::string_view kReadingKeys[] = {"reading", "読み", "よみ", "ふりがな"};
inline constexpr std::string_view kDigitsKeys[] = {"digits", "phone", "tel", "電話", "電話番号"};
