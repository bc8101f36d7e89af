#include "cli/CliConverter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "readings/ReadingGuesser.h"
#include "support/CliRun.h"
#include "support/TempDir.h"
#include "support/MemImage.h"
#include "support/FailingPosixCalls.h"
#include "support/MemoryCalls.h"

namespace {
const std::string kSamples = QUORVEL_SAMPLES_DIR;

std::string TwoPointImage() {
    MemImage image;
    image.Use(0).Name(0, "A&B").Reading(0, "ab").Latitude(0, MemImage::Seconds(35, 40, 41), 0x80).Longitude(0, MemImage::Seconds(139, 46, 13), 0);
    image.Use(1).Name(1, "\x93\x8c").Latitude(1, MemImage::Seconds(34, 0, 0), 0).Longitude(1, MemImage::Seconds(135, 0, 0), 0);
    return image.Bytes();
}

// The list without its last four columns (WGS 84, the method, the original name).
std::string TokyoColumns(const std::string& list) {
    std::string out;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        for (int column = 0; column < 5 && line.find('\t') != std::string::npos; ++column) line.erase(line.rfind('\t'));
        out += line + "\n";
    }
    return out;
}

std::string Usage(const std::string& reason) {
    return "quorvel-cli: " + reason + "\n使い方は quorvel-cli --help で表示されます\n";
}
}  // namespace

TEST(CliConverterTest, UsageErrorsExitTwoWithTheReasonAndTouchNothing) {
    TempDir dir;
    const std::string in = dir.File("a.mem");
    const std::string in2 = dir.File("b.mem");
    WriteFileBytes(in, TwoPointImage());
    WriteFileBytes(in2, TwoPointImage());
    const std::string other = dir.Path() + "/sub/a.mem";
    struct Case {
        std::vector<std::string> args;
        std::string reason;
    };
    const Case cases[] = {
        {{}, "入力ファイルが指定されていません"},
        {{"-d", dir.Path()}, "入力ファイルが指定されていません"},
        {{"--list"}, "入力ファイルが指定されていません"},
        {{in, "-x"}, "不明なオプションです: -x"},
        {{in, "-"}, "標準入力 (-) をほかの入力と変換するときは --merge と -o を指定して下さい"},
        {{in, "--output"}, "不明なオプションです: --output"},
        {{in, "-o"}, "オプション -o には引数が必要です"},
        {{in, "-d"}, "オプション -d には引数が必要です"},
        {{in, "-o", dir.File("a.txt")}, "出力ファイル名の拡張子が .xml ではありません: " + dir.File("a.txt")},
        {{in, "-o", dir.File("a.xml.bak")}, "出力ファイル名の拡張子が .xml ではありません: " + dir.File("a.xml.bak")},
        {{in, "-o", dir.File("xml")}, "出力ファイル名の拡張子が .xml ではありません: " + dir.File("xml")},
        {{in, in2, "-o", dir.File("a.xml")}, "-o は入力ファイルが一つのときか --merge のときだけ指定できます"},
        {{in, "-o", dir.File("a.xml"), "-d", dir.Path()}, "-o と -d は同時に指定できません"},
        {{in, "-o", dir.File("a.xml"), "-o", dir.File("b.xml")}, "オプション -o が二度指定されています"},
        {{in, "-d", dir.Path(), "-d", dir.Path()}, "オプション -d が二度指定されています"},
        {{in, "-d", ""}, "-d のフォルダ名が空です"},
        {{"--list", in, "-d", dir.Path()}, "--list は -o や -d と同時に指定できません"},
        {{in, other, "-d", dir.Path()},
         "出力ファイル " + dir.File("a.xml") + " が " + in + " と " + other + " の両方から作られます"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const CliOutcome outcome = RunCli(c.args);
        EXPECT_EQ(outcome.status, CliConverter::kExitUsage);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, Usage(c.reason));
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.mem", "b.mem"}));
    }
}

TEST(CliConverterTest, OutputNamesFollowTheDialogOrTheFolder) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {{"samples/tokyo.mem"}, "samples/tokyo.mem", "samples/tokyo.xml"},
        {{"route.Mem"}, "route.Mem", "route.xml"},
        {{"C:\\data\\route.mem"}, "C:\\data\\route.mem", "C:\\data\\route.xml"},
        {{"/a.b/route"}, "/a.b/route", "/a.b/route.xml"},
        {{"a/route.mem.bak"}, "a/route.mem.bak", "a/route.mem.xml"},
        {{"x/t.mem", "-d", "out"}, "x/t.mem", "out/t.xml"},
        {{"x/t.mem", "-d", "out/"}, "x/t.mem", "out/t.xml"},
        {{"x/t.mem", "-d", "out\\"}, "x/t.mem", "out\\t.xml"},
        {{"x/t.mem", "-o", "y/Other.XmL"}, "x/t.mem", "y/Other.XmL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const CliArguments args = CliArguments::Parse(c.args);
        ASSERT_EQ(args.error, "");
        EXPECT_EQ(BatchPlan::OutputNameFor(CString(c.input), args.Batch()), CString(c.output));
    }
}

TEST(CliConverterTest, ArgumentsMayComeInAnyOrderAndDoubleDashEndsOptions) {
    const CliArguments mixed = CliArguments::Parse({"-d", "out", "a.mem", "b.mem"});
    EXPECT_EQ(mixed.error, "");
    EXPECT_EQ(mixed.inputs, (std::vector<CString>{"a.mem", "b.mem"}));
    EXPECT_EQ(mixed.folder, CString("out"));

    const CliArguments dashed = CliArguments::Parse({"--", "-o", "--list"});
    EXPECT_EQ(dashed.error, "");
    EXPECT_EQ(dashed.mode, CliArguments::Mode::convert);
    EXPECT_EQ(dashed.inputs, (std::vector<CString>{"-o", "--list"}));
}

TEST(CliConverterTest, ConvertsBesideTheInputIntoAFolderOrToTheGivenName) {
    TempDir dir;
    WriteFileBytes(dir.File("meisho.mem"), ReadFileBytes(kSamples + "/meisho.mem"));
    const std::string expected = ReadFileBytes(kSamples + "/meisho.xml");
    const std::string in = dir.File("meisho.mem");
    struct Case {
        std::vector<std::string> args;
        std::string output;
    };
    const Case cases[] = {
        {{in}, dir.File("meisho.xml")},
        {{"-o", dir.File("Named.XML"), in}, dir.File("Named.XML")},
        {{in, "-d", dir.Path() + "/out"}, dir.Path() + "/out/meisho.xml"},
    };
    std::filesystem::create_directory(dir.Path() + "/out");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const CliOutcome outcome = RunCli(c.args);
        EXPECT_EQ(outcome.status, CliConverter::kExitConverted);
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, in + " -> " + c.output + " (12 地点)\n");
        EXPECT_EQ(ReadFileBytes(c.output), expected);
    }
}

TEST(CliConverterTest, AFailedInputIsReportedAndTheNextStillConverts) {
    TempDir dir;
    const std::string good = dir.File("good.mem");
    const std::string shortFile = dir.File("short.mem");
    const std::string longFile = dir.File("long.MEM");
    const std::string text = dir.File("good.dat");
    const std::string missing = dir.File("missing.mem");
    WriteFileBytes(good, TwoPointImage());
    WriteFileBytes(shortFile, TwoPointImage().substr(1));
    WriteFileBytes(longFile, TwoPointImage() + "x");
    WriteFileBytes(text, TwoPointImage());
    // An output of an earlier run stays as it was when its input fails.
    WriteFileBytes(dir.File("short.xml"), "earlier document");
    struct Case {
        std::string bad;
        std::string storeMessage;
    };
    const Case cases[] = {
        {shortFile, "ファイル " + shortFile + " は 10803 バイトです。メモリーポイントファイルは 10804 バイトです"},
        {longFile, "ファイル " + longFile + " は 10805 バイトです。メモリーポイントファイルは 10804 バイトです"},
        {text, text + "\n    は認識できないファイルです"},
        {missing, "ファイル " + missing + " が見つかりません"},
        {dir.File("missing.mme"), "ファイル " + dir.File("missing.mme") + " が見つかりません"},
        {dir.Path() + "/nowhere/x.mem", "ファイル " + dir.Path() + "/nowhere/x.mem が見つかりません"},
        {dir.Path(), dir.Path() + " はフォルダです。入力にはファイルを指定して下さい"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bad);
        const CliOutcome outcome = RunCli({c.bad, good});
        EXPECT_EQ(outcome.status, CliConverter::kExitFailed);
        // A folder is said in one line.
        EXPECT_EQ(outcome.err, c.storeMessage + (c.bad == dir.Path() ? "\n" : "\nファイル " + c.bad + " の読み込みに失敗しました\n"));
        EXPECT_EQ(outcome.out, good + " -> " + dir.File("good.xml") + " (2 地点)\n");
        EXPECT_EQ(ReadFileBytes(dir.File("short.xml")), "earlier document");
        EXPECT_FALSE(FileExists(dir.File("long.xml")));
        EXPECT_FALSE(FileExists(dir.File("missing.xml")));
    }
}

// -d's folder is made when missing, said once; one that cannot be made is said once, not per input.
TEST(CliConverterTest, AnOutputFolderThatDoesNotExistGetsTheWritersMessage) {
    TempDir dir;
    const std::string in = dir.File("a.mem");
    WriteFileBytes(in, TwoPointImage());
    const CliOutcome deeper = RunCli({in, "-d", dir.Path() + "/none/deeper"});
    EXPECT_EQ(deeper.status, CliConverter::kExitFailed);
    EXPECT_EQ(deeper.out, "");
    EXPECT_EQ(deeper.err, "quorvel-cli: 出力フォルダ " + dir.Path() + "/none/deeper を作れません (No such file or directory)\n");
    const CliOutcome file = RunCli({in, "-d", in});
    EXPECT_EQ(file.err, "quorvel-cli: -d の " + in + " はフォルダではありません\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.mem"});

    const CliOutcome made = RunCli({in, "-d", dir.Path() + "/none"});
    EXPECT_EQ(made.status, CliConverter::kExitConverted);
    EXPECT_EQ(made.err, "");
    EXPECT_EQ(made.out, "出力フォルダ " + dir.Path() + "/none を作りました\n" + in + " -> " + dir.Path() + "/none/a.xml (2 地点)\n");
}

TEST(CliConverterTest, AFullDiskIsReportedAndLeavesTheOldDocumentInPlace) {
    MemoryCalls calls("/mem");
    calls.SetFile("/mem/a.mem", TwoPointImage());
    calls.SetFile("/mem/b.mem", TwoPointImage());
    calls.SetFile("/mem/a.xml", "old");
    calls.SetCapacity(2 * TwoPointImage().size() + 3 + 100);
    const CliOutcome outcome = RunCli({"a.mem", "b.mem", "-d", "/elsewhere/deeper"});
    EXPECT_EQ(outcome.status, CliConverter::kExitFailed);
    EXPECT_EQ(outcome.err, "quorvel-cli: 出力フォルダ /elsewhere/deeper を作れません (No such file or directory)\n");

    const CliOutcome full = RunCli({"a.mem"});
    EXPECT_EQ(full.status, CliConverter::kExitFailed);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(full.err, "/mem/a.xml へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。\n");
    EXPECT_EQ(calls.File("/mem/a.xml"), "old");
    EXPECT_EQ(calls.FileNames(), (std::set<std::string>{"/mem/a.mem", "/mem/a.xml", "/mem/b.mem"}));
    EXPECT_EQ(calls.OpenDescriptors(), 0);

    calls.SetCapacity(static_cast<std::size_t>(-1));
    FailingPosixCalls faults;
    faults.Fail(FailingPosixCalls::Call::Read, 1, EIO);
    const CliOutcome readFailure = RunCli({"a.mem", "b.mem"});
    EXPECT_EQ(readFailure.status, CliConverter::kExitFailed);
    EXPECT_EQ(readFailure.err, "/mem/a.mem へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。\n");
    EXPECT_EQ(readFailure.out, "b.mem -> b.xml (2 地点)\n");
    EXPECT_EQ(calls.File("/mem/a.xml"), "old");
    EXPECT_TRUE(calls.HasFile("/mem/b.xml"));

    // An output another program holds: the file failure's text, not the dialog's "SHARE.EXE" one.
    FailingPosixCalls held;
    held.FailOpenOf("/mem/a.xml", EWOULDBLOCK);
    const CliOutcome shared = RunCli({"a.mem"});
    EXPECT_EQ(shared.status, CliConverter::kExitFailed);
    EXPECT_EQ(shared.err, "a.xml へのｱｸｾｽ中に共有違反が発生しました。\n");
    EXPECT_EQ(calls.File("/mem/a.xml"), "old");
}

TEST(CliConverterTest, ListShowsThePointsAsTheDocumentHasThem) {
    const std::string sample = kSamples + "/meisho.mem";
    const CliOutcome outcome = RunCli({"--list", sample});
    EXPECT_EQ(outcome.status, CliConverter::kExitConverted);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(TokyoColumns(outcome.out), sample +
                                             " (12 地点)\n"
                                             "番号\t名称\t読み\t緯度\t経度\t数字\n"
                                             "1\t東京駅\tとうきょうえき\t35.67801\t139.77033\t1000005\n"
                                             "2\t東京タワー\tとうきょうたわー\t35.65535\t139.74864\t1050011\n"
                                             "3\t皇居\tこうきょ\t35.68195\t139.75601\t1000001\n"
                                             "4\t浅草寺\tせんそうじ\t35.71154\t139.79987\t1110032\n"
                                             "5\t明治神宮\tめいじじんぐう\t35.67317\t139.70253\t1510053\n"
                                             "6\t国会議事堂\tこっかいぎじどう\t35.67266\t139.74807\t1000014\n"
                                             "7\tスカイツリー\tすかいつりー\t35.70684\t139.81391\t1310045\n"
                                             "8\t羽田空港T1&T2\tはねだくうこう\t35.54615\t139.78304\t1440041\n"
                                             "9\t東京ビッグサイト\tﾄｳｷｮｳﾋﾞｯｸﾞｻｲﾄ\t35.62671\t139.79727\t1350063\n"
                                             "10\t鎌倉大仏\tかまくらだいぶつ\t35.31344\t139.53896\t2480016\n"
                                             "11\t富士山\tふじさん\t35.35738\t138.73047\t\n"
                                             "12\t大阪城\tおおさかじょう\t34.68406\t135.52901\t5400002\n");
}

TEST(CliConverterTest, ListGoesOnAfterAFailureAndSeparatesTables) {
    TempDir dir;
    const std::string a = dir.File("a.mem");
    const std::string empty = dir.File("empty.mem");
    WriteFileBytes(a, TwoPointImage());
    WriteFileBytes(empty, MemImage().Bytes());
    const CliOutcome outcome = RunCli({"--list", dir.File("x.mem"), a, empty});
    EXPECT_EQ(outcome.status, CliConverter::kExitFailed);
    EXPECT_EQ(outcome.err, "ファイル " + dir.File("x.mem") + " が見つかりません\nファイル " + dir.File("x.mem") + " の読み込みに失敗しました\n" +
                               "警告: " + a +
                               ": 地点 2「東」: 地域パラメータにデータのない場所です。測地系は Helmert 変換で換算しました\n"
                               "合計: 警告 1 件、変換できなかった地点 0 件\n");
    EXPECT_EQ(TokyoColumns(outcome.out), a + " (2 地点)\n番号\t名称\t読み\t緯度\t経度\t数字\n"
                                             "1\tA&B\tab\t35.67819\t139.77028\t\n"
                                             "2\t東\t\t34.00000\t135.00000\t\n"
                                             "\n" +
                                             empty + " (0 地点)\n番号\t名称\t読み\t緯度\t経度\t数字\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.mem", "empty.mem"}));
}

TEST(CliConverterTest, HelpAndVersion) {
    const CliOutcome version = RunCli({"--version"});
    EXPECT_EQ(version.status, CliConverter::kExitConverted);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n') + 1), "Quorvel Version 1.100\n");
    EXPECT_EQ(version.out.substr(version.out.find('\n') + 1),
              std::string("ファイルの版: 1.0.0.1\n") +
                  (ReadingGuesser::Backend().empty() ? "読みの推定: なし (MeCab なしで作られています)\n"
                                                     : "読みの推定: " + ReadingGuesser::Backend() + "\n"));
    EXPECT_EQ(version.err, "");

    const CliOutcome help = RunCli({"a.mem", "--help", "-x"});
    EXPECT_EQ(help.status, CliConverter::kExitConverted);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("使い方:\n  quorvel-cli 入力.mem [-o 出力.xml]", 0), 0u);
    EXPECT_NE(help.out.find("--list"), std::string::npos);
}

TEST(CliConverterTest, OneOutputFromTwoInputsIsRefusedWhateverTheSpelling) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("a"));
    std::filesystem::create_directory_symlink(dir.File("a"), dir.File("alias"));
    WriteFileBytes(dir.File("a/x.mem"), TwoPointImage());
    WriteFileBytes(dir.File("a/x.MEM"), TwoPointImage());
    const std::string first = dir.File("a/x.mem");
    for (const std::string& second : {dir.File("a/./x.MEM"), dir.File("a/../a/x.MEM"), dir.File("alias/x.MEM"), first}) {
        SCOPED_TRACE(second);
        const CliOutcome outcome = RunCli({first, second});
        EXPECT_EQ(outcome.status, CliConverter::kExitUsage);
        const std::string output = first.substr(0, first.size() - 3) + "xml";
        EXPECT_EQ(outcome.err, Usage("出力ファイル " + second.substr(0, second.size() - 3) + "xml が " + first + " と " +
                                     second + " の両方から作られます"));
        EXPECT_FALSE(FileExists(output));
    }
}
