#pragma once
// Which outputs a batch of inputs writes, decided before any file is touched.
#include <string>
#include <vector>

#include "places/Format.h"
#include "platform/CString.h"
#include "text/Message.h"

struct BatchRequest {
    std::vector<CString> inputs;
    const Format* target = nullptr;  // null: a glorie document
    CString output;                  // the one output (one input, or merge)
    CString folder;                  // outputs go here instead of beside their inputs
    bool hasOutput = false;
    bool hasFolder = false;
    bool merge = false;  // every input into the one output, in order
};

struct BatchJob {
    std::vector<CString> inputs;
    CString output;
};

class BatchPlan {
public:
    // The jobs in order; false with the reason when two inputs would write one output or an
    // output would overwrite an input, or an input has the name of a member its set could have.
    // Names are compared by the file they stand for.
    static bool Make(const BatchRequest& request, std::vector<BatchJob>& jobs, Message& reason);
    // -o as given, else in the folder, else beside the input, with the target's extension; a name
    // that would be the input itself becomes NAME.converted.EXT.
    static CString OutputNameFor(const CString& strInput, const BatchRequest& request);
};
