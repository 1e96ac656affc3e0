// JSON writing: string escaping, the compact stream output and the indented
// rendering.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <new>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "../ZQJson.h"
#include "ByteScan.h"
#include "JsonWriter.h"
#include "ModelAccess.h"
#include "OutputBuffer.h"
#include "Parser.h"
#include "Text.h"

namespace zqjson {

namespace {

// What a byte is written as inside a JSON string: itself, a two-character
// short form, or a six-character "\u00xx". Fixed-size entries let the
// writers copy an escape without a call.
struct Escape {
    char text[7];  // six at most; the seventh rounds the entry up to one word
    unsigned char size;
};

constexpr std::size_t kLongestEscape = 6;

// Built by the compiler, so there is nothing to build at run time and
// nothing to guard against concurrent first calls.
constexpr std::array<Escape, 256> kEscapes = [] {
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

constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> flags{};
    for (int b = 0; b < 256; ++b) flags[b] = kEscapes[b].size > 1;
    return flags;
}();

// Whether some byte of `word` needs an escape.
constexpr bool any_needs_escape(std::uint64_t word) {
    return detail::bytes::any_below(word, 0x20) | detail::bytes::any_equal(word, '"') |
           detail::bytes::any_equal(word, '\\') | detail::bytes::any_equal(word, '/');
}

// The first byte from `p` on that needs an escape, or `end`.
const char* next_escape(const char* p, const char* end) {
    return detail::bytes::find_first(p, end, any_needs_escape, [](unsigned char c) { return kNeedsEscape[c]; });
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
// The most significant digits the fixed notation is worked out for: as many
// as a double ever needs.
constexpr int kMostDigits = 17;
constexpr int kMostFractionDigits = kMostDigits - 1 - kLowestFixedExponent;

constexpr std::array<unsigned __int128, kMostFractionDigits + 1> kPowersOfTen = [] {
    std::array<unsigned __int128, kMostFractionDigits + 1> powers{};
    unsigned __int128 power = 1;
    for (auto& p : powers) p = power, power *= 10;
    return powers;
}();

// A positive number as `digits` significant digits `value` with
// `fraction_digits` of them after the point.
struct FixedDecimal {
    std::uint64_t value;
    int fraction_digits;
};

// Rounds `magnitude` (finite, positive, not an integer below
// kExactIntegerBound) to `digits` significant digits (1 to kMostDigits)
// exactly, half to even, from its binary value: the mantissa times a power of
// ten fits in 128 bits throughout the fixed-notation range. False outside
// that range.
bool round_to_fixed(double magnitude, int digits, FixedDecimal& out) {
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased_exponent = static_cast<int>(bits >> 52);
    // magnitude == mantissa / 2^shift, and 2^(52 - shift) <= magnitude.
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1023 + 52 - biased_exponent;  // exponent bias, mantissa bits
    // Outside these the number is an integer, below 10^kLowestFixedExponent
    // or subnormal.
    if (biased_exponent == 0 || shift <= 0 || shift > 70) return false;
    const auto least = static_cast<std::uint64_t>(kPowersOfTen[digits - 1]);
    const auto overflow = static_cast<std::uint64_t>(kPowersOfTen[digits]);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    // floor(log10(2^(52 - shift))), with 78913 / 2^18 for log10(2): the
    // decimal exponent is this or one more.
    int exponent10 = ((52 - shift) * 78913) >> 18;
    for (;;) {
        const int fraction_digits = digits - 1 - exponent10;
        if (fraction_digits < 0 || exponent10 < kLowestFixedExponent) return false;
        const unsigned __int128 scaled = mantissa * kPowersOfTen[fraction_digits];
        auto value = static_cast<std::uint64_t>(scaled >> shift);
        const unsigned __int128 rest = scaled & (2 * half - 1);
        if (rest > half || (rest == half && value % 2 == 1)) ++value;
        if (value < least) return false;  // only below the range: the guess is never high
        if (value > overflow) {
            ++exponent10;
            continue;
        }
        if (value == overflow) {  // rounded up to the next power of ten
            if (fraction_digits == 0) return false;
            out = {least, fraction_digits - 1};
        } else {
            out = {value, fraction_digits};
        }
        return true;
    }
}

// Fixed notation as the general notation writes it: no trailing zeros after
// the point, and no point when nothing follows it.
char* write_fixed(char* p, bool negative, FixedDecimal number, int digits) {
    char text[kMostDigits];
    for (int i = digits - 1; i >= 0; --i, number.value /= 10) text[i] = static_cast<char>('0' + number.value % 10);
    const int integer_digits = digits - number.fraction_digits;
    int significant = digits;
    while (significant > std::max(integer_digits, 1) && text[significant - 1] == '0') --significant;

    if (negative) *p++ = '-';
    if (integer_digits <= 0) {  // 0.000ddd
        *p++ = '0', *p++ = '.';
        p = std::fill_n(p, -integer_digits, '0');
        return std::copy(text, text + significant, p);
    }
    p = std::copy(text, text + integer_digits, p);
    if (significant == integer_digits) return p;
    *p++ = '.';
    return std::copy(text + integer_digits, text + significant, p);
}

// `d` as printf's "%.*g" writes it at `digits` (1 to kMostDigits): integers
// and the fixed notation take shortcuts, the general conversion does the rest.
char* format_general(char* first, char* last, double d, int digits) {
    if (is_plain_integer(d) && (digits >= 16 || std::fabs(d) < static_cast<double>(kPowersOfTen[digits])))
        return std::to_chars(first, last, static_cast<std::int64_t>(d)).ptr;
    FixedDecimal fixed;
    if (d != 0 && round_to_fixed(std::fabs(d), digits, fixed)) return write_fixed(first, d < 0, fixed, digits);
    return std::to_chars(first, last, d, std::chars_format::general, digits).ptr;
}

using detail::kNumberChars;

// The largest number of kNumberDigits significant digits that reads back.
// The few doubles above it round, at that many digits, to a text beyond the
// largest double, which the parser rejects as out of range; they are written
// as this number instead.
constexpr double kLargestReadable = 1.797693134862315e308;
static_assert(kNumberDigits == 16, "kLargestReadable is the largest double rounded down to kNumberDigits digits");

double within_readable_range(double d) {
    return std::isfinite(d) && std::fabs(d) > kLargestReadable ? std::copysign(kLargestReadable, d) : d;
}

// Writes `n` as a stream with precision kNumberDigits writes it in its
// default notation, but for the doubles above kLargestReadable; returns the
// end of the text. Integers and the fixed notation take shortcuts; the
// general conversion does the rest.
char* format_number(char* first, Number n) {
    const auto d = static_cast<double>(n);
    char* const last = first + kNumberChars;
    if (!std::isfinite(d)) return std::copy_n("null", 4, first);  // no number text reads back as these
    return format_general(first, last, within_readable_range(d), kNumberDigits);
}

}  // namespace

namespace detail {

std::string_view json_escape(char c) {
    const Escape& escape = kEscapes[static_cast<unsigned char>(c)];
    return {escape.text, escape.size};
}

NumberText::NumberText(Number n) : size_(static_cast<std::size_t>(format_number(chars_, n) - chars_)) {}

}  // namespace detail

std::string escape_string(const std::string& text, bool quote) {
    std::string out;
    out.reserve(2 * (text.size() + 1));
    if (quote) out += '"';
    for_each_run(
        text, [&](const char* run, std::size_t size) { out.append(run, size); },
        [&](const Escape& escape) { out.append(escape.text, escape.size); });
    if (quote) out += '"';
    return out;
}

// ---------------------------------------------------------------------------
// Indented rendering: every value appends its lines to one buffer, each line
// ending in ",\n", and a container turns the comma of its last line into a
// space once its children are in. Nothing is copied per level, so the cost
// is linear in the output whatever the depth.

namespace json {
namespace {

using detail::ModelAccess;

// The output text, with the JSON pieces written straight into it.
class Buffer : public detail::OutputBuffer {
public:
    void append_escaped(std::string_view text) {
        for_each_run(
            text, [&](const char* run, std::size_t size) { append(run, size); },
            [&](const Escape& escape) {
                std::memcpy(claim(kLongestEscape), escape.text, kLongestEscape);
                advance(escape.size);
            });
    }

    // The comma after a container's last child becomes a space; the line
    // keeps its length. After an empty container's opening line there is none.
    void remove_last_comma() {
        if (size() >= 3 && data()[size() - 2] == ',') data()[size() - 2] = ' ';
    }

    // Once the text has grown past kDrainBytes, writes all of it to `stream`
    // but the last few bytes, whose comma a closing container may still turn
    // into a space: a large document is written without being held whole.
    void drain_to(std::ostream& stream) {
        if (size() < kDrainBytes) return;
        stream.write(data(), static_cast<std::streamsize>(size() - kKeptTail));
        keep_last(kKeptTail);
    }

private:
    // Text held before a write to a stream: few enough pages to stay in
    // cache, enough bytes that the writes are few.
    static constexpr std::size_t kDrainBytes = 64 * 1024;
    // More than the comma and line break at the end, so that the comma test
    // above reads the same after a drain.
    static constexpr std::size_t kKeptTail = 8;
};

// One line written through a cursor of its own, in room claimed once for
// all its pieces but long text, which goes through the buffer.
class Line {
public:
    Line(Buffer& out, std::size_t depth) : out_(out), p_(out.claim(kRoom + Buffer::tabs_room(depth))) {
        p_ = Buffer::put_tabs(p_, depth);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    ~Line() { out_.advance_to(p_); }

    template <std::size_t N>
    void put(const char (&literal)[N]) {
        std::memcpy(p_, literal, N - 1);
        p_ += N - 1;
    }
    void put(char c) { *p_++ = c; }
    void put(Number n) { p_ = format_number(p_, n); }
    // Keys and short values: most need no escape, which one word test
    // shows; the others store each byte's whole table entry at once and
    // move the cursor by its length, which beats looking for runs.
    void put_escaped(std::string_view text) {
        if (text.size() > kShortText) return put_long_escaped(text);
        if (text.size() >= 4 && !short_text_needs_escape(text)) {
            p_ = Buffer::put_small(p_, text.data(), text.size());
            return;
        }
        for (const char c : text) {
            const Escape& escape = kEscapes[static_cast<unsigned char>(c)];
            std::memcpy(p_, &escape, sizeof escape);
            p_ += escape.size;
        }
    }

private:
    static constexpr std::size_t kShortText = Buffer::kSmallPiece;
    // A short key and a short value, escaped whole (each escape is stored
    // as a whole table entry), with their quotes, ": " and ",\n", or a
    // number in place of the value.
    static constexpr std::size_t kRoom = 2 * (kShortText * kLongestEscape + sizeof(Escape)) + kNumberChars + 16;

    // Four to sixteen bytes tested as one word: two loads that overlap, and
    // never read past the text.
    static bool short_text_needs_escape(std::string_view text) {
        const char* const first = text.data();
        const char* const last = first + text.size();
        if (text.size() >= 8)
            return any_needs_escape(detail::bytes::load(first)) || any_needs_escape(detail::bytes::load(last - 8));
        std::uint32_t low, high;
        std::memcpy(&low, first, 4);
        std::memcpy(&high, last - 4, 4);
        return any_needs_escape(low | std::uint64_t{high} << 32);
    }

    void put_long_escaped(std::string_view text) {
        out_.advance_to(p_);
        out_.append_escaped(text);
        p_ = out_.claim(kRoom);
    }

    Buffer& out_;
    char* p_;
};

// Renders one document line by line. Open containers wait on an explicit
// stack rather than on the call stack, so a document built deeper than the
// parser reads still renders.
class IndentedWriter {
public:
    explicit IndentedWriter(Buffer& out) : out_(out) {}

    // `between_lines` sees the buffer after each line.
    template <class BetweenLines>
    void write(const Value& root, BetweenLines between_lines) {
        line(0, nullptr, root);
        while (!open_.empty()) {
            between_lines(out_);
            Open& top = open_.back();
            const std::size_t depth = open_.size();
            if (top.is_object && top.member != top.members_end) {
                const auto& [key, member] = *top.member++;
                line(depth, &key, *member);
            } else if (!top.is_object && top.element != top.elements_end) {
                line(depth, nullptr, **top.element++);
            } else {
                close(depth - 1, top.is_object ? "},\n" : "],\n");
            }
        }
    }

private:
    // A container whose children are still being written.
    struct Open {
        bool is_object;
        Array::Elements::const_iterator element, elements_end;
        Object::Map::const_iterator member, members_end;
    };

    // One value at `depth`, as a member called `name` or, when that is null,
    // as an array element or the top-level value; every line ends in ",\n".
    // A container only opens here; its children follow from the stack.
    // Released content renders empty.
    void line(std::size_t depth, const String* name, const Value& value) {
        Line line(out_, depth);
        if (name) {
            line.put('"');
            line.put_escaped(*name);
            line.put("\": ");
        }
        switch (ModelAccess::kind(value)) {
            case NumberType:
                line.put(ModelAccess::number(value));
                break;
            case StringType:
                line.put('"');
                if (const String* text = ModelAccess::string(value)) line.put_escaped(*text);
                line.put('"');
                break;
            case BooleanType:
                if (ModelAccess::boolean(value))
                    line.put("true");
                else
                    line.put("false");
                break;
            case ArrayType:
                line.put("[\n");
                return open_array(ModelAccess::array(value));
            case ObjectType:
                line.put("{\n");
                return open_object(ModelAccess::object(value));
            default:
                line.put("null");
                break;
        }
        line.put(",\n");
    }

    void open_array(const Array* array) {
        Open open{false, {}, {}, {}, {}};
        if (array) open.element = array->values().begin(), open.elements_end = array->values().end();
        open_.push_back(open);
    }

    void open_object(const Object* object) {
        Open open{true, {}, {}, {}, {}};
        if (object) open.member = object->kv_map().begin(), open.members_end = object->kv_map().end();
        open_.push_back(open);
    }

    template <std::size_t N>
    void close(std::size_t depth, const char (&closing)[N]) {
        out_.remove_last_comma();
        Line(out_, depth).put(closing);
        open_.pop_back();
    }

    Buffer& out_;
    std::vector<Open> open_;
};

template <class Container, class BetweenLines>
void render_into(Buffer& out, const Container& container, BetweenLines between_lines) {
    const ModelAccess::Borrowed<Container> view(container);
    IndentedWriter(out).write(view.value(), between_lines);
    out.remove_last_comma();
}

template <class Container>
std::string render(const Container& container) {
    Buffer out;
    render_into(out, container, [](Buffer&) {});
    return out.text();
}

template <class Container>
void render_to(std::ostream& stream, const Container& container) {
    Buffer out;
    render_into(out, container, [&](Buffer& text) { text.drain_to(stream); });
    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
}

// ---------------------------------------------------------------------------
// Compact output. Everything but numbers is written unformatted, so the
// caller's width, fill, base and flags neither act on it nor get changed.

void write(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace
}  // namespace json

std::string Object::json() const { return json::render(*this); }

std::string Array::json() const { return json::render(*this); }

void detail::write_json(std::ostream& out, const Object& object) { json::render_to(out, object); }

void detail::write_json(std::ostream& out, const Array& array) { json::render_to(out, array); }

namespace json {
namespace {

// `source` is a stream, or text read in place.
template <class Source>
std::string reformat_document(Source& source) {
    Object object;
    Array array;
    switch (detail::open_document(source, object, array)) {
        case detail::Opened::Object:
            return object.json();
        case detail::Opened::Array:
            return array.json();
        default:
            return {};
    }
}

}  // namespace
}  // namespace json

std::string reformat(std::istream& in) { return json::reformat_document(in); }

std::string reformat(const String& text) {
    std::string_view in_place(text);
    return json::reformat_document(in_place);
}

}  // namespace zqjson

namespace zqjson::json {
namespace {

// Significant digits `out << number` writes for the largest doubles, or
// kRoundTripDigits where it writes every digit they have.
constexpr int kRoundTripDigits = 17;
int significant_digits(const std::ostream& out) {
    const auto precision = static_cast<int>(std::min<std::streamsize>(out.precision(), kRoundTripDigits));
    switch (out.flags() & std::ios_base::floatfield) {
        case std::ios_base::scientific:
            return std::min(precision + 1, kRoundTripDigits);
        case std::ios_base::fixed:  // every digit of the integer part
        case std::ios_base::fixed | std::ios_base::scientific:  // hexadecimal, exact
            return kRoundTripDigits;
        default:
            return std::max(precision, 1);
    }
}

// Whether `magnitude`, rounded to `digits` significant digits, passes the
// largest double.
bool rounds_past_largest(double magnitude, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, magnitude);
    return std::isinf(std::strtod(text, nullptr));
}

// The largest double's digits cut to `digits` significant ones.
double largest_at_digits(int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "1.%.*se308", digits - 1, "7976931348623157");
    return std::strtod(text, nullptr);
}

// The number as `out << number` writes it, but for text that would not read
// back: NaN and the infinities are written as null, and a number that rounds,
// at the stream's precision, past the largest double as the largest number
// of that precision.
void stream_number(std::ostream& out, Number n) {
    const auto d = static_cast<double>(n);
    if (!std::isfinite(d)) {
        write(out, "null");
        return;
    }
    const int digits = significant_digits(out);
    if (std::fabs(d) < 1e308 || digits >= kRoundTripDigits || !rounds_past_largest(std::fabs(d), digits)) {
        out << n;
        return;
    }
    out << std::copysign(largest_at_digits(digits), d);
}

// Compact output, walked with its open containers on an explicit stack
// rather than on the call stack, so any depth writes. The text gathers in one
// buffer that goes to the stream's buffer in large pieces, under one sentry
// for the whole value. Numbers are formatted in place when the stream would
// write the same text; otherwise the stream writes them itself, after what
// was gathered before.
class CompactWalk {
public:
    explicit CompactWalk(std::ostream& out) : out_(out), fast_numbers_(formats_like_printf(out)) {}

    void value(const Value& v) {
        using detail::ModelAccess;
        switch (ModelAccess::kind(v)) {
            case NumberType:
                number(ModelAccess::number(v));
                return;
            case StringType:
                string(v.get<String>());
                return;
            case BooleanType:
                text_.append(ModelAccess::boolean(v) ? std::string_view("true") : std::string_view("false"));
                return;
            case NullType:
                text_.append("null");
                return;
            case ArrayType:
                open(v.get<Array>());
                return;
            case ObjectType:
                open(v.get<Object>());
                return;
            default:  // the invalid state writes nothing
                return;
        }
    }
    void open(const Array& a) {
        text_.append('[');
        stack_.push_back({&a, 0, nullptr, {}});
    }
    void open(const Object& o) {
        text_.append('{');
        stack_.push_back({nullptr, 0, &o, o.kv_map().begin()});
    }

    // Writes what the open containers hold, innermost first, until all
    // close or the stream fails.
    void run() {
        while (!stack_.empty() && out_) {
            Frame& frame = stack_.back();
            if (frame.array) {
                next_element(frame);
            } else {
                next_member(frame);
            }
            if (text_.size() >= kDrainBytes) drain();
        }
        drain();
    }

private:
    struct Frame {
        const Array* array;
        std::size_t index;
        const Object* object;
        Object::Map::const_iterator next;
    };

    // The most a number formatted in place can take: 17 significant digits,
    // sign, point and exponent.
    static constexpr std::size_t kNumberRoom = 32;
    static constexpr std::streamsize kFastPrecision = kMostDigits;

    // Whether `out << number` writes what printf's "%.*g" writes at the
    // stream's precision: the default notation, no flag that changes it, no
    // width, and a locale with a point and no grouping.
    static bool formats_like_printf(const std::ostream& out) {
        constexpr auto kChanging =
            std::ios_base::floatfield | std::ios_base::showpos | std::ios_base::showpoint | std::ios_base::uppercase;
        if ((out.flags() & kChanging) != 0 || out.width() != 0 || out.precision() > kFastPrecision) return false;
        if (out.getloc() == std::locale::classic()) return true;
        const auto& punctuation = std::use_facet<std::numpunct<char>>(out.getloc());
        return punctuation.decimal_point() == '.' && punctuation.grouping().empty();
    }

    void number(Number n) {
        const auto d = static_cast<double>(n);
        if (!fast_numbers_ || !std::isfinite(d) || std::fabs(d) >= 1e308) {
            drain();
            stream_number(out_, n);
            return;
        }
        char* const first = text_.claim(kNumberRoom);
        const int precision = std::max(static_cast<int>(out_.precision()), 1);
        text_.advance_to(format_general(first, first + kNumberRoom, d, precision));
    }
    void string(std::string_view s) {
        text_.append('"');
        for_each_run(
            s, [&](const char* run, std::size_t size) { text_.append(run, size); },
            [&](const Escape& escape) { text_.append(escape.text, escape.size); });
        text_.append('"');
    }

    // Each writes one element or member, or closes its container; the frame
    // is not used after the value, which may open a new one.
    void next_element(Frame& frame) {
        const Array::Elements& elements = frame.array->values();
        if (frame.index == elements.size()) {
            text_.append(']');
            stack_.pop_back();
            return;
        }
        if (frame.index != 0) text_.append(", ");
        const Value& element = *elements[frame.index++];
        value(element);
    }
    void next_member(Frame& frame) {
        if (frame.next == frame.object->kv_map().end()) {
            text_.append('}');
            stack_.pop_back();
            return;
        }
        if (frame.next != frame.object->kv_map().begin()) text_.append(", ");
        const auto& [key, member] = *frame.next++;
        string(key);
        text_.append(": ");
        value(*member);
    }

    // Hands the gathered text to the stream's buffer; a buffer that takes
    // less fails the stream, as a formatted write would.
    void drain() {
        if (text_.size() == 0) return;
        const auto size = static_cast<std::streamsize>(text_.size());
        const bool written = out_ && out_.rdbuf()->sputn(text_.data(), size) == size;
        text_.clear();
        if (!written) out_.setstate(std::ios_base::badbit);
    }

    static constexpr std::size_t kDrainBytes = 64 * 1024;

    std::ostream& out_;
    const bool fast_numbers_;
    detail::OutputBuffer text_;
    std::vector<Frame> stack_;
};

template <class Root>
std::ostream& write_compact(std::ostream& out, const Root& root) {
    const std::ostream::sentry ready(out);
    if (!ready) return out;
    CompactWalk walk(out);
    if constexpr (std::is_same_v<Root, Value>) {
        walk.value(root);
    } else {
        walk.open(root);
    }
    walk.run();
    return out;
}

}  // namespace
}  // namespace zqjson::json

// Released content reads as empty through `get`.
std::ostream& operator<<(std::ostream& out, const zqjson::Value& v) { return zqjson::json::write_compact(out, v); }

std::ostream& operator<<(std::ostream& out, const zqjson::Array& a) { return zqjson::json::write_compact(out, a); }

std::ostream& operator<<(std::ostream& out, const zqjson::Object& o) { return zqjson::json::write_compact(out, o); }
