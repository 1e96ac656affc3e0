// JSON writing: string escaping, the compact stream output and the indented
// rendering.
#include <array>
#include <charconv>
#include <ostream>

#include "../ZQJson.h"
#include "ModelAccess.h"
#include "Text.h"

namespace zqjson {

namespace {

// What each byte is written as inside a JSON string. Built once, on first
// use; the language makes that safe under concurrent first calls.
const std::array<std::string, 256>& escape_table() {
    static const std::array<std::string, 256> map = [] {
        std::array<std::string, 256> table;
        constexpr char kHex[] = "0123456789abcdef";
        for (int b = 0; b < 256; ++b) table[b] = std::string(1, static_cast<char>(b));
        for (int b = 0; b < 0x20; ++b) table[b] = std::string("\\u00") + kHex[b >> 4] + kHex[b & 15];
        table['"'] = "\\\"";
        table['\\'] = "\\\\";
        table['/'] = "\\/";
        table['\b'] = "\\b";
        table['\f'] = "\\f";
        table['\n'] = "\\n";
        table['\r'] = "\\r";
        table['\t'] = "\\t";
        return table;
    }();
    return map;
}

bool needs_escape(unsigned char c) { return c < 0x20 || c == '"' || c == '/' || c == '\\'; }

}  // namespace

namespace detail {

void append_escaped(std::string& out, std::string_view text) {
    const auto& table = escape_table();
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* p = run; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!needs_escape(c)) continue;
        out.append(run, static_cast<std::size_t>(p - run));
        out += table[c];
        run = p + 1;
    }
    out.append(run, static_cast<std::size_t>(end - run));
}

void append_number(std::string& out, Number n) {
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof digits, static_cast<double>(n),
                                      std::chars_format::general, 16);
    out.append(digits, result.ptr);
}

}  // namespace detail

std::string escape_string(const std::string& text, bool quote) {
    std::string out;
    out.reserve(2 * (text.size() + 1));
    if (quote) out += '"';
    detail::append_escaped(out, text);
    if (quote) out += '"';
    return out;
}

}  // namespace zqjson
