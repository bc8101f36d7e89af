// Arbitrary bytes as a memory-point file, through the conversion the programs run, all in memory.
// A shorter input is laid over the empty image (so small inputs still make records); an input of
// the file's size or longer is the file itself (so wrong lengths are refused).
#include <cstddef>
#include <cstdint>
#include <string>

#include "DocumentCheck.h"
#include "FuzzHosts.h"
#include "pipeline/Conversion.h"
#include "mempoint/CMemPointStore.h"
#include "mempoint/MemPointFormat.h"
#include "support/MemImage.h"
#include "support/MemoryCalls.h"

using fuzzcheck::Require;

namespace {
const std::string& EmptyImage() {
    static const std::string image = MemImage().Bytes();
    return image;
}

// The texts must be printable CP932 for the document to be well-formed XML (control bytes are
// copied as they are).
bool TextsPrintable(const CMemPointStore& store) {
    CString text;
    for (int i = 0; i < store.GetCount(); ++i) {
        store.GetName(text, i);
        if (!fuzzcheck::IsPrintableCp932(text.Str())) return false;
        store.GetReading(text, i);
        if (!fuzzcheck::IsPrintableCp932(text.Str())) return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string file(reinterpret_cast<const char*>(data), size);
    if (size < mempoint::kFileSize) file += EmptyImage().substr(size);

    MemoryCalls calls("/mem");
    calls.SetFile("/mem/in.mem", file);
    // The dialog's road: the one document, record for record.
    ConversionOptions options;
    options.recordForRecord = true;
    options.oneDocument = true;
    Conversion conversion(options);

    const ConversionResult result = conversion.Convert({CString("in.mem")}, CString("out.xml"));
    Require(calls.OpenDescriptors() == 0, "a descriptor stays open after the conversion");
    Require(result.messages.empty(), "the dialog's road said something");
    if (file.size() != mempoint::kFileSize) {
        Require(result.stop == ConversionResult::Stop::notRead, "a file of the wrong length must be refused");
        Require(result.readFailure == "in.mem\n    は認識できないファイルです", "wrong refusal text");
        Require(calls.FileNames().size() == 1, "a refused file wrote something");
        return 0;
    }
    Require(result.ok && result.stop == ConversionResult::Stop::none, "a file of the right length must convert");
    // The store, read on its own, says how many points the document must hold.
    CMemPointStore store;
    Require(store.LoadImage(reinterpret_cast<const unsigned char*>(file.data()), file.size()), "the store refused the image");
    const int count = store.GetCount();
    Require(count >= 0 && count <= mempoint::kRecordCount, "count out of range");
    for (int i = 0; i < count; ++i) Require(file[mempoint::RecordOffset(i) + mempoint::kInUse] != 0, "a free record was counted");
    Require(count == mempoint::kRecordCount || file[mempoint::RecordOffset(count) + mempoint::kInUse] == 0, "the run ends early");
    Require(result.written == static_cast<std::size_t>(count), "document and store disagree on the count");
    Require(calls.FileNames().size() == 2 && calls.HasFile("/mem/out.xml"), "a temporary file was left behind");

    const std::string doc = calls.File("/mem/out.xml");
    const std::string shape = fuzzcheck::CheckDocumentShape(doc, count);
    Require(shape.empty(), shape);
    if (TextsPrintable(store)) {
        Require(fuzzcheck::IsPrintableCp932(doc, true), "the document breaks a CP932 character");
        const std::string lineEnds = fuzzcheck::CheckLineEnds(doc);
        Require(lineEnds.empty(), lineEnds);
        const std::string wellFormed = fuzzcheck::CheckWellFormed(doc);
        Require(wellFormed.empty(), wellFormed);
    }

    // Converting the same file again gives the same bytes.
    Require(conversion.Convert({CString("in.mem")}, CString("out.xml")).ok && calls.File("/mem/out.xml") == doc,
            "a second conversion differs");
    return 0;
}
