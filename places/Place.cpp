#include "places/Place.h"

#include <cstring>
#include <new>

namespace {
// A numbered name's number fits the word's 31 bits above the origin.
constexpr std::uint32_t kMaxNumbered = (1u << 31) - 1;
constexpr std::uint64_t kNumberedBits = ~std::uint64_t{0} << 33;
}  // namespace

Place::Place(const Place& other) : latitude(other.latitude), longitude(other.longitude) {
    m_word = other.IsInline() ? other.m_word : kInline | std::uint64_t{other.Block()->bits} << 1;
    if (other.IsInline()) return;
    std::string texts[kFields];
    for (int i = 0; i < kFields; ++i) texts[i] = std::string(other.View(static_cast<Field>(i)));
    const RecordText* record = RecordOf(other.Block());
    auto copy = record ? std::make_unique<RecordText>(*record) : nullptr;
    Build(texts, copy.get());
    copy.release();
    SetReadingGuessed(other.ReadingGuessed());
}

std::string Place::Name() const {
    if (!IsInline()) return std::string(View(kName));
    return Numbered() ? "地点 " + std::to_string(Numbered()) : std::string();
}

std::string_view Place::NameView(std::string& scratch) const {
    if (!IsInline()) return View(kName);
    scratch = Name();
    return scratch;
}

std::string Place::NamePrefix(std::size_t bytes) const {
    if (IsInline()) return Name().substr(0, bytes);
    return std::string(View(kName).substr(0, bytes));
}


void Place::SetNumberedName(std::uint32_t number) {
    if (!IsInline() || number > kMaxNumbered) return SetName("地点 " + std::to_string(number));
    m_word = (m_word & ~kNumberedBits) | std::uint64_t{number} << 33;
}

void Place::SetRecord(RecordText record) {
    auto kept = std::make_unique<RecordText>(std::move(record));
    std::string texts[kFields];
    RecordText* old = IsInline() ? nullptr : RecordOf(Block());
    Extract(texts);
    Build(texts, kept.release());
    delete old;
}

void Place::SetTexts(std::string name, std::string reading, std::string digits) {
    std::string texts[kFields];
    RecordText* record = IsInline() ? nullptr : RecordOf(Block());
    Extract(texts);
    texts[kName] = std::move(name);
    texts[kReading] = std::move(reading);
    texts[kDigits] = std::move(digits);
    Build(texts, record);
}

void Place::ClearRecord() {
    if (IsInline() || !RecordOf(Block())) return;
    RecordText* old = RecordOf(Block());
    std::string texts[kFields];
    Extract(texts);
    Build(texts, nullptr);
    delete old;
}

RecordText* Place::RecordOf(const Header* block) {
    RecordText* record = nullptr;
    if (block->hasRecord) std::memcpy(&record, reinterpret_cast<const char*>(block) + sizeof(Header), sizeof record);
    return record;
}

char* Place::At(Header* block, Field field) {
    char* at = reinterpret_cast<char*>(block) + sizeof(Header) + (block->hasRecord ? sizeof(RecordText*) : 0);
    for (int i = 0; i < field; ++i) at += block->size[i] == kLong ? sizeof(std::string*) : block->size[i];
    return at;
}

std::string* Place::LongText(const Header* block, Field field) {
    std::string* text = nullptr;
    std::memcpy(&text, At(const_cast<Header*>(block), field), sizeof text);  // not aligned
    return text;
}

std::string_view Place::View(Field field) const {
    Header* block = Block();
    if (block->size[field] == kLong) return *LongText(block, field);
    return std::string_view(At(block, field), block->size[field]);
}

void Place::Set(Field field, std::string text) {
    // A place without texts stays inline while none comes.
    if (IsInline() && text.empty() && (field != kName || Numbered() == 0)) return;
    if (IsInline() && field == kName && text.empty()) {
        m_word &= ~kNumberedBits;
        return;
    }
    if (!IsInline() && text.size() < kLongFrom && SetShort(field, text)) return;
    std::string texts[kFields];
    RecordText* record = IsInline() ? nullptr : RecordOf(Block());
    Extract(texts);
    texts[field] = std::move(text);
    Build(texts, record);
}

bool Place::SetShort(Field field, std::string_view text) {
    // A block of short texts is copied as bytes into one of the new size: no text is taken out
    // into a string of its own (a guessed reading set on every place of a large input).
    Header* block = Block();
    for (int i = 0; i < kFields; ++i)
        if (block->size[i] == kLong) return false;
    const std::size_t head = sizeof(Header) + (block->hasRecord ? sizeof(RecordText*) : 0);
    const std::size_t before = static_cast<std::size_t>(At(block, field) - reinterpret_cast<char*>(block)) - head;
    std::size_t after = 0;
    for (int i = field + 1; i < kFields; ++i) after += block->size[i];
    const std::size_t old = block->size[field];
    if (before + text.size() + after == 0 && !block->hasRecord) return false;  // inline again: Build's
    auto* fresh = static_cast<Header*>(::operator new(head + before + text.size() + after));
    char* from = reinterpret_cast<char*>(block);
    char* to = reinterpret_cast<char*>(fresh);
    std::memcpy(to, from, head + before);
    std::memcpy(to + head + before, text.data(), text.size());
    std::memcpy(to + head + before + text.size(), from + head + before + old, after);
    fresh->size[field] = static_cast<std::uint16_t>(text.size());
    fresh->guessed = 0;
    ::operator delete(block);
    m_word = reinterpret_cast<std::uintptr_t>(fresh);
    return true;
}

std::string Place::Take(Field field) {
    if (IsInline()) {
        std::string text = field == kName ? Name() : std::string();
        if (field == kName) m_word &= ~kNumberedBits;
        return text;
    }
    std::string texts[kFields];
    RecordText* record = RecordOf(Block());
    Extract(texts);
    std::string text = std::move(texts[field]);
    Build(texts, record);
    return text;
}

void Place::Extract(std::string (&texts)[kFields]) {
    if (IsInline()) {
        texts[kName] = Name();
        return;
    }
    Header* block = Block();
    for (int i = 0; i < kFields; ++i) {
        const Field field = static_cast<Field>(i);
        if (block->size[i] == kLong) {
            std::string* text = LongText(block, field);
            texts[i] = std::move(*text);
            delete text;  // the block's size still says where the next text is
        } else {
            texts[i].assign(At(block, field), block->size[i]);
        }
    }
    const std::uint32_t bits = block->bits;
    ::operator delete(block);
    m_word = kInline | std::uint64_t{bits} << 1;
}

void Place::Build(std::string (&texts)[kFields], RecordText* record) {
    const std::uint32_t bits = Bits();
    if (!record && texts[kName].empty() && texts[kReading].empty() && texts[kDigits].empty()) {
        m_word = kInline | std::uint64_t{bits} << 1;
        return;
    }
    std::size_t space = sizeof(Header) + (record ? sizeof record : 0);
    for (const std::string& text : texts) space += text.size() >= kLongFrom ? sizeof(std::string*) : text.size();
    Header* block = static_cast<Header*>(::operator new(space));
    block->bits = bits;
    block->hasRecord = record != nullptr;
    block->guessed = 0;
    char* at = reinterpret_cast<char*>(block) + sizeof(Header);
    if (record) {
        std::memcpy(at, &record, sizeof record);
        at += sizeof record;
    }
    for (int i = 0; i < kFields; ++i) {
        if (texts[i].size() >= kLongFrom) {
            // No allocation may fail once the block holds pointers it would leak: made first.
            std::string* text = new (std::nothrow) std::string(std::move(texts[i]));
            if (!text) {
                for (int k = 0; k < i; ++k)
                    if (block->size[k] == kLong) delete LongText(block, static_cast<Field>(k));
                ::operator delete(block);
                throw std::bad_alloc();
            }
            block->size[i] = kLong;
            std::memcpy(at, &text, sizeof text);
            at += sizeof text;
        } else {
            block->size[i] = static_cast<std::uint16_t>(texts[i].size());
            texts[i].copy(at, texts[i].size());
            at += texts[i].size();
        }
    }
    m_word = reinterpret_cast<std::uintptr_t>(block);
}

void Place::Free() {
    if (IsInline()) return;
    Header* block = Block();
    for (int i = 0; i < kFields; ++i)
        if (block->size[i] == kLong) delete LongText(block, static_cast<Field>(i));
    delete RecordOf(block);
    ::operator delete(block);
    m_word = kInline;
}
