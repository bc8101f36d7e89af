#pragma once
// What the page's scripts and the core agree on, said here alone: the worker asks for it as JSON
// (quorvel_protocol) when the core starts and hands it to the page. The names of a request's
// options, the buffers beside an answer and how they are laid out, how many message lines an
// answer carries, the names of the files the page makes.
#include <cstddef>
#include <string>

namespace web_protocol {
// A request's options (WebConverter::Convert), and an edit's fields.
constexpr const char* kInputs = "inputs";
constexpr const char* kTo = "to";
constexpr const char* kMerge = "merge";
constexpr const char* kOutput = "output";
// {word: value} of the options the format table's rows declare ("--bom": 1).
constexpr const char* kFormatOptions = "formatOptions";
constexpr const char* kEpoch = "epoch";  // "jgd2000": JGD2000's positions, without the corrections
constexpr const char* kEdits = "edits";
constexpr const char* kEditName = "name";
constexpr const char* kEditReading = "reading";

// The buffers of the last answer, by number (quorvel_buffer).
enum Buffer : int {
    lineText = 0,
    points = 1,
    pointStarts = 2,
    markers = 3
};
// A marker is so many doubles: x, y, the point's line, latitude, longitude.
constexpr std::size_t kMarkerNumbers = 5;
// The message lines an answer carries as JSON; all of them are in the line text.
constexpr std::size_t kShownLines = 500;

// Where the worker puts the edited inputs, under the job's folder.
constexpr const char* kEditedFolder = "edited";
// The names of the files the page makes.
constexpr const char* kAllZip = "quorvel.zip";
constexpr const char* kZipExtension = ".zip";
constexpr const char* kMessagesFile = "quorvel-messages.txt";
constexpr const char* kListMessagesFile = "quorvel-list-messages.txt";

// All of it as one JSON object, the point listing's fields included.
std::string Json();
}  // namespace web_protocol
