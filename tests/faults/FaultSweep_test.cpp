// Every file-layer call of a whole conversion failed in turn: the earlier document survives or
// the new one is complete, nothing temporary stays, exactly one report, and a retry converts.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "ConversionRun.h"
#include "platform/OutputSet.h"
#include "support/TempDir.h"
#include "support/FailingPosixCalls.h"
#include "support/SetFiles.h"

namespace {
using Call = FailingPosixCalls::Call;

struct Cause {
    int err;                // 0: a short write instead of an error
    const char* openText;   // the writer's open-failure wording
    const char* leftText;   // the wording for a failure that leaves the command
    const char* storeText;  // the store's wording for a failed open of the input
};

const Cause kCauses[] = {
    {EIO, "ハードウェア エラー", " へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。", "\n    を読み込み用に開けませんでした"},
    {ENOSPC, "ディスク フル", " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。", "\n    を読み込み用に開けませんでした"},
    {EACCES, "ファイル アクセス禁止", " へのｱｸｾｽは拒否されました。", "ファイル アクセス禁止"},
};
const Cause kShortWrite = {0, "", " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。", ""};

// Every call of the seam that can fail: one added to PosixCalls.inc is swept too.
const std::vector<Call> kSwept = [] {
    std::vector<Call> calls;
    for (Call call : FailingPosixCalls::AllCalls())
        if (FailingPosixCalls::CanFail(call)) calls.push_back(call);
    return calls;
}();

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The single report names the fault's cause in the wording of whoever reported it.
void ExpectOneReport(const PressResult& result, const Cause& cause, const ConversionFolder& folder) {
    ASSERT_EQ(AppBoxes(result.log), 1) << Joined(result.log);
    EXPECT_EQ(result.endResult, 0);
    const std::string& box = result.log.at(1);
    const std::string storePrefix = "MessageBox quorvel 0x30 | ";
    if (box == "MessageBox quorvel 0x30 | \"" + folder.output + "\"\n\n" + cause.openText) {
        EXPECT_EQ(result.log.size(), 2u);
    } else if (box.rfind("MessageBox quorvel 0x10 | ", 0) == 0) {
        EXPECT_TRUE(EndsWith(box, cause.leftText)) << box;
        EXPECT_EQ(result.log.size(), 2u);
    } else {
        // The input could not be opened: the store's reason, then the command's own message.
        EXPECT_TRUE(EndsWith(box, cause.storeText)) << box;
        ASSERT_EQ(result.log.size(), 3u);
        EXPECT_EQ(result.log[2], "MessageBox ERROR 0x0 | ファイル " + folder.input + " の読み込みに失敗しました");
    }
}

void ExpectSurvivedAndRetries(const ConversionFolder& folder, const PressResult& result, const Cause& cause) {
    const std::string now = ReadFileBytes(folder.output);
    if (Converted(result)) {
        EXPECT_EQ(now, folder.expected) << "success reported, but the document is not the new one";
    } else {
        ExpectOneReport(result, cause, folder);
        // Before the replace the earlier document is whole; after it the new one is.
        EXPECT_TRUE(now == ConversionFolder::kOld || now == folder.expected) << now.size() << " bytes";
    }
    EXPECT_EQ(folder.dir.List(), (std::vector<std::string>{"route.mem", "route.xml"}));

    folder.RestoreOldOutput();
    const PressResult retry = PressConvert(folder.input, folder.output);
    EXPECT_TRUE(Converted(retry)) << Joined(retry.log);
    EXPECT_EQ(ReadFileBytes(folder.output), folder.expected);
    folder.RestoreOldOutput();
}

TEST(FaultSweep, EveryCallOfAConversionFailsInTurn) {
    ConversionFolder folder;
    int clean[static_cast<int>(Call::kCount)] = {};
    {
        FailingPosixCalls counting;
        ASSERT_TRUE(Converted(PressConvert(folder.input, folder.output)));
        for (Call call : kSwept) clean[static_cast<int>(call)] = counting.Count(call);
    }
    folder.RestoreOldOutput();
    // The calls a conversion cannot do without.
    for (Call call : {Call::Open, Call::Read, Call::Write, Call::Fsync, Call::Close, Call::Rename})
        EXPECT_GT(clean[static_cast<int>(call)], 0) << FailingPosixCalls::Name(call);

    int faults = 0;
    for (Call call : kSwept) {
        for (int nth = 1; nth <= clean[static_cast<int>(call)]; ++nth) {
            for (const Cause& cause : kCauses) {
                for (bool andLater : {false, true}) {
                    SCOPED_TRACE(std::string(FailingPosixCalls::Name(call)) + " #" + std::to_string(nth) + " errno " +
                                 std::to_string(cause.err) + (andLater ? " and later" : ""));
                    PressResult result;
                    {
                        FailingPosixCalls failing;
                        failing.Fail(call, nth, cause.err, andLater);
                        result = PressConvert(folder.input, folder.output);
                        EXPECT_GE(failing.Count(call), nth) << "the fault was never reached";
                    }
                    ExpectSurvivedAndRetries(folder, result, cause);
                    ++faults;
                }
            }
        }
    }
    EXPECT_GT(faults, 100);
}

TEST(FaultSweep, ShortTransfersOfEveryWrite) {
    ConversionFolder folder;
    int writes = 0;
    {
        FailingPosixCalls counting;
        ASSERT_TRUE(Converted(PressConvert(folder.input, folder.output)));
        writes = counting.Count(Call::Write);
    }
    folder.RestoreOldOutput();
    for (int nth = 1; nth <= writes; ++nth) {
        for (std::size_t bytes : {std::size_t{0}, std::size_t{1}, std::size_t{4096}}) {
            SCOPED_TRACE("write #" + std::to_string(nth) + " moves " + std::to_string(bytes) + " bytes");
            PressResult result;
            {
                FailingPosixCalls failing;
                failing.Short(Call::Write, nth, bytes);
                result = PressConvert(folder.input, folder.output);
            }
            EXPECT_FALSE(Converted(result));
            EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
            ExpectSurvivedAndRetries(folder, result, kShortWrite);
        }
    }
}

// A removal that fails while a document is dropped cannot be helped, but the earlier document is
// still whole and the user still hears of the first failure only.
TEST(FaultSweep, FailedRemovalOfTheDroppedDocument) {
    ConversionFolder folder;
    for (const Cause& cause : kCauses) {
        SCOPED_TRACE(cause.err);
        PressResult result;
        {
            FailingPosixCalls failing;
            failing.Fail(Call::Write, 1, ENOSPC).Fail(Call::Unlink, 1, cause.err);
            result = PressConvert(folder.input, folder.output);
            EXPECT_EQ(failing.Count(Call::Unlink), 1);
        }
        ASSERT_EQ(result.log.size(), 2u) << Joined(result.log);
        EXPECT_EQ(result.log[1], "MessageBox quorvel 0x10 | " + folder.output + kCauses[1].leftText);
        EXPECT_EQ(ReadFileBytes(folder.output), ConversionFolder::kOld);
        for (const std::string& name : folder.dir.List()) {
            if (name != "route.mem" && name != "route.xml") std::remove(folder.dir.File(name).c_str());
        }
    }
}

// Every call of a set's commit failed in turn: a user's file with a member's name stays, the set
// is the old one or the new one whole (or a journal is left that the next run completes), and the
// next run leaves the new set and nothing else beside it.
TEST(FaultSweep, EveryCallOfASetCommitFailsInTurn) {
    using Files = std::map<std::string, std::string>;
    const Files oldSet = {{"set-1.xml", "old 1"}, {"set-2.xml", "old 2"}, {"set-3.xml", "old 3"}};
    const Files newSet = {{"set-1.xml", "new 1"}, {"set-2.xml", "new 2"}};
    const auto write = [](const TempDir& dir, const Files& members) { return WriteSet(dir, members).empty(); };
    const auto members = [](const TempDir& dir) {
        Files files;
        for (const std::string& name : dir.List())
            if (name.rfind("set-", 0) == 0) files[name] = ReadFileBytes(dir.File(name));
        return files;
    };
    const auto prepare = [&](TempDir& dir) {
        ASSERT_TRUE(write(dir, oldSet));
        WriteFileBytes(dir.File("set-7.xml"), "the user's");
    };
    int clean[static_cast<int>(Call::kCount)] = {};
    {
        TempDir dir;
        prepare(dir);
        FailingPosixCalls counting;
        ASSERT_TRUE(write(dir, newSet));
        for (Call call : kSwept) clean[static_cast<int>(call)] = counting.Count(call);
    }
    int faults = 0;
    for (Call call : kSwept) {
        for (int nth = 1; nth <= clean[static_cast<int>(call)]; ++nth) {
            SCOPED_TRACE(std::string(FailingPosixCalls::Name(call)) + " #" + std::to_string(nth));
            TempDir dir;
            prepare(dir);
            bool written = false;
            {
                FailingPosixCalls failing;
                failing.Fail(call, nth, EIO);
                written = write(dir, newSet);
            }
            Files expectedOld = oldSet, expectedNew = newSet;
            expectedOld["set-7.xml"] = expectedNew["set-7.xml"] = "the user's";
            const Files now = members(dir);
            if (!FileExists(StateFile(dir.Path(), "set.xml", ".journal"))) {
                EXPECT_TRUE(now == expectedNew || (!written && now == expectedOld)) << now.size() << " members";
            }
            ASSERT_TRUE(write(dir, newSet));
            EXPECT_EQ(members(dir), expectedNew);
            for (const std::string& name : dir.List())
                EXPECT_EQ(name.rfind("set-", 0), 0u) << name;
            ++faults;
        }
    }
    EXPECT_GT(faults, 50);
}
}  // namespace
