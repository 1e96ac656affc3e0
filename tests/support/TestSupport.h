// Helpers the test programs share.
#ifndef ZQ_TEST_SUPPORT_H
#define ZQ_TEST_SUPPORT_H

#include <algorithm>
#include <cstddef>
#include <ios>
#include <streambuf>
#include <string>
#include <utility>

#include "SnapCommon/ZQJson.h"

namespace zqtest {

// The compact JSON a stream of default settings gets from operator<<.
std::string compact(const zqjson::Value& value);
std::string compact(const zqjson::Object& object);
std::string compact(const zqjson::Array& array);

// The header line each XML rendering starts with when the caller gives none.
std::string xml_header();

// A stream buffer over `text` that has read at most `ahead` bytes past the
// read position, as a file or pipe buffer holds only part of its input, so
// that readers meet the end of what was read ahead inside every kind of
// token. Positions are told and sought, and any byte read can be put back,
// as in a string stream.
class TrickleBuffer : public std::streambuf {
public:
    TrickleBuffer(std::string text, std::size_t ahead) : text_(std::move(text)), ahead_(ahead) { show_from(0); }
    // How far it was read.
    std::size_t read_so_far() const { return static_cast<std::size_t>(gptr() - eback()); }

protected:
    int_type underflow() override {
        const auto at = static_cast<std::size_t>(gptr() - eback());
        if (at == text_.size()) return traits_type::eof();
        show_from(at);
        return traits_type::to_int_type(*gptr());
    }
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::cur ? gptr() - eback()
                                                          : static_cast<off_type>(text_.size());
        return seekpos(pos_type(base + off), which);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        const off_type at = pos;
        if ((which & std::ios_base::in) == 0 || at < 0 || at > static_cast<off_type>(text_.size()))
            return pos_type(off_type(-1));
        show_from(static_cast<std::size_t>(at));
        return pos;
    }

private:
    // Everything before `at` stays there to be put back.
    void show_from(std::size_t at) {
        char* const begin = text_.data();
        setg(begin, begin + at, begin + std::min(text_.size(), at + ahead_));
    }

    std::string text_;
    std::size_t ahead_;
};

// A TrickleBuffer that, like a pipe's, tells no position and seeks nowhere;
// bytes read can still be put back.
class PipeBuffer : public TrickleBuffer {
public:
    using TrickleBuffer::TrickleBuffer;

protected:
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override {
        return pos_type(off_type(-1));
    }
    pos_type seekpos(pos_type, std::ios_base::openmode) override { return pos_type(off_type(-1)); }
};

}  // namespace zqtest

#endif
