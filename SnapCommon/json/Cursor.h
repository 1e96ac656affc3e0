// The two sources the parser reads from, behind one set of operations that
// behave exactly like the input-stream operations the readers are written in
// (get, peek, putback, unget, ws, clear, tellg, seekg and the extraction of a
// number), state flags included. Internal; never installed or exported.
//
// Neither asks the stream for its position: a failed number goes back by
// giving its bytes back, so that a stream that cannot seek (a pipe, a
// terminal) reads as a file does.
//
// A Cursor keeps the state flags itself and reads through a small buffer
// type: TextBuffer walks text in memory, exactly as an input string stream
// over a copy of that text would; StreamBuffer reads the streambuf of a
// caller's std::istream, so no character pays for a sentry, and `finish`
// hands the flags back to the stream at the end.
#ifndef ZQ_JSON_CURSOR_H
#define ZQ_JSON_CURSOR_H

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <iterator>
#include <limits>
#include <locale>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>

#include "../ZQJson.h"
#include "ByteScan.h"
#include "ExactInteger.h"
#include "Inline.h"
#include "Utf8.h"

namespace zqjson::detail {

constexpr int kEnd = std::char_traits<char>::eof();

inline int to_int(char c) { return static_cast<unsigned char>(c); }

// The numeric text the stream's extraction collected, converted as the
// extraction converts it: the correctly rounded double; an overflow fails and
// leaves the largest finite magnitude with the input's sign; an underflow
// gives zero and succeeds. `text` is the raw run the extraction took.
bool convert_number(std::string_view text, double& value);

// `std::istringstream(text) >> std::hex >> n` for the characters of a \u
// escape in the classic locale: false when no number is formed.
bool convert_hex_escape(std::string_view text, long& value);

// JSON's white space: space, tab, line feed, carriage return.
constexpr bool is_json_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The line of a position, from 1, and the offset where that line begins.
struct Place {
    std::size_t line = 1;
    std::size_t line_start = 0;
};

// Where a scan that needs no line count sends the line feeds it takes.
struct NoLines {
    void operator()(std::size_t) const {}
};

// Text in memory, read the way an input string stream over it reads: a
// character can be given back only where the same character stands before
// the read position.
class TextBuffer {
public:
    explicit TextBuffer(std::string_view text) : begin_(text.data()), p_(begin_), end_(begin_ + text.size()) {}

    int sgetc() const { return p_ != end_ ? to_int(*p_) : kEnd; }
    int sbumpc() { return p_ != end_ ? to_int(*p_++) : kEnd; }
    int snextc() {
        if (p_ == end_) return kEnd;
        ++p_;
        return sgetc();
    }
    bool sputbackc(char c) {
        if (p_ == begin_ || p_[-1] != c) return false;
        step_back_to(p_ - 1);
        return true;
    }
    bool sungetc() {
        if (p_ == begin_) return false;
        step_back_to(p_ - 1);
        return true;
    }
    // Back to `offset`, where the number that failed began.
    bool give_back_number(std::size_t offset) {
        step_back_to(begin_ + offset);
        return true;
    }
    // How far reading has gone, given back or not: the readers look at no
    // byte past it, so a text cut short after it reads as the whole would.
    std::size_t reached() const { return static_cast<std::size_t>(std::max(furthest_, p_) - begin_); }

    // White space of the classic locale: space, and tab to carriage return.
    static bool is_space(int c) {
        constexpr std::uint64_t kSpaces =
            1ULL << ' ' | 1ULL << '\t' | 1ULL << '\n' | 1ULL << '\v' | 1ULL << '\f' | 1ULL << '\r';
        return static_cast<unsigned>(c) <= ' ' && (kSpaces >> c & 1) != 0;
    }
    static bool attached() { return true; }
    static bool convert_hex(std::string_view text, long& value) { return convert_hex_escape(text, value); }

    // A character just read is always taken back.
    static constexpr bool kTakesBackFreely = true;

    // Takes the bytes up to the next `delim`, backslash or the end, appending
    // them to `out` in one piece.
    // (The loops below work on local copies of the pointers: a char read may
    // alias them, and the compiler would otherwise reload them at each step.)
    // Eight bytes at a time while none of them is `delim` or a backslash.
    template <class Text>
    void append_plain(Text& out, char delim) {
        const char* const run = p_;
        const char* const end = end_;
        const char* p = run;
        for (std::uint64_t eight; end - p >= 8; p += 8) {
            std::memcpy(&eight, p, 8);
            if (bytes::any_equal(eight, delim) | bytes::any_equal(eight, '\\')) break;
        }
        while (p != end && *p != delim && *p != '\\') ++p;
        out.append(run, static_cast<std::size_t>(p - run));
        p_ = p;
    }
    // Takes the bytes a standard JSON string holds as they are (not a quote,
    // backslash or control character; UTF-8 only where well formed),
    // appending them in one piece.
    template <class Text>
    void append_json_plain(Text& out) {
        const char* const run = p_;
        const char* const end = end_;
        const char* p = run;
        for (;;) {
            p = bytes::find_first(
                p, end,
                [](std::uint64_t w) {
                    // A byte below 0x20 or from 0x80 on sets its high bit in one of the two.
                    const bool control_or_high = (((w - bytes::kOnes * 0x20) | w) & bytes::kHighs) != 0;
                    return control_or_high | bytes::any_equal(w, '"') | bytes::any_equal(w, '\\');
                },
                [](unsigned char b) { return b == '"' || b == '\\' || b < 0x20 || b >= 0x80; });
            if (p == end || to_int(*p) < 0x80) break;
            // Text in other scripts goes character by character, without a
            // word scan between two of them; a malformed one stops the run.
            for (std::size_t length = 0; p != end && to_int(*p) >= 0x80; p += length) {
                length = utf8_length(p, end);
                if (length == 0) break;
            }
            if (p != end && to_int(*p) >= 0x80) break;
        }
        out.append(run, static_cast<std::size_t>(p - run));
        p_ = p;
    }
    // A standard JSON number that from_chars converts in range: converted in
    // place; false, with nothing moved, for every other case, which then goes
    // the full way to find its fault.
    bool take_json_number(double& value) {
        const char* const end = end_;
        const char* p = p_;
        const auto is_digit_at = [end](const char* at) {
            return at != end && static_cast<unsigned char>(*at - '0') < 10;
        };
        if (p != end && *p == '-') ++p;
        if (!is_digit_at(p) || (*p == '0' && is_digit_at(p + 1))) return false;
        const auto [stop, error] = std::from_chars(p_, end, value);
        if (error != std::errc()) return false;
        if (stop != end && std::memchr(".eE+-0123456789", *stop, 15) != nullptr) return false;
        // from_chars also takes a point with no digit after it ("1.", "1.e5").
        const void* point = std::memchr(p, '.', static_cast<std::size_t>(stop - p));
        if (point != nullptr && !is_digit_at(static_cast<const char*>(point) + 1)) return false;
        note_exact(p_, stop, value);
        p_ = stop;
        return true;
    }
    // As skip_space, indentation eight spaces at a time.
    template <class Lines = NoLines>
    int skip_json_space(Lines on_line_feed = {}) {
        constexpr std::uint64_t kEightSpaces = 0x2020202020202020ULL;
        const char* const end = end_;
        const char* p = p_;
        while (p != end && is_json_space(to_int(*p))) {
            if (*p++ == '\n') on_line_feed(offset_of(p));
            std::uint64_t eight;
            while (end - p >= 8 && (std::memcpy(&eight, p, 8), eight == kEightSpaces)) p += 8;
        }
        p_ = p;
        return sgetc();
    }
    // Takes `pattern` when the text goes on with exactly it.
    bool take_literal(std::string_view pattern) {
        if (static_cast<std::size_t>(end_ - p_) < pattern.size() ||
            std::memcmp(p_, pattern.data(), pattern.size()) != 0)
            return false;
        p_ += pattern.size();
        return true;
    }
    // Skips the bytes up to the next line break or the end.
    void skip_line() {
        const char* const end = end_;
        const char* p = p_;
        while (p != end && *p != '\n' && *p != '\r') ++p;
        p_ = p;
    }
    // Skips white space; returns the next character. Indentation comes in
    // long runs of spaces, taken eight at a time. `on_line_feed` hears where
    // each line taken begins.
    template <class Lines = NoLines>
    int skip_space(Lines on_line_feed = {}) {
        constexpr std::uint64_t kEightSpaces = 0x2020202020202020ULL;
        const char* const end = end_;
        const char* p = p_;
        while (p != end && is_space(to_int(*p))) {
            if (*p++ == '\n') on_line_feed(offset_of(p));
            std::uint64_t eight;
            while (end - p >= 8 && (std::memcpy(&eight, p, 8), eight == kEightSpaces)) p += 8;
        }
        p_ = p;
        return sgetc();
    }
    // The number the stream's extraction would take from here: moves past
    // the characters it collects and converts them.
    template <class Collect>
    std::string_view take_number(Collect collect) {
        const char* start = p_;
        collect();
        return std::string_view(start, static_cast<std::size_t>(p_ - start));
    }
    void keep(int) {}

    // A number that starts with a digit, or a minus and a digit, and that
    // from_chars reads up to a character the extraction would not take
    // either: converted in place, as the extraction converts it; false, with
    // nothing moved, for every other case, which then goes the full way.
    bool take_plain_number(double& value, std::ios_base::iostate& state) {
        const char* const end = end_;
        const char* p = p_;
        if (p != end && *p == '-') ++p;
        if (p == end || static_cast<unsigned char>(*p - '0') >= 10) return false;
        double converted;
        const auto [stop, error] = std::from_chars(p_, end, converted);
        if (error != std::errc()) return false;
        if (stop != end) {
            const char c = *stop;
            if (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') return false;
        }
        value = converted;
        note_exact(p_, stop, converted);
        p_ = stop;
        if (stop == end) state |= std::ios_base::eofbit;
        return true;
    }
    // Takes the run of digits from here; returns the character after it.
    int take_digits() {
        const char* const end = end_;
        const char* p = p_;
        while (p != end && static_cast<unsigned char>(*p - '0') < 10) ++p;
        p_ = p;
        return sgetc();
    }

    // The mark of the integer beyond 2^53 that the last number read was, where
    // that number's magnitude is from 2^53 on; not kept for the others, which
    // are told by their value alone.
    std::uint32_t exact() const { return exact_; }
    void note_exact(std::string_view text, double d) { note_exact(text.data(), text.data() + text.size(), d); }

    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin_); }
    // Lines and columns of a position are counted only when asked for.
    Place place_of(std::size_t offset) const {
        Place place;
        for (const char* p = begin_; p != begin_ + offset; ++p) {
            if (*p == '\n') {
                ++place.line;
                place.line_start = static_cast<std::size_t>(p + 1 - begin_);
            }
        }
        return place;
    }

private:
    std::size_t offset_of(const char* p) const { return static_cast<std::size_t>(p - begin_); }
    // Reading goes forward everywhere but here.
    void step_back_to(const char* p) {
        furthest_ = std::max(furthest_, p_);
        p_ = p;
    }
    void note_exact(const char* first, const char* last, double d) {
        if (__builtin_expect(is_beyond_exact_doubles(d), 0))
            exact_ = mark_of_literal(std::string_view(first, static_cast<std::size_t>(last - first)), d);
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    const char* furthest_ = begin_;
    std::uint32_t exact_ = 0;
};

// The part of a streambuf's buffer read ahead of the read position. Only the
// streambuf and its derived classes may touch it, but a pointer to one of its
// protected members, formed in a derived class, applies to any streambuf.
class GetArea : std::streambuf {
public:
    // Never more than one move of the read position can take.
    static std::string_view of(std::streambuf& sb) {
        const char* next = (sb.*&GetArea::gptr)();
        const auto size = static_cast<std::size_t>((sb.*&GetArea::egptr)() - next);
        return {next, std::min<std::size_t>(size, std::numeric_limits<int>::max())};
    }
    static void take(std::streambuf& sb, std::size_t count) { (sb.*&GetArea::gbump)(static_cast<int>(count)); }
};

// The streambuf of a caller's stream. Runs of bytes are taken a buffer's
// worth at a time by the loops of the text in memory, where the streambuf
// has read ahead; byte by byte where it has not. Like the text, it is read
// in the classic locale whatever the stream's: JSON's numbers and spaces
// are the same everywhere.
class StreamBuffer {
public:
    explicit StreamBuffer(std::istream& in) : sb_(in.rdbuf()) {}

    int sgetc() { return sb_->sgetc(); }
    ZQ_INLINE int sbumpc() {
        const int c = sb_->sbumpc();
        if (c != kEnd) count_taken(c);
        return c;
    }
    int snextc() {
        const int c = sb_->sbumpc();
        if (c == kEnd) return kEnd;
        count_taken(c);
        return sb_->sgetc();
    }
    bool sputbackc(char c) {
        if (sb_->sputbackc(c) == kEnd) return false;
        count_given_back(to_int(c));
        return true;
    }
    bool sungetc() {
        if (sb_->sungetc() == kEnd) return false;
        count_given_back(sb_->sgetc());
        return true;
    }
    // Back to `offset`, where the number that failed began, over the bytes
    // it collected, last first: put back into the streambuf, which holds
    // them in all but a buffer without a put-back area, or, where it refuses
    // one, sought back over the rest. A number holds no line feed.
    bool give_back_number(std::size_t offset) {
        std::size_t left = offset_ - offset;
        for (; left != 0; --left, --offset_)
            if (sb_->sputbackc(collected_[left - 1]) == kEnd) break;
        if (left == 0) return true;
        const auto back = static_cast<std::streamoff>(left);
        if (sb_->pubseekoff(-back, std::ios_base::cur, std::ios_base::in) == std::streampos(std::streamoff(-1)))
            return false;
        offset_ = offset;
        return true;
    }

    static bool is_space(int c) { return TextBuffer::is_space(c); }
    bool attached() const { return sb_ != nullptr; }
    static bool convert_hex(std::string_view text, long& value) { return convert_hex_escape(text, value); }

    // A stream tries each attempt in turn, as its own operations would.
    static constexpr bool kTakesBackFreely = false;

    // Where the literal is all in the buffer.
    bool take_literal(std::string_view pattern) {
        return take_in_place([&](TextBuffer& ahead) { return ahead.take_literal(pattern); });
    }
    // Each loop counts what it takes in a local, and moves the count once.
    template <class Text>
    void append_plain(Text& out, char delim) {
        if (take_runs([&](TextBuffer& ahead) { ahead.append_plain(out, delim); }, kNoteLines)) return;
        int c = sb_->sgetc();
        std::size_t taken = 0;
        while (c != kEnd && c != to_int(delim) && c != '\\') {
            out.push_back(static_cast<char>(c));
            if (c == '\n') line_break_at(offset_ + taken + 1);
            ++taken;
            c = sb_->snextc();
        }
        offset_ += taken;
    }
    // A number that ends inside the buffer.
    bool take_json_number(double& value) {
        return take_in_place([&](TextBuffer& ahead) { return ahead.take_json_number(value) && took_number(ahead); });
    }
    // Byte by byte, it stops at every byte from 0x80 on: the grammar checks
    // UTF-8 itself.
    template <class Text>
    void append_json_plain(Text& out) {
        if (take_runs([&](TextBuffer& ahead) { ahead.append_json_plain(out); }, kLinesNoted)) return;
        int c = sb_->sgetc();
        std::size_t taken = 0;
        while (c != kEnd && c != '"' && c != '\\' && c >= 0x20 && c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++taken;
            c = sb_->snextc();
        }
        offset_ += taken;
    }
    int skip_json_space() {
        if (take_runs([&](TextBuffer& ahead) { ahead.skip_json_space(line_feeds()); }, kLinesNoted))
            return sb_->sgetc();
        int c = sb_->sgetc();
        std::size_t taken = 0;
        while (is_json_space(c)) {
            if (c == '\n') line_break_at(offset_ + taken + 1);
            ++taken;
            c = sb_->snextc();
        }
        offset_ += taken;
        return c;
    }
    void skip_line() {
        int c = sb_->sgetc();
        std::size_t taken = 0;
        while (c != kEnd && c != '\n' && c != '\r') {
            ++taken;
            c = sb_->snextc();
        }
        offset_ += taken;
    }
    // The text in memory skips the classic locale's white space.
    ZQ_INLINE int skip_space() {
        if (take_runs([&](TextBuffer& ahead) { ahead.skip_space(line_feeds()); }, kLinesNoted)) return sb_->sgetc();
        int c = sb_->sgetc();
        std::size_t taken = 0;
        while (c != kEnd && is_space(c)) {
            if (c == '\n') line_break_at(offset_ + taken + 1);
            ++taken;
            c = sb_->snextc();
        }
        offset_ += taken;
        return c;
    }
    template <class Collect>
    std::string_view take_number(Collect collect) {
        collected_.clear();
        collect();
        return collected_;
    }
    void keep(int c) { collected_.push_back(static_cast<char>(c)); }
    // A number that ends inside the buffer, in the classic locale.
    bool take_plain_number(double& value, std::ios_base::iostate&) {
        std::ios_base::iostate ignored = std::ios_base::goodbit;
        return take_in_place(
            [&](TextBuffer& ahead) { return ahead.take_plain_number(value, ignored) && took_number(ahead); });
    }
    int take_digits() {
        int c = sb_->sgetc();
        std::size_t taken = 0;
        while (c >= '0' && c <= '9') {
            keep(c);
            ++taken;
            c = sb_->snextc();
        }
        offset_ += taken;
        return c;
    }

    // As the text's: the mark of a number from 2^53 on.
    std::uint32_t exact() const { return exact_; }
    void note_exact(std::string_view text, double d) {
        if (__builtin_expect(is_beyond_exact_doubles(d), 0)) exact_ = mark_of_literal(text, d);
    }

    // Counted as the characters are taken: a stream cannot be read again.
    std::size_t offset() const { return offset_; }
    Place place_of(std::size_t) const { return place_; }

private:
    // Whether take_ahead notes the lines a run of bytes taken ends, or the
    // run needs none noted: it holds no line feed, or the scan told
    // line_feeds() of each.
    enum Lines { kLinesNoted, kNoteLines };

    // Runs `scan` over the bytes read ahead, takes what it took, and goes on
    // after a refill while it took them all. True when it stopped at a byte
    // read ahead, which the byte-by-byte loop would stop at too; false when
    // that loop has yet to look.
    template <class Scan>
    ZQ_INLINE bool take_runs(Scan scan, Lines lines) {
        for (;;) {
            const std::string_view run = GetArea::of(*sb_);
            if (run.empty()) return false;
            TextBuffer ahead(run);
            scan(ahead);
            take_ahead(run.substr(0, ahead.offset()), lines == kNoteLines);
            if (ahead.offset() < run.size()) return true;
            if (sb_->sgetc() == kEnd) return false;
        }
    }
    // Keeps the mark of the number `ahead` read in place.
    bool took_number(const TextBuffer& ahead) {
        exact_ = ahead.exact();
        return true;
    }
    // Runs `take` over the bytes read ahead and takes what it took, where it
    // succeeds and stops short of their end, which may not be the input's.
    template <class Take>
    bool take_in_place(Take take) {
        const std::string_view run = GetArea::of(*sb_);
        TextBuffer ahead(run);
        if (run.empty() || !take(ahead) || ahead.offset() == run.size()) return false;
        take_ahead(run.substr(0, ahead.offset()), false);
        return true;
    }
    // Moves past `taken`, the first bytes read ahead, noting the lines it
    // ends when asked to.
    void take_ahead(std::string_view taken, bool count_lines) {
        if (taken.empty()) return;
        if (count_lines) note_line_feeds(taken);
        offset_ += taken.size();
        GetArea::take(*sb_, taken.size());
    }
    // Where a scan of the bytes read ahead sends the line feeds it takes,
    // by their offset after the feed from where the scan began.
    struct LineFeeds {
        StreamBuffer* buffer;
        void operator()(std::size_t after) const { buffer->line_break_at(buffer->offset_ + after); }
    };
    LineFeeds line_feeds() { return {this}; }
    void note_line_feeds(std::string_view taken) {
        const char* const begin = taken.data();
        const char* const end = begin + taken.size();
        for (const char* p = begin;
             (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr;)
            line_break_at(offset_ + static_cast<std::size_t>(++p - begin));
    }
    void count_taken(int c) {
        ++offset_;
        if (c == '\n') line_break_at(offset_);
    }
    // A line begins at `offset`.
    void line_break_at(std::size_t offset) {
        ++place_.line;
        previous_line_start_ = place_.line_start;
        place_.line_start = offset;
    }
    void count_given_back(int c) {
        --offset_;
        if (c == '\n') {
            --place_.line;
            place_.line_start = previous_line_start_;
        }
    }

    std::streambuf* sb_;
    std::string collected_;
    std::uint32_t exact_ = 0;
    std::size_t offset_ = 0;
    Place place_;
    std::size_t previous_line_start_ = 0;
};

// The stream operations the readers use, over either buffer, with the state
// flags (eofbit, failbit, badbit) changing exactly as the stream's own
// operations change them.
template <class Buffer>
class Cursor {
public:
    using State = std::ios_base::iostate;
    static constexpr bool kTakesBackFreely = Buffer::kTakesBackFreely;

    template <class Source>
    Cursor(Source&& source, State state) : buf_(source), state_(state) {}

    bool good() const { return state_ == std::ios_base::goodbit; }
    bool eof() const { return (state_ & std::ios_base::eofbit) != 0; }
    bool fail() const { return (state_ & (std::ios_base::failbit | std::ios_base::badbit)) != 0; }
    State state() const { return state_; }
    // Fails the stream: every later operation fails too.
    void abandon() { state_ |= std::ios_base::failbit; }
    // As the stream's clear(): bad for good when there is no buffer.
    void clear() { state_ = buf_.attached() ? std::ios_base::goodbit : std::ios_base::badbit; }

    int get() {
        if (!sentry()) return kEnd;
        const int c = buf_.sbumpc();
        if (c == kEnd) state_ |= std::ios_base::eofbit | std::ios_base::failbit;
        return c;
    }
    int peek() {
        if (!sentry()) return kEnd;
        const int c = buf_.sgetc();
        if (c == kEnd) state_ |= std::ios_base::eofbit;
        return c;
    }
    // A refused put-back leaves the stream bad.
    void putback(char c) {
        state_ &= ~std::ios_base::eofbit;
        if (sentry() && !buf_.sputbackc(c)) state_ |= std::ios_base::badbit;
    }
    void unget() {
        state_ &= ~std::ios_base::eofbit;
        if (sentry() && !buf_.sungetc()) state_ |= std::ios_base::badbit;
    }
    // std::ws
    void ws() {
        if (sentry() && buf_.skip_space() == kEnd) state_ |= std::ios_base::eofbit;
    }
    // clear(), then seekg() back to where a failed number began, at
    // `offset`, where tellg() reported a position when `told`: false, with
    // failbit set, where none was told or the bytes cannot be given back.
    bool back_after_number(std::size_t offset, bool told) {
        clear();
        if (good() && told && buf_.give_back_number(offset)) return true;
        state_ |= std::ios_base::failbit;
        return false;
    }

    // `in >> value` for a Number, after white space was skipped, in the
    // classic locale.
    void extract(Number& value) {
        if (!sentry()) return;
        if (take_plain_number(value)) return;
        int c = buf_.sgetc();
        const std::string_view text = buf_.take_number([&] { c = collect_number(c); });
        double converted = 0;
        if (!convert_number(text, converted)) state_ |= std::ios_base::failbit;
        value = converted;
        buf_.note_exact(text, converted);
        if (c == kEnd) state_ |= std::ios_base::eofbit;
    }

    // Fast paths for the readers. Each is what the loop of stream operations
    // it replaces does on a good stream, without the per-character checks.

    // The extraction of a plain number, where the buffer can tell one.
    bool take_plain_number(Number& value) {
        double plain;
        if (!buf_.take_plain_number(plain, state_)) return false;
        value = plain;
        return true;
    }

    // White space skipped as `ws` skips it, stopping short of the end, where
    // `ws` would set eofbit: the next operation sees the end itself.
    ZQ_INLINE int skip_space_quietly() { return buf_.skip_space(); }
    // Takes the character that skip_space_quietly returned.
    void advance() { buf_.sbumpc(); }
    // The end of a number attempt on a good stream that took nothing:
    // clear(), then seekg() back to where it started, where it still stands.
    void restore_after_empty_number() { clear(); }
    template <class Text>
    void append_plain(Text& out, char delim) {
        buf_.append_plain(out, delim);
    }
    // Every character of a literal read in turn, where the buffer can look
    // ahead and the literal is all there.
    bool take_literal(std::string_view pattern) { return buf_.take_literal(pattern); }
    void skip_line() { buf_.skip_line(); }
    bool convert_hex(std::string_view text, long& value) const { return buf_.convert_hex(text, value); }
    // The mark of the integer beyond 2^53 that the last number read was, where
    // its magnitude is from 2^53 on; `note_exact` keeps it for a number read
    // from the text of a run.
    std::uint32_t exact() const { return buf_.exact(); }
    void note_exact(std::string_view text, double d) { buf_.note_exact(text, d); }
    // Bytes taken since reading began, and the line that position is on.
    std::size_t offset() const { return buf_.offset(); }
    std::size_t reached() const { return buf_.reached(); }
    Place place_of(std::size_t offset) const { return buf_.place_of(offset); }

    // Strict reading goes straight to the buffer: standard JSON needs no
    // stream operation's effects.
    // The next byte, flags untouched; kEnd at the end.
    int next() { return buf_.attached() ? buf_.sgetc() : kEnd; }
    int skip_json_space() { return buf_.skip_json_space(); }
    bool take_json_number(Number& value) {
        double plain;
        if (!buf_.take_json_number(plain)) return false;
        value = plain;
        return true;
    }
    template <class Text>
    void append_json_plain(Text& out) {
        buf_.append_json_plain(out);
    }
    // Takes `c`, the next byte, into the run of a number; returns the byte
    // after it.
    int take_into_run(int c) { return take(c); }
    int take_digits_into_run() { return buf_.take_digits(); }
    // The bytes that `collect` took into the run.
    template <class Collect>
    std::string_view run_of(Collect collect) {
        return buf_.take_number(collect);
    }
    // Notes on the flags that the end of the input was seen, as a stream's
    // peek there would.
    void saw_end() { state_ |= std::ios_base::eofbit; }
    void fail_quietly() { state_ |= std::ios_base::failbit; }

private:
    // A sentry that skips nothing: fails, and sets failbit, unless good.
    bool sentry() {
        if (state_ == std::ios_base::goodbit) return true;
        state_ |= std::ios_base::failbit;
        return false;
    }

    int take(int c) {
        buf_.keep(c);
        return buf_.snextc();
    }

    // The characters the classic locale's floating-point extraction takes:
    // a sign, digits with at most one decimal point, then an exponent mark
    // (only after a digit) with an optional sign and digits. Returns the
    // first character it did not take.
    int collect_number(int c) {
        if (c == '+' || c == '-') c = take(c);
        bool digits = false;
        bool point = false;
        bool exponent = false;
        while (c != kEnd) {
            if (c >= '0' && c <= '9') {
                digits = true;
                c = buf_.take_digits();
                continue;
            }
            if (c == '.' && !point && !exponent) {
                point = true;
            } else if ((c == 'e' || c == 'E') && !exponent && digits) {
                exponent = true;
                c = take(c);
                if (c == '+' || c == '-') c = take(c);
                continue;
            } else {
                break;
            }
            c = take(c);
        }
        return c;
    }

    Buffer buf_;
    State state_;
};

using TextCursor = Cursor<TextBuffer>;

// A cursor over a caller's stream. `finish` hands the state flags to the
// stream; an exception mask the caller set applies then.
class StreamCursor : public Cursor<StreamBuffer> {
public:
    explicit StreamCursor(std::istream& in) : Cursor(in, initial_state(in)), in_(in) {}
    void finish() { in_.clear(state()); }

private:
    static State initial_state(std::istream& in) {
        if (in.good() && in.tie()) in.tie()->flush();
        return in.rdstate();
    }
    std::istream& in_;
};

}  // namespace zqjson::detail

#endif
