// Text that every writer is made of: a byte's escape inside a JSON string,
// and a number's text. Internal.
#ifndef ZQ_JSON_TEXT_H
#define ZQ_JSON_TEXT_H

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string_view>

#include "../ZQJson.h"
#include "ByteScan.h"
#include "ExactInteger.h"
#include "ModelAccess.h"

namespace zqjson::detail {

// What a byte is written as inside a JSON string: itself, a two-character
// short form, or a six-character "\u00xx". Fixed-size entries let the
// writers copy an escape without a call.
struct Escape {
    char text[7];  // six at most; the seventh rounds the entry up to one word
    unsigned char size;
};

inline constexpr std::size_t kLongestEscape = 6;

// Built by the compiler, so there is nothing to build at run time and
// nothing to guard against concurrent first calls.
inline constexpr std::array<Escape, 256> kEscapes = [] {
    std::array<Escape, 256> table{};
    constexpr char kHex[] = "0123456789abcdef";
    for (int b = 0; b < 256; ++b) table[b] = {{static_cast<char>(b)}, 1};
    for (int b = 0; b < 0x20; ++b) table[b] = {{'\\', 'u', '0', '0', kHex[b >> 4], kHex[b & 15]}, 6};
    table['"'] = {{'\\', '"'}, 2};
    table['\\'] = {{'\\', '\\'}, 2};
    table['/'] = {{'\\', '/'}, 2};
    table['\b'] = {{'\\', 'b'}, 2};
    table['\f'] = {{'\\', 'f'}, 2};
    table['\n'] = {{'\\', 'n'}, 2};
    table['\r'] = {{'\\', 'r'}, 2};
    table['\t'] = {{'\\', 't'}, 2};
    return table;
}();

inline constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> flags{};
    for (int b = 0; b < 256; ++b) flags[b] = kEscapes[b].size > 1;
    return flags;
}();

// Whether some byte of `word` needs an escape.
constexpr bool any_needs_escape(std::uint64_t word) {
    return bytes::any_below(word, 0x20) | bytes::any_equal(word, '"') | bytes::any_equal(word, '\\') |
           bytes::any_equal(word, '/');
}

// The first byte from `p` on that needs an escape, or `end`.
inline const char* next_escape(const char* p, const char* end) {
    return bytes::find_first(p, end, any_needs_escape, [](unsigned char c) { return kNeedsEscape[c]; });
}

// Whether a text of at most kShortText bytes holds a byte that takes an
// escape: one or two word tests that may overlap and never read past it.
inline constexpr std::size_t kShortText = 16;
inline bool short_text_needs_escape(std::string_view text) {
    const char* const first = text.data();
    const char* const last = first + text.size();
    if (text.size() >= 8) return any_needs_escape(bytes::load(first)) || any_needs_escape(bytes::load(last - 8));
    if (text.size() >= 4) {
        std::uint32_t low, high;
        std::memcpy(&low, first, 4);
        std::memcpy(&high, last - 4, 4);
        return any_needs_escape(low | std::uint64_t{high} << 32);
    }
    for (const char c : text)
        if (kNeedsEscape[static_cast<unsigned char>(c)]) return true;
    return false;
}

// Hands the text over as runs of bytes that stand for themselves, passed to
// `plain` in one piece each, and single bytes that take an escape, passed to
// `escaped` as their table entry.
template <class Plain, class Escaped>
void for_each_run(std::string_view text, Plain plain, Escaped escaped) {
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* p = next_escape(run, end); p != end; p = next_escape(run, end)) {
        plain(run, static_cast<std::size_t>(p - run));
        escaped(kEscapes[static_cast<unsigned char>(*p)]);
        run = p + 1;
    }
    plain(run, static_cast<std::size_t>(end - run));
}

// What the JSON escaping writes for the byte `c`.
inline std::string_view json_escape(char c) {
    const Escape& escape = kEscapes[static_cast<unsigned char>(c)];
    return {escape.text, escape.size};
}

// Room for any number's text in one of the library's forms: sign, 17
// digits, point and a five-character exponent, or an integer of 20 digits
// and its sign, with room to spare.
constexpr std::size_t kNumberChars = 32;

// The text of one number, held in place so that writing it needs no
// allocation.
class NumberText {
public:
    // Digits16: `n` as a stream with precision 16 writes it in its default
    // notation, but for the largest doubles, which that text would put out
    // of range: they are rounded toward zero instead, so that the text reads
    // back. Both forms write NaN and the infinities as null.
    explicit NumberText(Number n, Numbers form = Numbers::Digits16);
    // The same for the Number `v` holds, an integer it keeps with all its
    // digits.
    NumberText(const Value& v, Numbers form);
    std::string_view view() const { return {chars_, size_}; }

private:
    char chars_[kNumberChars];
    std::size_t size_;
};

// The most significant digits a double ever needs.
constexpr int kMostDigits = 17;

// `d`, finite, as printf's "%.*g" writes it at `digits` (1 to kMostDigits).
char* format_general(char* first, char* last, double d, int digits);

// `n` in `form`, NaN and the infinities as null, into at least kNumberChars
// bytes at `first`; returns the end of the text.
char* format_number(char* first, Number n, Numbers form);

// `n` with all its digits, into at least kNumberChars bytes at `first`.
char* format_integer(char* first, ExactInteger n);

// The Number `v` holds in `form`, an integer it keeps with all its digits.
inline char* format_number(char* first, const Value& v, Numbers form) {
    ExactInteger n;
    if (ModelAccess::number_keeps_integer(v, n)) return format_integer(first, n);
    return format_number(first, ModelAccess::number(v), form);
}

// How `out << number` writes a double in the classic locale: the notation
// and precision of the stream, but never hexadecimal (which no JSON reader
// takes: the shortest text that reads back is written instead) and never
// with a sign before a positive number or a point that no digit follows.
class StreamNotation {
public:
    explicit StreamNotation(const std::ostream& out);

    // Whether the text is the general notation at kMostDigits digits or
    // fewer, which format_general writes.
    bool is_general() const { return general_; }
    int precision() const { return precision_; }
    // The most any finite number's text takes.
    std::size_t room() const { return room_; }
    // `d`, finite, into room() bytes at `first`; a number that would round
    // at this precision past the largest double is written as the largest
    // number of that precision, so that the text reads back.
    char* format(char* first, double d) const;

private:
    std::chars_format format_;
    bool shortest_;
    bool general_;
    bool uppercase_;
    int precision_;
    std::size_t room_;
};

}  // namespace zqjson::detail

#endif
