#include "maps/BatchPlan.h"

#include <map>
#include <set>

#include "maps/FormatRegistry.h"
#include "platform/HostSystem.h"
#include "platform/PathSplit.h"

namespace {
const Format& TargetOf(const BatchRequest& request) {
    return request.target ? *request.target : *FormatRegistry::Find("glorie");
}

// To a glorie document, a memory-point file and a file of no known format take the dialog's road.
bool TakesMemPointRoad(const CString& strInput, const BatchRequest& request) {
    if (&TargetOf(request) != FormatRegistry::Find("glorie")) return false;
    const Format* byName = FormatRegistry::ForInputPath(strInput.Str());
    return !byName || byName == FormatRegistry::Find("mem");
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

bool BatchPlan::Make(const BatchRequest& request, std::vector<BatchJob>& jobs, std::string& reason) {
    jobs.clear();
    if (request.merge) jobs.push_back({request.inputs, request.output, false});
    else
        for (const CString& input : request.inputs)
            jobs.push_back({{input}, OutputNameFor(input, request), TakesMemPointRoad(input, request)});
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
            reason = "出力ファイル " + job.output.Str() + " が入力と同じです";
            return false;
        }
        // A merge writes one output; a name the store refuses writes nothing.
        if (request.merge || (job.memPointRoad && !PathHasExtension(input, ".MEM"))) continue;
        const auto inserted = claimed.emplace(identity, input);
        if (!inserted.second) {
            reason = "出力ファイル " + job.output.Str() + " が " + inserted.first->second.Str() + " と " + input.Str() +
                     " の両方から作られます";
            return false;
        }
    }
    return true;
}
