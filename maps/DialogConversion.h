#pragma once
// The dialogs' conversion of map files: the command line's road (BatchPlan, Conversion) behind the
// interface the dialog's logic asks (app/IMapConversion.h), so both give the same documents.
#include <memory>

#include "app/IMapConversion.h"

class Conversion;

class DialogConversion : public IMapConversion {
public:
    // memPointFiles: a dialog that reads memory-point files only (no map kinds offered or taken).
    enum class Inputs {
        all,
        memPointFiles
    };
    explicit DialogConversion(Inputs inputs = Inputs::all);
    ~DialogConversion() override;
    DialogConversion(const DialogConversion&) = delete;
    DialogConversion& operator=(const DialogConversion&) = delete;

    std::vector<InputKind> InputKinds() const override;
    bool Takes(const CString& strInput) const override;
    MemPointOutcome ConvertMemPoints(const CString& strInput, const CString& strOutput) override;
    MapConversionOutcome Convert(const CString& strInput, const CString& strOutput, std::size_t notesKept) override;
    bool CountPoints(const CString& strInput, std::size_t& points) override;
    std::vector<CString> OutputNames(const CString& strOutput, std::size_t points) const override;

private:
    // Kept between conversions: the grid and the reading guesser are loaded once.
    std::unique_ptr<Conversion> m_conversion;
    Inputs m_inputs;
};
