#pragma once
// One press of the convert button over real files, with what the fault tests look at afterwards:
// the dialog's log, whether it closed, and the folder's contents.
#include <string>
#include <vector>

#include "support/TempDir.h"

// A hundred points with double-byte names and readings.
std::string HundredPoints();

struct PressResult {
    std::vector<std::string> log;  // RecordingDialogUi lines after the press
    int endResult = 0;
};

// A fresh dialog converts input into output once.
PressResult PressConvert(const std::string& input, const std::string& output);

// The lines of log that are the application's own boxes ("MessageBox quorvel ...").
int AppBoxes(const std::vector<std::string>& log);
bool Converted(const PressResult& result);
std::string Joined(const std::vector<std::string>& log);

// A folder holding route.mem and an earlier route.xml; the document a clean run writes.
struct ConversionFolder {
    ConversionFolder();
    void RestoreOldOutput() const;
    TempDir dir;
    std::string input;
    std::string output;
    std::string expected;  // the document of a clean run
    static constexpr const char* kOld = "an earlier document that must survive";
};
