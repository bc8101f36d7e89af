// Every memory-point file of the samples and the seed corpora, on each road a program takes it:
// the documents byte for byte, the messages and how each run ended, against golden transcripts.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/CConverterApp.h"
#include "app/CMainDlg.h"
#include "pipeline/Conversion.h"
#include "res/resource.h"
#include "cli/CliConverter.h"
#include "support/GoldenFile.h"
#include "support/RecordingDialogUi.h"
#include "support/TempDir.h"

namespace {
struct Input {
    std::string name;  // the golden documents' name: samples-meisho, mem-ordinary, ...
    std::string bytes;
};

std::string SourceDir() {
    const char* env = std::getenv("QUORVEL_SOURCE_DIR");
    return env && *env ? env : ".";
}

// Every file of a folder of the source tree, sorted by name.
void AddFolder(const std::string& folder, const std::string& prefix, std::vector<Input>& inputs) {
    const std::string path = SourceDir() + "/" + folder;
    DIR* dir = opendir(path.c_str());
    if (!dir) ADD_FAILURE() << "cannot list " << path;
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string stem = name.size() > 4 && name.compare(name.size() - 4, 4, ".mem") == 0 ? name.substr(0, name.size() - 4) : name;
        if (folder == "samples" && stem == name) continue;  // the samples' other files
        inputs.push_back({prefix + stem, ReadFileBytes(path + "/" + name)});
    }
}

std::vector<Input> Inputs() {
    std::vector<Input> inputs;
    AddFolder("samples", "samples-", inputs);
    AddFolder("fuzz/corpus/mem", "mem-", inputs);
    AddFolder("fuzz/corpus/convert", "convert-", inputs);
    return inputs;
}

// The folder of a run said as DIR.
std::string Anonymous(std::string text, const std::string& folder) {
    for (std::size_t at = text.find(folder); at != std::string::npos; at = text.find(folder, at)) text.replace(at, folder.size(), "DIR");
    return text;
}

// A road runs one input into one output and tells how it ended and what it said.
using RoadFunction = std::string (*)(const std::string& input, const std::string& output);

// The command line in the test's process. Its documents are not held to be well-formed: a
// record's bytes are copied as they are, control bytes and all.
std::string Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliConverter converter(out, err, "quorvel-cli");
    const int status = converter.Run(args);
    return "status " + std::to_string(status) + "\n-- out\n" + out.str() + "-- err\n" + err.str();
}

std::string CliRoad(const std::string& input, const std::string& output) { return Cli({input, "-o", output}); }

std::string MergeRoad(const std::string& input, const std::string& output) { return Cli({"--merge", input, "-o", output}); }

std::string DialogRoad(const std::string& input, const std::string& output) {
    const CConverterApp app("/opt/bin/quorvel");
    RecordingDialogUi ui;
    CMainDlg dlg{ui};
    ui.inputBox = input;
    ui.outputBox = output;
    ui.ClearLog();
    std::string transcript = dlg.OnCommand(IDOK) ? "" : "not handled\n";
    for (const std::string& line : ui.log) transcript += line + "\n";
    return transcript;
}

// What the benchmark and the fuzzer measure: the conversion alone, as the dialog runs it.
std::string DriverRoad(const std::string& input, const std::string& output) {
    ConversionOptions options;
    options.recordForRecord = true;
    options.oneDocument = true;
    const ConversionResult result = Conversion(options).Convert({CString(input)}, CString(output));
    if (result.stop == ConversionResult::Stop::notRead) return "load -1 " + result.readFailure + "\n";
    return "load 0 \nwrite " + std::string(result.ok ? "0" : "-1") + "\npoints " + std::to_string(result.written) + "\n";
}

struct Road {
    const char* name;
    RoadFunction run;
    const char* documents;  // the golden documents' folder: the roads that write the same share one
};

class MemRoads : public ::testing::TestWithParam<Road> {};

TEST_P(MemRoads, KeepTheirDocumentsAndMessages) {
    const Road& road = GetParam();
    std::string transcript;
    for (const Input& input : Inputs()) {
        TempDir dir;
        const std::string in = dir.File(input.name + ".mem");
        const std::string out = dir.File(input.name + ".xml");
        WriteFileBytes(in, input.bytes);
        transcript += "== " + input.name + "\n" + Anonymous(road.run(in, out), dir.Path());
        EXPECT_EQ(ReadFileBytes(in), input.bytes) << input.name << ": the input changed";
        if (!FileExists(out)) {
            transcript += "-- no document\n";
            continue;
        }
        const std::string golden = std::string(road.documents) + input.name + ".xml";
        transcript += "-- document " + golden + "\n";
        EXPECT_TRUE(MatchesGolden(ReadFileBytes(out), golden)) << road.name;
    }
    EXPECT_TRUE(MatchesGolden(transcript, std::string("memroad/") + road.name + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, MemRoads,
                         ::testing::Values(Road{"cli", CliRoad, "memroad/"}, Road{"merge", MergeRoad, "memroad/merge/"},
                                           Road{"dialog", DialogRoad, "memroad/"}, Road{"driver", DriverRoad, "memroad/"}),
                         [](const ::testing::TestParamInfo<Road>& road) { return std::string(road.param.name); });
}  // namespace
