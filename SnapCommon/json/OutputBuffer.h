// The one growing buffer a whole rendering is appended to. Internal.
#ifndef ZQ_JSON_OUTPUT_BUFFER_H
#define ZQ_JSON_OUTPUT_BUFFER_H

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "Heap.h"

namespace zqjson::detail {

// Written through a raw cursor: most pieces are a few bytes long, and checking
// room once per piece is cheaper than the string's general append. The
// storage grows with realloc, which moves large blocks by remapping pages
// instead of copying them, and the text is copied out once at the end.
class OutputBuffer {
public:
    OutputBuffer() { grow(kFirstCapacity); }  // so that even an empty piece has somewhere to go
    // The text is written into `result` itself, which `take` hands back: a
    // text returned whole is then never copied, and only the memory it
    // takes is touched.
    explicit OutputBuffer(std::string& result) : result_(&result) { grow(kFirstCapacity); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    ~OutputBuffer() {
        if (!result_) heap::release(data_);
    }

    void append(char c) { *claim(1) = c, ++size_; }
    void append(const char* text, std::size_t size) {
        char* to = claim(size);
        if (size <= kSmallPiece)
            put_small(to, text, size);
        else
            std::memcpy(to, text, size);
        size_ += size;
    }
    void append(std::string_view text) {
        if (text.empty()) return;  // an empty view may have no storage at all
        append(text.data(), text.size());
    }
    template <std::size_t N>
    void append(const char (&literal)[N]) {
        append(literal, N - 1);
    }
    void append_tabs(std::size_t count) { advance_to(put_tabs(claim(tabs_room(count)), count)); }

    // For writers that keep their own cursor in room claimed once for many
    // pieces: a byte stored through the buffer's own pointer may alias its
    // fields, which every piece would then read again.
    //
    // Indentation: most lines are a few levels deep, and a fixed-size store
    // of tabs beats a call to fill a handful of bytes; it needs
    // `tabs_room(count)` bytes of room.
    static constexpr std::size_t tabs_room(std::size_t count) { return std::max(count, kShortIndent); }
    static char* put_tabs(char* to, std::size_t count) {
        if (count > kShortIndent) return static_cast<char*>(std::memset(to, '\t', count)) + count;
        static constexpr char kTabs[kShortIndent + 1] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
        std::memcpy(to, kTabs, kShortIndent);
        return to + count;
    }
    // Names, keys, tags and most values are a few bytes long: copied with
    // two fixed-size moves that may overlap, never reading past the piece,
    // rather than with a call.
    static constexpr std::size_t kSmallPiece = 32;
    static char* put_small(char* to, const char* from, std::size_t size) {
        if (size >= 16) {
            std::memcpy(to, from, 16);
            std::memcpy(to + size - 16, from + size - 16, 16);
        } else if (size >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + size - 8, from + size - 8, 8);
        } else if (size >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + size - 4, from + size - 4, 4);
        } else if (size > 0) {
            to[0] = from[0];
            to[size / 2] = from[size / 2];
            to[size - 1] = from[size - 1];
        }
        return to + size;
    }

    // Room for `count` more bytes at the end, to be taken with `advance` or
    // `advance_to`.
    char* claim(std::size_t count) {
        if (capacity_ - size_ < count) grow(count);
        return data_ + size_;
    }
    void advance(std::size_t count) { size_ += count; }
    void advance_to(const char* end) { size_ = static_cast<std::size_t>(end - data_); }

    std::size_t size() const { return size_; }
    char* data() { return data_; }
    std::string_view view() const { return {data_, size_}; }
    std::string text() const { return std::string(data_, size_); }
    // The result the text was written into, ended where the text ends.
    std::string take() {
        result_->resize(size_);
        return std::move(*result_);
    }
    void clear() { size_ = 0; }

private:
    static constexpr std::size_t kFirstCapacity = 4096;
    static constexpr std::size_t kShortIndent = 16;

    void grow(std::size_t count) {
        const std::size_t capacity = std::max({2 * capacity_, size_ + count, kFirstCapacity});
        if (result_) {
            result_->resize(capacity);
            data_ = result_->data();
        } else {
            char* data = static_cast<char*>(heap::resized(data_, capacity));
            if (!data) throw std::bad_alloc();
            data_ = data;
        }
        capacity_ = capacity;
    }

    std::string* const result_ = nullptr;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace zqjson::detail

#endif
