// Number and string text for the writers.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>

#include "Inline.h"
#include "OutputBuffer.h"
#include "Text.h"

namespace zqjson::detail {

namespace {

// Integers below this print in full at kNumberDigits digits, so they can
// skip the general floating-point formatting.
constexpr double kExactIntegerBound = 1e16;

bool is_plain_integer(double d) {
    return std::fabs(d) < kExactIntegerBound && d == static_cast<double>(static_cast<std::int64_t>(d)) &&
           !(d == 0 && std::signbit(d));
}

// The general notation writes a number in fixed notation when the decimal
// exponent of its rounded value lies in [kLowestFixedExponent, digits).
constexpr int kLowestFixedExponent = -4;
constexpr int kMostFractionDigits = kMostDigits - 1 - kLowestFixedExponent;

// The powers of ten that a 64-bit word holds.
constexpr int kLargestWordPower = 19;
constexpr std::array<std::uint64_t, kLargestWordPower + 1> kPowersOfTen = [] {
    std::array<std::uint64_t, kLargestWordPower + 1> powers{};
    std::uint64_t power = 1;
    for (auto& p : powers) p = power, power *= 10;
    return powers;
}();

// 10^0 to 10^kNumberDigits, each exactly a double.
constexpr std::array<double, kNumberDigits + 1> kExactPowersOfTen = [] {
    std::array<double, kNumberDigits + 1> powers{};
    for (int i = 0; i <= kNumberDigits; ++i) powers[i] = static_cast<double>(kPowersOfTen[i]);
    return powers;
}();

// `mantissa` times 10^`exponent` (at most kMostFractionDigits).
unsigned __int128 times_power_of_ten(std::uint64_t mantissa, int exponent) {
    static_assert(kMostFractionDigits <= 2 * kLargestWordPower, "two word powers make the largest");
    if (exponent <= kLargestWordPower) return static_cast<unsigned __int128>(mantissa) * kPowersOfTen[exponent];
    return static_cast<unsigned __int128>(mantissa) * kPowersOfTen[kLargestWordPower] *
           kPowersOfTen[exponent - kLargestWordPower];
}

// A positive number as `digits` significant digits `value` with
// `fraction_digits` of them after the point.
struct FixedDecimal {
    std::uint64_t value;
    int fraction_digits;
};

// A rounding of a double's magnitude to `decimal`, and, where asked for,
// which way it went: up, or down, or neither when the decimal is the
// magnitude itself.
struct Rounding {
    FixedDecimal decimal;
    bool up;
    bool exact;
};

// Rounds `magnitude` (finite, positive, not an integer below
// kExactIntegerBound) to `digits` significant digits (1 to kMostDigits)
// exactly, half to even, from its binary value: the mantissa times a power of
// ten fits in 128 bits throughout the fixed-notation range. False outside
// that range. The way it went is worked out only `kWithWay`: the rounding
// alone is what most numbers need, at the least cost.
template <bool kWithWay>
bool round_exactly(double magnitude, int digits, Rounding& out) {
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased_exponent = static_cast<int>(bits >> 52);
    // magnitude == mantissa / 2^shift, and 2^(52 - shift) <= magnitude.
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1023 + 52 - biased_exponent;  // exponent bias, mantissa bits
    // Outside these the number is an integer, below 10^kLowestFixedExponent
    // or subnormal.
    if (biased_exponent == 0 || shift <= 0 || shift > 70) return false;
    const std::uint64_t least = kPowersOfTen[digits - 1];
    const std::uint64_t overflow = kPowersOfTen[digits];
    // floor(log10(2^(52 - shift))), with 78913 / 2^18 for log10(2): the
    // decimal exponent is this or one more, which from 1 on one comparison
    // with an exact power of ten tells.
    int exponent10 = ((52 - shift) * 78913) >> 18;
    if (exponent10 >= 0 && magnitude >= kExactPowersOfTen[exponent10 + 1]) ++exponent10;
    for (;;) {
        const int fraction_digits = digits - 1 - exponent10;
        if (fraction_digits < 0 || exponent10 < kLowestFixedExponent) return false;
        const unsigned __int128 scaled = times_power_of_ten(mantissa, fraction_digits);
        auto value = static_cast<std::uint64_t>(scaled >> shift);
        // The bits shifted out, from the top: above one half, one half, or below.
        const unsigned __int128 rest = scaled << (128 - shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << 127;
        const bool up = rest > half || (rest == half && value % 2 == 1);
        if (up) ++value;
        if (value < least) return false;  // only below the range: the guess is never high
        if (value > overflow) {
            ++exponent10;
            continue;
        }
        if constexpr (kWithWay) {
            out.up = up;
            out.exact = rest == 0;
        }
        if (value == overflow) {  // rounded up to the next power of ten
            if (fraction_digits == 0) return false;
            out.decimal = {least, fraction_digits - 1};
        } else {
            out.decimal = {value, fraction_digits};
        }
        return true;
    }
}

bool round_to_fixed(double magnitude, int digits, FixedDecimal& out) {
    Rounding rounding;
    if (!round_exactly<false>(magnitude, digits, rounding)) return false;
    out = rounding.decimal;
    return true;
}

// No two decimals of this many significant digits lie within one unit in
// the last place of the same double, so the one that reads back, if any, is
// the correctly rounded one, and shortest once its trailing zeros go.
constexpr int kUniqueDigits = 15;

// 10^0 to 10^22, each exactly a double: a whole number below 2^53 divided
// by one of them is the correctly rounded double of that decimal, which is
// what reading the decimal gives.
constexpr int kLargestExactPower = 22;
constexpr std::array<double, kLargestExactPower + 1> kExactDoublePowers = [] {
    std::array<double, kLargestExactPower + 1> powers{};
    double power = 1;
    for (auto& p : powers) p = power, power *= 10;
    return powers;
}();

// `seventeen`, the correct rounding of a number to kMostDigits digits,
// rounded on to `kDropped` digits fewer as the number itself would round:
// the digits dropped decide, and where they are exactly half, the way the
// first rounding went, or, when it was exact, the kept digits' evenness.
template <int kDropped>
std::uint64_t round_further(const Rounding& seventeen) {
    constexpr std::uint64_t kScale = kPowersOfTen[kDropped];
    const std::uint64_t kept = seventeen.decimal.value / kScale;
    const std::uint64_t past = seventeen.decimal.value % kScale;
    const bool tie_breaks_up = seventeen.exact ? kept % 2 == 1 : !seventeen.up;
    // Up past half, or at half when the tie breaks up: told without a branch,
    // since which it is follows no pattern.
    return kept + (past + (tie_breaks_up ? 1 : 0) > kScale / 2 ? 1 : 0);
}

// The decimal of the fewest significant digits that reads back as
// `magnitude` (finite, positive, in the range round_exactly takes), and of
// those the nearest: the correct rounding to 15 digits when it reads back,
// else to 16, else to 17, which always do. The shorter ones are rounded from
// the 17 digits and each checked by one division, both at once. False where
// that is not told here: a power of two, whose lower neighbour lies closer
// than its upper one, and a 16-digit rounding beyond 2^53.
bool shortest_fixed(double magnitude, FixedDecimal& out, int& digits) {
    static_assert(kMostDigits - kUniqueDigits == 2, "the 15 and 16 digits are tried");
    Rounding seventeen;
    if (!round_exactly<true>(magnitude, kMostDigits, seventeen)) return false;
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int fraction_digits = seventeen.decimal.fraction_digits;
    if ((bits & ((std::uint64_t{1} << 52) - 1)) == 0 || fraction_digits < 2) return false;
    const std::uint64_t fifteen = round_further<2>(seventeen);
    const std::uint64_t sixteen = round_further<1>(seventeen);
    const bool fifteen_reads_back = static_cast<double>(fifteen) / kExactDoublePowers[fraction_digits - 2] == magnitude;
    const bool sixteen_reads_back = static_cast<double>(sixteen) / kExactDoublePowers[fraction_digits - 1] == magnitude;
    if (!fifteen_reads_back && sixteen >= kExactDoubleLimit) return false;
    // Chosen without a branch: which one reads back follows no pattern.
    const int dropped = fifteen_reads_back ? 2 : sixteen_reads_back ? 1 : 0;
    const std::uint64_t value = fifteen_reads_back ? fifteen : sixteen_reads_back ? sixteen : seventeen.decimal.value;
    out = {value, fraction_digits - dropped};
    digits = kMostDigits - dropped + (value == kPowersOfTen[kMostDigits - dropped] ? 1 : 0);
    return true;
}

// "00" to "99": a number's digits are written two at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i)
        pairs[2 * i] = static_cast<char>('0' + i / 10), pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    return pairs;
}();

// The last `count` digits of `value`, leading zeros included, ending at `end`.
void put_digits(char* end, std::uint32_t value, int count) {
    for (; count >= 2; count -= 2, value /= 100) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * (value % 100)], 2);
    }
    if (count == 1) end[-1] = static_cast<char>('0' + value % 10);
}

// The same for up to kMostDigits digits, eight at a time in 32-bit steps,
// which are cheaper than 64-bit ones.
constexpr std::uint32_t kEightDigits = 100'000'000;
void put_digits(char* end, std::uint64_t value, int count) {
    for (; count > 8; count -= 8, end -= 8, value /= kEightDigits)
        put_digits(end, static_cast<std::uint32_t>(value % kEightDigits), 8);
    put_digits(end, static_cast<std::uint32_t>(value), count);
}

// Up to kMostDigits bytes, without a call.
char* copy_digits(char* to, const char* from, int count) {
    static_assert(kMostDigits <= OutputBuffer::kSmallPiece);
    return OutputBuffer::put_small(to, from, static_cast<std::size_t>(count));
}

// Fixed notation as the general notation writes it: no trailing zeros after
// the point, and no point when nothing follows it.
// `kEveryPlace`: all kMostDigits places are written, whatever the count, so
// that the loops run the same way for every number, where the numbers
// differ in how many digits they have, which a loop counted by them would
// mispredict; numbers of one count of digits are written faster by it.
template <bool kEveryPlace = false>
ZQ_INLINE char* write_fixed(char* p, bool negative, FixedDecimal number, int digits) {
    const int integer_digits = digits - number.fraction_digits;
    char places[kMostDigits];
    const int written = kEveryPlace ? kMostDigits : digits;
    put_digits(places + written, number.value, written);
    const char* const text = places + written - digits;
    int significant = digits;
    while (significant > std::max(integer_digits, 1) && text[significant - 1] == '0') --significant;

    if (negative) *p++ = '-';
    if (integer_digits <= 0) {  // 0.000ddd
        *p++ = '0', *p++ = '.';
        p = std::fill_n(p, -integer_digits, '0');
        return copy_digits(p, text, significant);
    }
    p = copy_digits(p, text, integer_digits);
    if (significant == integer_digits) return p;
    *p++ = '.';
    return copy_digits(p, text + integer_digits, significant - integer_digits);
}

// The count of decimal digits of `value`, from its bit length: log10(2) is
// about 1233 / 2^12, so the guess is the count or one less.
int decimal_digits(std::uint64_t value) {
    const int guess = ((64 - __builtin_clzll(value | 1)) * 1233) >> 12;
    return std::max(guess + (value >= kPowersOfTen[guess] ? 1 : 0), 1);
}

// An integer of `count` digits, as std::to_chars writes it.
char* put_integer(char* p, bool negative, std::uint64_t magnitude, int count) {
    if (negative) *p++ = '-';
    put_digits(p + count, magnitude, count);
    return p + count;
}

}  // namespace

// `d` as printf's "%.*g" writes it at `digits` (1 to kMostDigits): integers
// that fit in the digits and the fixed notation take shortcuts, the general
// conversion does the rest.
char* format_general(char* first, char* last, double d, int digits) {
    if (is_plain_integer(d)) {
        const auto magnitude = static_cast<std::uint64_t>(std::fabs(d));
        const int count = decimal_digits(magnitude);
        if (count <= digits) return put_integer(first, d < 0, magnitude, count);
    }
    FixedDecimal fixed;
    if (d != 0 && round_to_fixed(std::fabs(d), digits, fixed)) return write_fixed(first, d < 0, fixed, digits);
    return std::to_chars(first, last, d, std::chars_format::general, digits).ptr;
}

char* format_integer(char* first, ExactInteger n) {
    return put_integer(first, n.negative, n.magnitude, decimal_digits(n.magnitude));
}

namespace {

// The largest number of kNumberDigits significant digits that reads back.
// The few doubles above it round, at that many digits, to a text beyond the
// largest double, which the parser rejects as out of range; they are written
// as this number instead.
constexpr double kLargestReadable = 1.797693134862315e308;
static_assert(kNumberDigits == 16, "kLargestReadable is the largest double rounded down to kNumberDigits digits");

double within_readable_range(double d) {
    return std::isfinite(d) && std::fabs(d) > kLargestReadable ? std::copysign(kLargestReadable, d) : d;
}

// The shortest digits that read back as `d`, finite, laid out as the general
// notation lays out 17 digits: in fixed notation from 10^-4 up to 10^17, so
// that a whole number reads as one (1000000, not 1e+06), and with an
// exponent beyond.
constexpr double kLeastFixed = 1e-4;
constexpr double kPastFixed = 1e17;
char* format_exact(char* first, char* last, double d) {
    const double magnitude = std::fabs(d);
    if (is_plain_integer(d)) {
        const auto whole = static_cast<std::uint64_t>(magnitude);
        return put_integer(first, d < 0, whole, decimal_digits(whole));
    }
    const bool fixed = (magnitude >= kLeastFixed && magnitude < kPastFixed) || magnitude == 0;
    FixedDecimal shortest;
    int digits;
    if (fixed && magnitude != 0 && shortest_fixed(magnitude, shortest, digits))
        return write_fixed<true>(first, d < 0, shortest, digits);
    return std::to_chars(first, last, d, fixed ? std::chars_format::fixed : std::chars_format::scientific).ptr;
}

}  // namespace

// Digits16: writes `n` as a stream with precision kNumberDigits writes it in
// its default notation, but for the doubles above kLargestReadable. Returns
// the end of the text.
char* format_number(char* first, Number n, Numbers form) {
    const auto d = static_cast<double>(n);
    char* const last = first + kNumberChars;
    if (!std::isfinite(d)) return std::copy_n("null", 4, first);  // no number text reads back as these
    if (form == Numbers::Shortest) return format_exact(first, last, d);
    return format_general(first, last, within_readable_range(d), kNumberDigits);
}

NumberText::NumberText(Number n, Numbers form)
    : size_(static_cast<std::size_t>(format_number(chars_, n, form) - chars_)) {}

NumberText::NumberText(const Value& v, Numbers form)
    : size_(static_cast<std::size_t>(format_number(chars_, v, form) - chars_)) {}

// ---------------------------------------------------------------------------
// Numbers as a stream writes them

namespace {

// What `out << number` takes for a negative precision.
constexpr int kDefaultStreamPrecision = 6;
// The most significant digits the exact decimal form of a double has.
constexpr int kMostExactDigits = 767;
// Room beyond the digits: sign, point, exponent, the zeros after the point
// before the first digit, and the integer digits of the largest doubles.
constexpr std::size_t kRoomBeyondDigits = 330;

// The largest double cut to `digits` significant digits (1 to kMostDigits).
double largest_at_digits(int digits) {
    constexpr std::string_view kLargest = "17976931348623157";
    char text[32];
    char* p = text;
    *p++ = kLargest[0];
    if (digits > 1) *p++ = '.', p = std::copy_n(kLargest.data() + 1, digits - 1, p);
    p = std::copy_n("e308", 4, p);
    double largest = 0;
    std::from_chars(text, p, largest);
    return largest;
}

// `d`, or the largest number of `digits` significant digits when `d` would
// round at that many past the largest double.
double within_range_at(double d, int digits) {
    if (digits >= kMostDigits || std::fabs(d) < 1e308) return d;
    char text[32];
    const char* const end = std::to_chars(text, text + sizeof text, d, std::chars_format::scientific, digits - 1).ptr;
    double read_back = 0;
    if (std::from_chars(text, end, read_back).ec != std::errc::result_out_of_range) return d;
    return std::copysign(largest_at_digits(digits), d);
}

}  // namespace

StreamNotation::StreamNotation(const std::ostream& out)
    : format_(std::chars_format::general),
      shortest_(false),
      general_(false),
      uppercase_((out.flags() & std::ios_base::uppercase) != 0),
      precision_(out.precision() < 0 ? kDefaultStreamPrecision
                                     : static_cast<int>(std::min<std::streamsize>(
                                           out.precision(), std::numeric_limits<int>::max() - 2 * kRoomBeyondDigits))),
      room_(kNumberChars) {
    const auto precision = static_cast<std::size_t>(precision_);
    switch (out.flags() & std::ios_base::floatfield) {
        case std::ios_base::fixed:
            format_ = std::chars_format::fixed;
            room_ = precision + kRoomBeyondDigits;
            break;
        case std::ios_base::scientific:
            format_ = std::chars_format::scientific;
            room_ = precision + kNumberChars;
            break;
        case std::ios_base::fixed | std::ios_base::scientific:  // hexadecimal
            shortest_ = true;
            break;
        default:
            general_ = precision_ <= kMostDigits && !uppercase_;
            room_ = std::min(precision, static_cast<std::size_t>(kMostExactDigits)) + kRoomBeyondDigits;
            break;
    }
}

char* StreamNotation::format(char* first, double d) const {
    char* const last = first + room_;
    if (shortest_) return format_exact(first, last, d);
    char* end;
    if (format_ == std::chars_format::fixed) {
        end = std::to_chars(first, last, d, format_, precision_).ptr;
    } else {
        const int digits = format_ == std::chars_format::scientific ? precision_ + 1 : std::max(precision_, 1);
        end = std::to_chars(first, last, within_range_at(d, digits), format_, precision_).ptr;
    }
    if (uppercase_) std::replace(first, end, 'e', 'E');
    return end;
}

}  // namespace zqjson::detail

namespace zqjson {

std::string escape_string(const std::string& text, bool quote) {
    std::string out;
    out.reserve(2 * (text.size() + 1));
    if (quote) out += '"';
    detail::for_each_run(
        text, [&](const char* run, std::size_t size) { out.append(run, size); },
        [&](const detail::Escape& escape) { out.append(escape.text, escape.size); });
    if (quote) out += '"';
    return out;
}

}  // namespace zqjson
