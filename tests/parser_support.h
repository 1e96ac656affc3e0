// Test support for the parser: a reference reader written plainly in the
// std::istream operations the library's readers must reproduce, a canonical
// description of documents for comparing them, and runners that put one
// input through each source and record what they saw.
#ifndef ZQ_TESTS_PARSER_SUPPORT_H
#define ZQ_TESTS_PARSER_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <istream>
#include <memory>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/ModelAccess.h"
#include "SnapCommon/json/Parser.h"
#include "support/TestSupport.h"

namespace parser_test {

using zqjson::Array;
using zqjson::Number;
using zqjson::Object;
using zqjson::String;
using zqjson::Value;

// A canonical text for documents, shared with the fuzz targets.
using zqtest::describe;
using zqtest::describe_string;
using zqtest::exact_integers;

// ---------------------------------------------------------------------------
// The reference reader: the plain sequence of stream operations, on a real
// std::istream.

namespace reference {

bool comment(std::istream& in);

inline bool match(const char* pattern, std::istream& in) {
    in >> std::ws;
    const char* p = pattern;
    while (!in.fail() && !in.eof() && *p != '\0') {
        const int c = in.get();
        if (c == EOF) return false;
        if (c == static_cast<unsigned char>(*p)) {
            ++p;
            continue;
        }
        in.putback(static_cast<char>(c));
        if (comment(in)) continue;
        while (p != pattern) in.putback(*--p);
        return false;
    }
    return *p == '\0';
}

inline bool comment(std::istream& in) {
    if (in.eof() || in.peek() != '/') return false;
    in.get();
    if (in.get() == '/') {
        for (;;) {
            const int c = in.peek();
            if (c == EOF || c == '\n' || c == '\r') break;
            in.get();
        }
        if (!in.eof()) in >> std::ws;
        return true;
    }
    in.unget();
    in.clear();
    in.unget();
    in.clear();
    return false;
}

inline void put_utf8(String& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

inline bool string(std::istream& in, String& value) {
    char delim;
    if (match("\"", in)) {
        delim = '"';
    } else if (in.peek() == '\'') {
        in.get();
        delim = '\'';
    } else {
        return false;
    }
    int pending = -1;  // a high surrogate waiting for its low half
    auto settle = [&] {
        if (pending >= 0) put_utf8(value, 0xFFFD);
        pending = -1;
    };
    bool closed = false;
    while (in.good() && !in.eof()) {
        const int c = in.get();
        if (c == EOF) break;
        if (c == delim) {
            closed = true;
            break;
        }
        if (c != '\\') {
            settle();
            value += static_cast<char>(c);
            continue;
        }
        const int e = in.get();
        if (e == EOF) break;
        if (e != 'u') settle();
        switch (e) {
            case '"':
                value += delim == '"' ? "\"" : "\\\"";
                break;
            case '\'':
                value += delim == '\'' ? "'" : "\\'";
                break;
            case '\\':
                value += '\\';
                break;
            case '/':
                value += '/';
                break;
            case 'b':
                value += '\b';
                break;
            case 'f':
                value += '\f';
                break;
            case 'n':
                value += '\n';
                break;
            case 'r':
                value += '\r';
                break;
            case 't':
                value += '\t';
                break;
            case 'u': {
                std::string hex;
                for (int i = 0; i < 4 && in.good() && !in.eof(); ++i) {
                    const int h = in.get();
                    if (h == EOF) break;
                    hex += static_cast<char>(h);
                }
                std::istringstream digits(hex);
                int code = 0;
                if (!in.good() || !(digits >> std::hex >> code)) {
                    settle();
                    break;
                }
                const unsigned unit = static_cast<unsigned>(code) & 0xFFFF;
                if (pending >= 0 && unit >= 0xDC00 && unit <= 0xDFFF) {
                    put_utf8(value, 0x10000 + ((static_cast<unsigned>(pending) - 0xD800) << 10) + (unit - 0xDC00));
                    pending = -1;
                    break;
                }
                settle();
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    pending = static_cast<int>(unit);
                } else {
                    put_utf8(value, unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
                }
                break;
            }
            default:
                value += '\\';
                value += static_cast<char>(e);
        }
    }
    settle();
    return closed && !in.fail();
}

inline bool identifier(std::istream& in, String& value) {
    in >> std::ws;
    int last = EOF;
    bool first = true;
    while (in.good() && !in.eof()) {
        const int c = in.get();
        if (c == EOF) break;
        last = c;
        if (c == ':') {
            in.unget();
            break;
        }
        const bool start = std::isalpha(c) || c == '_' || c == '$';
        if (first && !start) return false;
        first = false;
        if (start || std::isdigit(c)) {
            value += static_cast<char>(c);
        } else if (c == ' ' || c == '\t') {
            in >> std::ws;
        }
    }
    return !in.fail() && last == ':';
}

inline bool number(std::istream& in, Number& value) {
    in >> std::ws;
    const std::streampos start = in.tellg();
    in >> value;
    if (!in.fail()) return true;
    in.clear();
    in.seekg(start);
    return false;
}

inline bool boolean(std::istream& in, bool& value) {
    if (match("true", in)) {
        value = true;
        return true;
    }
    if (match("false", in)) {
        value = false;
        return true;
    }
    return false;
}

inline bool null(std::istream& in) { return match("null", in) || in.peek() == ','; }

bool object(std::istream& in, Object& target, std::size_t depth);
bool array(std::istream& in, Array& target, std::size_t depth);

inline bool value(std::istream& in, Value& target, std::size_t depth) {
    target.reset();
    String text;
    if (string(in, text)) {
        target.import(text);
        return true;
    }
    Number n = 0;
    if (number(in, n)) {
        target.import(n);
        return true;
    }
    bool b = false;
    if (boolean(in, b)) {
        target.import(b);
        return true;
    }
    if (null(in)) {
        target.import(zqjson::Null());
        return true;
    }
    // Nested content is handed over, not copied, so deep documents stay cheap.
    if (in.peek() == '[') {
        auto a = std::make_unique<Array>();
        if (array(in, *a, depth + 1)) {
            zqjson::detail::ModelAccess::adopt(target, a.release());
            return true;
        }
    }
    auto o = std::make_unique<Object>();
    if (object(in, *o, depth + 1)) {
        zqjson::detail::ModelAccess::adopt(target, o.release());
        return true;
    }
    return false;
}

inline bool object(std::istream& in, Object& target, std::size_t depth) {
    target.reset();
    if (!match("{", in)) return false;
    // Only a container that opens counts; the fault stands at its bracket.
    if (depth > zqjson::kMaxDepth) {
        in.unget();
        in.setstate(std::ios_base::failbit);
        return false;
    }
    if (match("}", in)) return true;
    for (;;) {
        String key;
        if (!string(in, key)) {
            if (in.peek() == '}') break;
            return false;
        }
        if (!match(":", in)) return false;
        auto member = std::make_unique<Value>();
        if (!value(in, *member, depth)) break;
        Value*& slot = zqjson::detail::ModelAccess::entries(target)[key];
        delete slot;
        slot = member.release();
        if (!match(",", in)) break;
    }
    return match("}", in);
}

inline bool array(std::istream& in, Array& target, std::size_t depth) {
    target.reset();
    if (!match("[", in)) return false;
    // Only a container that opens counts; the fault stands at its bracket.
    if (depth > zqjson::kMaxDepth) {
        in.unget();
        in.setstate(std::ios_base::failbit);
        return false;
    }
    if (match("]", in)) return true;
    for (;;) {
        auto element = std::make_unique<Value>();
        if (!value(in, *element, depth)) break;
        zqjson::detail::ModelAccess::elements(target).push_back(element.release());
        if (!match(",", in)) break;
    }
    return match("]", in);
}

}  // namespace reference

// ---------------------------------------------------------------------------
// One reader run over one input through one source.

enum class Op { Match, Comment, String, Identifier, Number, Bool, Null, Value, Object, Array, Document };
// Stream reads a string stream, Trickle a stream that has read a few bytes
// ahead (from 1 to 7, by the input's length), Pipe such a stream that cannot
// seek.
enum class Source { Stream, Trickle, Pipe, Text, Reference };

struct Outcome {
    bool ok = false;
    std::ios_base::iostate state = std::ios_base::goodbit;
    long long stopped = -1;  // read position afterwards
    std::string out;         // what the reader produced, described

    bool operator==(const Outcome& o) const {
        return ok == o.ok && state == o.state && stopped == o.stopped && out == o.out;
    }
};

inline std::string state_name(std::ios_base::iostate s) {
    std::string name;
    if (s & std::ios_base::eofbit) name += "eof ";
    if (s & std::ios_base::failbit) name += "fail ";
    if (s & std::ios_base::badbit) name += "bad ";
    return name.empty() ? "good" : name;
}

inline std::ostream& operator<<(std::ostream& os, const Outcome& r) {
    return os << "{ok " << r.ok << ", " << state_name(r.state) << ", stopped " << r.stopped << ", " << r.out << "}";
}

// The reader `op` with its argument `arg` (the pattern of Match) on any
// reader object: the library's Reader, or an adapter to the public functions
// or the reference.
template <class R>
Outcome run_with(R& reader, Op op, const std::string& arg) {
    Outcome run;
    switch (op) {
        case Op::Match:
            run.ok = reader.match(arg.c_str());
            break;
        case Op::Comment:
            run.ok = reader.comment();
            break;
        case Op::String:
        case Op::Identifier: {
            String s = "<";
            run.ok = op == Op::String ? reader.string(s) : reader.identifier(s);
            describe_string(run.out, s);
            break;
        }
        case Op::Number: {
            Number n = -7;
            run.ok = reader.number(n);
            Value v(n);
            run.out = describe(v);
            break;
        }
        case Op::Bool: {
            bool b = false;
            run.ok = reader.boolean(b);
            run.out = b ? "true" : "false";
            break;
        }
        case Op::Null:
            run.ok = reader.null();
            break;
        case Op::Value: {
            Value v;
            run.ok = reader.value(v, 0);
            run.out = describe(v);
            break;
        }
        case Op::Object: {
            Object o;
            run.ok = reader.object(o, 1);
            run.out = describe(o);
            break;
        }
        case Op::Array: {
            Array a;
            run.ok = reader.array(a, 1);
            run.out = describe(a);
            break;
        }
        case Op::Document: {
            Object o;
            Array a;
            const auto opened = reader.document(o, a);
            run.ok = opened != zqjson::detail::Opened::Nothing;
            run.out = opened == zqjson::detail::Opened::Object  ? describe(o)
                      : opened == zqjson::detail::Opened::Array ? describe(a)
                                                                : "";
            break;
        }
    }
    return run;
}

// The exported functions, as a host calls them.
struct PublicReader {
    std::istream& in;
    bool match(const char* p) { return zqjson::match(p, in); }
    bool comment() { return zqjson::parse_comment(in); }
    bool string(String& s) { return zqjson::parse_string(in, s); }
    bool identifier(String& s) { return zqjson::parse_identifier(in, s); }
    bool number(Number& n) { return zqjson::parse_number(in, n); }
    bool boolean(bool& b) { return zqjson::parse_bool(in, b); }
    bool null() { return zqjson::parse_null(in); }
    bool value(Value& v, std::size_t) { return zqjson::parse_value(in, v); }
    bool object(Object& o, std::size_t) { return zqjson::parse_object(in, o); }
    bool array(Array& a, std::size_t) { return zqjson::parse_array(in, a); }
    zqjson::detail::Opened document(Object& o, Array& a) { return zqjson::detail::open_document(in, o, a); }
};

struct ReferenceReader {
    std::istream& in;
    bool match(const char* p) { return reference::match(p, in); }
    bool comment() { return reference::comment(in); }
    bool string(String& s) { return reference::string(in, s); }
    bool identifier(String& s) { return reference::identifier(in, s); }
    bool number(Number& n) { return reference::number(in, n); }
    bool boolean(bool& b) { return reference::boolean(in, b); }
    bool null() { return reference::null(in); }
    bool value(Value& v, std::size_t depth) { return reference::value(in, v, depth); }
    bool object(Object& o, std::size_t depth) { return reference::object(in, o, depth); }
    bool array(Array& a, std::size_t depth) { return reference::array(in, a, depth); }
    zqjson::detail::Opened document(Object& o, Array& a) {
        int c = in.peek();
        while (c != EOF && c <= 0x20) {
            in.get();
            c = in.peek();
        }
        if (c == '{') return object(o, 1) ? zqjson::detail::Opened::Object : zqjson::detail::Opened::Nothing;
        if (c == '[') return array(a, 1) ? zqjson::detail::Opened::Array : zqjson::detail::Opened::Nothing;
        return zqjson::detail::Opened::Nothing;
    }
};

inline Outcome run(Source source, Op op, const std::string& input, const std::string& arg = "") {
    if (source == Source::Text) {
        zqjson::detail::TextCursor in(std::string_view(input), std::ios_base::goodbit);
        zqjson::detail::Reader<zqjson::detail::TextCursor> reader(in);
        Outcome r = run_with(reader, op, arg);
        r.state = in.state();
        r.stopped = static_cast<long long>(in.offset());
        return r;
    }
    if (source == Source::Trickle || source == Source::Pipe) {
        zqtest::TrickleBuffer trickle(input, 1 + input.size() % 7);
        zqtest::PipeBuffer pipe(input, 1 + input.size() % 7);
        zqtest::TrickleBuffer& buffer = source == Source::Pipe ? pipe : trickle;
        std::istream stream(&buffer);
        PublicReader reader{stream};
        Outcome r = run_with(reader, op, arg);
        r.state = stream.rdstate();
        r.stopped = static_cast<long long>(buffer.read_so_far());
        return r;
    }
    std::istringstream stream(input);
    Outcome r;
    if (source == Source::Stream) {
        PublicReader reader{stream};
        r = run_with(reader, op, arg);
    } else {
        ReferenceReader reader{stream};
        r = run_with(reader, op, arg);
    }
    r.state = stream.rdstate();
    r.stopped = static_cast<long long>(stream.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
    return r;
}

}  // namespace parser_test

#endif
