// JSON writing: the indented rendering and the compact stream output, both
// rendered from the one document walk.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>

#include "../ZQJson.h"
#include "ByteScan.h"
#include "Inline.h"
#include "ModelAccess.h"
#include "OutputBuffer.h"
#include "Text.h"
#include "Walk.h"

namespace zqjson::detail {
namespace {

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
    Line(Buffer& out, Numbers numbers, std::string_view ending, std::size_t depth, const String* key)
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
    void put_number(const Value& v) { p_ = detail::format_number(p_, v, numbers_); }
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
    const Numbers numbers_;
};

// Writes what the walk shows as indented lines into `out`, and on to
// `stream` as the text grows, when there is one.
class IndentedWriter {
public:
    struct Frame {};

    IndentedWriter(Buffer& out, Numbers numbers, std::ostream* stream)
        : out_(out), numbers_(numbers), stream_(stream) {}

    bool going() const { return !stream_ || *stream_; }

    void scalar(const Value& value, const Placement& place, Frame*) {
        Line line = start_line(place);
        switch (ModelAccess::kind(value)) {
            case NumberType:
                line.put_number(value);
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

    void open(const Array&, const Placement& place, Frame*, Frame&) { open_line(place, "[\n"); }
    void open(const Object&, const Placement& place, Frame*, Frame&) { open_line(place, "{\n"); }

    void close(bool is_object, const Placement& place, Frame&, bool empty) {
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
    Line start_line(const Placement& place) {
        if (out_.size() >= kDrainBytes) drain();
        return Line(out_, numbers_, place.first ? Line::kNone : Line::kBeforeSibling, place.depth, place.key);
    }

    // Inlined into both openings, which the compiler does not choose by
    // itself: a call costs a good part of a short line.
    template <std::size_t N>
    ZQ_INLINE void open_line(const Placement& place, const char (&opening)[N]) {
        start_line(place).put(opening);
    }

    Buffer& out_;
    const Numbers numbers_;
    std::ostream* const stream_;
};

// Renders `root` into `out`, and on to `stream` when there is one.
void render_indented(Buffer& out, const Value& root, Numbers numbers, std::ostream* stream) {
    IndentedWriter writer(out, numbers, stream);
    detail::walk(root, writer);
    writer.finish();
    writer.drain();
}

void render_to(std::ostream& stream, const Value& root, Numbers numbers) {
    Buffer out;
    render_indented(out, root, numbers, &stream);
}

// ---------------------------------------------------------------------------
// Compact output. Nothing of the caller's stream formatting acts on it or
// is changed by it: numbers follow the stream's precision and notation only,
// in the classic locale, and everything else is written unformatted.

// The text gathers in one buffer that goes to the stream's buffer in large
// pieces, under one sentry for the whole value, or is the whole result when
// there is no stream.
class CompactWriter {
public:
    struct Frame {};

    // Numbers as `out << number` writes them in the classic locale.
    explicit CompactWriter(std::ostream& out)
        : CompactWriter(&out, detail::StreamNotation(out), std::nullopt, nullptr) {}
    // Numbers in `form`, whatever the stream.
    CompactWriter(std::ostream& out, Numbers form) : CompactWriter(&out, std::nullopt, form, nullptr) {}
    // Numbers in `form`, and the text written into `result`, which `take`
    // hands back.
    CompactWriter(std::string& result, Numbers form) : CompactWriter(nullptr, std::nullopt, form, &result) {}

    bool going() const { return going_; }

    void scalar(const Value& v, const Placement& place, Frame*) {
        char* p = start(place);
        switch (ModelAccess::kind(v)) {
            case NumberType:
                return number(p, v);
            case StringType:
                return string(p, v.get<String>());
            case BooleanType:
                p = ModelAccess::boolean(v) ? put(p, "true") : put(p, "false");
                break;
            case NullType:
                p = put(p, "null");
                break;
            default:  // a Value that holds nothing: null inside a container, so that the text reads back
                if (place.depth > 0) p = put(p, "null");
                break;
        }
        text_.advance_to(p);
    }
    void open(const Array&, const Placement& place, Frame*, Frame&) {
        char* p = start(place);
        *p++ = '[';
        text_.advance_to(p);
    }
    void open(const Object&, const Placement& place, Frame*, Frame&) {
        char* p = start(place);
        *p++ = '{';
        text_.advance_to(p);
    }
    void close(bool is_object, const Placement&, Frame&, bool) { text_.append(is_object ? '}' : ']'); }

    // Hands the gathered text to the stream's buffer; a buffer that takes
    // less fails the stream, as a formatted write would.
    void drain() {
        if (!out_ || text_.size() == 0) return;
        const auto size = static_cast<std::streamsize>(text_.size());
        const bool written = *out_ && out_->rdbuf()->sputn(text_.data(), size) == size;
        text_.clear();
        if (!written) out_->setstate(std::ios_base::badbit);
        going_ = written;
    }

    // The text, when it was written into a result.
    std::string take() { return text_.take(); }

private:
    // The most a number formatted in the general notation at kMostDigits or
    // fewer takes: sign, digits, point and exponent.
    static constexpr std::size_t kNumberRoom = 32;
    // From here on a number may round past the largest double at the
    // precision in use, which the slower path looks after.
    static constexpr double kFastBelow = 1e308;

    CompactWriter(std::ostream* out, std::optional<detail::StreamNotation> notation, std::optional<Numbers> form,
                  std::string* result)
        : out_(out),
          notation_(notation),
          form_(form),
          fast_below_(takes_general_path(notation, form) ? kFastBelow : 0),
          precision_(form ? kNumberDigits : std::max(notation->precision(), 1)),
          text_(result ? detail::OutputBuffer(*result) : detail::OutputBuffer()) {}

    // Whether numbers below kFastBelow are the general notation at
    // kMostDigits digits or fewer, which is written in place.
    static bool takes_general_path(const std::optional<detail::StreamNotation>& notation,
                                   const std::optional<Numbers>& form) {
        return form ? *form == Numbers::Digits16 : notation->is_general();
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
    ZQ_INLINE char* start(const Placement& place) {
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

    void number(char* p, const Value& v) {
        detail::ExactInteger integer;
        if (ModelAccess::number_keeps_integer(v, integer)) return text_.advance_to(detail::format_integer(p, integer));
        const auto d = static_cast<double>(ModelAccess::number(v));
        if (std::fabs(d) < fast_below_)
            return text_.advance_to(detail::format_general(p, p + kNumberRoom, d, precision_));
        if (!std::isfinite(d)) return text_.advance_to(put(p, "null"));  // no number text reads back as these
        if (form_) return text_.advance_to(detail::format_number(p, d, *form_));
        text_.advance_to(p);
        text_.advance_to(notation_->format(text_.claim(notation_->room()), d));
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

    std::ostream* const out_;
    const std::optional<detail::StreamNotation> notation_;
    const std::optional<Numbers> form_;
    // Magnitudes below this are written in the general notation at
    // precision_ in place: none where numbers take another notation.
    const double fast_below_;
    const int precision_;
    bool going_ = true;  // whether the stream took all it was given
    detail::OutputBuffer text_;
};

// The compact text of `root` on `out`, in `writer`'s numbers.
template <class Root>
std::ostream& stream_compact(std::ostream& out, const Root& root, CompactWriter&& writer) {
    const std::ostream::sentry ready(out);
    if (!ready) return out;
    ModelAccess::with_value(root, [&](const Value& value) { detail::walk(value, writer); });
    writer.drain();
    return out;
}

template <class Root>
std::string compact_text(const Root& root, Numbers form) {
    std::string result;
    CompactWriter writer(result, form);
    ModelAccess::with_value(root, [&](const Value& value) { detail::walk(value, writer); });
    return writer.take();
}

template <class Root>
std::string indented_text(const Root& root, Numbers form) {
    Buffer out;
    ModelAccess::with_value(root, [&](const Value& value) { render_indented(out, value, form, nullptr); });
    return out.text();
}

template <class Root>
std::string dump_text(const Root& root, const WriteOptions& options) {
    return options.indent ? indented_text(root, options.numbers) : compact_text(root, options.numbers);
}

template <class Root>
std::ostream& dump_to(std::ostream& out, const Root& root, const WriteOptions& options) {
    if (!options.indent) return stream_compact(out, root, CompactWriter(out, options.numbers));
    const std::ostream::sentry ready(out);
    if (!ready) return out;
    ModelAccess::with_value(root, [&](const Value& value) { render_to(out, value, options.numbers); });
    return out;
}

}  // namespace
}  // namespace zqjson::detail

namespace zqjson {

std::string Object::json() const { return detail::indented_text(*this, Numbers::Digits16); }

std::string Array::json() const { return detail::indented_text(*this, Numbers::Digits16); }

std::string dump(const Value& v, const WriteOptions& options) { return detail::dump_text(v, options); }
std::string dump(const Object& o, const WriteOptions& options) { return detail::dump_text(o, options); }
std::string dump(const Array& a, const WriteOptions& options) { return detail::dump_text(a, options); }

std::ostream& dump(std::ostream& out, const Value& v, const WriteOptions& options) {
    return detail::dump_to(out, v, options);
}
std::ostream& dump(std::ostream& out, const Object& o, const WriteOptions& options) {
    return detail::dump_to(out, o, options);
}
std::ostream& dump(std::ostream& out, const Array& a, const WriteOptions& options) {
    return detail::dump_to(out, a, options);
}

}  // namespace zqjson

std::ostream& operator<<(std::ostream& out, const zqjson::Value& v) {
    return zqjson::detail::stream_compact(out, v, zqjson::detail::CompactWriter(out));
}

std::ostream& operator<<(std::ostream& out, const zqjson::Array& a) {
    return zqjson::detail::stream_compact(out, a, zqjson::detail::CompactWriter(out));
}

std::ostream& operator<<(std::ostream& out, const zqjson::Object& o) {
    return zqjson::detail::stream_compact(out, o, zqjson::detail::CompactWriter(out));
}
