#include "ui/web/WebProtocol.h"

#include <nlohmann/json.hpp>

#include "pipeline/PointListing.h"

std::string web_protocol::Json() {
    const nlohmann::json protocol = {
        {"options",
         {{"inputs", kInputs}, {"to", kTo}, {"merge", kMerge}, {"output", kOutput}, {"formatOptions", kFormatOptions}, {"epoch", kEpoch}, {"edits", kEdits}}},
        {"edit", {{"name", kEditName}, {"reading", kEditReading}}},
        {"buffers", {{"lineText", lineText}, {"points", points}, {"pointStarts", pointStarts}, {"markers", markers}}},
        {"markerNumbers", kMarkerNumbers},
        {"shownLines", kShownLines},
        {"fields", PointListing::PageFields()},
        {"editedFolder", kEditedFolder},
        {"files",
         {{"allZip", kAllZip},
          {"zipExtension", kZipExtension},
          {"messages", kMessagesFile},
          {"listMessages", kListMessagesFile}}},
    };
    return protocol.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
