#pragma once
// Where a document's bytes go as a writer makes them: a file being saved, standard output, memory.
// A writer only writes; opening, syncing and putting a file in place are the file layer's.
#include <cstddef>
#include <string>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // count bytes from bytes, in order after the ones before. Throws the sink's own failure
    // (a file's CFileException); after a throw nothing more may be written.
    virtual void Write(const void* bytes, std::size_t count) = 0;
};

// The bytes kept in memory: a document made whole before it goes anywhere, and the tests'.
class StringSink : public ByteSink {
public:
    void Write(const void* bytes, std::size_t count) override { m_bytes.append(static_cast<const char*>(bytes), count); }
    const std::string& Bytes() const { return m_bytes; }
    std::string Take() { return std::move(m_bytes); }

private:
    std::string m_bytes;
};
