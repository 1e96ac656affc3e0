// The JSON grammar: token readers and a recursive-descent structural
// parser, written once over a Cursor and a builder, and instantiated for a
// caller's stream and for text read in place, for the lenient language and
// for standard JSON.
//
// The lenient readers are written in the stream operations whose effects they must
// reproduce (get, peek, putback, unget, ws, clear, tellg, seekg): hosts rely
// on the exact language that sequence accepts, quirks included. Where the
// common case allows, a reader first takes a fast path that does what the
// sequence would do on a good stream, in fewer steps.
#include <charconv>
#include <istream>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "ModelAccess.h"
#include "Parser.h"

namespace zqjson {
namespace detail {

namespace {

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Whether the number extraction of the classic locale can take `c` first.
bool starts_number(int c) { return is_digit(c) || c == '+' || c == '-' || c == '.'; }

bool is_identifier_start(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$'; }

// Whether a number's magnitude is at least one, from its text: decides, for a
// value out of the double's range, between an overflow and an underflow.
bool at_least_one(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    long long scale = 0;  // decimal position of the first non-zero digit, 1 for units
    bool seen = false;
    bool point = false;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            point = true;
        } else if (!seen && text[i] == '0') {
            if (point) --scale;
        } else if (!seen) {
            seen = true;
            if (!point) scale = 1;
        } else if (!point) {
            ++scale;
        }
    }
    if (!seen) return false;
    constexpr long long kSaturated = 1LL << 40;  // far past any exponent that could matter
    long long exponent = 0;
    bool negative = false;
    if (++i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    for (; i < text.size() && exponent < kSaturated; ++i) exponent = exponent * 10 + (text[i] - '0');
    return scale + (negative ? -exponent : exponent) > 0;
}

constexpr unsigned kReplacement = 0xFFFD;

bool is_high_surrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

template <class Text>
void append_utf8(Text& out, unsigned code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// A high surrogate waits for its low half; anything else makes it unpaired.
template <class Text>
void flush_surrogate(Text& out, unsigned& high) {
    if (high == 0) return;
    append_utf8(out, kReplacement);
    high = 0;
}

// What a backslash and `c` stand for inside a string closed by `delim`; the
// quote that does not close the string keeps its backslash.
template <class Text>
void append_escape(Text& out, int c, char delim) {
    switch (c) {
        case '"':
        case '\'':
            if (c != delim) out.push_back('\\');
            out.push_back(static_cast<char>(c));
            return;
        case '\\':
        case '/':
            out.push_back(static_cast<char>(c));
            return;
        case 'b':
            out.push_back('\b');
            return;
        case 'f':
            out.push_back('\f');
            return;
        case 'n':
            out.push_back('\n');
            return;
        case 'r':
            out.push_back('\r');
            return;
        case 't':
            out.push_back('\t');
            return;
        default:
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
    }
}

// A UTF-16 code unit from a \\u escape, written as UTF-8. A high surrogate
// waits in `high` for a low one from the next escape; an unpaired one
// becomes U+FFFD.
template <class Text>
void append_code_unit(Text& out, unsigned& high, unsigned unit) {
    if (high != 0 && is_low_surrogate(unit)) {
        append_utf8(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
        high = 0;
        return;
    }
    flush_surrogate(out, high);
    if (is_high_surrogate(unit)) {
        high = unit;
    } else {
        append_utf8(out, is_low_surrogate(unit) ? kReplacement : unit);
    }
}

int hex_digit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The reasons a read stops for, as ReadError reports them.
constexpr const char* kEndOfInput = "unexpected end of input";
constexpr const char* kUnexpected = "unexpected character";
constexpr const char* kExpectedKey = "expected a key";
constexpr const char* kExpectedColon = "expected ':' after a key";
constexpr const char* kExpectedObjectGoOn = "expected ',' or '}'";
constexpr const char* kExpectedArrayGoOn = "expected ',' or ']'";
constexpr const char* kInvalidLiteral = "invalid literal";
constexpr const char* kUnterminated = "unterminated string";
constexpr const char* kInvalidEscape = "invalid escape";
constexpr const char* kControl = "control character in string";
constexpr const char* kInvalidUtf8 = "invalid UTF-8";
constexpr const char* kInvalidNumber = "invalid number";
constexpr const char* kOutOfRange = "number out of range";
constexpr const char* kTooDeep = "nesting deeper than 512 levels";
constexpr const char* kAfterDocument = "text after the document";
constexpr const char* kByteOrderMark = "byte-order mark";
static_assert(kMaxDepth == 512, "the nesting reason names the bound");

// What stands at a place where a value was wanted and none could be read.
const char* reason_for_value_at(int c, std::size_t offset) {
    if (c == kEnd) return kEndOfInput;
    if (c == 0xEF && offset == 0) return kByteOrderMark;
    if (c == 't' || c == 'f' || c == 'n') return kInvalidLiteral;
    if (starts_number(c)) return kInvalidNumber;
    return kUnexpected;
}
}  // namespace

bool convert_number(std::string_view text, double& value) {
    const char* first = text.data();
    const char* const last = first + text.size();
    // The extraction takes a plus sign, from_chars does not.
    if (first != last && *first == '+') ++first;
    double converted = 0;
    const auto [end, error] = std::from_chars(first, last, converted);
    if (end != last || error == std::errc::invalid_argument) {
        value = 0;
        return false;
    }
    if (error == std::errc::result_out_of_range) {
        const bool negative = *first == '-';
        if (at_least_one(text)) {
            value = negative ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
            return false;
        }
        value = negative ? -0.0 : 0.0;
        return true;
    }
    value = converted;
    return true;
}

bool convert_hex_escape(std::string_view text, long& value) {
    std::size_t i = 0;
    while (i < text.size() && TextBuffer::is_space(to_int(text[i]))) ++i;
    if (i == text.size()) return false;
    const bool negative = text[i] == '-';
    if (negative || text[i] == '+') ++i;
    // One leading zero, then an optional x, as the extraction of a hex int.
    bool zero = false;
    if (i < text.size() && text[i] == '0') {
        zero = true;
        if (++i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
            zero = false;
            ++i;
        }
    }
    long result = 0;
    std::size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        result = result * 16 + digit;
    }
    if (digits == 0 && !zero) return false;
    value = negative ? -result : result;
    return true;
}

// ---------------------------------------------------------------------------
// Where reading stops

// A lenient read may fail, be recovered, and fail again further on: the
// reason kept is the first one noted at the furthest place, which is where
// the innermost reader that saw the fault stopped. A strict read fails once,
// at its first fault. At the end of the input every fault is its end.
template <class In, class Build, Syntax kSyntax>
void Grammar<In, Build, kSyntax>::note_at(std::size_t offset, const char* reason) {
    if (deep_) return;
    if (stop_.reason != nullptr && (kStrict || offset <= stop_.offset)) return;
    if (reason != kUnterminated && reason != kOutOfRange && offset == in_.offset() && in_.next() == kEnd)
        reason = kEndOfInput;
    stop_ = {offset, reason};
}

template <class In, class Build, Syntax kSyntax>
void Grammar<In, Build, kSyntax>::note(const char* reason) {
    note_at(in_.offset(), reason);
}

// ---------------------------------------------------------------------------
// Token readers

// match: white space, then the pattern character by character. At a
// mismatch a "//" comment may be skipped and matching goes on; otherwise the
// characters matched so far are given back, last first.
template <class In, class Build, Syntax kSyntax>
inline bool Grammar<In, Build, kSyntax>::match(const char* pattern) {
    if constexpr (kStrict) return strict_match(pattern[0]);
    if (in_.good()) {
        const int c = in_.skip_space_quietly();
        if (c == to_int(pattern[0]) && pattern[1] == '\0') {
            in_.advance();
            return true;
        }
        if (c != kEnd && c != to_int(pattern[0]) && c != '/') return false;
    }
    return match_slowly(pattern);
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::match_slowly(const char* pattern) {
    if (in_.good() && in_.take_literal(pattern)) return true;
    return match_sequence(pattern);
}

// The full sequence of stream operations. A byte that does not match is
// looked at rather than read and put back, which comes to the same where
// the stream takes it back, and lets a stream that cannot read on.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::match_sequence(const char* pattern) {
    in_.ws();
    const char* p = pattern;
    while (!in_.fail() && !in_.eof() && *p != '\0') {
        const int c = in_.peek();
        if (c == kEnd) {
            in_.get();  // fails, as reading at the end does
            return false;
        }
        if (c == to_int(*p)) {
            in_.get();
            ++p;
            continue;
        }
        if (comment()) continue;
        while (p != pattern) in_.putback(*--p);
        return false;
    }
    return *p == '\0';
}

// comment: "//" up to a line break, which is skipped with the white space
// after it. A lone slash is given back, and the flags reset, so that it can
// still be read. The byte after it is looked at, not read and given back: the
// same where the stream takes bytes back, and where it cannot, only the
// slash is refused, which leaves the stream bad.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::comment() {
    if (in_.eof() || in_.peek() != '/') return false;
    in_.get();
    if (in_.peek() == '/') {
        in_.get();
        in_.skip_line();
        in_.peek();  // sets eofbit where the comment ran to the end
        if (!in_.eof()) in_.ws();
        return true;
    }
    in_.unget();
    return false;
}

// string: '"' chars '"' | "'" chars "'". Any byte but the delimiter and the
// backslash stands for itself; escapes as append_escape and unicode_escape.
template <class In, class Build, Syntax kSyntax>
template <class Text>
bool Grammar<In, Build, kSyntax>::string(Text& value) {
    if constexpr (kStrict) return strict_string(value);
    char delim;
    if (match("\"")) {
        delim = '"';
    } else if (in_.peek() == '\'') {
        in_.get();
        delim = '\'';
    } else {
        return false;
    }
    unsigned high = 0;
    bool closed = false;
    while (in_.good()) {
        if (high == 0) in_.append_plain(value, delim);
        const int c = in_.get();
        if (c == kEnd) break;
        if (c == to_int(delim)) {
            closed = true;
            break;
        }
        if (c != '\\') {
            flush_surrogate(value, high);
            value.push_back(static_cast<char>(c));
            continue;
        }
        const int escaped = in_.get();
        if (escaped == kEnd) break;
        if (escaped == 'u') {
            unicode_escape(value, high);
            continue;
        }
        flush_surrogate(value, high);
        append_escape(value, escaped, delim);
    }
    flush_surrogate(value, high);
    if (!closed) note(kUnterminated);
    return closed && !in_.fail();
}

// \u: the next four characters, whatever they are, read as a hex int by a
// string stream; its low 16 bits are a UTF-16 code unit.
template <class In, class Build, Syntax kSyntax>
template <class Text>
void Grammar<In, Build, kSyntax>::unicode_escape(Text& value, unsigned& high) {
    char hex[4];
    std::size_t n = 0;
    while (n < 4 && in_.good()) {
        const int c = in_.get();
        if (c == kEnd) break;
        hex[n++] = static_cast<char>(c);
    }
    long code = 0;
    if (!in_.good() || !in_.convert_hex(std::string_view(hex, n), code)) {
        flush_surrogate(value, high);
        return;
    }
    append_code_unit(value, high, static_cast<unsigned long>(code) & 0xFFFF);
}

// identifier: a name up to a colon, which stays unread. Spaces and tabs
// inside are skipped, other characters outside the name's set dropped.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::identifier(String& value) {
    in_.ws();
    int last = kEnd;
    bool first = true;
    while (in_.good()) {
        const int c = in_.get();
        if (c == kEnd) break;
        last = c;
        if (c == ':') {
            in_.unget();
            break;
        }
        if (first && !is_identifier_start(c)) return false;
        first = false;
        if (is_identifier_start(c) || is_digit(c)) {
            value.push_back(static_cast<char>(c));
        } else if (c == ' ' || c == '\t') {
            in_.ws();
        }
    }
    return !in_.fail() && last == ':';
}

// number: what the stream's number extraction takes after white space; on
// failure the read position goes back to where the number would start.
template <class In, class Build, Syntax kSyntax>
inline bool Grammar<In, Build, kSyntax>::number(Number& value) {
    if constexpr (kStrict) return strict_number(value);
    if (in_.good()) {
        const int c = in_.skip_space_quietly();
        if (c != kEnd && !starts_number(c)) {
            value = 0;
            in_.restore_after_empty_number();
            return false;
        }
        if (c != kEnd && in_.take_plain_number(value)) return true;
    }
    return number_slowly(value);
}

// A failed extraction that took something was a number gone wrong: noted at
// its start, where the attempt leaves the read position.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::number_slowly(Number& value) {
    in_.ws();
    // Where tellg() would report a position: on a good stream.
    const bool told = in_.good();
    const std::size_t start_offset = in_.offset();
    in_.extract(value);
    if (!in_.fail()) return true;
    const bool took_some = in_.offset() != start_offset;
    const bool went_back = in_.back_after_number(start_offset, told);
    if (took_some) {
        const bool overflow =
            value == std::numeric_limits<double>::max() || value == -std::numeric_limits<double>::max();
        // Where its bytes could not be given back, the fault stands where the reader stopped.
        note_at(went_back ? start_offset : in_.offset(), overflow ? kOutOfRange : kInvalidNumber);
    }
    return false;
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::boolean(bool& value) {
    if constexpr (kStrict) {
        value = in_.next() == 't';
        return strict_literal(value ? "true" : "false");
    }
    if (match("true")) {
        value = true;
        return true;
    }
    if (match("false")) {
        value = false;
        return true;
    }
    return false;
}

// null, or nothing in front of a comma: an empty value reads as null.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::null() {
    if constexpr (kStrict) return strict_literal("null");
    return match("null") || in_.peek() == ',';
}

// ---------------------------------------------------------------------------
// Standard JSON's tokens. Each looks at a byte before taking it, so a fault
// is noted where the byte that cannot go on stands.

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::strict_match(char c) {
    if (in_.skip_json_space() != to_int(c)) return false;
    in_.advance();
    return true;
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::strict_literal(const char* literal) {
    for (const char* p = literal; *p != '\0'; ++p) {
        if (in_.next() != to_int(*p)) {
            note(kInvalidLiteral);
            return false;
        }
        in_.advance();
    }
    return true;
}

template <class In, class Build, Syntax kSyntax>
template <class Text>
bool Grammar<In, Build, kSyntax>::strict_string(Text& value) {
    if (in_.skip_json_space() != '"') return false;
    in_.advance();
    unsigned high = 0;
    for (;;) {
        if (high != 0 && in_.next() != '\\') flush_surrogate(value, high);
        in_.append_json_plain(value);
        const int c = in_.next();
        if (c == '"') {
            in_.advance();
            return true;
        }
        if (c == '\\') {
            in_.advance();
            if (!strict_escape(value, high)) return false;
        } else if (c == kEnd) {
            note(kUnterminated);
            return false;
        } else if (c < 0x20) {
            note(kControl);
            return false;
        } else if (!strict_utf8(value, c)) {
            return false;
        }
    }
}

template <class In, class Build, Syntax kSyntax>
template <class Text>
bool Grammar<In, Build, kSyntax>::strict_escape(Text& value, unsigned& high) {
    const int c = in_.next();
    if (c == 'u') {
        in_.advance();
        unsigned unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hex_digit(in_.next());
            if (digit < 0) {
                note(in_.next() == kEnd ? kUnterminated : kInvalidEscape);
                return false;
            }
            unit = unit * 16 + static_cast<unsigned>(digit);
            in_.advance();
        }
        append_code_unit(value, high, unit);
        return true;
    }
    flush_surrogate(value, high);
    switch (c) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            append_escape(value, c, '"');
            in_.advance();
            return true;
        default:
            note(c == kEnd ? kUnterminated : kInvalidEscape);
            return false;
    }
}

// A byte from 0x80 on where the plain run stopped: one well-formed sequence
// is taken; the first byte that breaks one is the fault.
template <class In, class Build, Syntax kSyntax>
template <class Text>
bool Grammar<In, Build, kSyntax>::strict_utf8(Text& value, int lead_byte) {
    const Utf8Lead lead = utf8_lead(lead_byte);
    if (lead.continuations < 0) {
        note(kInvalidUtf8);
        return false;
    }
    value.push_back(static_cast<char>(lead_byte));
    in_.advance();
    int low = lead.low;
    int high = lead.high;
    for (int i = 0; i < lead.continuations; ++i) {
        const int c = in_.next();
        if (c == kEnd || c < low || c > high) {
            note(c == kEnd ? kUnterminated : kInvalidUtf8);
            return false;
        }
        value.push_back(static_cast<char>(c));
        in_.advance();
        low = 0x80;
        high = 0xBF;
    }
    return true;
}

// '-'? ('0' | [1-9][0-9]*) ('.' [0-9]+)? ([eE] [+-]? [0-9]+)?, within the
// double's range; a number too small for a double reads as zero.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::strict_number(Number& value) {
    if (in_.take_json_number(value)) return true;
    const std::size_t start = in_.offset();
    bool formed = false;
    const std::string_view text = in_.run_of([&] { formed = strict_number_run(); });
    if (!formed) return false;
    double converted = 0;
    if (!convert_number(text, converted)) {
        note_at(start, kOutOfRange);
        return false;
    }
    value = converted;
    in_.note_exact(text, converted);
    return true;
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::strict_number_run() {
    int c = in_.next();
    if (c == '-') c = in_.take_into_run(c);
    if (c == '0') {
        c = in_.take_into_run(c);
        if (is_digit(c)) return fails_at(kInvalidNumber);
    } else if (is_digit(c)) {
        c = in_.take_digits_into_run();
    } else {
        return fails_at(kInvalidNumber);
    }
    if (c == '.') {
        c = in_.take_into_run(c);
        if (!is_digit(c)) return fails_at(kInvalidNumber);
        c = in_.take_digits_into_run();
    }
    if (c == 'e' || c == 'E') {
        c = in_.take_into_run(c);
        if (c == '+' || c == '-') c = in_.take_into_run(c);
        if (!is_digit(c)) return fails_at(kInvalidNumber);
        in_.take_digits_into_run();
    }
    return true;
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::fails_at(const char* reason) {
    note(reason);
    return false;
}

// ---------------------------------------------------------------------------
// Structural parser

// A container nested deeper than kMaxDepth fails the whole read, as the end
// of the input would: every reader after it fails, so no enclosing reader can
// recover by reading the text another way. Only a container that opens
// counts, so the check follows its bracket, which is given back: the fault
// stands at the bracket that opens the level too many.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::too_deep(std::size_t depth) {
    if (depth <= kMaxDepth) return false;
    in_.unget();
    note(kTooDeep);
    deep_ = true;
    in_.abandon();
    return true;
}

// value: string | number | boolean | null | array | object. Leniently they
// are tried in this order and the first that reads decides; only the array
// attempt does not give back what it read: the object attempt starts where
// it stopped. Strictly the first byte decides.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::value(std::size_t depth) {
    return value_from(depth, first_attempt());
}

// Where a source that takes back every character it just read can start:
// on it, an attempt whose first character cannot match gives back what it
// read and leaves no trace, so the attempts before the one the next
// character selects can be skipped.
template <class In, class Build, Syntax kSyntax>
inline typename Grammar<In, Build, kSyntax>::Attempt Grammar<In, Build, kSyntax>::first_attempt() {
    if constexpr (!kStrict) {
        if (!In::kTakesBackFreely || !in_.good()) return Attempt::String;
    }
    const int c = kStrict ? in_.skip_json_space() : in_.skip_space_quietly();
    if (starts_number(c)) return Attempt::Number;
    switch (c) {
        case 't':
        case 'f':
            return Attempt::Boolean;
        case 'n':
            return Attempt::Null;
        case ',':
            return kStrict ? Attempt::None : Attempt::Null;
        case '[':
            return Attempt::Array;
        case '{':
            return Attempt::Object;
        case '"':
            return Attempt::String;
        case '\'':
        case '/':
        case kEnd:
            return kStrict ? Attempt::None : Attempt::String;
        default:
            return kStrict ? Attempt::None : Attempt::Object;
    }
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::string_value() {
    typename Build::Text text;
    if (!string(text)) return false;
    build_.string(std::move(text));
    return true;
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::value_from(std::size_t depth, Attempt first) {
    switch (first) {
        case Attempt::String:
            if (string_value()) return true;
            if constexpr (kStrict) return false;
            [[fallthrough]];
        case Attempt::Number: {
            Number number_value;
            if (number(number_value)) {
                build_.number(number_value);
                if (__builtin_expect(is_beyond_exact_doubles(number_value), 0)) build_.exact(in_.exact());
                return true;
            }
            if constexpr (kStrict) return false;
        }
            [[fallthrough]];
        case Attempt::Boolean: {
            bool boolean_value;
            if (boolean(boolean_value)) {
                build_.boolean(boolean_value);
                return true;
            }
            if constexpr (kStrict) return false;
        }
            [[fallthrough]];
        case Attempt::Null:
            if (null()) {
                build_.null();
                return true;
            }
            if constexpr (kStrict) return false;
            [[fallthrough]];
        case Attempt::Array:
            if (kStrict || in_.peek() == '[') {
                if (array(depth + 1)) return true;
                if constexpr (kStrict) return false;
            }
            [[fallthrough]];
        case Attempt::Object:
            return object(depth + 1);
        case Attempt::None:
            note(kUnexpected);
            return false;
    }
    return false;
}

// The closing bracket or brace of a container. Where it is missing, the
// fault is the value that could not be read there, or else the missing
// separator.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::close(const char* bracket, bool value_failed, const char* expected) {
    if (match(bracket)) return true;
    note(value_failed ? reason_for_value_at(in_.next(), in_.offset()) : expected);
    return false;
}

// object: '{' '}' | '{' member (',' member)* [','] '}', member: string ':'
// value. Leniently a member whose value cannot be read ends the loop
// unadded; a later key replaces an earlier one.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::object(std::size_t depth) {
    // Leniently the last attempt at a value: what stands there is the fault.
    if (!match("{")) {
        note(reason_for_value_at(in_.next(), in_.offset()));
        return false;
    }
    if (too_deep(depth)) return false;
    build_.begin_object();
    bool value_failed = false;
    if (!match("}")) {
        for (;;) {
            typename Build::Text key;
            if (!string(key)) {
                if (!kStrict && in_.peek() == '}') break;
                note(kExpectedKey);
                build_.drop_object();
                return false;
            }
            if (!match(":")) {
                note(kExpectedColon);
                build_.drop_object();
                return false;
            }
            build_.key(std::move(key));
            if (!value(depth)) {
                build_.drop_key();
                value_failed = true;
                break;
            }
            if (!match(",")) break;
        }
        if ((kStrict && value_failed) || !close("}", value_failed, kExpectedObjectGoOn)) {
            build_.drop_object();
            return false;
        }
    }
    build_.end_object();
    return true;
}

// array: '[' ']' | '[' value (',' value)* [','] ']'; leniently an empty
// value in front of a comma is null, and one that cannot be read ends the
// loop.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::array(std::size_t depth) {
    if (!match("[")) {
        note(kUnexpected);
        return false;
    }
    if (too_deep(depth)) return false;
    build_.begin_array();
    bool value_failed = false;
    if (!match("]")) {
        for (;;) {
            if (!value(depth)) {
                value_failed = true;
                break;
            }
            if (!match(",")) break;
        }
        if ((kStrict && value_failed) || !close("]", value_failed, kExpectedArrayGoOn)) {
            build_.drop_array();
            return false;
        }
    }
    build_.end_array();
    return true;
}

// A document: after every leading byte up to 0x20 (control bytes too, not
// comments), an object or an array. What follows it is not looked at.
template <class In, class Build, Syntax kSyntax>
Opened Grammar<In, Build, kSyntax>::document() {
    int c = in_.peek();
    while (c != kEnd && c <= 0x20) {
        in_.get();
        c = in_.peek();
    }
    if (c == '{') return object(1) ? Opened::Object : Opened::Nothing;
    if (c == '[') return array(1) ? Opened::Array : Opened::Nothing;
    note(c == 0xEF && in_.offset() == 0 ? kByteOrderMark : kUnexpected);
    return Opened::Nothing;
}

// One value with nothing but white space after it. A byte-order mark is
// told apart from any other byte that cannot begin a value.
template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::whole_text() {
    if (in_.next() == 0xEF) {
        const std::size_t start = in_.offset();
        note_at(start, takes_byte_order_mark() ? kByteOrderMark : kUnexpected);
        return false;
    }
    if (!value(0)) return false;
    if (in_.skip_json_space() != kEnd) {
        note(kAfterDocument);
        return false;
    }
    return true;
}

template <class In, class Build, Syntax kSyntax>
bool Grammar<In, Build, kSyntax>::takes_byte_order_mark() {
    for (int byte : {0xEF, 0xBB, 0xBF}) {
        if (in_.next() != byte) return false;
        in_.advance();
    }
    return true;
}

template class Grammar<TextCursor, DocumentBuilder>;
template class Grammar<StreamCursor, DocumentBuilder>;
template class Grammar<TextCursor, DocumentBuilder, Syntax::Strict>;
template class Grammar<StreamCursor, DocumentBuilder, Syntax::Strict>;
template class Grammar<TextCursor, NullBuilder>;
template class Grammar<StreamCursor, NullBuilder>;
template class Grammar<TextCursor, NullBuilder, Syntax::Strict>;

// ---------------------------------------------------------------------------
// Readers into the model

template <class In>
bool Reader<In>::value(Value& target, std::size_t depth) {
    target.reset();
    build_.keep_failed_outermost(false);
    if (!grammar_.value(depth)) return false;
    ModelAccess::take_over(target, *build_.take());
    return true;
}

template <class In>
bool Reader<In>::object(Object& target, std::size_t depth) {
    target.reset();
    build_.keep_failed_outermost(true);
    const bool ok = grammar_.object(depth);
    if (const auto read = build_.take()) ModelAccess::entries(target).swap(ModelAccess::entries(*read));
    return ok;
}

template <class In>
bool Reader<In>::array(Array& target, std::size_t depth) {
    target.reset();
    build_.keep_failed_outermost(true);
    const bool ok = grammar_.array(depth);
    if (const auto read = build_.take()) ModelAccess::elements(target).swap(ModelAccess::elements(*read));
    return ok;
}

template <class In>
Opened Reader<In>::document(Object& object, Array& array) {
    object.reset();
    array.reset();
    build_.keep_failed_outermost(false);
    const Opened opened = grammar_.document();
    if (opened == Opened::Object) ModelAccess::entries(object).swap(ModelAccess::entries(*build_.take()));
    if (opened == Opened::Array) ModelAccess::elements(array).swap(ModelAccess::elements(*build_.take()));
    return opened;
}

template class Reader<TextCursor>;
template class Reader<StreamCursor>;

namespace {

// Runs `read` on a cursor over the stream and hands the flags back to it.
template <class Read>
auto on_stream(std::istream& stream, Read read) {
    StreamCursor in(stream);
    const auto result = read(in);
    in.finish();
    return result;
}

// Runs `read` on a cursor over the text in place, which reads as an input
// string stream over a copy of it would in the classic locale: numbers
// and escapes read the same under any global locale.
template <class Read>
auto on_text(std::string_view text, Read read) {
    TextCursor in(text, std::ios_base::goodbit);
    return read(in);
}

template <class In>
using ReaderOn = Reader<std::remove_reference_t<In>>;

// Where and why reading stopped at `offset`: the reason noted there, or
// what stands there.
template <class In>
void report(In& in, const Stop& stop, std::size_t offset, ReadError* error) {
    if (!error) return;
    const Place place = in.place_of(offset);
    error->offset = offset;
    error->line = place.line;
    error->column = offset - place.line_start + 1;
    error->reason = stop.reason != nullptr && stop.offset == offset
                        ? stop.reason
                        : reason_for_value_at(in.offset() == offset ? in.next() : kEnd, offset);
}

template <class In>
Opened open_on(In& in, Object& object, Array& array, ReadError* error) {
    ReaderOn<In> reader(in);
    const Opened opened = reader.document(object, array);
    if (opened == Opened::Nothing) report(in, reader.stop(), in.offset(), error);
    return opened;
}

template <class In>
bool check_on(In& in, ReadError* error) {
    NullBuilder build;
    Grammar<std::remove_reference_t<In>, NullBuilder> grammar(in, build);
    const bool ok = grammar.document() != Opened::Nothing;
    if (!ok) report(in, grammar.stop(), in.offset(), error);
    return ok;
}

}  // namespace

Opened open_document(std::istream& in, Object& object, Array& array) {
    return on_stream(in, [&](auto& cursor) { return open_on(cursor, object, array, nullptr); });
}

Opened open_document(std::string_view text, Object& object, Array& array, ReadError* error) {
    return on_text(text, [&](auto& cursor) { return open_on(cursor, object, array, error); });
}

bool check_document(std::istream& in) {
    return on_stream(in, [&](auto& cursor) { return check_on(cursor, nullptr); });
}

bool check_document(std::string_view text, ReadError* error) {
    return on_text(text, [&](auto& cursor) { return check_on(cursor, error); });
}

namespace {

// Where and why a strict read failed: the first fault, or where the source
// gave out.
template <class In, class Build>
void report_strict(In& in, const Grammar<In, Build, Syntax::Strict>& grammar, ReadError* error) {
    const Stop stop = grammar.stop().reason ? grammar.stop() : Stop{in.offset(), nullptr};
    report(in, stop, stop.offset, error);
}

// Lenient: exactly the value reader, stopping where it stops.
template <class In>
bool read_leniently(In& in, Value& staged, ReadError* error) {
    ReaderOn<In> reader(in);
    if (reader.value(staged, 0)) return true;
    report(in, reader.stop(), in.offset(), error);
    return false;
}

// Strict: the whole input, faults where they stand.
template <class In>
bool read_strictly(In& in, Value& staged, ReadError* error) {
    DocumentBuilder build;
    Grammar<std::remove_reference_t<In>, DocumentBuilder, Syntax::Strict> grammar(in, build);
    if (in.good() && grammar.whole_text()) {
        in.saw_end();
        ModelAccess::take_over(staged, *build.take());
        return true;
    }
    in.fail_quietly();
    report_strict(in, grammar, error);
    return false;
}

template <class In>
bool read_on(In& in, Value& staged, ReadError* error, Syntax syntax) {
    return syntax == Syntax::Strict ? read_strictly(in, staged, error) : read_leniently(in, staged, error);
}

}  // namespace

namespace {

template <Syntax kSyntax, class Build>
FrontRead read_front_with(std::string_view text, Build& build) {
    TextCursor in(text, std::ios_base::goodbit);
    Grammar<TextCursor, Build, kSyntax> grammar(in, build);
    FrontRead read;
    read.ok = grammar.value(0);
    read.reached = in.reached();
    if (read.ok) {
        read.end = in.offset();
        return read;
    }
    if constexpr (kSyntax == Syntax::Strict) {
        report_strict(in, grammar, &read.error);
    } else {
        report(in, grammar.stop(), in.offset(), &read.error);
    }
    read.end = read.error.offset;
    return read;
}

template <Syntax kSyntax>
FrontRead read_front_in(std::string_view text, Value* staged) {
    if (!staged) {
        NullBuilder build;
        return read_front_with<kSyntax>(text, build);
    }
    DocumentBuilder build;
    const FrontRead read = read_front_with<kSyntax>(text, build);
    if (read.ok) ModelAccess::take_over(*staged, *build.take());
    return read;
}

}  // namespace

FrontRead read_front(std::string_view text, Value* staged, Syntax syntax) {
    return syntax == Syntax::Strict ? read_front_in<Syntax::Strict>(text, staged)
                                    : read_front_in<Syntax::Lenient>(text, staged);
}

bool check_strictly(std::string_view text, ReadError* error) {
    TextCursor in(text, std::ios_base::goodbit);
    NullBuilder build;
    Grammar<TextCursor, NullBuilder, Syntax::Strict> grammar(in, build);
    if (grammar.whole_text()) return true;
    report_strict(in, grammar, error);
    return false;
}

}  // namespace detail

using detail::ModelAccess;
using detail::on_stream;
using detail::on_text;
using detail::ReaderOn;

// ---------------------------------------------------------------------------
// Public entry points

// Strict reading needs no locale: it never goes through a stream's
// extraction, so the text is always read in place.
bool read(const String& text, Value& target, ReadError* error, Syntax syntax) {
    Value staged;
    const auto read_staged = [&](auto& in) { return detail::read_on(in, staged, error, syntax); };
    detail::TextCursor in_place(text, std::ios_base::goodbit);
    const bool ok = syntax == Syntax::Strict ? read_staged(in_place) : on_text(text, read_staged);
    if (ok) ModelAccess::take_over(target, staged);
    return ok;
}

bool read(std::istream& in, Value& target, ReadError* error, Syntax syntax) {
    Value staged;
    const bool ok = on_stream(in, [&](auto& cursor) { return detail::read_on(cursor, staged, error, syntax); });
    if (ok) ModelAccess::take_over(target, staged);
    return ok;
}

bool Value::parse(std::istream& in, Value& target) {
    return on_stream(in, [&](auto& cursor) { return ReaderOn<decltype(cursor)>(cursor).value(target, 0); });
}
bool Value::parse(std::istream& in) { return parse(in, *this); }
// The text is read in place and may lie inside the target (a string value of
// it, say): the reader fills a staged document, and the target's old content
// is released only once the text has been read.
bool Value::parse(const String& text) {
    Value staged;
    const bool ok = on_text(text, [&](auto& cursor) { return ReaderOn<decltype(cursor)>(cursor).value(staged, 0); });
    ModelAccess::take_over(*this, staged);
    return ok;
}

bool Object::parse(std::istream& in, Object& target) {
    return on_stream(in, [&](auto& cursor) { return ReaderOn<decltype(cursor)>(cursor).object(target, 1); });
}
bool Object::parse(std::istream& in) { return parse(in, *this); }
bool Object::parse(const String& text) {
    Object staged;
    const bool ok = on_text(text, [&](auto& cursor) { return ReaderOn<decltype(cursor)>(cursor).object(staged, 1); });
    reset();
    entries_.swap(staged.entries_);
    return ok;
}

bool Array::parse(std::istream& in, Array& target) {
    return on_stream(in, [&](auto& cursor) { return ReaderOn<decltype(cursor)>(cursor).array(target, 1); });
}
bool Array::parse(std::istream& in) { return parse(in, *this); }
bool Array::parse(const String& text) {
    Array staged;
    const bool ok = on_text(text, [&](auto& cursor) { return ReaderOn<decltype(cursor)>(cursor).array(staged, 1); });
    reset();
    elements_.swap(staged.elements_);
    return ok;
}

bool parse_value(std::istream& in, Value& target) { return target.parse(in); }
bool parse_object(std::istream& in, Object& target) { return target.parse(in); }
bool parse_array(std::istream& in, Array& target) { return target.parse(in); }

namespace {

// One token reader of the stream.
template <class Read>
bool read_token(std::istream& in, Read read) {
    return on_stream(in, [&](detail::StreamCursor& cursor) {
        detail::Reader<detail::StreamCursor> reader(cursor);
        return read(reader);
    });
}

}  // namespace

bool match(const char* pattern, std::istream& in) {
    return read_token(in, [&](auto& reader) { return reader.match(pattern); });
}
bool parse_comment(std::istream& in) {
    return read_token(in, [&](auto& reader) { return reader.comment(); });
}
bool parse_string(std::istream& in, String& value) {
    return read_token(in, [&](auto& reader) { return reader.string(value); });
}
bool parse_identifier(std::istream& in, String& value) {
    return read_token(in, [&](auto& reader) { return reader.identifier(value); });
}
bool parse_number(std::istream& in, Number& value) {
    return read_token(in, [&](auto& reader) { return reader.number(value); });
}
bool parse_bool(std::istream& in, bool& value) {
    return read_token(in, [&](auto& reader) { return reader.boolean(value); });
}
bool parse_null(std::istream& in) {
    return read_token(in, [&](auto& reader) { return reader.null(); });
}

}  // namespace zqjson
