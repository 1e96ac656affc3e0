// Integers beyond 2^53, which a double holds only to its nearest even or
// coarser neighbour, kept exactly beside that double. Internal.
//
// Such an integer lies within 1,024 of its nearest double (doubles below
// 2^64 are at most 2,048 apart), so the 32 bits a Value leaves free after its
// kind hold the difference and a check of the double it belongs to: a number
// written over the double through a pointer no longer matches the check, and
// the stale difference is ignored.
#ifndef ZQ_JSON_EXACT_INTEGER_H
#define ZQ_JSON_EXACT_INTEGER_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "../ZQJson.h"

namespace zqjson::detail {

// kExactDoubleLimit as a double.
inline constexpr double kExactDoubleBound = 9007199254740992.0;
// The magnitude of the least int64_t.
inline constexpr std::uint64_t kLeastInt64Magnitude = std::uint64_t{1} << 63;

// An integer as its sign and magnitude.
struct ExactInteger {
    bool negative;
    std::uint64_t magnitude;
};

namespace exact {

// The magnitude's difference from the double's takes the low bits, offset so that no
// mark is 0, which means "none"; the check takes the rest.
inline constexpr int kDifferenceBits = 12;
inline constexpr std::int64_t kDifferenceOffset = 2048;
inline constexpr std::uint32_t kDifferenceMask = (1u << kDifferenceBits) - 1;

inline std::uint32_t check_of(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return static_cast<std::uint32_t>((bits * 0x9E3779B97F4A7C15ULL) >> (64 - (32 - kDifferenceBits)));
}

// `magnitude`, a whole double from 2^53 to 2^64, modulo 2^64: the integers a
// mark stands for are found by wrapping arithmetic from it.
inline std::uint64_t wrapped(double magnitude) {
    return magnitude >= 9223372036854775808.0 ? static_cast<std::uint64_t>(magnitude / 2) << 1
                                              : static_cast<std::uint64_t>(magnitude);
}

}  // namespace exact

// The nearest double to `n`.
inline double nearest_double(ExactInteger n) {
    const auto d = static_cast<double>(n.magnitude);
    return n.negative ? -d : d;
}

// Whether `n` is one a double cannot hold and the mark can: its magnitude
// exceeds 2^53 and it lies in [-2^63, 2^64 - 1].
inline bool needs_mark(ExactInteger n) {
    return n.magnitude > kExactDoubleLimit && (!n.negative || n.magnitude <= kLeastInt64Magnitude);
}

// The mark of `n` beside its nearest double `d`, or 0 when `n` needs none.
inline std::uint32_t mark_of(ExactInteger n, double d) {
    if (!needs_mark(n)) return 0;
    const auto difference = static_cast<std::int64_t>(n.magnitude - exact::wrapped(n.negative ? -d : d));
    return exact::check_of(d) << exact::kDifferenceBits |
           static_cast<std::uint32_t>(difference + exact::kDifferenceOffset);
}

// Whether `mark` still belongs to `d`; then `out` is the integer it keeps.
inline bool integer_of(std::uint32_t mark, double d, ExactInteger& out) {
    if (mark == 0 || mark >> exact::kDifferenceBits != exact::check_of(d)) return false;
    const std::int64_t difference = static_cast<std::int64_t>(mark & exact::kDifferenceMask) - exact::kDifferenceOffset;
    const bool negative = d < 0;
    out = {negative, exact::wrapped(negative ? -d : d) + static_cast<std::uint64_t>(difference)};
    return true;
}

// Whether `d` lies beyond the integers every double holds, from 2^53 on in
// magnitude: only such a number can keep an integer. NaN does not.
inline bool is_beyond_exact_doubles(double d) { return std::fabs(d) >= kExactDoubleBound; }

// The mark of the integer literal `text` (an optional '-' and decimal
// digits only) that reads as `d`; 0 for any other text, and for integers a
// double holds or the mark cannot.
std::uint32_t mark_of_literal(std::string_view text, double d);

}  // namespace zqjson::detail

#endif
