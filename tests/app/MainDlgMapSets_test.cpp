// A map input's files in the dialog: named under the output box once the input is chosen, listed
// with the points and the folder after the conversion; and the dialog's own words where the
// command line names its options.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "res/resource.h"
#include "support/CliRun.h"
#include "support/TempDir.h"

namespace {
using Log = std::vector<std::string>;

const char kConverted[] = "MessageBox 終了 0x0 | 変換が終了しました。\nOKボタンを押して下さい。";

// count waypoints, the first south ones in the southern hemisphere (the unit cannot hold them).
std::string Gpx(int count, int south = 0, const std::string& more = "") {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    char buffer[160];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "<wpt lat=\"%.5f\" lon=\"%.5f\"><name>P%d</name></wpt>\n",
                      (i < south ? -33.0 : 35.0) + i * 1e-5, 139.0 + i * 1e-5, i + 1);
        text += buffer;
    }
    return text + more + "</gpx>\n";
}

struct MapSetTest : ::testing::Test {
    TempDir dir;
    const CConverterApp app{"/opt/bin/quorvel"};
    RecordingDialogUi ui;
    CMainDlg dlg{ui, CMainDlg::Inputs::all};

    std::string Input(const std::string& name, const std::string& bytes) {
        const std::string path = dir.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    void Browse(const std::string& path) {
        ui.AnswerFileDialog(CString(path));
        ui.ClearLog();
        ASSERT_TRUE(dlg.OnCommand(IDC_BROWSE_INPUT));
    }
    std::string OutputSetLine() const { return ui.outputSet.Str(); }
};

TEST_F(MapSetTest, ChosenInputShowsItsFiles) {
    struct Case {
        std::string name, bytes, line;
    };
    const std::vector<Case> cases = {
        {"bulk10000.gpx", Gpx(10000), "10000 地点を 15 ファイルに分けて書き込みます:\nbulk10000-01.xml … bulk10000-15.xml"},
        {"many.gpx", Gpx(1500), "1500 地点を 3 ファイルに分けて書き込みます:\nmany-1.xml … many-3.xml"},
        // Points the unit cannot hold are not counted: 702 read, 700 written, one document.
        {"south.gpx", Gpx(702, 2), "700 地点を書き込みます"},
        {"few.gpx", Gpx(3), "3 地点を書き込みます"},
        {"broken.gpx", "<gpx><wpt lat=", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Browse(Input(c.name, c.bytes));
        EXPECT_EQ(OutputSetLine(), c.line);
    }
    // A memory-point file takes the line away; a second one leaves the boxes' calls as they were.
    ui.ClearLog();
    dlg.OnDropFiles({CString("/d/route.mem")});
    EXPECT_EQ(ui.log, (Log{"SetBoxText 1000 /d/route.mem", "SetBoxText 1001 /d/route.xml"}));
    Browse(Input("again.gpx", Gpx(800)));
    ui.ClearLog();
    dlg.OnDropFiles({CString("/d/route.mem")});
    EXPECT_EQ(ui.log, (Log{"SetBoxText 1000 /d/route.mem", "SetBoxText 1001 /d/route.xml", "SetBoxText 1008 "}));
}

// The line follows the output name as it is typed; a typed input is read when converted.
TEST_F(MapSetTest, TypingFollowsTheOutputName) {
    const std::string input = Input("many.gpx", Gpx(1500));
    Browse(input);
    struct Step {
        std::string in, out, line;
    };
    const std::vector<Step> steps = {
        {input, "/o/other.xml", "1500 地点を 3 ファイルに分けて書き込みます:\nother-1.xml … other-3.xml"},
        {input, "/o/other.txt", ""},
        {input, "/o/other.XML", "1500 地点を 3 ファイルに分けて書き込みます:\nother-1.XML … other-3.XML"},
        {dir.File("typed.gpx"), "/o/other.xml", ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.out);
        ui.inputBox = s.in;
        ui.outputBox = s.out;
        ui.ClearLog();
        dlg.OnBoxEdited();
        EXPECT_EQ(ui.log, (Log{"ReadBoxes", "SetBoxText 1008 " + s.line}));
    }
    // A typed input with no output: the convert command proposes the output and reads the input.
    Input("typed.gpx", Gpx(701));
    ui.outputBox = "";
    ui.ClearLog();
    ASSERT_TRUE(dlg.OnCommand(IDOK));
    EXPECT_EQ(OutputSetLine(), "701 地点を 2 ファイルに分けて書き込みます:\ntyped-1.xml … typed-2.xml");
}

// After the conversion, before the completion box: the points, the folder and each file; past 20
// files the first and the last.
TEST_F(MapSetTest, ConversionEndsWithTheFilesWritten) {
    struct Case {
        std::string name, bytes, box;
    };
    const std::string folder = dir.File("");
    const std::vector<Case> cases = {
        {"one.gpx", Gpx(3), "3 地点を書き込みました。\nフォルダ: " + folder + "\none.xml"},
        {"many.gpx", Gpx(1500), "1500 地点を 3 ファイルに書き込みました。\nフォルダ: " + folder + "\nmany-1.xml\nmany-2.xml\nmany-3.xml"},
        {"big.gpx", Gpx(14001), "14001 地点を 21 ファイルに書き込みました。\nフォルダ: " + folder + "\nbig-01.xml\n…\nbig-21.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Browse(Input(c.name, c.bytes));
        ui.ClearLog();
        ASSERT_TRUE(dlg.OnCommand(IDOK));
        EXPECT_EQ(ui.log, (Log{"ReadBoxes", "MessageBox 変換結果 0x0 | " + c.box, kConverted, "ReadBoxes", "EndDialog 1"}));
        ui.endResult = 0;
    }
}

// What the command line says with its option's name and the map's terms, the dialog says in a
// driver's words; the command line keeps its own.
TEST_F(MapSetTest, DialogMessagesUseTheirOwnWords) {
    const std::string track = "<trk><trkseg><trkpt lat=\"35.1\" lon=\"139.1\"/><trkpt lat=\"35.2\" lon=\"139.2\"/></trkseg></trk>\n";
    struct Case {
        std::string name, bytes, cli, dialog;
    };
    const std::string line = "{\"type\":\"LineString\",\"coordinates\":[[139.1,35.1],[139.2,35.2],[139.3,35.3]]}";
    const std::vector<Case> cases = {
        {"track.gpx", Gpx(1, 0, track), ": 経路と軌跡の 2 点は読んでいません (--all-points で読みます)",
         "警告: " + dir.File("track.gpx") + ": 経路と軌跡の 2 点は読んでいません（変換するのは地点だけです）"},
        {"lines.geojson",
         "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"properties\":{\"name\":\"駅\"},"
         "\"geometry\":{\"type\":\"Point\",\"coordinates\":[139.7,35.6]}},{\"type\":\"Feature\",\"properties\":{\"name\":\"道\"},"
         "\"geometry\":" +
             line + "},{\"type\":\"Feature\",\"properties\":{\"name\":\"空\"},\"geometry\":null}]}",
         ": 地物 3: 緯度・経度がありません。この地点は読みません",
         "警告: " + dir.File("lines.geojson") + ": 3 件目: 緯度・経度がありません。この地点は読みません\n警告: " +
             dir.File("lines.geojson") + ": 線や範囲を描いた 3 点は読んでいません（変換するのは地点だけです）\n" +
             dir.File("lines.geojson") + ": 1 地点は変換できませんでした"},
        {"road.kml",
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><LineString><coordinates>139.1,35.1 139.2,35.2"
         "</coordinates></LineString></Placemark></kml>",
         " に地点がありません（線と面の頂点 2 点は --all-points で読みます）",
         dir.File("road.kml") + " に地点がありません（線や範囲を描いた 2 点は地点ではないので読みません）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = Input(c.name, c.bytes);
        const CliOutcome cli = RunCli({input, "--to", "glorie", "-o", dir.File("cli.xml")});
        EXPECT_NE(cli.err.find(c.cli), std::string::npos) << cli.err;
        ui.inputBox = input;
        ui.outputBox = dir.File("out.xml");
        ui.ClearLog();
        ASSERT_TRUE(dlg.OnCommand(IDOK));
        ASSERT_GE(ui.log.size(), 2u);
        EXPECT_NE(ui.log[1].find(" | " + c.dialog), std::string::npos) << ui.log[1];
        ui.endResult = 0;
    }
}
}  // namespace
