// Text building blocks the XML writer takes from the JSON writer: a byte's
// escape and a number's text, each handed over without an allocation.
#ifndef ZQ_JSON_TEXT_H
#define ZQ_JSON_TEXT_H

#include <cstddef>
#include <string_view>

#include "../ZQJson.h"

namespace zqjson::detail {

// Room for any number's text: sign, 16 digits, point and a five-character
// exponent, with room to spare.
constexpr std::size_t kNumberChars = 32;

// How the writers put numbers: rounded to kNumberDigits significant digits
// (compact output: to the stream's precision), or exactly, as the shortest
// text that reads back as the same double.
enum class NumberForm { Rounded, Exact };

// What the JSON escaping writes for the byte `c`.
std::string_view json_escape(char c);

// The text of one number, held in place so that writing it needs no
// allocation.
class NumberText {
public:
    // Rounded: `n` as a stream with precision 16 writes it in its default
    // notation, but for the largest doubles, which that text would put out
    // of range: they are rounded toward zero instead, so that the text reads
    // back. Both forms write NaN and the infinities as null.
    explicit NumberText(Number n, NumberForm form = NumberForm::Rounded);
    std::string_view view() const { return {chars_, size_}; }

private:
    char chars_[kNumberChars];
    std::size_t size_;
};

}  // namespace zqjson::detail

#endif
