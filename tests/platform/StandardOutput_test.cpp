// Standard output as a document's sink: every byte in order across pipes that take a part, and
// each failure of the system a CFileException naming the stream, with what went out told apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/StandardOutput.h"
#include "support/CapturedStandardOutput.h"
#include "support/FailingPosixCalls.h"

namespace {
using Call = FailingPosixCalls::Call;

// A document of size bytes that shows where any byte went missing or came twice.
std::string Document(std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; bytes.size() < size; ++i) bytes += std::to_string(i) + (i % 7 ? ',' : '\n');
    bytes.resize(size);
    return bytes;
}

TEST(StandardOutput, EveryByteGoesOutInOrderWhateverThePipeTakes) {
    const struct {
        const char* what;
        std::size_t size;
        int shortCall;  // 0: none is short
        std::size_t shortBytes;
        int interrupted;  // the call that EINTR stops first (0: none)
        int calls;        // the seam's writes in all
    } cases[] = {
        {"nothing", 0, 0, 0, 0, 0},
        {"under the buffer", 100, 0, 0, 0, 1},
        {"the buffer and a byte", StandardOutput::kBufferBytes + 1, 0, 0, 0, 1},
        {"a pipe taking 10 bytes of the first", 3000, 1, 10, 0, 2},
        {"a pipe taking 1 byte of the second", 2 * StandardOutput::kBufferBytes + 5, 2, 1, 0, 3},
        {"interrupted before any byte", 500, 0, 0, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CapturedStandardOutput captured;
        {
            FailingPosixCalls failing;
            if (c.shortCall) failing.Short(Call::WriteStandardOutput, c.shortCall, c.shortBytes);
            if (c.interrupted) failing.Fail(Call::WriteStandardOutput, c.interrupted, EINTR);
            StandardOutput output;
            const std::string document = Document(c.size);
            // In uneven pieces, as the writers hand their parts over.
            for (std::size_t at = 0; at < document.size(); at += 4093)
                output.Write(document.data() + at, std::min<std::size_t>(4093, document.size() - at));
            output.Finish();
            EXPECT_EQ(captured.bytes, document);
            EXPECT_EQ(output.Sent(), c.size);
            EXPECT_EQ(failing.Count(Call::WriteStandardOutput), c.calls);
        }
    }
}

TEST(StandardOutput, AFailureNamesTheStreamAndSaysWhetherBytesWentOut) {
    const struct {
        const char* what;
        std::size_t size;
        int failCall;
        int err;  // 0: the call takes no byte and says nothing
        int cause;
        bool started;
        std::size_t captured;
    } cases[] = {
        {"a full disk on the only write", 100, 1, ENOSPC, CFileException::diskFull, false, 0},
        {"an I/O error on the only write", 100, 1, EIO, CFileException::hardIO, false, 0},
        {"no byte taken and no error", 100, 1, 0, CFileException::diskFull, false, 0},
        {"a full disk after the first buffer", StandardOutput::kBufferBytes + 10, 2, ENOSPC, CFileException::diskFull, true,
         StandardOutput::kBufferBytes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CapturedStandardOutput captured;
        FailingPosixCalls failing;
        if (c.err)
            failing.Fail(Call::WriteStandardOutput, c.failCall, c.err);
        else
            failing.Short(Call::WriteStandardOutput, c.failCall, 0);
        StandardOutput output;
        const std::string document = Document(c.size);
        int cause = -1;
        std::string name;
        try {
            // A buffer's worth at a time: the first goes out before the rest is written.
            for (std::size_t at = 0; at < document.size(); at += StandardOutput::kBufferBytes)
                output.Write(document.data() + at, std::min(StandardOutput::kBufferBytes, document.size() - at));
            output.Finish();
        } catch (const CFileException& error) {
            cause = error.m_cause;
            name = error.m_strFileName.Str();
        }
        EXPECT_EQ(cause, c.cause);
        EXPECT_EQ(name, "標準出力");
        EXPECT_EQ(output.Started(), c.started);
        EXPECT_EQ(captured.bytes, document.substr(0, c.captured));
        // Nothing more goes out once it failed: the reader would get a document with a hole.
        EXPECT_THROW(output.Write("x", 1), CFileException);
        EXPECT_THROW(output.Finish(), CFileException);
        EXPECT_EQ(captured.bytes.size(), c.captured);
    }
}
}  // namespace
