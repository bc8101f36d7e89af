#include "maps/Place.h"

#include <algorithm>
#include <new>

namespace {
// A numbered name's number fits the word's 31 bits above the origin.
constexpr std::uint32_t kMaxNumbered = (1u << 31) - 1;
constexpr std::uint64_t kNumberedBits = ~std::uint64_t{0} << 33;
}  // namespace

Place::Place(const Place& other) : latitude(other.latitude), longitude(other.longitude) {
    if (other.IsInline()) {
        m_word = other.m_word;
        return;
    }
    m_word = kInline | std::uint64_t{other.Block()->bits} << 1;
    Rebuild(std::string(other.Stored()), nullptr);
    if (const Details* details = other.Block()->details) {
        Details& copy = Make();
        copy.reading = details->reading;
        copy.digits = details->digits;
        if (details->record) copy.record = std::make_unique<const RecordText>(*details->record);
    }
}

std::string Place::Name() const {
    if (!IsInline()) return std::string(Stored());
    return Numbered() ? "地点 " + std::to_string(Numbered()) : std::string();
}

std::string Place::NamePrefix(std::size_t bytes) const {
    if (IsInline()) return Name().substr(0, bytes);
    return std::string(Stored().substr(0, bytes));
}

bool Place::NameIs(std::string_view text) const { return IsInline() ? Name() == text : Stored() == text; }

void Place::SetName(std::string name) {
    if (IsInline() && name.empty()) {
        m_word &= ~kNumberedBits;
        return;
    }
    Rebuild(std::move(name), Found());
}

std::string Place::TakeName() {
    if (IsInline() || Block()->size != kLong) {
        std::string name = Name();
        SetName({});
        return name;
    }
    std::string name = std::move(*Block()->Long());
    Rebuild({}, Found());
    return name;
}

void Place::SetNumberedName(std::uint32_t number) {
    if (!IsInline() || number > kMaxNumbered) return SetName("地点 " + std::to_string(number));
    m_word = (m_word & ~kNumberedBits) | std::uint64_t{number} << 33;
}

Place::Details& Place::Make() {
    if (Details* details = Found()) return *details;
    // A numbered name becomes text: the block holds the name as it is.
    auto details = std::make_unique<Details>();
    Rebuild(Name(), details.get());
    return *details.release();
}

void Place::Rebuild(std::string&& name, Details* details) {
    const std::uint32_t bits = Bits();
    if (name.empty() && !details) {
        // Neither a name nor details: inline, as a place that never had them.
        if (!IsInline()) FreeBlock(Block());
        m_word = kInline | std::uint64_t{bits} << 1;
        return;
    }
    const bool isLong = name.size() >= kLongFrom;
    void* memory = ::operator new(sizeof(Header) + (isLong ? sizeof(std::string) : name.size()));
    Header* block = new (memory) Header{details, bits, isLong ? kLong : static_cast<std::uint32_t>(name.size())};
    char* text = static_cast<char*>(memory) + sizeof(Header);
    if (isLong)
        new (text) std::string(std::move(name));
    else
        name.copy(text, name.size());
    if (!IsInline()) FreeBlock(Block());  // its details are the new block's now
    m_word = reinterpret_cast<std::uintptr_t>(block);
}

void Place::FreeBlock(Header* block) {
    if (block->size == kLong) block->Long()->~basic_string();
    ::operator delete(block);
}

void Place::Free() {
    if (IsInline()) return;
    delete Block()->details;
    FreeBlock(Block());
    m_word = kInline;
}
