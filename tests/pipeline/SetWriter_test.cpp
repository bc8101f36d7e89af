// A conversion's set of outputs through one members' interface: all members or none, the old set
// byte for byte after a failure, an open failure handed to the members with the member's name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pipeline/Conversion.h"
#include "pipeline/MessageOrder.h"
#include "pipeline/SetWriter.h"
#include "platform/CFileException.h"
#include "platform/CSaveFile.h"
#include "support/TempDir.h"

namespace {
// Member k holds "PREFIX k"; the member failing (when any) throws a full disk instead.
class TextMembers : public SetMembers {
public:
    TextMembers(std::string prefix, std::size_t failing) : m_prefix(std::move(prefix)), m_failing(failing) {}
    void Write(CSaveFile& file, std::size_t k) override {
        if (k == m_failing) throw CFileException(CFileException::diskFull, 28, file.GetFilePath());
        const std::string text = m_prefix + " " + std::to_string(k);
        file.Write(text.data(), static_cast<unsigned>(text.size()));
        ++written;
    }
    void OpenFailed(const CFileException& error, const CString& strName) override {
        opened.push_back(strName.Str() + " " + std::to_string(error.m_cause));
    }
    std::size_t written = 0;
    std::vector<std::string> opened;  // the open failures handed over

private:
    std::string m_prefix;
    std::size_t m_failing;
};

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct SetCase {
    const char* what;
    int members;          // of the new set (an old set of two is there before)
    std::size_t failing;  // the member whose writing fails
    bool blockSecond;     // a folder stands where the second member goes
    bool committed;
    std::map<std::string, std::string> folder;  // each name's bytes after, records aside
    std::vector<std::string> said;              // after the removed members are said
    std::vector<std::string> opened;
};

class SetWriterCases : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetWriterCases, WritesTheWholeSetOrLeavesTheOldOne) {
    const SetCase& c = GetParam();
    TempDir dir;
    const CString output(dir.File("out.txt"));
    MessageOrder say;
    SetWriter writer(say);
    {
        TextMembers old("old", kNone);
        ConversionResult result;
        std::vector<CString> removed, left;
        ASSERT_TRUE(writer.Write(output, Conversion::SplitNames(output, 2), {}, old, result, removed, left));
        ASSERT_TRUE(result.messages.empty());
    }
    const std::vector<CString> names = Conversion::SplitNames(output, c.members);
    if (c.blockSecond) {
        // The old set's second member taken by the user for a folder of their own.
        ASSERT_EQ(0, std::remove(dir.File("out-2.txt").c_str()));
        ASSERT_EQ(0, mkdir(dir.File("out-2.txt").c_str(), 0755));
    }
    TextMembers members("new", c.failing);
    ConversionResult result;
    std::vector<CString> removed, left;
    EXPECT_EQ(c.committed, writer.Write(output, names, {}, members, result, removed, left)) << c.what;
    writer.SayRemoved(removed, left, result);
    std::map<std::string, std::string> folder;
    for (const std::string& name : ListWithoutRecords(dir))
        folder[name] = std::filesystem::is_directory(dir.File(name)) ? "(folder)" : ReadFileBytes(dir.File(name));
    EXPECT_EQ(c.folder, folder) << c.what;
    std::vector<std::string> said;
    for (const ConversionMessage& message : result.messages) said.push_back(message.text);
    for (std::string& text : said) {
        const std::size_t at = text.find(dir.Path());
        if (at != std::string::npos) text.replace(at, dir.Path().size(), "DIR");
    }
    EXPECT_EQ(c.said, said) << c.what;
    std::vector<std::string> opened = members.opened;
    for (std::string& text : opened) text.replace(0, dir.Path().size(), "DIR");
    EXPECT_EQ(c.opened, opened) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    SetWriter, SetWriterCases,
    ::testing::Values(
        SetCase{"two members replace the old two", 2, kNone, false, true, {{"out-1.txt", "new 0"}, {"out-2.txt", "new 1"}}, {}, {}},
        SetCase{"three members: one more than before", 3, kNone, false, true, {{"out-1.txt", "new 0"}, {"out-2.txt", "new 1"}, {"out-3.txt", "new 2"}}, {}, {}},
        SetCase{"one document replaces the two: they are removed and said", 1, kNone, false, true, {{"out.txt", "new 0"}}, {"DIR/out-1.txt は新しい出力にないので削除しました", "DIR/out-2.txt は新しい出力にないので削除しました"}, {}},
        SetCase{"the second member's writing fails: the old set stays", 3, 1, false, false, {{"out-1.txt", "old 0"}, {"out-2.txt", "old 1"}}, {"DIR/out-2.txt へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"}, {}},
        SetCase{"the last member's writing fails: the old set stays", 2, 1, false, false, {{"out-1.txt", "old 0"}, {"out-2.txt", "old 1"}}, {"DIR/out-2.txt へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"}, {}},
        SetCase{"a folder where a member goes: the members hear of it", 2, kNone, true, false, {{"out-1.txt", "old 0"}, {"out-2.txt", "(folder)"}}, {}, {"DIR/out-2.txt " + std::to_string(CFileException::accessDenied)}}));
}  // namespace
