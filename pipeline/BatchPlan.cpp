#include "pipeline/BatchPlan.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "formats/FormatRegistry.h"
#include "platform/CFile.h"
#include "platform/HostSystem.h"
#include "platform/PathSplit.h"

namespace {
const Format& TargetOf(const BatchRequest& request) {
    return request.target ? *request.target : *FormatRegistry::Find("glorie");
}

// To a glorie document, a memory-point file and a file of no known format go record for record
// (ConversionOptions::recordForRecord): one document each, none for a name the reader refuses.
bool TakesMemPointRoad(const CString& strInput, const BatchRequest& request) {
    if (&TargetOf(request) != FormatRegistry::Find("glorie")) return false;
    const Format* byName = FormatRegistry::ForInputPath(strInput.Str());
    return !byName || byName == FormatRegistry::Find("mem");
}

// The most points an input can yield, known before it is read: a point takes at least three bytes
// of its file (two numbers and what parts them). A KMZ, a file the name does not type (it may be
// one), standard input and a file that is no regular file may hold up to the input limit.
std::uint64_t MostPoints(const CString& strInput) {
    constexpr std::uint64_t kLeastPointBytes = 3;
    std::uint64_t bytes = kMaxInputBytes;
    const Format* byName = FormatRegistry::ForInputPath(strInput.Str());
    if (strInput.Str() != "-" && byName && byName != FormatRegistry::Find("kmz") && IsRegularFile(strInput)) {
        CFile file;
        try {
            if (file.Open(strInput, CFile::modeRead | CFile::shareDenyWrite)) bytes = std::min<std::uint64_t>(file.GetLength(), kMaxInputBytes);
        } catch (const CFileException&) {
            // Unmeasured: the limit stands.
        }
    }
    return bytes / kLeastPointBytes + 1;
}

// The number of NAME-NUMBER.EXT (digits only, no sign), or 0 with no such number.
std::uint64_t MemberNumber(const CString& fname, std::size_t& dash) {
    const std::string& name = fname.Str();
    dash = name.rfind('-');
    if (dash == std::string::npos || dash + 1 == name.size() || name.size() - dash - 1 > 19) return 0;
    std::uint64_t number = 0;
    for (std::size_t i = dash + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + static_cast<std::uint64_t>(name[i] - '0');
    }
    return number;
}

// Members numbered as wide as the last one's: a set of at most most members has member number
// written digits wide at some count when the count can have that many digits.
bool CanBeMember(std::uint64_t number, std::size_t digits, std::uint64_t most) {
    return number >= 1 && number <= most && most >= 2 && digits <= std::to_string(most).size() &&
           digits >= std::to_string(number).size();
}
}  // namespace

CString BatchPlan::OutputNameFor(const CString& strInput, const BatchRequest& request) {
    if (request.hasOutput) return request.output;
    const CString extension = TargetOf(request).extensions[0] + 1;
    const PathParts parts = SplitPath(strInput);
    CString joined = request.folder;
    if (request.hasFolder) {
        const char last = joined.GetAt(joined.GetLength() - 1);
        // A slash, not the runtime's backslash: it separates on every host.
        if (last != '/' && last != '\\') joined += '/';
    }
    const auto named = [&](const CString& fname) {
        return request.hasFolder ? joined + fname + "." + extension : MakePath(parts.drive, parts.dir, fname, extension);
    };
    // A name derived over its own input (GPX to GPX) is given one of its own rather than refused.
    const CString output = named(parts.fname);
    return FileIdentity(output) == FileIdentity(strInput) ? named(parts.fname + ".converted") : output;
}

bool BatchPlan::Make(const BatchRequest& request, std::vector<BatchJob>& jobs, Message& reason) {
    jobs.clear();
    if (request.merge) jobs.push_back({request.inputs, request.output});
    else
        for (const CString& input : request.inputs) jobs.push_back({{input}, OutputNameFor(input, request)});
    // Two inputs writing one output would silently lose the first document; an output over an
    // input of the batch (its own, or one read after it) would lose that input.
    std::set<CString> inputIdentities;
    for (const CString& input : request.inputs) inputIdentities.insert(FileIdentity(input));
    std::map<CString, CString> claimed;
    for (std::size_t i = 0; i < request.inputs.size(); ++i) {
        const CString& input = request.inputs[i];
        const BatchJob& job = jobs[request.merge ? 0 : i];
        const CString identity = FileIdentity(job.output);
        if (inputIdentities.count(identity)) {
            reason = Message(MessageId::outputIsInput, job.output.Str());
            return false;
        }
        // A merge writes one output; a name the store refuses writes nothing.
        if (request.merge || (TakesMemPointRoad(input, request) && !PathHasExtension(input, ".MEM"))) continue;
        const auto inserted = claimed.emplace(identity, input);
        if (!inserted.second) {
            reason = Message(MessageId::outputFromTwo, job.output.Str(), inserted.first->second.Str(), input.Str());
            return false;
        }
    }
    // An input with the name of a member of a set (NAME-2.xml beside NAME.xml, at any width the
    // numbering can take) would be replaced before it is read, or lost to a later job.
    const Format& target = TargetOf(request);
    if (target.pointsPerFile <= 0) return true;
    std::map<CString, std::size_t> sets;  // an output's identity -> its job
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (request.merge || !TakesMemPointRoad(jobs[i].inputs[0], request)) sets[FileIdentity(jobs[i].output)] = i;  // the unit's road writes one document
    for (const CString& input : request.inputs) {
        if (input.Str() == "-") continue;
        const PathParts parts = SplitPath(input);
        std::size_t dash = 0;
        const std::uint64_t number = MemberNumber(parts.fname, dash);
        if (number == 0) continue;
        const CString setName = MakePath(parts.drive, parts.dir, CString(parts.fname.Str().substr(0, dash)),
                                         parts.ext.IsEmpty() ? CString() : parts.ext.Mid(1));
        const auto set = sets.find(FileIdentity(setName));
        if (set == sets.end()) continue;
        // The inputs are measured only for a name that could clash.
        std::uint64_t points = 0;
        for (const CString& source : jobs[set->second].inputs) points += MostPoints(source);
        const std::uint64_t most = (points + target.pointsPerFile - 1) / target.pointsPerFile;
        if (!CanBeMember(number, parts.fname.Str().size() - dash - 1, most)) continue;
        const BatchJob& job = jobs[set->second];
        std::string from;
        for (const CString& source : job.inputs) from += (from.empty() ? "" : ", ") + source.Str();
        reason = Message(MessageId::inputIsSetMember, input.Str(), from, job.output.Str());
        return false;
    }
    return true;
}
