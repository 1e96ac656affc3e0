// JSON writing: the indented rendering and the compact stream output, both
// rendered from the one document walk.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>

#include "../ZQJson.h"
#include "ByteScan.h"
#include "JsonWriter.h"
#include "ModelAccess.h"
#include "OutputBuffer.h"
#include "Text.h"
#include "Walk.h"

namespace zqjson::json {
namespace {

using detail::Escape;
using detail::kEscapes;
using detail::kLongestEscape;
using detail::kNumberChars;
using detail::ModelAccess;
using detail::NumberForm;
using detail::Place;

// Text held before a write to a stream: few enough pages to stay in cache,
// enough bytes that the writes are few.
constexpr std::size_t kDrainBytes = 64 * 1024;

// ---------------------------------------------------------------------------
// Indented rendering: one value per line. A line is ended, with ",\n" or
// " \n", once the walk shows whether a sibling or the container's end comes
// next. Nothing is copied per level, so the cost is linear in the output
// whatever the depth.

// The output text, with the JSON pieces written straight into it.
class Buffer : public detail::OutputBuffer {
public:
    void append_escaped(std::string_view text) {
        detail::for_each_run(
            text, [&](const char* run, std::size_t size) { append(run, size); },
            [&](const Escape& escape) {
                std::memcpy(claim(kLongestEscape), escape.text, kLongestEscape);
                advance(escape.size);
            });
    }
};

// One line written through a cursor of its own, in room claimed once for
// all its pieces but long text, which goes through the buffer. It starts
// with the end of the line before it, `ending`, and a member's key.
class Line {
public:
    Line(Buffer& out, NumberForm numbers, std::string_view ending, std::size_t depth, const String* key)
        : out_(out), p_(out.claim(kRoom + Buffer::tabs_room(depth))), numbers_(numbers) {
        std::memcpy(p_, ending.data(), kLongestEnding);
        p_ = Buffer::put_tabs(p_ + ending.size(), depth);
        if (!key) return;
        put('"');
        put_escaped(*key);
        put("\": ");
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
    void put(Number n) { p_ = detail::format_number(p_, n, numbers_); }
    // Keys and short values: most need no escape, which one word test
    // shows; the others store each byte's whole table entry at once and
    // move the cursor by its length, which beats looking for runs.
    void put_escaped(std::string_view text) {
        if (text.size() > kShortText) return put_long_escaped(text);
        if (!detail::short_text_needs_escape(text)) {
            p_ = Buffer::put_small(p_, text.data(), text.size());
            return;
        }
        for (const char c : text) {
            const Escape& escape = kEscapes[static_cast<unsigned char>(c)];
            std::memcpy(p_, &escape, sizeof escape);
            p_ += escape.size;
        }
    }

    // What ends a line: ",\n" before a sibling, " \n" before the end of its
    // container or of the document. Each is stored as kLongestEnding bytes.
    static constexpr std::string_view kBeforeSibling{",\n\0", 2};
    static constexpr std::string_view kBeforeEnd{" \n\0", 2};
    static constexpr std::string_view kNone{"\0\0\0", 0};

private:
    static constexpr std::size_t kLongestEnding = 3;
    static constexpr std::size_t kShortText = detail::kShortText;
    // A line's ending, a short key and a short value, escaped whole (each
    // escape is stored as a whole table entry), with their quotes and ": ",
    // or a number in place of the value.
    static constexpr std::size_t kRoom =
        kLongestEnding + 2 * (kShortText * kLongestEscape + sizeof(Escape)) + kNumberChars + 16;

    void put_long_escaped(std::string_view text) {
        out_.advance_to(p_);
        out_.append_escaped(text);
        p_ = out_.claim(kRoom);
    }

    Buffer& out_;
    char* p_;
    const NumberForm numbers_;
};

// Writes what the walk shows as indented lines into `out`, and on to
// `stream` as the text grows, when there is one.
class IndentedWriter {
public:
    struct Frame {};

    IndentedWriter(Buffer& out, NumberForm numbers, std::ostream* stream)
        : out_(out), numbers_(numbers), stream_(stream) {}

    bool going() const { return !stream_ || *stream_; }

    void scalar(const Value& value, const Place& place, Frame*) {
        Line line = start_line(place);
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
            default:  // null, and a Value that holds nothing
                line.put("null");
                break;
        }
    }

    void open(const Array&, const Place& place, Frame*, Frame&) { open_line(place, "[\n"); }
    void open(const Object&, const Place& place, Frame*, Frame&) { open_line(place, "{\n"); }

    void close(bool is_object, const Place& place, Frame&, bool empty) {
        Line(out_, numbers_, empty ? Line::kNone : Line::kBeforeEnd, place.depth, nullptr).put(is_object ? '}' : ']');
    }

    // The document's last line ends as a container's last line does.
    void finish() { out_.append(Line::kBeforeEnd); }

    void drain() {
        if (!stream_) return;
        stream_->write(out_.data(), static_cast<std::streamsize>(out_.size()));
        out_.clear();
    }

private:
    // A value's line, after the end of the line before it, up to the value.
    Line start_line(const Place& place) {
        if (out_.size() >= kDrainBytes) drain();
        return Line(out_, numbers_, place.first ? Line::kNone : Line::kBeforeSibling, place.depth, place.key);
    }

    // Inlined into both openings, which the compiler does not choose by
    // itself: a call costs a good part of a short line.
    template <std::size_t N>
    __attribute__((always_inline)) void open_line(const Place& place, const char (&opening)[N]) {
        start_line(place).put(opening);
    }

    Buffer& out_;
    const NumberForm numbers_;
    std::ostream* const stream_;
};

// Renders `root` into `out`, and on to `stream` when there is one.
void render_indented(Buffer& out, const Value& root, NumberForm numbers, std::ostream* stream) {
    IndentedWriter writer(out, numbers, stream);
    detail::walk(root, writer);
    writer.finish();
    writer.drain();
}

template <class Container>
std::string render(const Container& container) {
    const ModelAccess::Borrowed<Container> view(container);
    Buffer out;
    render_indented(out, view.value(), NumberForm::Rounded, nullptr);
    return out.text();
}

void render_to(std::ostream& stream, const Value& root, NumberForm numbers) {
    Buffer out;
    render_indented(out, root, numbers, &stream);
}

// ---------------------------------------------------------------------------
// Compact output. Everything but numbers is written unformatted, so the
// caller's width, fill, base and flags neither act on it nor get changed.

void write(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Significant digits `out << number` writes for the largest doubles, or
// kRoundTripDigits where it writes every digit they have.
constexpr int kRoundTripDigits = 17;
int significant_digits(const std::ostream& out) {
    const auto precision = static_cast<int>(std::min<std::streamsize>(out.precision(), kRoundTripDigits));
    switch (out.flags() & std::ios_base::floatfield) {
        case std::ios_base::scientific:
            return std::min(precision + 1, kRoundTripDigits);
        case std::ios_base::fixed:                              // every digit of the integer part
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

// The text gathers in one buffer that goes to the stream's buffer in large
// pieces, under one sentry for the whole value. Numbers are formatted in
// place when the stream would write the same text; otherwise the stream
// writes them itself, after what was gathered before.
class CompactWriter {
public:
    struct Frame {};

    CompactWriter(std::ostream& out, NumberForm numbers)
        : out_(out),
          exact_numbers_(numbers == NumberForm::Exact),
          fast_below_(formats_like_printf(out) ? kFastBelow : 0),
          precision_(std::max(static_cast<int>(out.precision()), 1)) {}

    bool going() const { return going_; }

    void scalar(const Value& v, const Place& place, Frame*) {
        char* p = start(place);
        switch (ModelAccess::kind(v)) {
            case NumberType:
                return number(p, ModelAccess::number(v));
            case StringType:
                return string(p, v.get<String>());
            case BooleanType:
                p = ModelAccess::boolean(v) ? put(p, "true") : put(p, "false");
                break;
            case NullType:
                p = put(p, "null");
                break;
            default:  // the invalid state writes nothing
                break;
        }
        text_.advance_to(p);
    }
    void open(const Array&, const Place& place, Frame*, Frame&) {
        char* p = start(place);
        *p++ = '[';
        text_.advance_to(p);
    }
    void open(const Object&, const Place& place, Frame*, Frame&) {
        char* p = start(place);
        *p++ = '{';
        text_.advance_to(p);
    }
    void close(bool is_object, const Place&, Frame&, bool) { text_.append(is_object ? '}' : ']'); }

    // Hands the gathered text to the stream's buffer; a buffer that takes
    // less fails the stream, as a formatted write would.
    void drain() {
        if (text_.size() == 0) return;
        const auto size = static_cast<std::streamsize>(text_.size());
        const bool written = out_ && out_.rdbuf()->sputn(text_.data(), size) == size;
        text_.clear();
        if (!written) out_.setstate(std::ios_base::badbit);
        going_ = written;
    }

private:
    // The most a number formatted in place can take: 17 significant digits,
    // sign, point and exponent.
    static constexpr std::size_t kNumberRoom = 32;
    static constexpr std::streamsize kFastPrecision = detail::kMostDigits;
    // From here on a number may round past the largest double at the
    // stream's precision, which the stream's own path looks after.
    static constexpr double kFastBelow = 1e308;

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

    // The most a value written in place takes: a number, a short string
    // with its quotes, or a literal.
    static constexpr std::size_t kValueRoom = std::max({kNumberRoom, kNumberChars, detail::kShortText + 2});
    // The separator, a short key with its quotes and ": ", and a value.
    static constexpr std::size_t kRoom = 2 + detail::kShortText + 4 + kValueRoom;

    template <std::size_t N>
    static char* put(char* p, const char (&literal)[N]) {
        std::memcpy(p, literal, N - 1);
        return p + N - 1;
    }
    // Keys and most strings are short and need no escape, which one word
    // test shows.
    static bool is_plain_short(std::string_view s) {
        return s.size() <= detail::kShortText && !detail::short_text_needs_escape(s);
    }
    static char* put_plain_short(char* p, std::string_view s) {
        *p = '"';
        p = detail::OutputBuffer::put_small(p + 1, s.data(), s.size());
        *p = '"';
        return p + 1;
    }

    // Writes the separator before a sibling and the key of a member, in room
    // claimed once for them and the value; returns where the value goes, with
    // kValueRoom bytes of room. Inlined into its callers, which the compiler
    // does not choose by itself: a call costs a good part of a short value.
    __attribute__((always_inline)) char* start(const Place& place) {
        if (text_.size() >= kDrainBytes) drain();
        char* p = text_.claim(kRoom);
        if (!place.first) p = put(p, ", ");
        if (!place.key) return p;
        if (is_plain_short(*place.key)) return put(put_plain_short(p, *place.key), ": ");
        text_.advance_to(p);
        string_through_buffer(*place.key);
        text_.append(": ");
        return text_.claim(kValueRoom);
    }

    void number(char* p, Number n) {
        const auto d = static_cast<double>(n);
        if (exact_numbers_) {
            text_.advance_to(detail::format_number(p, n, NumberForm::Exact));
            return;
        }
        if (!(std::fabs(d) < fast_below_)) {  // NaN included
            text_.advance_to(p);
            drain();
            stream_number(out_, n);
            going_ = static_cast<bool>(out_);
            return;
        }
        text_.advance_to(detail::format_general(p, p + kNumberRoom, d, precision_));
    }
    void string(char* p, std::string_view s) {
        if (is_plain_short(s)) {
            text_.advance_to(put_plain_short(p, s));
            return;
        }
        text_.advance_to(p);
        string_through_buffer(s);
    }
    void string_through_buffer(std::string_view s) {
        text_.append('"');
        detail::for_each_run(
            s, [&](const char* run, std::size_t size) { text_.append(run, size); },
            [&](const Escape& escape) { text_.append(escape.text, escape.size); });
        text_.append('"');
    }

    std::ostream& out_;
    const bool exact_numbers_;
    // Magnitudes below this are formatted in place: none where the stream
    // would format them otherwise.
    const double fast_below_;
    const int precision_;
    bool going_ = true;  // whether the stream took all it was given
    detail::OutputBuffer text_;
};

template <class Root>
std::ostream& write_compact(std::ostream& out, const Root& root, NumberForm numbers = NumberForm::Rounded) {
    const std::ostream::sentry ready(out);
    if (!ready) return out;
    CompactWriter writer(out, numbers);
    if constexpr (std::is_same_v<Root, Value>) {
        detail::walk(root, writer);
    } else {
        detail::walk(ModelAccess::Borrowed<Root>(root).value(), writer);
    }
    writer.drain();
    return out;
}

}  // namespace
}  // namespace zqjson::json

namespace zqjson {

std::string Object::json() const { return json::render(*this); }

std::string Array::json() const { return json::render(*this); }

void detail::write_json(std::ostream& out, const Value& root, NumberForm numbers) {
    json::render_to(out, root, numbers);
}

void detail::write_json(std::ostream& out, const Object& root, NumberForm numbers) {
    json::render_to(out, ModelAccess::Borrowed<Object>(root).value(), numbers);
}

void detail::write_json(std::ostream& out, const Array& root, NumberForm numbers) {
    json::render_to(out, ModelAccess::Borrowed<Array>(root).value(), numbers);
}

void detail::write_compact(std::ostream& out, const Value& root, NumberForm numbers) {
    json::write_compact(out, root, numbers);
}

void detail::write_compact(std::ostream& out, const Object& root, NumberForm numbers) {
    json::write_compact(out, root, numbers);
}

void detail::write_compact(std::ostream& out, const Array& root, NumberForm numbers) {
    json::write_compact(out, root, numbers);
}

}  // namespace zqjson

// Released content reads as empty through `get`.
std::ostream& operator<<(std::ostream& out, const zqjson::Value& v) { return zqjson::json::write_compact(out, v); }

std::ostream& operator<<(std::ostream& out, const zqjson::Array& a) { return zqjson::json::write_compact(out, a); }

std::ostream& operator<<(std::ostream& out, const zqjson::Object& o) { return zqjson::json::write_compact(out, o); }
