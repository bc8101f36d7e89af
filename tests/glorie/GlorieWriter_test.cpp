#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include "support/FailingPosixCalls.h"
#include "support/GoldenFile.h"
#include "support/RecordingBoxes.h"
#include "support/TempDir.h"
#include "app/CConverterApp.h"
#include "app/FileFailureReport.h"
#include "convert/CPoiTable.h"
#include "glorie/GlorieWriter.h"
#include "platform/CSaveFile.h"
#include "platform/posix/PosixCalls.h"

namespace {
const char* const kTokyoStation = "\x93\x8C\x8B\x9E\x89\x77";  // 東京駅 in CP932

void Fill(CPoiTable& table, int position, const char* name, const char* reading, const char* latitude,
          const char* longitude) {
    table.ResetEntry(position);
    PoiEntry& entry = table.Entry(position);
    entry.name = name;
    entry.reading = reading;
    entry.latitude = latitude;
    entry.longitude = longitude;
}

// The document written as the dialogs write it: replaced whole, an output that cannot be opened
// told in a box.
int WriteGlorie(CPoiTable& table, const CString& name, IMainDlgUi& ui) {
    CSaveFile file;
    CFileException openError;
    if (!file.Open(name, &openError)) {
        ReportOutputOpenFailure(ui, openError, name);
        return -1;
    }
    table.WriteGlorie(file);
    file.Commit();
    return 0;
}

std::string WriteToFile(CPoiTable& table, const TempDir& dir) {
    const std::string path = dir.File("out.xml");
    RecordingBoxes boxes;
    EXPECT_EQ(WriteGlorie(table, CString(path), boxes), 0);
    EXPECT_TRUE(boxes.shown.empty());
    return ReadFileBytes(path);
}

// The document length from the sizes of the template text and the inserted fields.
std::size_t ExpectedSize(const CPoiTable& table) {
    std::size_t size = 246 + 11;
    for (int i = 0; i < table.GetCount(); ++i) {
        const PoiEntry& e = table.Entry(i);
        size += 399 + 2 * static_cast<std::size_t>(e.latitude.GetLength() + e.longitude.GetLength()) +
                static_cast<std::size_t>(e.name.GetLength());
        if (!e.reading.IsEmpty()) size += 15 + static_cast<std::size_t>(e.reading.GetLength());
    }
    return size;
}

struct DocumentCase {
    const char* golden;
    std::function<void(CPoiTable&)> fill;
    std::size_t size;  // 0: only the size from the field lengths is checked
};

TEST(GlorieWriter, WritesTheDocumentByteForByte) {
    const DocumentCase cases[] = {
        {"empty.xml", [](CPoiTable&) {}, 257},
        {"tokyo-station.xml", [](CPoiTable& t) { Fill(t, 0, kTokyoStation, "", "35.68123", "139.76712"); }, 696},
        {"reading.xml",
         [](CPoiTable& t) {
             Fill(t, 0, kTokyoStation, "\xC4\xB3\xB7\xAE\xB3\xB4\xB7", "35.68123", "139.76712");  // ﾄｳｷｮｳｴｷ
             Fill(t, 1, "Home", " ", ".50000", "140.00000");                                      // a blank reading is not empty
             Fill(t, 2, "", "", "", "");
         },
         0},
        // The digit string is the unit's, not the document's.
        {"tokyo-station.xml",
         [](CPoiTable& t) {
             Fill(t, 0, kTokyoStation, "", "35.68123", "139.76712");
             t.SetDigits("0312345678", 0);
         },
         696},
        {"escaped.xml",
         [](CPoiTable& t) {
             Fill(t, 0, "A&B<C>\"D'", "<&>\"", "1\"<", "2&>");
         },
         0},
    };
    for (const DocumentCase& c : cases) {
        const TempDir dir;
        const auto table = std::make_unique<CPoiTable>();
        c.fill(*table);
        const std::string bytes = WriteToFile(*table, dir);
        EXPECT_TRUE(MatchesGolden(bytes, c.golden));
        if (c.size != 0) {
            EXPECT_EQ(bytes.size(), c.size) << c.golden;
        }
        if (std::string(c.golden) != "escaped.xml") {
            EXPECT_EQ(bytes.size(), ExpectedSize(*table)) << c.golden;
        }
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"}) << c.golden;
    }
}

TEST(GlorieWriter, EscapesMarkupInEveryInsertedText) {
    const TempDir dir;
    const auto table = std::make_unique<CPoiTable>();
    Fill(*table, 0, "A&B<C>\"D'", "<&>\"", "1\"<", "2&>");
    const std::string bytes = WriteToFile(*table, dir);
    const char* const lines[] = {
        "\t\t<index pos=\"+1&quot;&lt; +2&amp;&gt; 00000000 fix tokyo\"/>\r\n",
        "\t\t\t\t\t<lat>1\"&lt;</lat>\r\n",
        "\t\t\t\t\t<lon>2&amp;&gt;</lon>\r\n",
        "\t\t\t\t<nb>A&amp;B&lt;C&gt;\"D'</nb>\r\n",
        "\t\t\t\t<rt>&lt;&amp;&gt;\"</rt>\r\n",
    };
    for (const char* line : lines) EXPECT_NE(bytes.find(line), std::string::npos) << line;
}

TEST(GlorieWriter, WritesEveryUsedEntryOfAFullTable) {
    const TempDir dir;
    const auto table = std::make_unique<CPoiTable>();
    for (int i = 0; i < CPoiTable::kCapacity; ++i) Fill(*table, i, "P", i % 2 ? "R" : "", "35.00000", "139.00000");
    const std::string bytes = WriteToFile(*table, dir);
    std::size_t blocks = 0;
    for (std::size_t at = bytes.find("\t<gpoi>\r\n"); at != std::string::npos; at = bytes.find("\t<gpoi>\r\n", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, 700u);
    EXPECT_EQ(bytes.size(), ExpectedSize(*table));
    EXPECT_EQ(bytes.substr(bytes.size() - 11), "</glorie>\r\n");
}

TEST(GlorieWriter, StopsAtTheFirstFreeEntry) {
    const TempDir dir;
    const auto table = std::make_unique<CPoiTable>();
    Fill(*table, 0, kTokyoStation, "", "35.68123", "139.76712");
    Fill(*table, 2, "Never", "", "1.00000", "2.00000");
    const std::string bytes = WriteToFile(*table, dir);
    EXPECT_TRUE(MatchesGolden(bytes, "tokyo-station.xml"));
}

TEST(GlorieWriter, ReplacesAnExistingDocumentWhateverItsLength) {
    for (std::size_t oldLength : {std::size_t{0}, std::size_t{10}, std::size_t{100000}}) {
        const TempDir dir;
        WriteFileBytes(dir.File("out.xml"), std::string(oldLength, 'x'));
        const auto table = std::make_unique<CPoiTable>();
        EXPECT_TRUE(MatchesGolden(WriteToFile(*table, dir), "empty.xml")) << oldLength;
        EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
    }
}

TEST(GlorieWriter, ReportsAnOutputThatCannotBeOpenedAndCreatesNothing) {
    const CConverterApp app("/opt/quorvel/bin/quorvel");
    const TempDir dir;
    const std::string absent = dir.File("absent") + "/out.xml";
    const std::string relative = "no-such-folder-" + std::to_string(static_cast<long>(::getpid())) + "/out.xml";
    for (const std::string& name : {absent, relative}) {
        RecordingBoxes boxes;
        const auto table = std::make_unique<CPoiTable>();
        Fill(*table, 0, kTokyoStation, "", "35.68123", "139.76712");
        EXPECT_EQ(WriteGlorie(*table, CString(name), boxes), -1) << name;
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].text, "\"" + name + "\"\n\n不正パス");
        EXPECT_EQ(boxes.shown[0].caption, "quorvel");
        EXPECT_EQ(boxes.shown[0].style, kMbOk | kMbIconExclamation);
        EXPECT_EQ(table->GetCount(), 1);
    }
    EXPECT_TRUE(dir.List().empty());
    EXPECT_FALSE(FileExists(relative.substr(0, relative.find('/'))));
}

TEST(GlorieWriter, AWriteFailureLeavesTheWriterAndKeepsTheOldDocument) {
    const TempDir dir;
    const std::string path = dir.File("out.xml");
    WriteFileBytes(path, "old document");
    const auto table = std::make_unique<CPoiTable>();
    for (int i = 0; i < CPoiTable::kCapacity; ++i) Fill(*table, i, "P", "R", "35.00000", "139.00000");
    RecordingBoxes boxes;
    int cause = -1;
    CString failedName;
    {
        FailingPosixCalls failing;
        failing.Fail(FailingPosixCalls::Call::Write, 1, ENOSPC, true);
        try {
            WriteGlorie(*table, CString(path), boxes);
            ADD_FAILURE() << "the write failure did not leave the writer";
        } catch (const CFileException& error) {
            cause = error.m_cause;
            failedName = error.m_strFileName;
        }
    }
    EXPECT_EQ(cause, CFileException::diskFull);
    EXPECT_EQ(failedName, path);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadFileBytes(path), "old document");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.xml"});
}

TEST(GlorieWriter, WriteTextWritesTheBytesItIsGiven) {
    const TempDir dir;
    const std::string path = dir.File("text.xml");
    {
        CSaveFile file;
        CFileException error;
        ASSERT_TRUE(file.Open(CString(path), &error));
        glorie::WriteText(file, "\t<a>\r\nleft out", 6);
        glorie::WriteText(file, "", 0);
        glorie::WriteText(file, "\x93\x8C\r\n", 4);
        file.Commit();
    }
    EXPECT_EQ(ReadFileBytes(path), "\t<a>\r\n\x93\x8C\r\n");
}
}  // namespace
