// Documents one after another from a stream: JSON Lines, or documents of
// several lines each, as an indenting writer leaves them.
//
// The stream is read a window at a time into memory, and each document is
// read from the window in place, as a text is: as fast as reading a text,
// and with no need to seek or give back to the stream. A document cut short
// by the end of the window is read again once more of the input is there:
// the window grows to hold the longest document, eight times over at each
// step, so that a long document is read again a seventh of its length at
// most, however little each read of a pipe gives. Memory is taken as the
// window fills, not for the room to come.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <istream>
#include <new>
#include <streambuf>
#include <string>
#include <string_view>

#include "../ZQJson.h"
#include "Heap.h"
#include "Parser.h"

namespace zqjson {

namespace {

// What is read from the stream at a time, at the least.
constexpr std::size_t kReadEachChunk = 256 * 1024;
// How much larger the window grows to read a document it cut short again.
constexpr std::size_t kWindowGrowth = 8;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kAfterDocument = "text after the document";
constexpr const char* kUnexpected = "unexpected character";

// White space between documents: JSON's; leniently, the classic locale's,
// which the lenient reader skips.
bool is_space(char c, Syntax syntax) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return true;
    return syntax == Syntax::Lenient && (c == '\v' || c == '\f');
}

// The text of the stream from where its documents have been read up to
// where it has been read, with the lines and columns of what went before.
class Window {
public:
    explicit Window(std::streambuf& source) : source_(source) {}
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() { detail::heap::release(text_); }

    std::string_view rest() const { return {text_ + at_, size_ - at_}; }
    bool ended() const { return ended_; }
    void take(std::size_t count) { at_ += count; }
    // Where the rest begins in the input.
    std::size_t offset() const { return base_ + at_; }

    // Reads what the stream gives at once, a chunk at most, after the rest,
    // which it keeps: a pipe's documents are read as they arrive. False, and
    // ended from then on, once the stream has no more.
    bool refill() {
        forget_taken();
        if (capacity_ - size_ < kReadEachChunk) grow(size_ + kReadEachChunk);
        return read_some(kReadEachChunk);
    }
    // For a document the rest cut short: reads on until the rest is
    // kWindowGrowth times as long, or the input ends, so that however little
    // each read gives, the document is read again only as often as the
    // window grows that much. The room grows by doubling, as it fills.
    void extend() {
        forget_taken();
        const std::size_t target = kWindowGrowth * std::max<std::size_t>(size_, 1);
        while (size_ < target && !ended_) {
            if (capacity_ == size_) grow(std::min(target, std::max(2 * capacity_, size_ + kReadEachChunk)));
            read_some(capacity_ - size_);
        }
    }
    // Refills while the rest is shorter than `size` and the input goes on.
    void hold(std::size_t size) {
        while (rest().size() < size && !ended_) refill();
    }

    // The line and column of `offset` in the input, from the rest on.
    void place(std::size_t offset, ReadError& error) const {
        std::size_t line = line_;
        std::size_t line_start = line_start_;
        const char* const begin = text_;
        for (const char* p = begin; p != begin + (offset - base_); ++p)
            if (*p == '\n') ++line, line_start = base_ + static_cast<std::size_t>(p + 1 - begin);
        error.offset = offset;
        error.line = line;
        error.column = offset - line_start + 1;
    }

private:
    // Counts the lines of the text taken before it goes.
    void forget_taken() {
        if (at_ == 0) return;  // nothing taken, and perhaps no text yet
        const char* const begin = text_;
        const char* const end = begin + at_;
        for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr;) {
            ++line_;
            line_start_ = base_ + static_cast<std::size_t>(++p - begin);
        }
        std::memmove(text_, text_ + at_, size_ - at_);
        size_ -= at_;
        base_ += at_;
        at_ = 0;
    }
    // The storage grows as the C heap's realloc grows it, which moves large
    // blocks by remapping their pages rather than by copying them.
    void grow(std::size_t capacity) {
        char* const text = static_cast<char*>(detail::heap::resized(text_, capacity));
        if (!text) throw std::bad_alloc();
        text_ = text;
        capacity_ = capacity;
    }

    bool read_some(std::size_t most) {
        const auto got = static_cast<std::size_t>(source_.sgetn(text_ + size_, static_cast<std::streamsize>(most)));
        size_ += got;
        ended_ = got == 0;
        return !ended_;
    }

    std::streambuf& source_;
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t at_ = 0;          // where the rest begins in text_
    std::size_t base_ = 0;        // the offset of text_[0] in the input
    std::size_t line_ = 1;        // the line text_[0] is on
    std::size_t line_start_ = 0;  // and the offset where that line begins
    bool ended_ = false;
};

// Whether `rest[i]`, a '/', starts a comment: it does when another follows.
// Undecided at the end of a window the input goes on past.
enum class Slash { Comment, NotComment, Undecided };
Slash slash_at(std::string_view rest, std::size_t i, const Window& window) {
    if (i + 1 < rest.size()) return rest[i + 1] == '/' ? Slash::Comment : Slash::NotComment;
    return window.ended() ? Slash::NotComment : Slash::Undecided;
}

// Skips the white space and, leniently, the comments before a document;
// false when the input ends first.
bool skip_to_document(Window& window, Syntax syntax) {
    bool in_comment = false;
    for (;;) {
        const std::string_view rest = window.rest();
        std::size_t i = 0;
        for (; i < rest.size(); ++i) {
            const char c = rest[i];
            if (in_comment) {
                in_comment = c != '\n' && c != '\r';
                continue;
            }
            if (is_space(c, syntax)) continue;
            const Slash slash = syntax == Syntax::Lenient && c == '/' ? slash_at(rest, i, window) : Slash::NotComment;
            if (slash == Slash::Undecided) break;
            if (slash == Slash::NotComment) {
                window.take(i);
                return true;
            }
            in_comment = true;
            ++i;
        }
        window.take(i);
        if (!window.refill() && window.rest().empty()) return false;
    }
}

// Takes the rest of the line a document ended on, through its line feed:
// white space and, leniently, a comment. False, with the window at it,
// where anything else stands there.
bool finish_line(Window& window, Syntax syntax) {
    bool in_comment = false;
    for (;;) {
        const std::string_view rest = window.rest();
        std::size_t i = 0;
        for (; i < rest.size(); ++i) {
            const char c = rest[i];
            if (c == '\n') {
                window.take(i + 1);
                return true;
            }
            if (in_comment || is_space(c, syntax)) continue;
            const Slash slash = syntax == Syntax::Lenient && c == '/' ? slash_at(rest, i, window) : Slash::NotComment;
            if (slash == Slash::Undecided) break;
            if (slash == Slash::NotComment) {
                window.take(i);
                return false;
            }
            in_comment = true;
        }
        window.take(i);
        if (!window.refill() && window.rest().empty()) return true;
    }
}

// Whether a read from the front of the window may have been cut short by
// its end: it took, or looked, that far.
bool cut_short(const detail::FrontRead& read, const Window& window) {
    return !window.ended() && std::max(read.end, read.reached) >= window.rest().size();
}

// Where a document that was not read stopped, in the rest of the window. A
// document the end of the input cut short is told at the end of its own
// text, before the line feeds and white space after it: at the line where
// it stops, as JSON Lines are read.
std::size_t where_reading_stopped(const detail::FrontRead& read, std::string_view rest, Syntax syntax) {
    std::size_t offset = read.error.offset;
    if (offset != rest.size()) return offset;
    while (offset > 0 && is_space(rest[offset - 1], syntax)) --offset;
    return offset;
}

// Success, with the count of documents read in `error`, when there is one.
bool read_so_far(std::size_t documents, ReadError* error) {
    if (error) error->document = documents;
    return true;
}

bool fail(std::istream& in, const Window& window, std::size_t offset, const char* reason, std::size_t document,
          ReadError* error) {
    in.setstate(std::ios_base::failbit);
    if (!error) return false;
    window.place(offset, *error);
    error->reason = reason;
    error->document = document;
    return false;
}

}  // namespace

bool read_each(std::istream& in, const std::function<bool(Value& document)>& visit, ReadError* error, Syntax syntax) {
    const std::istream::sentry ready(in, true);
    if (!ready || !in.rdbuf()) {
        in.setstate(std::ios_base::failbit);
        if (error) *error = ReadError{0, 1, 1, "unexpected end of input", 1};
        return false;
    }
    Window window(*in.rdbuf());
    window.hold(kByteOrderMark.size());
    if (window.rest().substr(0, kByteOrderMark.size()) == kByteOrderMark) window.take(kByteOrderMark.size());
    std::size_t documents_read = 0;
    for (std::size_t document = 1;; documents_read = document++) {
        if (!skip_to_document(window, syntax)) break;
        Value staged;
        detail::FrontRead read = detail::read_front(window.rest(), visit ? &staged : nullptr, syntax);
        while (cut_short(read, window)) {
            window.extend();
            read = detail::read_front(window.rest(), visit ? &staged : nullptr, syntax);
        }
        if (!read.ok)
            return fail(in, window, window.offset() + where_reading_stopped(read, window.rest(), syntax),
                        read.error.reason.c_str(), document, error);
        // A lenient empty value in front of a comma is read from nothing.
        if (read.end == 0) return fail(in, window, window.offset(), kUnexpected, document, error);
        window.take(read.end);
        if (!finish_line(window, syntax)) return fail(in, window, window.offset(), kAfterDocument, document, error);
        if (visit && !visit(staged)) return read_so_far(document, error);
    }
    in.setstate(std::ios_base::eofbit);
    return read_so_far(documents_read, error);
}

}  // namespace zqjson
