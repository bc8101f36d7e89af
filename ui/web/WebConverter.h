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
    // edits: {input: {point index: {name, reading}}}}. Rewrites the edited inputs, then converts
    // as `quorvel-cli INPUTS --to TO --reading none [--bom] [--merge -o OUTPUT]` does; answers
    // {plan (the usage error, or ""), jobs: [{inputs, output, ok, outputs, messages}],
    // generated: [inputs rewritten], editMessages, ms}.
    static std::string Convert(const std::string& request);

    // The same request's inputs listed as `quorvel-cli --list` lists them: {lists: [{input, read,
    // ok, count, messages}], ms}; points gets one line a point (fields by tabs, tab, line break and
    // backslash escaped): hasUnit, unit name, unit reading, their CP932 lengths, Tokyo latitude
    // and longitude, digits, shifted, WGS 84 latitude and longitude as the CLI prints them and in
    // full, method (or why no shift), the name as read. A list of 100,000 points is no JSON.
    static std::string List(const std::string& request, std::string& points);
};
