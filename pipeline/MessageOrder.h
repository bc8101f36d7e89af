#pragma once
// What a conversion says, in the order it happened: into the results, or to a sink as it happens.
// An input read in batches says one step's messages a pass, so that they come in the order of an
// input read whole.
#include <array>
#include <cstddef>
#include <functional>
#include <vector>

#include "pipeline/ConversionMessage.h"

class MessageOrder {
public:
    // The steps of reading an input whose messages come in this order, each for every point.
    enum Step {
        kAnyStep,
        kReaderStep,  // the reader's warnings and refusals
        kMapStep,     // points no map can hold
        kShiftStep,   // the datum shift
        kUnitStep,    // the unit's checks
        kSteps
    };
    using Sink = std::function<void(const ConversionMessage&)>;

    void SetSink(Sink sink) { m_sink = std::move(sink); }
    // What is said now comes of step.
    void SetStep(Step step) { m_step = step; }
    // False when the message is not said now (SayOnly).
    bool Say(std::vector<ConversionMessage>& messages, ConversionMessage message);
    // Only step's messages said from now; kAnyStep says every message, kSteps none.
    void SayOnly(Step step) {
        m_sayOnly = step;
        m_unsaid = {};
    }
    // The messages of each step not said since SayOnly.
    const std::array<std::size_t, kSteps>& Unsaid() const { return m_unsaid; }

private:
    Sink m_sink;
    Step m_step = kAnyStep;
    Step m_sayOnly = kAnyStep;
    std::array<std::size_t, kSteps> m_unsaid = {};
};
