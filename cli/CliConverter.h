#pragma once
// The command-line converter: the arguments parsed, the conversions called, what they report
// printed, and the exit status picked.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "pipeline/BatchPlan.h"
#include "pipeline/Conversion.h"
#include "platform/CString.h"
#include "res/Version.h"

class CliConverter {
public:
    enum ExitStatus {
        kExitConverted = 0,
        kExitFailed = 1,
        kExitUsage = 2
    };

    static constexpr const char* kVersionText = QV_TEXT_ABOUT_VERSION;  // the about box's
    // -o -: a document that failed after some of its bytes went out.
    static constexpr const char* kIncompleteOutput = "標準出力に書いた文書は途中までです。完全な文書ではないので使わないで下さい";

    // Summaries and lists go to out; messages and usage errors to err.
    CliConverter(std::ostream& out, std::ostream& err, CString strProgramName);

    // Arguments without the program's own name; returns the exit status.
    int Run(const std::vector<std::string>& args);

private:
    int Usage(const std::string& reason);
    void WriteHelp();
    int ConvertAll(const CliArguments& args);
    int ListAll(const CliArguments& args);
    void Print(const ConversionMessage& message);
    void FlushErrors();
    bool PrepareFolder(const CliArguments& args);
    bool ReadStandardInputInto(Conversion& conversion, const CliArguments& args);
    int ConvertToStandardOutput(Conversion& conversion, const BatchJob& job);
    void PrintTotals();
    void PrintList(const CString& strInput, const ListResult& listed, bool bFirst);

    std::ostream& m_out;
    std::ostream& m_err;
    CString m_strProgramName;
    std::string m_pendingErrors;
    std::shared_ptr<const UserReadings> m_userReadings;  // --readings, read once for every input
    bool m_bDocumentToOutput = false;                    // -o -: standard output holds the document, all else goes to err
    long m_warnings = 0;                                 // this run's, for the closing line
    long m_refusals = 0;
};
