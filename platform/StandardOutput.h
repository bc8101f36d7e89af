#pragma once
// Standard output as the sink of a document streamed to it: the bytes as the writer makes them
// (no code page, no line ends changed), gathered and handed to the system through the OS seam
// 64 KiB at a time. A document that fails before its first bytes went out can still be dropped
// whole; after that, what went out cannot be taken back, and Started says so.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CFileException.h"
#include "text/ByteSink.h"

class StandardOutput : public ByteSink {
public:
    // The name failures give the stream ("標準出力").
    static const char* const kName;

    StandardOutput() = default;
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;
    ~StandardOutput() override = default;  // what is pending and not finished is dropped

    // Throws CFileException (named kName) when the system refuses the bytes; nothing more may be
    // written after that.
    void Write(const void* bytes, std::size_t count) override;
    // Everything pending handed to the system; throws as Write.
    void Finish();
    // What is pending forgotten: the document failed.
    void Drop() noexcept { m_pending.clear(); }
    // Bytes the system has taken: a document it failed is then incomplete at the reader's end.
    bool Started() const { return m_sent > 0; }
    std::uint64_t Sent() const { return m_sent; }

    static constexpr std::size_t kBufferBytes = 64 * 1024;

private:
    void Send();
    // Some of bytes[0..count) to the system: how many it took (0 for none), or false with the
    // host's error code.
    static bool SendSome(const char* bytes, std::size_t count, std::size_t& taken, long& osError);

    std::string m_pending;
    std::uint64_t m_sent = 0;
    bool m_bFailed = false;
};
