#pragma once
// The command-line converter: the dialog's conversion for one or many files, without windows.
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "convert/CPoiTable.h"
#include "mempoint/CMemPointStore.h"
#include "platform/CString.h"

class CliConverter {
public:
    enum ExitStatus { kExitConverted = 0, kExitFailed = 1, kExitUsage = 2 };

    static constexpr const char* kVersionText = "Quorvel Version 1.100";

    // Summaries and lists go to out; message boxes and usage errors to err.
    CliConverter(std::ostream& out, std::ostream& err, CString strProgramName);

    // Arguments without the program's own name; returns the exit status.
    int Run(const std::vector<std::string>& args);

    // The output for one input: -o as given, else in the -d folder, else beside the input, with
    // the output format's extension.
    static CString OutputNameFor(const CString& strInput, const CliArguments& args);

private:
    int Usage(const std::string& reason);
    void WriteHelp();
    int ConvertAll(const CliArguments& args);
    int ListAll(const CliArguments& args);
    bool Load(const CString& strInput);
    bool ConvertOne(const CString& strInput, const CString& strOutput);

    std::ostream& m_out;
    std::ostream& m_err;
    CString m_strProgramName;
    CMemPointStore m_store;
    CPoiTable m_table;
};
