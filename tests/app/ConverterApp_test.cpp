// Start-up rules shared by the front ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CConverterApp.h"
#include "support/RecordingBoxes.h"

namespace {
TEST(ConverterApp, NamedAfterTheProgramFile) {
    const struct {
        const char* program;
        const char* name;
    } cases[] = {
        {"/usr/local/bin/quorvel", "quorvel"},
        {"C:\\Tools\\Quorvel.exe", "Quorvel"},
        {"qv.exe", "qv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        CConverterApp app(c.program);
        EXPECT_EQ(app.GetAppName(), c.name);
        EXPECT_EQ(AfxGetAppName(), c.name);
        RecordingBoxes boxes;
        AfxMessageBox(boxes, "x");
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].caption, c.name);
    }
}

TEST(ConverterApp, CommandLineAfterTheProgramName) {
    const struct {
        const char* full;
        const char* rest;
    } cases[] = {
        {"quorvel.exe C:\\data\\route.mem", "C:\\data\\route.mem"},
        {"\"C:\\Program Files\\Quorvel\\quorvel.exe\"  \"C:\\My Data\\a.mem\"", "\"C:\\My Data\\a.mem\""},
        {"quorvel.exe\ta.mem b.mem", "a.mem b.mem"},
        {"quorvel.exe", ""},
        {"\"unterminated", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.full);
        EXPECT_EQ(CConverterApp::CommandLineAfterProgram(c.full), c.rest);
    }
}

TEST(ConverterApp, CommandLineFromArguments) {
    const struct {
        std::vector<const char*> argv;
        const char* line;
    } cases[] = {
        {{"quorvel"}, ""},
        {{"quorvel", "/d/My Data/a.mem"}, "/d/My Data/a.mem"},
        {{"quorvel", "a.mem", "b.mem"}, "a.mem b.mem"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(CConverterApp::CommandLineFromArguments(static_cast<int>(c.argv.size()), c.argv.data()), c.line);
    }
}
}  // namespace
