#include "pipeline/MessageOrder.h"

#include <utility>

bool MessageOrder::Say(std::vector<ConversionMessage>& messages, ConversionMessage message) {
    if (m_sayOnly != kAnyStep && m_step != m_sayOnly && m_step != kAnyStep) {
        ++m_unsaid[m_step];
        return false;
    }
    if (m_sayOnly == kSteps) return false;
    if (m_sink)
        m_sink(message);
    else
        messages.push_back(std::move(message));
    return true;
}
