// The convert command on inputs other than memory-point files: the command line's documents byte
// for byte, its warnings in one box, and an answer for every input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "text/Cp932Text.h"
#include "res/resource.h"
#include "support/CliRun.h"
#include "support/TempDir.h"

namespace {
using Log = std::vector<std::string>;

const char kConverted[] = "MessageBox 終了 0x0 | 変換が終了しました。\nOKボタンを押して下さい。";

std::string Waypoints(int count, double lat, double lon, const std::string& prefix) {
    std::string text;
    char buffer[160];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "<wpt lat=\"%.5f\" lon=\"%.5f\"><name>%s%d</name></wpt>\n",
                      lat + i * 1e-4, lon + i * 1e-4, prefix.c_str(), i + 1);
        text += buffer;
    }
    return text;
}

std::string Gpx(const std::string& waypoints) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" "
           "xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
           waypoints + "</gpx>\n";
}

const std::string kKml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n"
    "<Placemark><name>東京タワー</name><Point><coordinates>139.7454,35.6586</coordinates></Point></Placemark>\n"
    "<Placemark><name>Kyoto</name><Point><coordinates>135.7681,35.0116,12</coordinates></Point></Placemark>\n"
    "</Document></kml>\n";
const std::string kCsv = "name,latitude,longitude\n浅草寺,35.7148,139.7967\nNagoya,35.1815,136.9066\n";

// The standard-error lines of the command line's run, in order.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct MapFileTest : ::testing::Test {
    TempDir dir;
    const CConverterApp app{"/opt/bin/quorvel"};
    RecordingDialogUi ui;
    CMainDlg dlg{ui, CMainDlg::Inputs::all};

    void Press(const std::string& in, const std::string& out) {
        ui.inputBox = in;
        ui.outputBox = out;
        ui.ClearLog();
        EXPECT_TRUE(dlg.OnCommand(IDOK));
    }
    // What "quorvel-cli INPUT --to glorie" writes, each output's bytes; the outputs are then removed
    // so that the dialog writes them anew.
    std::vector<std::string> CliDocuments(const std::string& input, const std::vector<std::string>& outputs,
                                          CliOutcome& outcome) {
        outcome = RunCli({input, "--to", "glorie"});
        std::vector<std::string> documents;
        for (const std::string& output : outputs) {
            documents.push_back(ReadFileBytes(output));
            std::remove(output.c_str());
        }
        return documents;
    }
};

TEST_F(MapFileTest, EachKindGivesTheCommandLinesDocuments) {
    struct Case {
        std::string name, bytes;
        std::vector<std::string> outputs;
        std::string written;  // the first line of the box naming the files
    };
    const std::vector<Case> cases = {
        {"places.gpx", Gpx(Waypoints(3, 35.6812, 139.7671, "駅")), {"places.xml"}, "3 地点を書き込みました。"},
        {"places.kml", kKml, {"places.xml"}, "2 地点を書き込みました。"},
        {"places.csv", kCsv, {"places.xml"}, "2 地点を書き込みました。"},
        {"many.gpx", Gpx(Waypoints(1500, 35.0, 135.0, "P")), {"many-1.xml", "many-2.xml", "many-3.xml"}, "1500 地点を 3 ファイルに書き込みました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir own;
        const std::string input = own.File(c.name);
        WriteFileBytes(input, c.bytes);
        std::vector<std::string> outputs;
        for (const std::string& name : c.outputs) outputs.push_back(own.File(name));
        CliOutcome cli;
        const std::vector<std::string> expected = CliDocuments(input, outputs, cli);
        ASSERT_EQ(cli.status, 0) << cli.err;

        ui.AnswerFileDialog(CString(input));  // chosen by the browse, which proposes the output
        ASSERT_TRUE(dlg.OnCommand(IDC_BROWSE_INPUT));
        ASSERT_EQ(ui.requests.size(), 1u);
        EXPECT_EQ(ui.requests[0].filter,
                  CString("入力 ファイル (*.mem)|*.mem|glorie 文書 (*.xml)|*.xml|GPX (*.gpx)|*.gpx|KML (*.kml)|*.kml|"
                          "KMZ (*.kmz)|*.kmz|GeoJSON (*.geojson;*.json)|*.geojson;*.json|"
                          "CSV (*.csv;*.tsv;*.txt)|*.csv;*.tsv;*.txt|すべてのファイル (*.*)|*.*||"));
        ASSERT_EQ(ui.outputBox, CString(own.File(c.name.substr(0, c.name.rfind('.')) + ".xml")));
        ui.ClearLog();
        ASSERT_TRUE(dlg.OnCommand(IDOK));
        std::string box = "MessageBox 変換結果 0x0 | " + c.written + "\nフォルダ: " + own.File("");
        for (const std::string& name : c.outputs) box += "\n" + name;
        EXPECT_EQ(ui.log, (Log{"ReadBoxes", box, kConverted, "ReadBoxes", "EndDialog 1"}));
        for (std::size_t k = 0; k < outputs.size(); ++k) EXPECT_EQ(ReadFileBytes(outputs[k]), expected[k]) << outputs[k];
        EXPECT_EQ(ListWithoutRecords(own).size(), outputs.size() + 1);
        ui.endResult = 0;
    }
}

// 26 points the unit cannot hold among 2 it can, each with a refusal, and one line of warning for
// them all: the first 20 notes, the count of the rest and the summary, in one box before the
// completion message.
TEST_F(MapFileTest, RefusedPointsAreListedInOneBoxAfterTheConversion) {
    const std::string input = dir.File("mixed.gpx"), output = dir.File("mixed.xml");
    WriteFileBytes(input, Gpx(Waypoints(2, 35.6, 139.7, "OK") + Waypoints(26, -33.8, 151.2, "South")));
    CliOutcome cli;
    const std::string expected = CliDocuments(input, {output}, cli)[0];
    const std::vector<std::string> errors = Lines(cli.err);
    ASSERT_EQ(errors.size(), 29u) << cli.err;
    EXPECT_EQ(errors[28], "合計: 警告 1 件、変換できなかった地点 26 件");  // the command line's closing line only
    std::string box;
    for (std::size_t i = 0; i < 20; ++i) box += errors[i] + "\n";
    box += "ほか 7 件\n" + errors[27];

    Press(input, output);
    EXPECT_EQ(ui.log, (Log{"ReadBoxes", "MessageBox 警告 0x30 | " + box,
                           "MessageBox 変換結果 0x0 | 2 地点を書き込みました。\nフォルダ: " + dir.File("") + "\nmixed.xml",
                           kConverted, "ReadBoxes", "EndDialog 1"}));
    EXPECT_EQ(ReadFileBytes(output), expected);
}

// The readings file of the documents folder is taken as --readings takes it, its bad line listed
// with the warnings; without it the documents are the plain command line's.
TEST_F(MapFileTest, TheReadingsFileInTheDocumentsFolderIsTakenAsTheCommandLineTakesIt) {
    const std::string input = dir.File("places.csv"), output = dir.File("places.xml"), readings = dir.File("quorvel-readings.csv");
    WriteFileBytes(input, kCsv);
    WriteFileBytes(readings, "浅草寺,あさくさでら\n名古屋\n");
    ASSERT_EQ(setenv("XDG_DOCUMENTS_DIR", dir.Path().c_str(), 1), 0);
    const CliOutcome cli = RunCli({input, "--readings", readings});
    const std::string expected = ReadFileBytes(output);
    ASSERT_NE(expected.find("<rt>" + Utf8ToCp932("ｱｻｸｻﾃﾞﾗ") + "</rt>"), std::string::npos);
    const std::vector<std::string> errors = Lines(cli.err);
    ASSERT_EQ(errors.size(), 2u) << cli.err;
    std::remove(output.c_str());
    Press(input, output);
    const std::string written = "MessageBox 変換結果 0x0 | 2 地点を書き込みました。\nフォルダ: " + dir.File("") + "\nplaces.xml";
    EXPECT_EQ(ui.log, (Log{"ReadBoxes", "MessageBox 警告 0x30 | " + errors[0], written, kConverted, "ReadBoxes", "EndDialog 1"}));
    EXPECT_EQ(ReadFileBytes(output), expected);

    std::remove(readings.c_str());
    CliOutcome plain;
    const std::string without = CliDocuments(input, {output}, plain)[0];
    ui.endResult = 0;
    Press(input, output);
    unsetenv("XDG_DOCUMENTS_DIR");
    EXPECT_EQ(ui.log, (Log{"ReadBoxes", written, kConverted, "ReadBoxes", "EndDialog 1"}));
    EXPECT_EQ(ReadFileBytes(output), without);
    EXPECT_NE(without, expected);
}

// Every input gets an answer; one that writes nothing leaves the dialog open and an earlier
// output as it was.
TEST_F(MapFileTest, InputsThatWriteNothingAreAnswered) {
    const std::string earlier = "earlier document";
    struct Case {
        std::string name, bytes;
        bool cliAgrees;  // the box says what the command line says
        Log log;
    };
    const std::string doc = dir.File("notes.doc"), glorie = dir.File("same.xml");
    const std::vector<Case> cases = {
        {"broken.gpx", "<gpx><wpt lat=", true, {}},
        {"sea.gpx", Gpx(Waypoints(1, 0, 0, "Null") + Waypoints(1, 0, 0, "Null")), true, {}},
        {"notes.doc", "words", false, {"ReadBoxes", "MessageBox quorvel 0x30 | " + doc + "\n    は認識できないファイルです", "MessageBox ERROR 0x0 | ファイル " + doc + " の読み込みに失敗しました", "GotoInputBox"}},
        {"same.xml", "<glorie/>", false, {"ReadBoxes", "MessageBox ERROR 0x10 | 出力ファイル " + glorie + " が入力と同じです"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = dir.File(c.name);
        const std::string output = input.substr(0, input.rfind('.')) + ".xml";
        WriteFileBytes(input, c.bytes);
        Log log = c.log;
        if (c.cliAgrees) {
            const CliOutcome cli = RunCli({input, "--to", "glorie"});
            ASSERT_EQ(cli.status, 1);
            std::string box = cli.err.substr(0, cli.err.size() - 1);
            box = box.substr(0, box.rfind("\n合計: "));  // the command line's closing line
            log = {"ReadBoxes", "MessageBox ERROR 0x10 | " + box};
        }
        if (output != input) WriteFileBytes(output, earlier);
        Press(input, output);
        EXPECT_EQ(ui.log, log);
        EXPECT_EQ(ui.endResult, 0);
        EXPECT_EQ(ReadFileBytes(output), output != input ? earlier : c.bytes);
    }
}

TEST_F(MapFileTest, DropTakesAFileOfAKindRead) {
    struct Case {
        std::string name;
        Log log;
    };
    const std::vector<Case> cases = {
        {"/d/phone.GPX", {"SetBoxText 1000 /d/phone.GPX", "SetBoxText 1001 /d/phone.xml"}},
        {"/d/list.txt", {"SetBoxText 1000 /d/list.txt", "SetBoxText 1001 /d/list.xml"}},
        {"/d/notes.doc", {"MessageBox Error 0x30 | 入力ファイルのファイルタイプが違います。\n拡張子[.mem]のファイルを選択して下さい。"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.ClearLog();
        dlg.OnDropFiles({CString(c.name)});
        EXPECT_EQ(ui.log, c.log);
    }
}
}  // namespace
