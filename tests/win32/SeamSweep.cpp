// Every Win32 call of the seam failed in turn under the host services that make it: each failure
// is reported with the file and the system's text, or gives the documented fallback, and a
// document or a set is never left half-replaced. Every call that can fail must be reached.
#include "SeamSweep.h"

#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "FailingWin32Calls.h"
#include "platform/CFile.h"
#include "platform/CSaveFile.h"
#include "platform/HostSystem.h"
#include "platform/MappedFile.h"
#include "platform/OutputSet.h"
#include "platform/StandardOutput.h"
#include "platform/win32/Console.h"
#include "platform/win32/TempFiles.h"
#include "platform/win32/WideText.h"

namespace {
using Call = FailingWin32Calls::Call;

std::string Bytes(const std::string& path) {
    std::string bytes;
    HANDLE file = ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(none)";
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

void Put(const std::string& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

// The calls of the sweep, with what the test cannot give a program run inside Wine put in:
// standard input and output are files of the folder, the command line holds a pattern, and the
// temporary folder is the test's.
class SweepCalls : public FailingWin32Calls {
public:
    explicit SweepCalls(const std::string& folder) : m_folder(Utf8ToWide(folder)) {}
    HANDLE GetStdHandle(DWORD which) override {
        const HANDLE handle = FailingWin32Calls::GetStdHandle(which);
        if (handle == INVALID_HANDLE_VALUE) return handle;
        const bool input = which == STD_INPUT_HANDLE;
        m_std = ::CreateFileW((m_folder + (input ? L"in.txt" : L"out.txt")).c_str(), input ? GENERIC_READ : GENERIC_WRITE, 0,
                              nullptr, input ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr);
        return m_std;
    }
    DWORD CommandLineArguments(std::vector<std::wstring>& arguments) override {
        const DWORD error = FailingWin32Calls::CommandLineArguments(arguments);
        arguments = {L"quorvel-cli.exe", m_folder + L"*.txt"};
        return error;
    }
    DWORD GetTempPath(DWORD room, wchar_t* buffer) override {
        const DWORD length = FailingWin32Calls::GetTempPath(room, buffer);
        if (length == 0) return 0;
        lstrcpynW(buffer, m_folder.c_str(), static_cast<int>(room));
        return static_cast<DWORD>(m_folder.size());
    }
    ~SweepCalls() override {
        if (m_std != nullptr && m_std != INVALID_HANDLE_VALUE) ::CloseHandle(m_std);
    }

private:
    std::wstring m_folder;
    HANDLE m_std = nullptr;
};

// A file failure as a caller words it: the cause, the file as named, the system's text.
std::string Report(const CFileException& error) { return error.what(); }

struct Operation {
    const char* name;
    // Runs in folder (ends with a backslash); "" when it went through or fell back as documented,
    // else its report, which must name expected (or "" when the caller names the file).
    std::function<std::string(const std::string& folder, std::string& expected)> run;
};

void Expect(bool condition, const std::string& why) {
    if (!condition) throw std::runtime_error(why);
}

const Operation kOperations[] = {
    {"document over an earlier one",
     [](const std::string& folder, std::string& expected) {
         expected = folder + "doc.xml";
         Put(expected, "old");
         try {
             CSaveFile file;
             CFileException error;
             if (!file.Open(CString(expected), &error)) return Report(error);
             file.Write("new", 3);
             file.Commit();
         } catch (const CFileException& error) {
             Expect(Bytes(expected) == "old", "the earlier document changed: " + Bytes(expected));
             return Report(error);
         }
         Expect(Bytes(expected) == "new", "the new document is not in place");
         return std::string();
     }},
    {"file read whole",
     [](const std::string& folder, std::string& expected) {
         expected = folder + "in.mem";
         Put(expected, "bytes");
         try {
             CFile file;
             CFileException error;
             if (!file.Open(CString(expected), CFile::modeRead, &error)) return Report(error);
             char buffer[8] = {};
             file.GetLength();
             Expect(std::string(buffer, file.Read(buffer, sizeof buffer)) == "bytes", "read other bytes");
             expected.clear();  // a read's close names no file, as the framework's does not
             file.Close();
         } catch (const CFileException& error) {
             return Report(error);
         }
         return std::string();
     }},
    {"file mapped",
     [](const std::string& folder, std::string& expected) {
         expected = folder + "in.gpx";
         Put(expected, "mapped");
         MappedFile file;
         CFileException error;
         if (!file.Open(CString(expected), &error)) return Report(error);
         Expect(std::string(reinterpret_cast<const char*>(file.Data()), file.Size()) == "mapped", "mapped other bytes");
         return std::string();
     }},
    {"set replacing a longer one",
     [](const std::string& folder, std::string& expected) {
         expected = "";  // a member, or a file of the state folder
         const auto write = [&](const std::map<std::string, std::string>& members) {
             try {
                 OutputSet set(CString(folder + "set.xml"));
                 for (const auto& member : members) {
                     CSaveFile& file = set.Add(CString(folder + member.first));
                     file.Write(member.second.data(), static_cast<unsigned>(member.second.size()));
                     set.Finish(file);
                 }
                 set.Commit();
             } catch (const CFileException& error) {
                 return Report(error);
             }
             return std::string();
         };
         {
             Win32Calls* below = Win32Calls::Replace(nullptr);  // the earlier set, made unfailed
             Expect(write({{"set-1.xml", "o1"}, {"set-2.xml", "o2"}}).empty(), "the earlier set failed");
             Win32Calls::Replace(below);
         }
         const std::string failure = write({{"set-1.xml", "n1"}});
         const std::string first = Bytes(folder + "set-1.xml");
         Expect(first == "n1" || (first == "o1" && !failure.empty()), "the set is neither old nor new: " + first);
         return failure;
     }},
    {"current folder",
     [](const std::string&, std::string&) {
         const CString folder = GetCurrentFolder();
         Expect(folder.IsEmpty() || folder.Str().find(':') == 1, "no full path: " + folder.Str());
         return std::string();
     }},
    {"identity of a file",
     [](const std::string& folder, std::string&) {
         Put(folder + "x.xml", "x");
         Expect(!FileIdentity(CString(folder + "x.xml")).IsEmpty(), "no identity");
         return std::string();
     }},
    {"program and documents folders",
     [](const std::string&, std::string&) {
         const std::string program = ProgramFolder().Str(), file = ProgramFileName();
         Expect(program.empty() || file.rfind(program, 0) == 0 || file.empty(), "the program is not in its folder");
         DocumentsFolder();
         return std::string();
     }},
    {"folder made",
     [](const std::string& folder, std::string&) {
         std::string reason;
         return MakeFolder(CString(folder + "made"), reason) ? std::string() : reason;
     }},
    {"temporary folder made and removed",
     [](const std::string& folder, std::string& expected) {
         expected = folder;
         std::string reason;
         const CString made = MakeTemporaryFolder(reason);
         if (made.IsEmpty()) return reason;
         Expect(made.Str().rfind(folder + "quorvel-", 0) == 0, "made elsewhere: " + made.Str());
         return RemovePath(made, true, &reason) ? std::string() : reason;
     }},
    {"system text",
     [](const std::string&, std::string&) {
         const std::string text = CFileException::OsErrorText(ERROR_ACCESS_DENIED);
         Expect(text.size() > 10 && text.compare(text.size() - 9, 9, "(error 5)") == 0, "no code: " + text);
         return std::string();
     }},
    {"arguments with a pattern",
     [](const std::string& folder, std::string&) {
         Put(folder + "a.txt", "a");
         const std::vector<std::string> args = ConsoleArguments();
         Expect(args.empty() || args.size() == 2, "arguments: " + std::to_string(args.size()));
         return std::string();
     }},
    {"standard input",
     [](const std::string& folder, std::string&) {
         Put(folder + "in.txt", "piped");
         std::string bytes, reason;
         if (!ReadStandardInput(bytes, reason)) return reason;
         Expect(bytes == "piped", "read other bytes: " + bytes);
         return std::string();
     }},
    {"standard output",
     [](const std::string&, std::string&) {
         ConsoleOutput out(STD_OUTPUT_HANDLE);
         out.sputn("text\n", 5);
         out.pubsync();
         return std::string();
     }},
    {"document streamed to standard output",
     [](const std::string& folder, std::string& expected) {
         expected = StandardOutput::kName;
         // Standard output is a file of the test's own meanwhile.
         const std::string path = folder + "out.bin";
         const HANDLE kept = ::GetStdHandle(STD_OUTPUT_HANDLE);
         const HANDLE file = ::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
         ::SetStdHandle(STD_OUTPUT_HANDLE, file);
         std::string report;
         try {
             StandardOutput output;
             output.Write("doc\n\x93\x8C", 6);
             output.Finish();
         } catch (const CFileException& error) {
             report = Report(error);
         }
         ::SetStdHandle(STD_OUTPUT_HANDLE, kept);
         ::CloseHandle(file);
         if (report.empty()) Expect(Bytes(path) == "doc\n\x93\x8C", "standard output got other bytes: " + Bytes(path));
         return report;
     }},
    {"console control",
     [](const std::string&, std::string&) {
         RemoveTempFilesOnSignals();
         return std::string();
     }},
};

// A folder of its own for each run of an operation.
std::string NewFolder(const std::string& scratch, int& serial) {
    const std::string folder = scratch + "sweep-" + std::to_string(++serial) + "\\";
    ::CreateDirectoryW(Utf8ToWide(folder).c_str(), nullptr);
    return folder;
}
}  // namespace

void TestEveryCallFailsInTurn(const std::string& scratch) {
    int serial = 0;
    std::set<Call> reached;
    // WriteConsole needs a console, which the tests run inside Wine do not have.
    const std::set<Call> unreached = {Call::WriteConsole};
    const std::string systemText = CFileException::OsErrorText(ERROR_ACCESS_DENIED);
    int faults = 0;
    for (const Operation& operation : kOperations) {
        // The calls this operation makes, counted clean.
        std::map<Call, int> counts;
        {
            const std::string folder = NewFolder(scratch, serial);
            SweepCalls counting(folder);
            std::string expected;
            const std::string report = operation.run(folder, expected);
            Expect(report.empty(), std::string(operation.name) + " failed unfailed: " + report);
            for (Call call : FailingWin32Calls::AllCalls()) {
                counts[call] = counting.Count(call);
                if (counts[call] > 0) reached.insert(call);
            }
        }
        for (Call call : FailingWin32Calls::AllCalls()) {
            if (!FailingWin32Calls::CanFail(call)) continue;
            for (int nth = 1; nth <= counts[call]; ++nth) {
                const std::string where = std::string(operation.name) + ": " + FailingWin32Calls::Name(call) + " #" + std::to_string(nth);
                const std::string folder = NewFolder(scratch, serial);
                std::string expected, report;
                try {
                    SweepCalls failing(folder);
                    failing.Fail(call, nth, ERROR_ACCESS_DENIED);
                    report = operation.run(folder, expected);
                } catch (const std::exception& error) {
                    throw std::runtime_error(where + ": " + error.what());
                }
                ++faults;
                if (report.empty()) continue;
                if (call == Call::GetTempPath) expected.clear();  // no folder to name: the system's is not known
                Expect(report.find(systemText) != std::string::npos, where + ": no system text in \"" + report + "\"");
                Expect(report.find(expected) != std::string::npos, where + ": \"" + expected + "\" not in \"" + report + "\"");
            }
        }
    }
    for (Call call : FailingWin32Calls::AllCalls())
        Expect(!FailingWin32Calls::CanFail(call) || reached.count(call) || unreached.count(call),
               std::string(FailingWin32Calls::Name(call)) + " is in the seam but no operation here makes it");
    Expect(faults > 60, "only " + std::to_string(faults) + " faults");
}
