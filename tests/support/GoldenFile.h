#pragma once
// Checked-in expected documents under tests/golden/, compared byte for byte.
#include <gtest/gtest.h>

#include <string>

// The path of a golden document by its file name.
std::string GoldenPath(const std::string& name);

// Success when bytes equal the golden document; otherwise names the first differing byte and line.
// With QUORVEL_UPDATE_GOLDEN set, the document is rewritten from bytes and the check fails, so
// that an update is never taken for a pass.
::testing::AssertionResult MatchesGolden(const std::string& bytes, const std::string& name);
