#include "platform/PathSplit.h"

#include <gtest/gtest.h>

namespace {
struct SplitRow {
    const char* path;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
};

TEST(PathSplit, SplitsDriveFolderBaseAndExtension) {
    const SplitRow rows[] = {
        {"C:\\data\\route.Mem", "C:", "\\data\\", "route", ".Mem"},
        {"route.mem", "", "", "route", ".mem"},
        {"C:\\data.mem\\route", "C:", "\\data.mem\\", "route", ""},
        {"C:\\data\\route.mem.bak", "C:", "\\data\\", "route.mem", ".bak"},
        {"/home/u/trip.mem", "", "/home/u/", "trip", ".mem"},
        {"", "", "", "", ""},
        {"C:", "C:", "", "", ""},
        {".mem", "", "", "", ".mem"},
        {"dir/", "", "dir/", "", ""},
        {"/folder/表/a.mem", "", "/folder/表/", "a", ".mem"},
    };
    for (const auto& row : rows) {
        const PathParts parts = SplitPath(row.path);
        EXPECT_EQ(parts.drive, row.drive) << row.path;
        EXPECT_EQ(parts.dir, row.dir) << row.path;
        EXPECT_EQ(parts.fname, row.fname) << row.path;
        EXPECT_EQ(parts.ext, row.ext) << row.path;
    }
}

TEST(PathSplit, CutsPartsToTheirRoom) {
    const std::string longName(300, 'a');
    const PathParts parts = SplitPath(CString("/d/" + longName + "." + std::string(300, 'x')));
    EXPECT_EQ(parts.fname.GetLength(), 255);
    EXPECT_EQ(parts.ext.GetLength(), 255);
    EXPECT_EQ(SplitPath(CString("/" + longName + "/f")).dir.GetLength(), 255);
}

TEST(PathSplit, JoinsWithOneSeparatorAndOneDot) {
    EXPECT_EQ(MakePath("C:", "\\data", "route", "xml"), "C:\\data\\route.xml");
    EXPECT_EQ(MakePath("C:", "\\data\\", "route", ".xml"), "C:\\data\\route.xml");
    EXPECT_EQ(MakePath("", "/home/u/", "", ""), "/home/u/");
    EXPECT_EQ(MakePath("", "", "route", "xml"), "route.xml");
    EXPECT_EQ(MakePath("", "", "", ""), "");
    EXPECT_EQ(MakePath("D:", "", "", ""), "D:");
}

TEST(PathSplit, ExtensionTestUpperCasesAsciiOnly) {
    EXPECT_TRUE(PathHasExtension("D:\\points\\TRIP.mem", ".MEM"));
    EXPECT_TRUE(PathHasExtension("trip.Mem", ".MEM"));
    EXPECT_TRUE(PathHasExtension("TRIP.MEM", ".MEM"));
    EXPECT_FALSE(PathHasExtension("trip.mem.bak", ".MEM"));
    EXPECT_FALSE(PathHasExtension("trip", ".MEM"));
    EXPECT_FALSE(PathHasExtension("D:\\old.mem\\trip", ".MEM"));
    EXPECT_FALSE(PathHasExtension("/old.mem/trip", ".MEM"));
    EXPECT_FALSE(PathHasExtension("route.mem ", ".MEM"));
    EXPECT_FALSE(PathHasExtension("", ".MEM"));
    EXPECT_TRUE(PathHasExtension("b.XmL", ".XML"));
}
}  // namespace
