// Scanning text eight bytes at a time: most text holds none of the few bytes
// a reader or writer stops at. The tests on a word only ask whether some
// byte matches, so the byte order does not matter. Internal.
#ifndef ZQ_JSON_BYTE_SCAN_H
#define ZQ_JSON_BYTE_SCAN_H

#include <cstdint>
#include <cstring>

namespace zqjson::detail::bytes {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = kOnes * 0x80;

// The tests answer a mask, non-zero when some byte matches, rather than a
// bool: several of them join with `|` into one test without a branch each,
// which on bools compilers rightly take for a mistyped `||`.

// Non-zero when some byte of `word` is below `bound` (at most 0x80).
constexpr std::uint64_t any_below(std::uint64_t word, unsigned char bound) {
    return (word - kOnes * bound) & ~word & kHighs;
}

// Non-zero when some byte of `word` is `c`.
constexpr std::uint64_t any_equal(std::uint64_t word, char c) {
    return any_below(word ^ (kOnes * static_cast<unsigned char>(c)), 1);
}

inline std::uint64_t load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The first byte from `p` on for which `stops` holds, or `end`;
// `may_stop_in` tells for eight bytes at once whether any of them may. A
// word that only may stop is looked at byte by byte, and the word-wise scan
// goes on after it.
template <class WordTest, class ByteTest>
const char* find_first(const char* p, const char* end, WordTest may_stop_in, ByteTest stops) {
    for (; end - p >= 8; p += 8) {
        if (!may_stop_in(load(p))) continue;
        for (const char* q = p; q != p + 8; ++q)
            if (stops(static_cast<unsigned char>(*q))) return q;
    }
    while (p != end && !stops(static_cast<unsigned char>(*p))) ++p;
    return p;
}

}  // namespace zqjson::detail::bytes

#endif
