#include "maps/Place.h"

#include <cstring>
#include <new>

namespace {
// A numbered name's number fits the word's 31 bits above the origin.
constexpr std::uint32_t kMaxNumbered = (1u << 31) - 1;
}  // namespace

Place::Place(const Place& other) : latitude(other.latitude), longitude(other.longitude) {
    if (other.IsInline()) {
        m_word = other.m_word;
        return;
    }
    m_word = kInline | std::uint64_t{other.Block()->bits} << 1;
    const Details* details = other.Block()->details;
    Rebuild(std::string_view(other.Block()->Text(), other.Block()->size), nullptr);
    if (details) {
        Details& copy = Make();
        copy.reading = details->reading;
        copy.digits = details->digits;
        if (details->record) copy.record = std::make_unique<const RecordText>(*details->record);
    }
}

std::string Place::Name() const {
    if (!IsInline()) return std::string(Block()->Text(), Block()->size);
    return Numbered() ? "地点 " + std::to_string(Numbered()) : std::string();
}

void Place::SetName(std::string_view name) {
    if (IsInline() && name.empty()) {
        m_word &= ~(~std::uint64_t{0} << 33);  // no number
        return;
    }
    Rebuild(name, Found());
}

void Place::SetNumberedName(std::uint32_t number) {
    if (!IsInline() || number > kMaxNumbered) return SetName("地点 " + std::to_string(number));
    m_word = (m_word & ~(~std::uint64_t{0} << 33)) | std::uint64_t{number} << 33;
}

Place::Details& Place::Make() {
    if (Details* details = Found()) return *details;
    // A numbered name becomes text: the block holds the name as it is.
    auto details = std::make_unique<Details>();
    Rebuild(Name(), details.get());
    return *details.release();
}

void Place::Rebuild(std::string_view name, Details* details) {
    void* memory = ::operator new(sizeof(Header) + name.size());
    Header* block = new (memory) Header{details, Bits(), static_cast<std::uint32_t>(name.size())};
    if (!name.empty()) std::memcpy(block->Text(), name.data(), name.size());
    if (!IsInline()) ::operator delete(Block());  // its details are the new block's now
    m_word = reinterpret_cast<std::uintptr_t>(block);
    // Neither a name nor details: back inline, as a place that never had them.
    if (name.empty() && !details) {
        const std::uint32_t bits = block->bits;
        ::operator delete(block);
        m_word = kInline | std::uint64_t{bits} << 1;
    }
}

void Place::Free() {
    if (IsInline()) return;
    delete Block()->details;
    ::operator delete(Block());
    m_word = kInline;
}
