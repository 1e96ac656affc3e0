// The lenient JSON reader: token readers and a recursive-descent structural
// parser, written once over a Cursor and instantiated for a caller's stream
// and for text read in place.
//
// The readers are written in the stream operations whose effects they must
// reproduce (get, peek, putback, unget, ws, clear, tellg, seekg): hosts rely
// on the exact language that sequence accepts, quirks included. Where the
// common case allows, a reader first takes a fast path that does what the
// sequence would do on a good stream, in fewer steps.
#include "Parser.h"

#include <charconv>
#include <istream>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "ModelAccess.h"

namespace zqjson {
namespace detail {

namespace {

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Whether the number extraction of the classic locale can take `c` first.
bool starts_number(int c) { return is_digit(c) || c == '+' || c == '-' || c == '.'; }

bool is_identifier_start(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$';
}

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

void append_utf8(String& out, unsigned code) {
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
void flush_surrogate(String& out, unsigned& high) {
    if (high == 0) return;
    append_utf8(out, kReplacement);
    high = 0;
}

// What a backslash and `c` stand for inside a string closed by `delim`; the
// quote that does not close the string keeps its backslash.
void append_escape(String& out, int c, char delim) {
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

// The elements one array reader collected on the shared stack; released
// there if an exception leaves the reader before they reach the array.
class Collected {
public:
    explicit Collected(std::vector<Value*>& stack) : stack_(stack), start_(stack.size()) {}
    ~Collected() {
        for (std::size_t i = start_; i < stack_.size(); ++i) delete stack_[i];
        stack_.resize(start_);
    }
    Collected(const Collected&) = delete;
    Collected& operator=(const Collected&) = delete;

    void push(std::unique_ptr<Value> element) {
        stack_.push_back(element.get());
        element.release();
    }
    void move_to(Array::Elements& elements) {
        elements.assign(stack_.begin() + static_cast<std::ptrdiff_t>(start_), stack_.end());
        stack_.resize(start_);
    }

private:
    std::vector<Value*>& stack_;
    std::size_t start_;
};

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

bool convert_hex_escape_by_stream(std::string_view text, long& value) {
    std::istringstream stream{std::string(text)};
    int number = 0;
    if (!(stream >> std::hex >> number)) return false;
    value = number;
    return true;
}

// ---------------------------------------------------------------------------
// Token readers

// match: white space, then the pattern character by character. At a
// mismatch a "//" comment may be skipped and matching goes on; otherwise the
// characters matched so far are given back, last first.
template <class In>
inline bool Reader<In>::match(const char* pattern) {
    if (in_.good()) {
        const int c = in_.skip_space_quietly();
        if (c == to_int(pattern[0]) && pattern[1] == '\0') {
            in_.advance();
            return true;
        }
        if (c != kEnd && c != to_int(pattern[0]) && c != '/') {
            if (!in_.bounce(static_cast<char>(c))) comment();
            return false;
        }
    }
    return match_slowly(pattern);
}

template <class In>
bool Reader<In>::match_slowly(const char* pattern) {
    if (in_.good() && in_.take_literal(pattern)) return true;
    return match_sequence(pattern);
}

// The full sequence of stream operations.
template <class In>
bool Reader<In>::match_sequence(const char* pattern) {

    in_.ws();
    const char* p = pattern;
    while (!in_.fail() && !in_.eof() && *p != '\0') {
        const int c = in_.get();
        if (c == kEnd) return false;
        if (c == to_int(*p)) {
            ++p;
            continue;
        }
        in_.putback(static_cast<char>(c));
        if (comment()) continue;
        while (p != pattern) in_.putback(*--p);
        return false;
    }
    return *p == '\0';
}

// comment: "//" up to a line break, which is skipped with the white space
// after it. A lone slash is given back, and the flags reset, so that it can
// still be read.
template <class In>
bool Reader<In>::comment() {
    if (in_.eof() || in_.peek() != '/') return false;
    in_.get();
    if (in_.get() == '/') {
        in_.skip_line();
        in_.peek();  // sets eofbit where the comment ran to the end
        if (!in_.eof()) in_.ws();
        return true;
    }
    in_.unget();
    in_.clear();
    in_.unget();
    in_.clear();
    return false;
}

// string: '"' chars '"' | "'" chars "'". Any byte but the delimiter and the
// backslash stands for itself; escapes as append_escape and unicode_escape.
template <class In>
bool Reader<In>::string(String& value) {
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
    return closed && !in_.fail();
}

// \u: the next four characters, whatever they are, read as a hex int by a
// string stream; its low 16 bits are a UTF-16 code unit, written as UTF-8.
// A high surrogate waits in `high` for a low one from the next escape.
template <class In>
void Reader<In>::unicode_escape(String& value, unsigned& high) {
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
    const unsigned unit = static_cast<unsigned long>(code) & 0xFFFF;
    if (high != 0 && is_low_surrogate(unit)) {
        append_utf8(value, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
        high = 0;
        return;
    }
    flush_surrogate(value, high);
    if (is_high_surrogate(unit)) {
        high = unit;
    } else {
        append_utf8(value, is_low_surrogate(unit) ? kReplacement : unit);
    }
}

// identifier: a name up to a colon, which stays unread. Spaces and tabs
// inside are skipped, other characters outside the name's set dropped.
template <class In>
bool Reader<In>::identifier(String& value) {
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
template <class In>
inline bool Reader<In>::number(Number& value) {
    if (in_.good()) {
        const int c = in_.skip_space_quietly();
        if (c != kEnd && !starts_number(c) && in_.classic_numbers()) {
            value = 0;
            in_.restore_after_empty_number();
            return false;
        }
        if (c != kEnd && in_.take_plain_number(value)) return true;
    }
    return number_slowly(value);
}

template <class In>
bool Reader<In>::number_slowly(Number& value) {
    in_.ws();
    const auto start = in_.tellg();
    in_.extract(value);
    if (!in_.fail()) return true;
    in_.clear();
    in_.seekg(start);
    return false;
}

template <class In>
bool Reader<In>::boolean(bool& value) {
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
template <class In>
bool Reader<In>::null() {
    return match("null") || in_.peek() == ',';
}

// ---------------------------------------------------------------------------
// Structural parser

// A container nested deeper than kMaxDepth fails the whole read, as the end
// of the input would: every reader after it fails, so no enclosing reader can
// recover by reading the text another way.
template <class In>
bool Reader<In>::too_deep(std::size_t depth) {
    if (depth <= kMaxDepth) return false;
    in_.abandon();
    return true;
}

// value: string | number | boolean | null | array | object, tried in this
// order; the first that reads decides. Only the array attempt does not give
// back what it read: the object attempt starts where it stopped.
template <class In>
bool Reader<In>::value(Value& target, std::size_t depth) {
    target.reset();
    return value_from(target, depth, first_attempt());
}

// Where a source that takes back every character it just read can start:
// on it, an attempt whose first character cannot match gives back what it
// read and leaves no trace, so the attempts before the one the next
// character selects can be skipped.
template <class In>
inline typename Reader<In>::Attempt Reader<In>::first_attempt() {
    if (!In::kTakesBackFreely || !in_.good()) return Attempt::String;
    const int c = in_.skip_space_quietly();
    if (starts_number(c)) return Attempt::Number;
    switch (c) {
        case 't':
        case 'f':
            return Attempt::Boolean;
        case 'n':
        case ',':
            return Attempt::Null;
        case '[':
            return Attempt::Array;
        case '"':
        case '\'':
        case '/':
        case kEnd:
            return Attempt::String;
        default:
            return Attempt::Object;
    }
}

template <class In>
bool Reader<In>::value_from(Value& target, std::size_t depth, Attempt first) {
    switch (first) {
        case Attempt::String: {
            String text;
            if (string(text)) {
                ModelAccess::adopt(target, new String(std::move(text)));
                return true;
            }
        }
            [[fallthrough]];
        case Attempt::Number: {
            Number number_value;
            if (number(number_value)) {
                target.import(number_value);
                return true;
            }
        }
            [[fallthrough]];
        case Attempt::Boolean: {
            bool boolean_value;
            if (boolean(boolean_value)) {
                target.import(boolean_value);
                return true;
            }
        }
            [[fallthrough]];
        case Attempt::Null:
            if (null()) {
                target.import(Null());
                return true;
            }
            [[fallthrough]];
        case Attempt::Array:
            if (in_.peek() == '[') {
                auto content = std::make_unique<Array>();
                if (array(*content, depth + 1)) {
                    ModelAccess::adopt(target, content.release());
                    return true;
                }
            }
            [[fallthrough]];
        case Attempt::Object: {
            auto content = std::make_unique<Object>();
            if (object(*content, depth + 1)) {
                ModelAccess::adopt(target, content.release());
                return true;
            }
        }
    }
    return false;
}

// object: '{' '}' | '{' member (',' member)* [','] '}', member: string ':'
// value. A member whose value cannot be read ends the loop unadded; a later
// key replaces an earlier one.
template <class In>
bool Reader<In>::object(Object& target, std::size_t depth) {
    target.reset();
    if (too_deep(depth) || !match("{")) return false;
    if (match("}")) return true;
    Object::Map& entries = ModelAccess::entries(target);
    for (;;) {
        String key;
        if (!string(key)) {
            if (in_.peek() == '}') break;
            return false;
        }
        if (!match(":")) return false;
        auto member = std::make_unique<Value>();
        if (!value(*member, depth)) break;
        // Keys often arrive in order; the hint makes that case constant time.
        Value*& slot = entries.try_emplace(entries.end(), std::move(key), nullptr)->second;
        delete slot;
        slot = member.release();
        if (!match(",")) break;
    }
    return match("}");
}

// array: '[' ']' | '[' value (',' value)* [','] ']'; an empty value in front
// of a comma is null, and one that cannot be read ends the loop.
template <class In>
bool Reader<In>::array(Array& target, std::size_t depth) {
    target.reset();
    if (too_deep(depth) || !match("[")) return false;
    if (match("]")) return true;
    Collected collected(pending_);
    for (;;) {
        auto element = std::make_unique<Value>();
        if (!value(*element, depth)) break;
        collected.push(std::move(element));
        if (!match(",")) break;
    }
    collected.move_to(ModelAccess::elements(target));
    return match("]");
}

// A document: after every leading byte up to 0x20 (control bytes too, not
// comments), an object or an array. What follows it is not looked at.
template <class In>
Opened Reader<In>::document(Object& object_target, Array& array_target) {
    int c = in_.peek();
    while (c != kEnd && c <= 0x20) {
        in_.get();
        c = in_.peek();
    }
    if (c == '{') return object(object_target, 1) ? Opened::Object : Opened::Nothing;
    if (c == '[') return array(array_target, 1) ? Opened::Array : Opened::Nothing;
    return Opened::Nothing;
}

template class Reader<TextCursor>;
template class Reader<StreamCursor>;

namespace {

// Runs `read` on a Reader over the stream and hands the flags back to it.
template <class Read>
auto read_stream(std::istream& stream, Read read) {
    StreamCursor in(stream);
    Reader<StreamCursor> reader(in);
    const auto result = read(reader);
    in.finish();
    return result;
}

// Runs `read` on a Reader over the text in place, or, while the global locale
// is not the classic one, over an input string stream holding a copy of it,
// whose extraction follows that locale.
template <class Read>
auto read_text(std::string_view text, Read read, std::size_t* stopped = nullptr) {
    if (global_locale_is_classic()) {
        TextCursor in(text, std::ios_base::goodbit);
        Reader<TextCursor> reader(in);
        const auto result = read(reader);
        if (stopped) *stopped = in.offset();
        return result;
    }
    std::istringstream stream{std::string(text)};
    const auto result = read_stream(stream, read);
    if (stopped) *stopped = static_cast<std::size_t>(stream.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
    return result;
}

}  // namespace

Opened open_document(std::istream& in, Object& object, Array& array) {
    return read_stream(in, [&](auto& reader) { return reader.document(object, array); });
}

Opened open_document(std::string_view text, Object& object, Array& array, std::size_t* stopped) {
    return read_text(
        text, [&](auto& reader) { return reader.document(object, array); }, stopped);
}

}  // namespace detail

using detail::read_stream;
using detail::read_text;

// ---------------------------------------------------------------------------
// Public entry points

bool Value::parse(std::istream& in, Value& target) {
    return read_stream(in, [&](auto& reader) { return reader.value(target, 0); });
}
bool Value::parse(std::istream& in) { return parse(in, *this); }
// The text is read in place and may lie inside the target (a string value of
// it, say): the reader fills a staged document, and the target's old content
// is released only once the text has been read.
bool Value::parse(const String& text) {
    Value staged;
    const bool ok = read_text(text, [&](auto& reader) { return reader.value(staged, 0); });
    detail::ModelAccess::take_over(*this, staged);
    return ok;
}

bool Object::parse(std::istream& in, Object& target) {
    return read_stream(in, [&](auto& reader) { return reader.object(target, 1); });
}
bool Object::parse(std::istream& in) { return parse(in, *this); }
bool Object::parse(const String& text) {
    Object staged;
    const bool ok = read_text(text, [&](auto& reader) { return reader.object(staged, 1); });
    reset();
    entries_.swap(staged.entries_);
    return ok;
}

bool Array::parse(std::istream& in, Array& target) {
    return read_stream(in, [&](auto& reader) { return reader.array(target, 1); });
}
bool Array::parse(std::istream& in) { return parse(in, *this); }
bool Array::parse(const String& text) {
    Array staged;
    const bool ok = read_text(text, [&](auto& reader) { return reader.array(staged, 1); });
    reset();
    elements_.swap(staged.elements_);
    return ok;
}

bool parse_value(std::istream& in, Value& target) { return target.parse(in); }
bool parse_object(std::istream& in, Object& target) { return target.parse(in); }
bool parse_array(std::istream& in, Array& target) { return target.parse(in); }

bool match(const char* pattern, std::istream& in) {
    return read_stream(in, [&](auto& reader) { return reader.match(pattern); });
}
bool parse_comment(std::istream& in) {
    return read_stream(in, [&](auto& reader) { return reader.comment(); });
}
bool parse_string(std::istream& in, String& value) {
    return read_stream(in, [&](auto& reader) { return reader.string(value); });
}
bool parse_identifier(std::istream& in, String& value) {
    return read_stream(in, [&](auto& reader) { return reader.identifier(value); });
}
bool parse_number(std::istream& in, Number& value) {
    return read_stream(in, [&](auto& reader) { return reader.number(value); });
}
bool parse_bool(std::istream& in, bool& value) {
    return read_stream(in, [&](auto& reader) { return reader.boolean(value); });
}
bool parse_null(std::istream& in) {
    return read_stream(in, [&](auto& reader) { return reader.null(); });
}

bool validate(std::istream& in) {
    Object object;
    Array array;
    return detail::open_document(in, object, array) != detail::Opened::Nothing;
}
bool validate(const String& text) {
    Object object;
    Array array;
    return detail::open_document(std::string_view(text), object, array) != detail::Opened::Nothing;
}

}  // namespace zqjson
