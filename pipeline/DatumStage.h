#pragma once
// An input's places shifted to the datum of the output (Tokyo for the unit's, else WGS 84), each
// point marked with how; the points the grid does not cover are counted or said.
#include <memory>
#include <vector>

#include "pipeline/ConversionMessage.h"

class DatumShift;
class MessageOrder;
struct ConversionInput;
struct ConversionOptions;
struct UnitTally;

class DatumStage {
public:
    DatumStage(const ConversionOptions& options, MessageOrder& say);
    ~DatumStage();
    DatumStage(const DatumStage&) = delete;
    DatumStage& operator=(const DatumStage&) = delete;

    void Shift(ConversionInput& input, bool bToTokyo, UnitTally& tally, std::vector<ConversionMessage>& messages);

private:
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);

    const ConversionOptions& m_options;
    MessageOrder& m_say;
    std::unique_ptr<DatumShift> m_shift;  // made when first needed: the grid is large
};
