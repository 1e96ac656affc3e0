// The readers and the structural parser. Every case runs through the
// exported stream functions, through the in-memory text source and through
// the reference reader on a real stream; all three must agree on the result,
// the output, the stream's flags and where reading stopped, and the stream
// run must give what the case expects.
#include <gtest/gtest.h>

#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "parser_support.h"

namespace parser_test {
namespace {

struct Case {
    Op op;
    std::string arg;  // the pattern of Match
    std::string input;
    bool ok;
    std::string out;   // the output described; for strings "<" is there before
    std::string rest;  // what stays unread
};

void check(const Case& c) {
    SCOPED_TRACE("input «" + c.input + "»");
    const Outcome stream = run(Source::Stream, c.op, c.input, c.arg);
    const Outcome text = run(Source::Text, c.op, c.input, c.arg);
    const Outcome ref = run(Source::Reference, c.op, c.input, c.arg);
    EXPECT_EQ(stream, ref);
    EXPECT_EQ(text, stream);
    EXPECT_EQ(stream.ok, c.ok);
    EXPECT_EQ(stream.out, c.out);
    const std::string rest = stream.stopped < 0 ? "<none>" : c.input.substr(static_cast<std::size_t>(stream.stopped));
    EXPECT_EQ(rest, c.rest);
}

const std::string kLf = "\n";

TEST(Readers, Match) {
    const std::vector<Case> cases = {
        {Op::Match, "null", "nul", false, "", ""},
        {Op::Match, "{", "// note" + kLf + "  {", true, "", ""},
        {Op::Match, "{", "/* c */ {", false, "", "/* c */ {"},
        {Op::Match, "true", "tr// c" + kLf + "ue", true, "", ""},
        {Op::Match, "false", "falsx", false, "", "falsx"},
        {Op::Match, "{", "  \t{x", true, "", "x"},
        {Op::Match, "{", "  }", false, "", "}"},
        {Op::Match, "{", "", false, "", ""},
        {Op::Match, "{", "   ", false, "", ""},
        {Op::Match, "null", "NULL", false, "", "NULL"},
        // The put-back of "r" is refused (a comment stands before the read
        // position): the stream goes bad and stops there.
        {Op::Match, "true", "tr// c" + kLf + "ux", false, "", "ux"},
        {Op::Match, "{", "// only a comment", false, "", ""},
    };
    for (const Case& c : cases) check(c);
}

TEST(Readers, Comment) {
    const std::vector<Case> cases = {
        {Op::Comment, "", "/x", false, "", "/x"}, {Op::Comment, "", "/", false, "", "/"},
        {Op::Comment, "", "//", true, "", ""},    {Op::Comment, "", "// c\r\n  x", true, "", "x"},
        {Op::Comment, "", "x", false, "", "x"},   {Op::Comment, "", " //", false, "", " //"},
    };
    for (const Case& c : cases) check(c);
}

TEST(Readers, String) {
    const std::vector<Case> cases = {
        {Op::String, "", "'abc'", true, "\"<abc\"", ""},
        {Op::String, "", R"('a\'b')", true, "\"<a'b\"", ""},
        {Op::String, "", R"("a\'b")", true, R"("<a\x5c'b")", ""},
        {Op::String, "", R"('a\"b')", true, R"("<a\x5c\x22b")", ""},
        {Op::String, "", "\"a\tb\nc\"", true, R"("<a\x09b\x0ac")", ""},
        {Op::String, "", R"("\q\/\b\f\n\r\t\\")", true, R"("<\x5cq/\x08\x0c\x0a\x0d\x09\x5c")", ""},
        {Op::String, "", R"("\u0041\u0000")", true, R"("<A\x00")", ""},
        {Op::String, "", R"("\u00e9\u20AC")", true, R"("<\xc3\xa9\xe2\x82\xac")", ""},
        {Op::String, "", R"("\ud83d\ude00")", true, R"("<\xf0\x9f\x98\x80")", ""},
        {Op::String, "", R"("\ud83dx")", true, R"("<\xef\xbf\xbdx")", ""},
        {Op::String, "", R"("\ude00\ud83d")", true, R"("<\xef\xbf\xbd\xef\xbf\xbd")", ""},
        {Op::String, "", R"("\ud83d\u0041")", true, R"("<\xef\xbf\xbdA")", ""},
        {Op::String, "", R"("\ud83d\ud83d\ude00")", true, R"("<\xef\xbf\xbd\xf0\x9f\x98\x80")", ""},
        {Op::String, "", R"("\uZZZZ!")", true, R"("<!")", ""},
        {Op::String, "", R"("\u 41x")", true, R"("<A")", ""},
        {Op::String, "", R"("\u-001")", true, R"("<\xef\xbf\xbf")", ""},
        {Op::String, "", R"("\u0x7f")", true, R"("<\x7f")", ""},
        // The escape takes 4, 1, the quote and the space: the string goes on.
        {Op::String, "", R"("\u41" x")", true, R"("<Ax")", ""},
        {Op::String, "", R"("\u41)", false, R"("<")", ""},
        {Op::String, "", "\"abc", false, "\"<abc\"", ""},
        {Op::String, "", "x\"", false, "\"<\"", "x\""},
        {Op::String, "", "  // c" + kLf + "\"k\"", true, "\"<k\"", ""},
        {Op::String, "", "'a\"b' rest", true, R"("<a\x22b")", " rest"},
        {Op::String, "", "\"\xff\x80\"", true, R"("<\xff\x80")", ""},
    };
    for (const Case& c : cases) check(c);
}

TEST(Readers, Identifier) {
    const std::vector<Case> cases = {
        {Op::Identifier, "", "abc : 1", true, "\"<abc\"", ": 1"},
        {Op::Identifier, "", "first name:", true, "\"<firstname\"", ":"},
        {Op::Identifier, "", "a-b:", true, "\"<ab\"", ":"},
        {Op::Identifier, "", ": 1", true, "\"<\"", ": 1"},
        {Op::Identifier, "", "1abc:", false, "\"<\"", "abc:"},
        {Op::Identifier, "", "abc", false, "\"<abc\"", ""},
        {Op::Identifier, "", "$_x9:", true, "\"<$_x9\"", ":"},
    };
    for (const Case& c : cases) check(c);
}

TEST(Readers, Number) {
    const std::vector<Case> cases = {
        {Op::Number, "", "42", true, "42", ""},
        {Op::Number, "", "-0.5", true, "-0.5(neg)", ""},
        {Op::Number, "", "+3", true, "3", ""},
        {Op::Number, "", "007", true, "7", ""},
        {Op::Number, "", ".5", true, "0.5", ""},
        {Op::Number, "", "5.", true, "5", ""},
        {Op::Number, "", "1E-3", true, "0.001", ""},
        {Op::Number, "", "1.5.2", true, "1.5", ".2"},
        {Op::Number, "", "0x10", true, "0", "x10"},
        {Op::Number, "", " \t12,", true, "12", ","},
        {Op::Number, "", "1e5e3", true, "100000", "e3"},
        {Op::Number, "", "-0", true, "-0(neg)", ""},
        {Op::Number, "", "0.1", true, "0.10000000000000001", ""},
        {Op::Number, "", "1e-400", true, "0", ""},
        {Op::Number, "", "-1e-400", true, "-0(neg)", ""},
        {Op::Number, "", "4.9e-324", true, "4.9406564584124654e-324", ""},
        {Op::Number, "", "-", false, "0", "-"},
        {Op::Number, "", ".", false, "0", "."},
        {Op::Number, "", "1e", false, "0", "1e"},
        {Op::Number, "", "1e+x", false, "0", "1e+x"},
        {Op::Number, "", "abc", false, "0", "abc"},
        {Op::Number, "", "NaN", false, "0", "NaN"},
        {Op::Number, "", "Infinity", false, "0", "Infinity"},
        {Op::Number, "", "1e400", false, "1.7976931348623157e+308", "1e400"},
        {Op::Number, "", "-1e400", false, "-1.7976931348623157e+308(neg)", "-1e400"},
        {Op::Number, "", "1.7976931348623159e308", false, "1.7976931348623157e+308", "1.7976931348623159e308"},
        {Op::Number, "", "0.000000000000000000000000001e-320", true, "0", ""},
        {Op::Number, "", "1-2", true, "1", "-2"},
        {Op::Number, "", "7]", true, "7", "]"},
        {Op::Number, "", "-inf", false, "0", "-inf"},
        {Op::Number, "", "-nan", false, "0", "-nan"},
        {Op::Number, "", "12e+", false, "0", "12e+"},
        {Op::Number, "", "0x1p3", true, "0", "x1p3"},
        {Op::Number, "", "", false, "-7(neg)", ""},
        {Op::Number, "", "  ", false, "-7(neg)", ""},
    };
    for (const Case& c : cases) check(c);
}

TEST(Readers, Literals) {
    const std::vector<Case> cases = {
        {Op::Bool, "", "true", true, "true", ""},     {Op::Bool, "", "True", false, "false", "True"},
        {Op::Bool, "", "falsey", true, "false", "y"}, {Op::Null, "", ",", true, "", ","},
        {Op::Null, "", "nil", false, "", "nil"},      {Op::Null, "", "nullx", true, "", "x"},
    };
    for (const Case& c : cases) check(c);
}

TEST(Parser, Values) {
    const std::vector<Case> cases = {
        {Op::Value, "", "\"a\"", true, "\"a\"", ""},
        {Op::Value, "", "'a'", true, "\"a\"", ""},
        {Op::Value, "", "42", true, "42", ""},
        {Op::Value, "", "true", true, "true", ""},
        {Op::Value, "", "null", true, "null", ""},
        {Op::Value, "", "[1]", true, "[1,]", ""},
        {Op::Value, "", "{\"k\":1}", true, "{\"k\":1,}", ""},
        {Op::Value, "", ",", true, "null", ","},
        {Op::Value, "", "nullx", true, "null", "x"},
        {Op::Value, "", "1 2", true, "1", " 2"},
        {Op::Value, "", "nul", false, "<empty>", ""},
        {Op::Value, "", "", false, "<empty>", ""},
        {Op::Value, "", "   ", false, "<empty>", ""},
        {Op::Value, "", "// c", false, "<empty>", ""},
        {Op::Value, "", "[1 {\"k\":2}", true, "{\"k\":2,}", ""},
        {Op::Value, "", "tr// c" + kLf + "ux", false, "<empty>", "ux"},
        {Op::Value, "", "1e400", false, "<empty>", "1e400"},
    };
    for (const Case& c : cases) check(c);
}

TEST(Parser, Arrays) {
    const std::vector<Case> cases = {
        {Op::Array, "", "[]", true, "[]", ""},
        {Op::Array, "", "[ ]", true, "[]", ""},
        {Op::Array, "", "[1,2]", true, "[1,2,]", ""},
        {Op::Array, "", "[1,]", true, "[1,]", ""},
        {Op::Array, "", "[,]", true, "[null,]", ""},
        {Op::Array, "", "[,1]", true, "[null,1,]", ""},
        {Op::Array, "", "[1,,2]", true, "[1,null,2,]", ""},
        {Op::Array, "", "[1 2]", false, "[1,]", "2]"},
        {Op::Array, "", "[1,", false, "[1,]", ""},
        {Op::Array, "", "[1]]", true, "[1,]", "]"},
        {Op::Array, "", "[ // c" + kLf + "1, // d" + kLf + "]", true, "[1,]", ""},
        {Op::Array, "", "[-1e400]", false, "[]", "-1e400]"},
    };
    for (const Case& c : cases) check(c);
}

TEST(Parser, Objects) {
    const std::vector<Case> cases = {
        {Op::Object, "", "{}", true, "{}", ""},
        {Op::Object, "", "{'k':1}", true, "{\"k\":1,}", ""},
        {Op::Object, "", "{\"k\":1,}", true, "{\"k\":1,}", ""},
        {Op::Object, "", "{\"k\":,\"m\":1}", true, "{\"k\":null,\"m\":1,}", ""},
        {Op::Object, "", "{\"k\":}", true, "{}", ""},
        {Op::Object, "", "{\"k\":1,\"k\":2}", true, "{\"k\":2,}", ""},
        {Op::Object, "", "{\"b\":1,\"a\":2}", true, "{\"a\":2,\"b\":1,}", ""},
        {Op::Object, "", "{\"k\":[1,2}", true, "{}", ""},
        {Op::Object, "", "{\"k\":[1 {\"m\":2}}", true, "{\"k\":{\"m\":2,},}", ""},
        {Op::Object, "", "{k:1}", false, "{}", "k:1}"},
        {Op::Object, "", "{,}", false, "{}", ",}"},
        {Op::Object, "", "{\"k\" 1}", false, "{}", "1}"},
        {Op::Object, "", "{\"k\":1 \"m\":2}", false, "{\"k\":1,}", "\"m\":2}"},
        {Op::Object, "", "{\"k\":1,,}", false, "{\"k\":1,}", ",}"},
        {Op::Object, "", "// c" + kLf + "{ // c" + kLf + "\"k\" : 1 }", true, "{\"k\":1,}", ""},
        {Op::Object, "", "{\"k\":1} trailing", true, "{\"k\":1,}", " trailing"},
    };
    for (const Case& c : cases) check(c);
}

TEST(Parser, Documents) {
    const std::vector<Case> cases = {
        {Op::Document, "", "{}", true, "{}", ""},
        {Op::Document, "", "[]", true, "[]", ""},
        {Op::Document, "", "  {\"k\":[1,2]} garbage", true, "{\"k\":[1,2,],}", " garbage"},
        {Op::Document, "", "\x01{}", true, "{}", ""},
        {Op::Document, "", "42", false, "", "42"},
        {Op::Document, "", "\"s\"", false, "", "\"s\""},
        {Op::Document, "", "true", false, "", "true"},
        {Op::Document, "", "", false, "", ""},
        {Op::Document, "", "{", false, "", ""},
        {Op::Document, "", "// c" + kLf + "{}", false, "", "// c" + kLf + "{}"},
        {Op::Document, "", "\xef\xbb\xbf{}", false, "", "\xef\xbb\xbf{}"},
    };
    for (const Case& c : cases) check(c);
}

// The text entry points answer as the stream entry points do.
TEST(Parser, TextEntryPointsMatchStreams) {
    const std::vector<std::string> inputs = {
        "{\"a\":[1,'x',{\"b\":null}],\"c\":true}",
        "[1,,2,]",
        "{\"k\":[1 {\"m\":2}}",
        "nul",
        "42 x",
        "tr// c\nux",
        "[1e400]",
        "\x01[]",
        "  {} ",
        "",
    };
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        Value text_value, stream_value;
        std::istringstream stream(input);
        EXPECT_EQ(text_value.parse(input), stream_value.parse(stream));
        EXPECT_EQ(describe(text_value), describe(stream_value));

        Object text_object, stream_object;
        std::istringstream object_stream(input);
        EXPECT_EQ(text_object.parse(input), stream_object.parse(object_stream));
        EXPECT_EQ(describe(text_object), describe(stream_object));

        Array text_array, stream_array;
        std::istringstream array_stream(input);
        EXPECT_EQ(text_array.parse(input), stream_array.parse(array_stream));
        EXPECT_EQ(describe(text_array), describe(stream_array));

        std::istringstream validate_stream(input);
        EXPECT_EQ(zqjson::validate(input), zqjson::validate(validate_stream));
    }
}

TEST(Parser, FailedValueKeepsItsKindReleased) {
    Value v(String("old"));
    EXPECT_FALSE(v.parse(String("1e400")));
    EXPECT_TRUE(v.is<String>());
    EXPECT_TRUE(v.empty());

    Value a(Array{});
    EXPECT_FALSE(a.parse(String("[1,")));
    EXPECT_TRUE(a.is<Array>());
    EXPECT_TRUE(a.empty());
}

// The text entry points read in place, so the text may be part of the very
// document being replaced.
TEST(Parser, TextMayLieInsideTheTarget) {
    Value v(String("[\"a\", {\"k\": 1}]"));
    EXPECT_TRUE(v.parse(v.get<String>()));
    EXPECT_EQ(describe(v), "[\"a\",{\"k\":1,},]");

    Object o;
    o.import("text", Value(String("{\"text\": \"again\", \"n\": 2}")));
    EXPECT_TRUE(o.parse(o.kv_map().at("text")->get<String>()));
    EXPECT_EQ(describe(o), "{\"n\":2,\"text\":\"again\",}");

    Array a;
    a.import(Value(String("[1, 2")));
    EXPECT_FALSE(a.parse(a.values()[0]->get<String>()));
    EXPECT_EQ(describe(a), "[1,2,]");

    Value s(String("'unterminated"));
    EXPECT_FALSE(s.parse(s.get<String>()));
    EXPECT_TRUE(s.is<String>());
    EXPECT_TRUE(s.empty());
}

TEST(Parser, FailedContainerKeepsWhatItRead) {
    Array a;
    a.import(Value(String("old")));
    EXPECT_FALSE(a.parse(String("[1 2]")));
    EXPECT_EQ(describe(a), "[1,]");
}

// A stream that cannot tell its position, as a pipe: it reads as a string
// stream of the same text does, failed numbers and all.
class UnseekableBuffer : public std::streambuf {
public:
    explicit UnseekableBuffer(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }
    long long read_so_far() const { return gptr() - eback(); }

private:
    std::string text_;
};

TEST(Parser, UnseekableStreamReadsAsASeekableOne) {
    for (const std::string text : {"[1, 2]", "[true]", "\"w\"", "{\"k\": [null, {}]} x", "[-]", "[1e400, 2]",
                                   "{\"a\": [1, .x]}", "[+ 1]", "-1e"}) {
        SCOPED_TRACE(text);
        UnseekableBuffer pipe(text);
        std::istream unseekable(&pipe);
        std::istringstream seekable(text);
        Value from_pipe, from_string;
        EXPECT_EQ(from_pipe.parse(unseekable), from_string.parse(seekable));
        EXPECT_EQ(describe(from_pipe), describe(from_string));
        EXPECT_EQ(unseekable.rdstate(), seekable.rdstate());
        seekable.clear();
        EXPECT_EQ(pipe.read_so_far(), static_cast<long long>(seekable.tellg()));
    }
}

// A stream buffer that reads nothing ahead, puts nothing back and cannot
// seek: it reads what a reader byte by byte can, every accepted text among
// it, with the same document, flags and stop.
class UnbufferedBuffer : public std::streambuf {
public:
    explicit UnbufferedBuffer(std::string text) : text_(std::move(text)) {}
    long long read_so_far() const { return static_cast<long long>(at_); }

private:
    int_type underflow() override {
        return at_ < text_.size() ? traits_type::to_int_type(text_[at_]) : traits_type::eof();
    }
    int_type uflow() override {
        const int_type c = underflow();
        if (c != traits_type::eof()) ++at_;
        return c;
    }

    std::string text_;
    std::size_t at_ = 0;
};

TEST(Parser, UnbufferedStreamReadsWhatAByteByByteReaderCan) {
    for (const std::string text : {"[1, 2]", "{'k': [true, null, \"s\",], // c\n \"n\": {}} x", "[,1,,]", "\"w\"",
                                   "-42.5e1 ", "false", "[1 // c\n]", "  null,"}) {
        SCOPED_TRACE(text);
        UnbufferedBuffer unbuffered(text);
        std::istream byte_by_byte(&unbuffered);
        std::istringstream seekable(text);
        Value from_unbuffered, from_string;
        EXPECT_TRUE(from_string.parse(seekable));
        EXPECT_TRUE(from_unbuffered.parse(byte_by_byte));
        EXPECT_EQ(describe(from_unbuffered), describe(from_string));
        EXPECT_EQ(byte_by_byte.rdstate(), seekable.rdstate());
        seekable.clear();
        EXPECT_EQ(unbuffered.read_so_far(), static_cast<long long>(seekable.tellg()));
    }
}

TEST(Parser, StreamStateIsTakenAndHandedBack) {
    std::istringstream failed("{}");
    failed.setstate(std::ios_base::failbit);
    EXPECT_FALSE(zqjson::validate(failed));
    EXPECT_TRUE(failed.fail());

    std::istringstream twice("[1] [2]");
    Array first, second;
    EXPECT_TRUE(first.parse(twice));
    EXPECT_TRUE(second.parse(twice));
    EXPECT_EQ(describe(second), "[2,]");
}

TEST(Parser, StreamWithoutBufferFailsWithoutReading) {
    std::istream in(nullptr);
    Value v;
    EXPECT_FALSE(v.parse(in));
    EXPECT_TRUE(in.bad());
}

// The flags reach the stream when the read ends, and with them an exception
// the caller asked for.
TEST(Parser, ExceptionMaskAppliesAtTheEnd) {
    std::istringstream in("[1,");
    in.exceptions(std::ios_base::failbit);
    Array a;
    EXPECT_THROW(a.parse(in), std::ios_base::failure);
    EXPECT_EQ(describe(a), "[1,]");
}

// Numbers read as in the classic locale, whatever the stream's locale or
// the global one: a decimal comma is a separator, as JSON has it.
class CommaDecimal : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(Parser, NumbersReadInTheClassicLocale) {
    const std::locale comma(std::locale::classic(), new CommaDecimal);
    for (const auto& [text, read] : {std::pair{"[1,5]", "[1,5,]"}, std::pair{"[1.5, 1234567]", "[1.5,1234567,]"}}) {
        SCOPED_TRACE(text);
        std::istringstream imbued(text);
        imbued.imbue(comma);
        UnseekableBuffer pipe(text);
        std::istream unseekable(&pipe);
        unseekable.imbue(comma);
        Array from_stream, from_pipe, from_text;
        EXPECT_TRUE(from_stream.parse(imbued));
        EXPECT_TRUE(from_pipe.parse(unseekable));
        const std::locale previous = std::locale::global(comma);
        EXPECT_TRUE(from_text.parse(String(text)));
        Value value;
        EXPECT_TRUE(zqjson::read(text, value));
        std::istringstream made_under_global(text);
        Array from_global_stream;
        EXPECT_TRUE(from_global_stream.parse(made_under_global));
        std::locale::global(previous);
        for (const Array* a : {&from_stream, &from_pipe, &from_text, &from_global_stream})
            EXPECT_EQ(describe(*a), read);
        EXPECT_EQ(describe(value.get<Array>()), read);
    }
}

}  // namespace
}  // namespace parser_test

namespace parser_test {
namespace {

// Nesting: a document of `depth` arrays (or objects, or both in turn), each
// holding the next.
std::string nested(std::size_t depth, const std::string& open, const std::string& close) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += open[i % open.size()];
    for (std::size_t i = depth; i > 0; --i) text += close[(i - 1) % close.size()];
    return text;
}

std::string nested_arrays(std::size_t depth) { return nested(depth, "[", "]"); }

// Objects need a key before each inner value.
std::string nested_objects(std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += i + 1 < depth ? "{\"k\":" : "{";
    return text + std::string(depth, '}');
}

std::string nested_mixed(std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) text += i % 2 ? "[" : (i + 1 < depth ? "{\"k\":" : "{");
    for (std::size_t i = depth; i > 0; --i) text += (i - 1) % 2 ? "]" : "}";
    return text;
}

// Every entry point that reads a document, on text and on a stream.
std::vector<std::pair<std::string, bool>> every_entry_point(const std::string& text) {
    std::vector<std::pair<std::string, bool>> results;
    auto stream = [&] { return std::istringstream(text); };
    {
        Value v;
        results.emplace_back("Value text", v.parse(text));
        auto s = stream();
        results.emplace_back("Value stream", v.parse(s));
        auto f = stream();
        results.emplace_back("parse_value", zqjson::parse_value(f, v));
    }
    const bool array = text[0] == '[';
    if (array) {
        Array a;
        results.emplace_back("Array text", a.parse(text));
        auto s = stream();
        results.emplace_back("Array stream", a.parse(s));
        auto f = stream();
        results.emplace_back("parse_array", zqjson::parse_array(f, a));
    } else {
        Object o;
        results.emplace_back("Object text", o.parse(text));
        auto s = stream();
        results.emplace_back("Object stream", o.parse(s));
        auto f = stream();
        results.emplace_back("parse_object", zqjson::parse_object(f, o));
    }
    results.emplace_back("validate text", zqjson::validate(text));
    auto s = stream();
    results.emplace_back("validate stream", zqjson::validate(s));
    Object o;
    Array a;
    results.emplace_back("open_document text", zqjson::detail::open_document(std::string_view(text), o, a) !=
                                                   zqjson::detail::Opened::Nothing);
    auto d = stream();
    results.emplace_back("open_document stream",
                         zqjson::detail::open_document(d, o, a) != zqjson::detail::Opened::Nothing);
    return results;
}

void expect_everywhere(const std::string& text, bool ok) {
    for (const auto& [entry, result] : every_entry_point(text)) EXPECT_EQ(result, ok) << entry;
}

// Depth counts the arrays and objects open at the innermost one, itself
// included: "[]" is 1 deep, "[[]]" 2.
TEST(Depth, TheBoundParsesOneMoreFails) {
    const std::size_t bound = zqjson::kMaxDepth;
    for (auto make : {nested_arrays, nested_objects, nested_mixed}) {
        SCOPED_TRACE(make(3));
        expect_everywhere(make(bound), true);
        expect_everywhere(make(bound + 1), false);
    }
}

TEST(Depth, AtTheBoundTheDocumentIsComplete) {
    Array a;
    ASSERT_TRUE(a.parse(nested_arrays(zqjson::kMaxDepth)));
    std::size_t depth = 1;
    const Array* level = &a;
    while (!level->empty()) {
        level = &level->values()[0]->get<Array>();
        ++depth;
    }
    EXPECT_EQ(depth, zqjson::kMaxDepth);
}

TEST(Depth, HundredThousandLevelsFailCleanly) {
    for (const std::string& text : zqtest::nesting_bombs()) expect_everywhere(text, false);
}

// The same depth-first runs agree with the stream and the reference on
// where reading stopped.
TEST(Depth, SourcesAgreeBeyondTheBound) {
    const std::string text = nested_mixed(zqjson::kMaxDepth + 1) + " x";
    const Outcome stream = run(Source::Stream, Op::Value, text);
    EXPECT_EQ(run(Source::Text, Op::Value, text), stream);
    EXPECT_EQ(run(Source::Reference, Op::Value, text), stream);
    EXPECT_FALSE(stream.ok);
}

// The \u conversion is the hex extraction of a string stream in the classic
// locale, on every string of up to four characters over the characters that
// matter to it.
TEST(Readers, HexEscapeConversionMatchesStringStream) {
    const std::string alphabet = "0x1fF- +g\t.X";
    std::vector<std::string> texts = {""};
    for (std::size_t length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string& t : texts) {
            if (t.size() != length - 1) continue;
            for (char c : alphabet) longer.push_back(t + c);
        }
        texts.insert(texts.end(), longer.begin(), longer.end());
    }
    for (const std::string& t : texts) {
        long ours = -1;
        long theirs = -1;
        const bool ok = zqjson::detail::convert_hex_escape(t, ours);
        std::istringstream stream(t);
        stream.imbue(std::locale::classic());
        int extracted = 0;
        const bool stream_ok = static_cast<bool>(stream >> std::hex >> extracted);
        theirs = extracted;
        ASSERT_EQ(ok, stream_ok) << "«" << t << "»";
        if (ok) {
            ASSERT_EQ(ours, theirs) << "«" << t << "»";
        }
    }
}

}  // namespace
}  // namespace parser_test
