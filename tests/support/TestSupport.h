// Helpers the test programs share.
#ifndef ZQ_TEST_SUPPORT_H
#define ZQ_TEST_SUPPORT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ios>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"

namespace zqtest {

// The compact JSON a stream of default settings gets from operator<<.
std::string compact(const zqjson::Value& value);
std::string compact(const zqjson::Object& object);
std::string compact(const zqjson::Array& array);

using zqjson::Array;
using zqjson::Number;
using zqjson::Object;
using zqjson::String;
using zqjson::Value;

// ---------------------------------------------------------------------------
// A canonical text for documents: numbers by their bits, strings byte for
// byte, members in map order. Two documents are equal when their texts are.

inline void describe(std::string& out, const Value& v);

inline void describe_string(std::string& out, const String& s) {
    out += '"';
    for (unsigned char c : s) {
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

inline void describe(std::string& out, const Array& a) {
    out += '[';
    for (const Value* element : a.values()) {
        describe(out, *element);
        out += ',';
    }
    out += ']';
}

inline void describe(std::string& out, const Object& o) {
    out += '{';
    for (const auto& [key, value] : o.kv_map()) {
        describe_string(out, key);
        out += ':';
        describe(out, *value);
        out += ',';
    }
    out += '}';
}

inline void describe(std::string& out, const Value& v) {
    if (v.empty()) {
        out += "<empty>";
    } else if (v.is<Number>()) {
        const double d = static_cast<double>(v.get<Number>());
        char text[48];
        std::snprintf(text, sizeof text, "%.17g", d);
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        out += text;
        if (bits >> 63) out += "(neg)";
    } else if (v.is<String>()) {
        describe_string(out, v.get<String>());
    } else if (v.is<zqjson::Boolean>()) {
        out += v.get<zqjson::Boolean>() ? "true" : "false";
    } else if (v.is<zqjson::Null>()) {
        out += "null";
    } else if (v.is<Array>()) {
        describe(out, v.get<Array>());
    } else {
        describe(out, v.get<Object>());
    }
}

template <class T>
std::string describe(const T& document) {
    std::string out;
    describe(out, document);
    return out;
}

// The value of each whole Number of a document, as `integer` and
// `unsigned_integer` answer it, in document order: tells an integer kept
// beyond 2^53 from its nearest double, which `describe` cannot.
inline void exact_integers(std::string& out, const Value& v) {
    if (const auto whole = v.unsigned_integer()) {
        out += std::to_string(*whole) + ",";
    } else if (const auto negative = v.integer()) {
        out += std::to_string(*negative) + ",";
    } else if (const Array* a = v.get_if<Array>()) {
        for (const Value* element : a->values()) exact_integers(out, *element);
    } else if (const Object* o = v.get_if<Object>()) {
        for (const auto& member : o->kv_map()) exact_integers(out, *member.second);
    }
}

inline void exact_integers(std::string& out, const Array& a) {
    for (const Value* element : a.values()) exact_integers(out, *element);
}
inline void exact_integers(std::string& out, const Object& o) {
    for (const auto& member : o.kv_map()) exact_integers(out, *member.second);
}

template <class T>
std::string exact_integers(const T& document) {
    std::string out;
    exact_integers(out, document);
    return out;
}

// Nesting far beyond what the reader takes, in each form that has broken
// readers: arrays, objects and the two mixed, left open and closed, and a
// closed run around a value. Every reader must fail on each, cleanly and
// without exhausting the stack.
constexpr std::size_t kBombDepth = 100000;
std::vector<std::string> nesting_bombs();

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
