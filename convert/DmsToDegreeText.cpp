#include "convert/DmsToDegreeText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// Integer arithmetic on 32 bits wraps as on a two's-complement machine (computed unsigned, so
// without undefined behaviour); a negative total loses its sign, since the text has none.
namespace {
constexpr std::size_t kWorkingBytes = 32;
// The double nearest 1/3,600,000: one multiplication by it, not a division, fixes the last bit.
constexpr double kDegreesPerThousandth = 2.7777777777777776e-7;
constexpr int kSignificantDigits = 17;
constexpr int kDecimals = 5;

bool IsSeparator(char ch) {
    switch (ch) {
    case '\'':
    case ' ':
    case ',':
    case '.':
    case '/':
    case '\t':
    case '\n':
        return true;
    default:
        return false;
    }
}

struct Token {
    const char* begin;
    const char* end;  // begin == end: the token is absent
};

// Splits like the runtime's tokeniser, but keeps its position here rather than in hidden state.
class Tokenizer {
public:
    Tokenizer(const char* begin, const char* end) : m_at(begin), m_end(end) {}

    Token Next() {
        while (m_at < m_end && IsSeparator(*m_at)) ++m_at;
        const char* begin = m_at;
        while (m_at < m_end && !IsSeparator(*m_at)) ++m_at;
        return {begin, m_at};
    }

private:
    const char* m_at;
    const char* m_end;
};

std::int32_t WrapToInt32(std::uint32_t value) {
    if (value <= 0x7FFFFFFFu) return static_cast<std::int32_t>(value);
    return static_cast<std::int32_t>(static_cast<std::int64_t>(value) - 0x100000000LL);
}

bool IsSkippedSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// The runtime's decimal reading: white space, a sign, then digits up to the first other byte.
std::int32_t ReadNumber(const char* at, const char* end) {
    while (at < end && IsSkippedSpace(*at)) ++at;
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) {
        negative = *at == '-';
        ++at;
    }
    std::uint32_t value = 0;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) value = value * 10u + static_cast<std::uint32_t>(*at - '0');
    return WrapToInt32(negative ? 0u - value : value);
}

std::int32_t ReadNumber(Token token) { return ReadNumber(token.begin, token.end); }

// The fourth token's first three bytes over "000": "4" is 400 thousandths, "04" is 40.
std::int32_t ReadThousandths(Token token) {
    char field[3] = {'0', '0', '0'};
    const std::size_t length = static_cast<std::size_t>(token.end - token.begin);
    std::memcpy(field, token.begin, length < sizeof field ? length : sizeof field);
    return ReadNumber(field, field + sizeof field);
}

constexpr std::uint64_t kPow10[] = {
    1ull,
    10ull,
    100ull,
    1000ull,
    10000ull,
    100000ull,
    1000000ull,
    10000000ull,
    100000000ull,
    1000000000ull,
    10000000000ull,
    100000000000ull,
    1000000000000ull,
    10000000000000ull,
    100000000000000ull,
    1000000000000000ull,
    10000000000000000ull,
    100000000000000000ull,
    1000000000000000000ull,
    10000000000000000000ull,
};

// 5^0 to 5^27, the largest that fits 64 bits: a look-up instead of a loop on every call.
constexpr std::uint64_t kPow5[] = {
    1ull,
    5ull,
    25ull,
    125ull,
    625ull,
    3125ull,
    15625ull,
    78125ull,
    390625ull,
    1953125ull,
    9765625ull,
    48828125ull,
    244140625ull,
    1220703125ull,
    6103515625ull,
    30517578125ull,
    152587890625ull,
    762939453125ull,
    3814697265625ull,
    19073486328125ull,
    95367431640625ull,
    476837158203125ull,
    2384185791015625ull,
    11920928955078125ull,
    59604644775390625ull,
    298023223876953125ull,
    1490116119384765625ull,
    7450580596923828125ull,
};

std::uint64_t Pow5(int exponent) { return kPow5[exponent]; }

// A 128-bit product, built from 32-bit halves so that 32-bit targets need nothing special.
struct Wide {
    std::uint64_t hi;
    std::uint64_t lo;
};

Wide Multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32;
    const std::uint64_t bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
    const std::uint64_t ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
    const std::uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (ll & 0xFFFFFFFFu) | (mid << 32)};
}

// floor(value / 2^shift) for 0 < shift < 128; the caller keeps the quotient within 64 bits.
std::uint64_t ShiftRight(Wide value, int shift) {
    if (shift >= 64) return value.hi >> (shift - 64);
    return (value.lo >> shift) | (value.hi << (64 - shift));
}

bool BitAt(Wide value, int bit) {
    return bit >= 64 ? ((value.hi >> (bit - 64)) & 1u) != 0 : ((value.lo >> bit) & 1u) != 0;
}

// The rounding through 17 significant digits below, done on x's exact value at once where it
// cannot differ: x * 10^5 = mantissa * 10^5 / 2^binaryScale is exact in 70 bits, and rounding x
// to 17 digits first moves it by 5 * 10^-10 units or less (x below 1000), so a fraction 2^-30
// (9.3 * 10^-10) or more from one half rounds alike either way. False for the rest: 1.6 % of the
// totals, those 18 more than a multiple of 36 (a unit is 36 thousandths of a second), and not all
// of them.
bool RoundedAtOnce(std::uint64_t mantissa, int binaryScale, std::uint64_t& units) {
    const Wide product = Multiply(mantissa, 100000u);
    // The fraction's top 30 bits: 2^29 - 1 or 2^29 is within 2^-30 of one half.
    const std::uint64_t top = ShiftRight(product, binaryScale - 30) & ((1u << 30) - 1);
    if (top == (1u << 29) - 1 || top == (1u << 29)) return false;
    units = ShiftRight(product, binaryScale) + (top >= (1u << 29) ? 1u : 0u);
    return true;
}

// x (positive, normal, below 1000) to hundred-thousandths: first to 17 significant digits,
// rounded half up on its exact value, then that digit string rounded half up at the fifth decimal.
std::uint64_t RoundToFiveDecimals(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const std::uint64_t mantissa = (bits & ((1ull << 52) - 1)) | (1ull << 52);
    const int binaryScale = 1075 - static_cast<int>((bits >> 52) & 0x7FF);  // x = mantissa / 2^binaryScale
    std::uint64_t units = 0;
    if (RoundedAtOnce(mantissa, binaryScale, units)) return units;

    // scale: the decimal digits after the point that leave 17 significant ones.
    int scale = kSignificantDigits - 1;
    for (double bound = 1.0; x >= bound * 10.0 && scale > 0; bound *= 10.0) --scale;
    for (double bound = 1.0; x < bound && scale < 24; bound /= 10.0) ++scale;

    std::uint64_t digits = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        // x * 10^scale = mantissa * 5^scale / 2^(binaryScale - scale)
        const Wide product = Multiply(mantissa, Pow5(scale));
        const int shift = binaryScale - scale;
        const std::uint64_t whole = ShiftRight(product, shift);
        if (whole >= kPow10[kSignificantDigits]) {
            --scale;
            continue;
        }
        if (whole < kPow10[kSignificantDigits - 1]) {
            ++scale;
            continue;
        }
        digits = whole + (BitAt(product, shift - 1) ? 1u : 0u);
        if (digits == kPow10[kSignificantDigits]) {
            digits = kPow10[kSignificantDigits - 1];
            --scale;
        }
        break;
    }

    // Cut to six decimals (one division, not two), then the sixth rounds the fifth half up.
    const std::uint64_t sixDecimals = digits / kPow10[scale - kDecimals - 1];
    return sixDecimals / 10 + (sixDecimals % 10 >= 5 ? 1u : 0u);
}

struct Fields {
    std::uint32_t degrees, minutes, seconds, thousandths;
};

// The form the store and the unit's records write, "DDD.MM.SS.TTT" (the degrees padded with
// spaces, one digit at least; seconds below 60), read by position: it reads as the tokens would.
// False for any other text.
bool ReadRecordForm(const char* text, std::size_t length, Fields& fields) {
    if (length != 13 || text[3] != '.' || text[6] != '.' || text[9] != '.') return false;
    const auto digit = [text](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) - '0'; };
    int i = 0;
    while (i < 2 && text[i] == ' ') ++i;
    fields.degrees = 0;
    for (; i < 3; ++i) {
        if (digit(i) > 9) return false;
        fields.degrees = fields.degrees * 10 + digit(i);
    }
    for (const int at : {4, 5, 7, 8, 10, 11, 12})
        if (digit(at) > 9) return false;
    fields.minutes = digit(4) * 10 + digit(5);
    fields.seconds = digit(7) * 10 + digit(8);
    fields.thousandths = digit(10) * 100 + digit(11) * 10 + digit(12);
    return fields.seconds < 60;
}

Fields ReadTokens(const char* text, std::size_t length) {
    Tokenizer tokens(text, text + length);
    Fields fields{};
    fields.degrees = static_cast<std::uint32_t>(ReadNumber(tokens.Next()));
    fields.minutes = static_cast<std::uint32_t>(ReadNumber(tokens.Next()));
    const std::int32_t third = ReadNumber(tokens.Next());
    if (third >= 60) {  // seconds and thousandths written together: 44040
        fields.seconds = static_cast<std::uint32_t>(third / 1000);
        fields.thousandths = static_cast<std::uint32_t>(third % 1000);
    } else {
        fields.seconds = static_cast<std::uint32_t>(third);
        fields.thousandths = static_cast<std::uint32_t>(ReadThousandths(tokens.Next()));
    }
    return fields;
}
}  // namespace

void DmsToDegreeText(CString& text) {
    const char* begin = text.GetString();
    // Up to the first NUL, as for a C string, but never beyond the working bytes.
    std::size_t length = std::min(static_cast<std::size_t>(text.GetLength()), kWorkingBytes);
    if (const void* nul = std::memchr(begin, '\0', length)) length = static_cast<std::size_t>(static_cast<const char*>(nul) - begin);
    Fields fields{};
    if (!ReadRecordForm(begin, length, fields)) fields = ReadTokens(begin, length);
    const std::uint32_t degrees = fields.degrees, minutes = fields.minutes, seconds = fields.seconds,
                        thousandths = fields.thousandths;
    const std::int32_t total = WrapToInt32(((degrees * 60u + minutes) * 60u + seconds) * 1000u + thousandths);
    const std::uint32_t magnitude = total < 0 ? 0u - static_cast<std::uint32_t>(total) : static_cast<std::uint32_t>(total);

    const std::uint64_t value = magnitude == 0 ? 0 : RoundToFiveDecimals(static_cast<double>(magnitude) * kDegreesPerThousandth);

    char out[32];
    char* at = out + sizeof out;
    std::uint64_t rest = value;
    for (int i = 0; i < kDecimals; ++i, rest /= 10) *--at = static_cast<char>('0' + rest % 10);
    *--at = '.';
    for (; rest != 0; rest /= 10) *--at = static_cast<char>('0' + rest % 10);
    text.Str().assign(at, static_cast<std::size_t>(out + sizeof out - at));
}
