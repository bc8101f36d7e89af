#pragma once
// The page's front to the core: the same batch plan, conversions and listing as quorvel-cli,
// asked and answered in JSON. The inputs are files in the current folder (MEMFS in the browser)
// named as the user's files are, so that every message and output name is the CLI's.
#include <string>

class WebConverter {
public:
    // The format table, for the page's choice of output: [{name, title, extension, takesBom,
    // pointsPerFile}].
    static std::string Formats();

    // request: {inputs: [names], to: format name, merge, output (the merged name), bom,
    // edits: {input: {point index: {name, reading}}}}. Lists every input and converts them as
    // `quorvel-cli INPUTS --to TO --reading none [--bom] [--merge -o OUTPUT]` does; answers
    // {lists: [{input, read, ok, points, messages}], plan (the usage error, or ""), jobs:
    // [{inputs, output, ok, outputs, messages}], generated: [inputs rewritten with the edits]}.
    static std::string Run(const std::string& request);
};
