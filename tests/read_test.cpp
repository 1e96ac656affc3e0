// read(): verdicts in both syntaxes, and for a rejected text where and why,
// the same through a text and a stream; read_each: documents one after
// another, from every kind of stream.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ext/stdio_filebuf.h>
#include <ext/stdio_sync_filebuf.h>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "SnapCommon/ZQJson.h"
#include "TestSupport.h"

namespace {

using zqjson::ReadError;
using zqjson::Syntax;
using zqjson::Value;

// Where and why a text is rejected; `accepted` when it is not.
struct Verdict {
    bool ok;
    std::size_t line = 0;
    std::size_t column = 0;
    const char* reason = "";
};
constexpr Verdict accepted{true};
Verdict rejected(std::size_t line, std::size_t column, const char* reason) { return {false, line, column, reason}; }

struct Case {
    std::string text;
    Verdict lenient;
    Verdict strict;
};

std::string nested(std::size_t depth, const std::string& innermost = "") {
    return std::string(depth, '[') + innermost + std::string(depth, ']');
}
std::string nested_objects(std::size_t depth, const std::string& innermost) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += "{\"k\":";
    return text + innermost + std::string(depth, '}');
}

const Case kCases[] = {
    {"{\"a\": [1, 2.5e3, true, false, null, \"\\u00e9\\ud83d\\ude00\"]}", accepted, accepted},
    {"42", accepted, accepted},
    {" \t\r\n\"s\" \n", accepted, accepted},
    {"1e-400", accepted, accepted},
    {"\"\\ud800\"", accepted, accepted},
    {nested(512), accepted, accepted},
    {"{\"a\": tru}", rejected(1, 7, "invalid literal"), rejected(1, 10, "invalid literal")},
    {"{\"x\":1,\"a\":[1,2},\"y\":3}", accepted, rejected(1, 16, "expected ',' or ']'")},
    {"[1,]", accepted, rejected(1, 4, "unexpected character")},
    {"{\"a\":1,}", accepted, rejected(1, 8, "expected a key")},
    {"[,1]", accepted, rejected(1, 2, "unexpected character")},
    {"{'a':1}", accepted, rejected(1, 2, "expected a key")},
    {"// c\n{}", accepted, rejected(1, 1, "unexpected character")},
    {"01", accepted, rejected(1, 2, "invalid number")},
    {"+1", accepted, rejected(1, 1, "invalid number")},
    {".5", accepted, rejected(1, 1, "invalid number")},
    {"1.", accepted, rejected(1, 3, "unexpected end of input")},
    {"[1.]", accepted, rejected(1, 4, "invalid number")},
    {"-", rejected(1, 1, "invalid number"), rejected(1, 2, "unexpected end of input")},
    {"[1e400]", rejected(1, 2, "number out of range"), rejected(1, 2, "number out of range")},
    {"42 x", accepted, rejected(1, 4, "text after the document")},
    {"\"a\\qb\"", accepted, rejected(1, 4, "invalid escape")},
    {"\"\\u12g4\"", accepted, rejected(1, 6, "invalid escape")},
    {"\"a\x01\"", accepted, rejected(1, 3, "control character in string")},
    {"\"\xff\"", accepted, rejected(1, 2, "invalid UTF-8")},
    {"\"\xc3(\"", accepted, rejected(1, 3, "invalid UTF-8")},
    {"\"\xed\xa0\x80\"", accepted, rejected(1, 3, "invalid UTF-8")},
    {"\xef\xbb\xbf{}", rejected(1, 1, "byte-order mark"), rejected(1, 1, "byte-order mark")},
    {"", rejected(1, 1, "unexpected end of input"), rejected(1, 1, "unexpected end of input")},
    {"{\"a\":1", rejected(1, 7, "unexpected end of input"), rejected(1, 7, "unexpected end of input")},
    {"\"abc", rejected(1, 5, "unterminated string"), rejected(1, 5, "unterminated string")},
    {"{\"a\" 1}", rejected(1, 6, "expected ':' after a key"), rejected(1, 6, "expected ':' after a key")},
    {"{k:1}", rejected(1, 2, "expected a key"), rejected(1, 2, "expected a key")},
    {"[1 2]", rejected(1, 4, "expected ',' or ']'"), rejected(1, 4, "expected ',' or ']'")},
    {"{\"a\":1 \"b\":2}", rejected(1, 8, "expected ',' or '}'"), rejected(1, 8, "expected ',' or '}'")},
    {"[\n1,\r\n  x]", rejected(3, 3, "unexpected character"), rejected(3, 3, "unexpected character")},
    {"nul", rejected(1, 4, "unexpected end of input"), rejected(1, 4, "unexpected end of input")},
    {nested(513), rejected(1, 513, "nesting deeper than 512 levels"),
     rejected(1, 513, "nesting deeper than 512 levels")},
    // At the bound, a value that cannot be read is no container one deeper.
    {nested(511, "[1,]"), accepted, rejected(1, 515, "unexpected character")},
    {nested(511, "[,]"), accepted, rejected(1, 513, "unexpected character")},
    {nested(511, "[1 x]"), rejected(1, 515, "expected ',' or ']'"), rejected(1, 515, "expected ',' or ']'")},
    {nested_objects(511, "{\"k\":}"), accepted, rejected(1, 2561, "unexpected character")},
    {nested(512, "{"), rejected(1, 513, "nesting deeper than 512 levels"),
     rejected(1, 513, "nesting deeper than 512 levels")},
};

// The document, every number kept.
std::string shown(const Value& v) { return zqjson::dump(v); }

// A stream agrees with the text, whether it holds all of it or reads
// ahead `ahead` bytes at a time.
void expect_stream_agrees(std::streambuf& buffer, const std::string& name, Syntax syntax, bool ok,
                          const Value& from_text, const ReadError& text_error) {
    SCOPED_TRACE(name);
    std::istream in(&buffer);
    Value from_stream(zqjson::Number(7));
    ReadError stream_error;
    EXPECT_EQ(zqjson::read(in, from_stream, &stream_error, syntax), ok);
    EXPECT_EQ(shown(from_stream), shown(from_text));
    if (ok) return;
    EXPECT_EQ(stream_error.offset, text_error.offset);
    EXPECT_EQ(stream_error.line, text_error.line);
    EXPECT_EQ(stream_error.column, text_error.column);
    EXPECT_EQ(stream_error.reason, text_error.reason);
}

void expect_verdict(const std::string& text, Syntax syntax, const Verdict& want) {
    const char* name = syntax == Syntax::Strict ? "strict" : "lenient";
    SCOPED_TRACE(std::string(name) + " " + text.substr(0, 40));
    Value from_text(zqjson::Number(7));
    ReadError text_error;
    const bool ok = zqjson::read(text, from_text, &text_error, syntax);
    ASSERT_EQ(ok, want.ok);
    if (!ok) {
        EXPECT_EQ(text_error.line, want.line);
        EXPECT_EQ(text_error.column, want.column);
        EXPECT_EQ(text_error.reason, want.reason);
        // A rejected text leaves the target as it was.
        EXPECT_EQ(shown(from_text), "7");
    }
    std::stringbuf whole(text, std::ios_base::in);
    expect_stream_agrees(whole, "string stream", syntax, ok, from_text, text_error);
    for (const std::size_t ahead : {1, 2, 5}) {
        zqtest::TrickleBuffer trickle(text, ahead);
        expect_stream_agrees(trickle, "reading ahead " + std::to_string(ahead), syntax, ok, from_text, text_error);
        zqtest::PipeBuffer pipe(text, ahead);
        expect_stream_agrees(pipe, "a pipe reading ahead " + std::to_string(ahead), syntax, ok, from_text, text_error);
    }
}

TEST(Read, VerdictsWhereAndWhy) {
    for (const Case& c : kCases) {
        expect_verdict(c.text, Syntax::Lenient, c.lenient);
        expect_verdict(c.text, Syntax::Strict, c.strict);
    }
}

// Lenient reading is the value reader: the same document, and on failure
// the offset is where a stream stands after the failed parse.
TEST(Read, LenientIsTheValueReader) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        Value parsed;
        std::istringstream in(c.text);
        const bool parsed_ok = parsed.parse(in);
        const auto stood = in.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
        Value read;
        ReadError error;
        ASSERT_EQ(zqjson::read(c.text, read, &error), parsed_ok);
        if (parsed_ok) {
            EXPECT_EQ(shown(read), shown(parsed));
        } else {
            EXPECT_EQ(static_cast<std::streamoff>(error.offset), static_cast<std::streamoff>(stood));
        }
    }
}

// A strict read takes the whole stream; a lenient one stops after the value.
TEST(Read, StreamPositionAfterward) {
    std::istringstream strict_in("[1] ");
    Value v;
    ASSERT_TRUE(zqjson::read(strict_in, v, nullptr, Syntax::Strict));
    EXPECT_TRUE(strict_in.eof());
    std::istringstream lenient_in("[1] [2]");
    ASSERT_TRUE(zqjson::read(lenient_in, v));
    ASSERT_TRUE(zqjson::read(lenient_in, v));
    EXPECT_EQ(shown(v), "[2]");
}

// Each entry point that reads a stream, on a real pipe: through a file
// buffer, and through the C library's stream as std::cin reads by default.
// A pipe cannot seek; what it reads must be what the text reads.
class PipeOf {
public:
    explicit PipeOf(const std::string& text) {
        int ends[2];
        if (pipe(ends) != 0) throw std::runtime_error("no pipe");
        if (write(ends[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("short write");
        close(ends[1]);
        read_end_ = ends[0];
    }
    ~PipeOf() {
        if (read_end_ >= 0) close(read_end_);
    }
    PipeOf(const PipeOf&) = delete;
    PipeOf& operator=(const PipeOf&) = delete;
    int take() { return std::exchange(read_end_, -1); }

private:
    int read_end_ = -1;
};

template <class Read>
void on_pipes(const std::string& text, Read read) {
    {
        SCOPED_TRACE("file buffer on a pipe");
        PipeOf pipe(text);
        __gnu_cxx::stdio_filebuf<char> buffer(pipe.take(), std::ios_base::in);
        std::istream in(&buffer);
        read(in);
    }
    SCOPED_TRACE("C stream on a pipe");
    PipeOf pipe(text);
    std::FILE* file = fdopen(pipe.take(), "r");
    ASSERT_NE(file, nullptr);
    {
        __gnu_cxx::stdio_sync_filebuf<char> buffer(file);
        std::istream in(&buffer);
        read(in);
    }
    std::fclose(file);
}

TEST(Read, EveryStreamEntryPointReadsAPipe) {
    for (const char* text : {"[1]", "{\"k\": [true, null, 'x', {}], \"n\": -2.5e3} tail", "[-]", "[1, .x]",
                             "{\"a\": +}", "[1e400, 2]", " \x01[nul]", "42", "[1 // c\n, 2,]"}) {
        SCOPED_TRACE(text);
        Value from_text;
        ReadError text_error;
        const bool text_ok = zqjson::read(text, from_text, &text_error);
        on_pipes(text, [&](std::istream& in) {
            Value from_pipe;
            ReadError pipe_error;
            EXPECT_EQ(zqjson::read(in, from_pipe, &pipe_error), text_ok);
            EXPECT_EQ(shown(from_pipe), shown(from_text));
            if (!text_ok) {
                EXPECT_EQ(pipe_error.offset, text_error.offset);
                EXPECT_EQ(pipe_error.reason, text_error.reason);
            }
        });
        on_pipes(text, [&](std::istream& in) {
            Value v;
            EXPECT_EQ(v.parse(in), Value().parse(std::string(text)));
        });
        on_pipes(text, [&](std::istream& in) { EXPECT_EQ(zqjson::validate(in), zqjson::validate(text)); });
        on_pipes(text, [&](std::istream& in) { EXPECT_EQ(zqjson::reformat(in), zqjson::reformat(text)); });
        on_pipes(text,
                 [&](std::istream& in) { EXPECT_EQ(zqjson::xml(in, zqjson::JXML), zqjson::xml(text, zqjson::JXML)); });
        on_pipes(text, [&](std::istream& in) {
            zqjson::Object from_pipe, from_string;
            EXPECT_EQ(zqjson::parse_object(in, from_pipe), from_string.parse(std::string(text)));
            EXPECT_EQ(zqtest::compact(from_pipe), zqtest::compact(from_string));
        });
        on_pipes(text, [&](std::istream& in) {
            zqjson::Array from_pipe, from_string;
            EXPECT_EQ(zqjson::parse_array(in, from_pipe), from_string.parse(std::string(text)));
            EXPECT_EQ(zqtest::compact(from_pipe), zqtest::compact(from_string));
        });
    }
}

std::size_t allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// A check builds nothing: its cost does not grow with the values it reads.
TEST(Read, ValidateAllocatesNothingPerValue) {
    std::string text = "[";
    for (int i = 0; i < 10000; ++i) text += "{\"key\": [\"text\", 1.5, true, null],},";
    text += "]";
    const std::size_t before = allocations;
    EXPECT_TRUE(zqjson::validate(text));
    std::istringstream in(text);
    EXPECT_TRUE(zqjson::validate(in));
    EXPECT_LT(allocations - before, 20u);
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// read_each: documents one after another.

// A trickling stream buffer that cannot tell or seek its position, as a pipe.
class PipeBuffer : public zqtest::TrickleBuffer {
public:
    using TrickleBuffer::TrickleBuffer;

protected:
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override { return -1; }
    pos_type seekpos(pos_type, std::ios_base::openmode) override { return -1; }
};

// What read_each makes of a text: each document's compact text, then "ok",
// or where and why it stopped.
std::string each_of(std::streambuf& buffer, Syntax syntax, std::size_t stop_after = 0) {
    std::istream in(&buffer);
    std::string seen;
    std::size_t documents = 0;
    ReadError error;
    const bool ok = zqjson::read_each(
        in,
        [&](Value& document) {
            seen += zqtest::compact(document) + " | ";
            return ++documents != stop_after;
        },
        &error, syntax);
    if (ok) return seen + "ok " + std::to_string(error.document);
    return seen + "document " + std::to_string(error.document) + ", line " + std::to_string(error.line) + ", column " +
           std::to_string(error.column) + ": " + error.reason;
}

std::string each_of(const std::string& text, Syntax syntax, std::size_t stop_after = 0) {
    std::stringbuf buffer(text, std::ios_base::in);
    return each_of(buffer, syntax, stop_after);
}

// Every source agrees: a string stream, streams that read ahead a few bytes,
// and one that cannot seek.
void expect_each(const std::string& text, Syntax syntax, const std::string& expected) {
    SCOPED_TRACE(std::string(syntax == Syntax::Strict ? "strict " : "lenient ") + text.substr(0, 60));
    EXPECT_EQ(each_of(text, syntax), expected);
    for (const std::size_t ahead : {1, 3}) {
        zqtest::TrickleBuffer trickle(text, ahead);
        EXPECT_EQ(each_of(trickle, syntax), expected) << "reading ahead " << ahead;
        PipeBuffer pipe(text, ahead);
        EXPECT_EQ(each_of(pipe, syntax), expected) << "a pipe reading ahead " << ahead;
    }
}

TEST(ReadEach, DocumentsOneAfterAnother) {
    const struct {
        std::string text;
        std::string lenient;
        std::string strict;
    } cases[] = {
        {"", "ok 0", "ok 0"},
        {" \n\t\r\n", "ok 0", "ok 0"},
        {"[1]\n[2]", "[1] | [2] | ok 2", "[1] | [2] | ok 2"},
        {"{\"a\":1}\n{\"a\":2}\n", "{\"a\": 1} | {\"a\": 2} | ok 2", "{\"a\": 1} | {\"a\": 2} | ok 2"},
        {"42\n\"s\"\ntrue\nnull\n", "42 | \"s\" | true | null | ok 4", "42 | \"s\" | true | null | ok 4"},
        {"{\n\t\"a\": [\n\t\t1 \n\t] \n} \n[\n] \n", "{\"a\": [1]} | [] | ok 2", "{\"a\": [1]} | [] | ok 2"},
        {"\xEF\xBB\xBF[1]\n", "[1] | ok 1", "[1] | ok 1"},
        {"[1] // one\n// between\n[2]", "[1] | [2] | ok 2", "document 1, line 1, column 5: text after the document"},
        {"[][]", "document 1, line 1, column 3: text after the document",
         "document 1, line 1, column 3: text after the document"},
        {"{\"a\": 1} \"x\"", "document 1, line 1, column 10: text after the document",
         "document 1, line 1, column 10: text after the document"},
        {"{\"a\":1}\n{\"a\":2}\n{\"a\":\n",
         "{\"a\": 1} | {\"a\": 2} | document 3, line 3, column 6: unexpected end of input",
         "{\"a\": 1} | {\"a\": 2} | document 3, line 3, column 6: unexpected end of input"},
        {"[1]\nGARBAGE", "[1] | document 2, line 2, column 1: unexpected character",
         "[1] | document 2, line 2, column 1: unexpected character"},
        {"[1]\n[2 3]\n[4]", "[1] | document 2, line 2, column 4: expected ',' or ']'",
         "[1] | document 2, line 2, column 4: expected ',' or ']'"},
        {"[1]\n,", "[1] | document 2, line 2, column 1: unexpected character",
         "[1] | document 2, line 2, column 1: unexpected character"},
        {"{'a': [1,],}\n", "{\"a\": [1]} | ok 1", "document 1, line 1, column 2: expected a key"},
        {"[1]\n\xEF\xBB\xBF[2]", "[1] | document 2, line 2, column 1: byte-order mark",
         "[1] | document 2, line 2, column 1: unexpected character"},
    };
    for (const auto& c : cases) {
        expect_each(c.text, Syntax::Lenient, c.lenient);
        expect_each(c.text, Syntax::Strict, c.strict);
    }
    EXPECT_EQ(each_of("[1]\n[2]\n[3 4]", Syntax::Lenient, 2), "[1] | [2] | ok 2");
}

// Documents read from a window of the stream: wherever its end cuts a
// document (a number, a literal, a string, an escape, a comment), the
// document is read whole. The window first holds this much.
constexpr std::size_t kFirstWindow = 256 * 1024;

TEST(ReadEach, DocumentsCutByTheWindowReadWhole) {
    const std::string lines =
        "{\"n\": -65.613616999999977, \"t\": true, \"s\": \"a\\u00e9\\\\b\", \"e\": 1e-7, \"i\": 1499816949527975237}\n"
        "[null, false, 18446744073709551615]\n\"x\"\n42\n";
    const std::string lenient_lines = lines + "// a comment\n['a', ,]\n";
    for (const auto& [syntax, text] : {std::pair{Syntax::Strict, lines}, std::pair{Syntax::Lenient, lenient_lines}}) {
        const std::string alone = each_of(text, syntax);
        ASSERT_EQ(alone.substr(alone.size() - 4), syntax == Syntax::Strict ? "ok 4" : "ok 5");
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            SCOPED_TRACE(cut);
            ASSERT_EQ(each_of(std::string(kFirstWindow - cut, ' ') + text, syntax), alone);
        }
    }
}

// A pipe that gives one byte a read: a document longer than the first
// window is read again only as the window grows eightfold, not at each byte.
class BytePipe : public std::streambuf {
public:
    explicit BytePipe(std::string text) : text_(std::move(text)) {}

protected:
    std::streamsize xsgetn(char* to, std::streamsize) override {
        if (at_ == text_.size()) return 0;
        *to = text_[at_++];
        return 1;
    }
    int_type underflow() override { return at_ == text_.size() ? traits_type::eof() : text_[at_]; }

private:
    std::string text_;
    std::size_t at_ = 0;
};

TEST(ReadEach, PipeGivingOneByteAtATime) {
    std::string long_document = "[";
    while (long_document.size() < 3 * kFirstWindow) long_document += "\"a string of the document\", 12.5, ";
    long_document += "null]";
    BytePipe pipe(long_document + "\n[2]\n");
    std::istream in(&pipe);
    std::size_t documents = 0;
    EXPECT_TRUE(zqjson::read_each(in, [&](Value&) { return ++documents > 0; }));
    EXPECT_EQ(documents, 2u);
}

}  // namespace
