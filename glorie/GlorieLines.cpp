#include "glorie/GlorieLines.h"

namespace glorie {
namespace {
constexpr Field kNone = Field::name;  // filler for lines with fewer than two fields
}  // namespace

const Line kHeaderLines[] = {
    {"<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>", When::always, {kNone, kNone}, false},
    {"<!DOCTYPE glorie PUBLIC \"-//GLORIE//GLORIE V1.0//EN\" \"glorie.dtd\">", When::always, {kNone, kNone}, false},
    {"<glorie version=\"1.0\" model=\"Kenwood Corporation:HDD-NAVI\">", When::always, {kNone, kNone}, false},
    {"\t<format>", When::always, {kNone, kNone}, false},
    {"\t\t<datum>tokyo</datum>", When::always, {kNone, kNone}, false},
    {"\t\t<unit>degree</unit>", When::always, {kNone, kNone}, false},
    {"\t</format>", When::always, {kNone, kNone}, false},
    {"", When::always, {kNone, kNone}, false},
};
const std::size_t kHeaderLineCount = sizeof kHeaderLines / sizeof kHeaderLines[0];

const Line kEntryLines[] = {
    {"\t<gpoi>", When::always, {kNone, kNone}, false},
    {"\t\t<index pos=\"+%s +%s 00000000 fix tokyo\"/>", When::always, {Field::latitude, Field::longitude}, true},
    {"\t\t<poi>", When::always, {kNone, kNone}, false},
    {"\t\t\t<point>", When::always, {kNone, kNone}, false},
    {"\t\t\t\t<pos>", When::always, {kNone, kNone}, false},
    {"\t\t\t\t\t<lat>%s</lat>", When::always, {Field::latitude, kNone}, false},
    {"\t\t\t\t\t<lon>%s</lon>", When::always, {Field::longitude, kNone}, false},
    {"\t\t\t\t</pos>", When::always, {kNone, kNone}, false},
    {"\t\t\t</point>", When::always, {kNone, kNone}, false},
    {"\t\t\t<name>", When::always, {kNone, kNone}, false},
    {"\t\t\t\t<nb>%s</nb>", When::always, {Field::name, kNone}, false},
    {"\t\t\t\t<rt>%s</rt>", When::hasReading, {Field::reading, kNone}, false},
    {"\t\t\t</name>", When::always, {kNone, kNone}, false},
    {"\t\t</poi>", When::always, {kNone, kNone}, false},
    {"\t\t<category>00000000</category>", When::always, {kNone, kNone}, false},
    {"\t\t<category vendor=\"Kenwood.HDD-NAVI\">00003100</category>", When::always, {kNone, kNone}, false},
    {"\t\t<linkfile>", When::always, {kNone, kNone}, false},
    {"\t\t\t<optional-media format=\"MSNAVI\" id=\"0\" repeat=\"1\">", When::always, {kNone, kNone}, false},
    {"\t\t\t</optional-media>", When::always, {kNone, kNone}, false},
    {"\t\t</linkfile>", When::always, {kNone, kNone}, false},
    {"\t</gpoi>", When::always, {kNone, kNone}, false},
};
const std::size_t kEntryLineCount = sizeof kEntryLines / sizeof kEntryLines[0];

const Line kClosingLines[] = {
    {"</glorie>", When::always, {kNone, kNone}, false},
};
const std::size_t kClosingLineCount = sizeof kClosingLines / sizeof kClosingLines[0];

}  // namespace glorie
