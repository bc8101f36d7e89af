// Tables read a batch at a time and documents written as their places come: the same bytes and
// the same messages, in the same order, as read and written whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "pipeline/Conversion.h"
#include "formats/FormatIo.h"
#include "formats/FormatRegistry.h"
#include "support/TempDir.h"

namespace {
// An array's places in batches of the sizes given, the last repeated.
class Batches : public PlaceSource {
public:
    Batches(const std::vector<Place>& places, std::vector<std::size_t> sizes) : m_places(places), m_sizes(std::move(sizes)) {}
    bool Next(const Place*& places, std::size_t& count) override {
        if (m_at == m_places.size()) return false;
        count = std::min(m_sizes[std::min(m_batch++, m_sizes.size() - 1)], m_places.size() - m_at);
        places = m_places.data() + m_at;
        m_at += count;
        return true;
    }
    std::array<std::size_t, 3> Methods() const override { return PlaceArray(m_places.data(), m_places.size()).Methods(); }

private:
    const std::vector<Place>& m_places;
    std::vector<std::size_t> m_sizes;
    std::size_t m_at = 0, m_batch = 0;
};

std::vector<Place> SevenPlaces() {
    std::vector<Place> places(7);
    for (std::size_t i = 0; i < places.size(); ++i) {
        places[i].latitude = 35.5 + 0.01 * static_cast<double>(i);
        places[i].longitude = 139.25 + 0.02 * static_cast<double>(i);
        places[i].SetMethod(static_cast<DatumMethod>(i % 3));
        if (i % 2) places[i].SetNumberedName(static_cast<std::uint32_t>(i));
        else places[i].SetName("地点 \"" + std::to_string(i) + "\" & <東>");
        if (i == 3) places[i].SetReading("ﾖﾐ");
        if (i == 4) places[i].SetDigits("0312345678");
    }
    return places;
}

TEST(BatchedTables, EveryWriterMakesTheSameDocumentOfPlacesInBatches) {
    const std::vector<Place> places = SevenPlaces();
    for (const Format* format : FormatRegistry::All()) {
        const std::string whole = WriteAs(format->name, places);
        for (const std::vector<std::size_t>& sizes : {std::vector<std::size_t>{1}, {2, 5}, {3, 1}}) {
            StringSink sink;
            Batches source(places, sizes);
            format->write(sink, source, WriteOptions{});
            EXPECT_EQ(sink.Bytes(), whole) << format->name << " in batches of " << sizes[0];
        }
    }
}

struct TableCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> inputs;  // name, bytes
    const char* target;
    bool strict;
};

// Rows of at least 24 bytes: a table read whole unless batches are asked for.
std::string Rows(int count, const char* pattern) {
    std::string rows = "lat,lon,name\n";
    for (int i = 0; i < count; ++i) rows += pattern + std::to_string(i) + "\n";
    return rows;
}

const std::string kEdgeRows =
    "lat,lon,name\n35.1,139.1,東京の地点です\nx,139.2,緯度が読めない地点\n0,0,位置のない地点です\n"
    "\n-33.9,151.2,南半球の地点ですね\n48.8,2.35,日本の外の地点です\n35.2,139.3,最後の地点ですね\n";

class BatchedTable : public testing::TestWithParam<TableCase> {};

// The folder after the conversion and what it said, the folder's path made "@".
std::string Outcome(const TableCase& c, std::size_t batchRows) {
    TempDir dir;
    std::vector<CString> inputs;
    for (const auto& [name, bytes] : c.inputs) {
        WriteFileBytes(dir.File(name), bytes);
        inputs.push_back(CString(dir.File(name)));
    }
    const std::string output = std::string("out") + FormatRegistry::Find(c.target)->extensions[0];
    WriteFileBytes(dir.File(output), "an earlier document");
    ConversionOptions options;
    options.target = FormatRegistry::Find(c.target);
    options.guessReadings = false;
    options.strict = c.strict;
    options.batchRows = batchRows;
    Conversion conversion(options);
    const ConversionResult result = conversion.Convert(inputs, CString(dir.File(output)));
    std::string outcome = "ok " + std::to_string(result.ok) + ", refused " + std::to_string(result.refused) + "\n";
    for (const ConversionMessage& message : result.messages)
        outcome += std::to_string(static_cast<int>(message.kind)) + " " + message.text + "\n";
    for (const std::string& name : ListWithoutRecords(dir)) outcome += "== " + name + "\n" + ReadFileBytes(dir.File(name)) + "\n";
    for (std::size_t at; (at = outcome.find(dir.Path())) != std::string::npos;) outcome.replace(at, dir.Path().size(), "@");
    return outcome;
}

TEST_P(BatchedTable, ReadInBatchesGivesTheSameDocumentsAndMessagesAsReadWhole) {
    const TableCase& c = GetParam();
    const std::string whole = Outcome(c, 0);
    for (const std::size_t rows : {1, 3, 1000}) EXPECT_EQ(Outcome(c, rows), whole) << "batches of " << rows;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchedTable,
    testing::Values(
        TableCase{"refusals of every step into glorie", {{"a.csv", kEdgeRows}}, "glorie", false},
        TableCase{"refusals of every step into GPX", {{"a.csv", kEdgeRows}}, "gpx", false},
        TableCase{"refusals of every step into the unit's file", {{"a.csv", kEdgeRows}}, "mem", false},
        TableCase{"a character the unit cannot show, --strict: nothing written",
                  {{"a.csv", "lat,lon,name\n35.1,139.1,温泉の地点♨です\n35.2,139.2,次の地点ですよね\n"}},
                  "glorie",
                  true},
        TableCase{"every point refused: nothing written", {{"a.csv", "lat,lon,name\nx,1,読めない地点ですよ\n0,0,位置のない地点です\n"}}, "kml", false},
        TableCase{"a quote left open at the end", {{"a.csv", "lat,lon,name\n35.1,139.1,東京の地点です\n35,139,\"開いたままの"}}, "gpx", false},
        TableCase{"warnings of many rows grouped at the table's end",
                  {{"a.csv",
                    "lat,lon,name,tel\n35.1,139.1,一つ目\x01の地点,abc\n35.2,139.2,二つ目\x02の地点,x\n"
                    "35.3,139.3,三つ目\x03の地点,y\n35.4,139.4,四つ目\x04の地点,03-1234\n"}},
                  "gpx",
                  false},
        TableCase{"split across members", {{"a.csv", Rows(1403, "35.5,139.5,地点の名前その")}}, "glorie", false},
        TableCase{"several inputs, a GPX among them",
                  {{"a.csv", Rows(5, "35.5,139.5,最初の表の地点")},
                   {"b.gpx", "<gpx><wpt lat=\"35.6\" lon=\"139.6\"><name>b</name></wpt></gpx>"},
                   {"c.csv", kEdgeRows}},
                  "geojson",
                  false}),
    [](const testing::TestParamInfo<TableCase>& param) { return "Case" + std::to_string(param.index); });
}  // namespace
