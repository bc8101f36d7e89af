#include "platform/CFileException.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {
TEST(CFileException, WhatGivesTheCauseThePathAndTheSystemsText) {
    struct Row {
        int cause;
        long os;
        const char* name;
        std::string what;
    };
    const Row rows[] = {
        {CFileException::diskFull, ENOSPC, "/home/u/地図/out.xml", "diskFull: /home/u/地図/out.xml: No space left on device (errno 28)"},
        {CFileException::fileNotFound, ENOENT, "in.gpx", "fileNotFound: in.gpx: No such file or directory (errno 2)"},
        // A number with no cause of its own keeps its number and the system's text.
        {CFileException::generic, 4242, "a.xml", "generic: a.xml: Unknown error 4242 (errno 4242)"},
        {CFileException::endOfFile, -1, "", "endOfFile: untitled"},
        {99, 0, "b.xml", "generic: b.xml"},
    };
    for (const Row& row : rows) {
        const CFileException error(row.cause, row.os, CString(row.name));
        EXPECT_EQ(error.what(), row.what) << row.cause;
        const CFileException copy = error;  // the text is the copy's own
        EXPECT_EQ(copy.what(), row.what) << row.cause;
    }
}
}  // namespace
