// Text building blocks shared by the JSON and XML writers. Each appends to
// the caller's buffer, so a whole rendering grows one string.
#ifndef ZQ_JSON_TEXT_H
#define ZQ_JSON_TEXT_H

#include <string>
#include <string_view>

#include "../ZQJson.h"

namespace zqjson::detail {

// The JSON escaping of `text`, without quotes: the bytes of escape_string.
void append_escaped(std::string& out, std::string_view text);

// What the JSON escaping writes for the byte `c`.
std::string_view json_escape(char c);

// The text of one number, held in place so that writing it needs no
// allocation.
class NumberText {
public:
    // `n` as a stream with precision 16 writes it in its default notation,
    // but for the largest doubles, which that text would put out of range:
    // they are rounded toward zero instead, so that the text reads back.
    explicit NumberText(Number n);
    std::string_view view() const { return {chars_, size_}; }

private:
    char chars_[32];  // sign, 16 digits, point and exponent, with room to spare
    std::size_t size_;
};

}  // namespace zqjson::detail

#endif
