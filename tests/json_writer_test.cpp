// JSON writing: escaping, the compact stream output and the indented
// rendering, including its agreement with a straightforward copy-per-level
// rendering on generated documents.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/Text.h"
#include "SnapCommon/json/Walk.h"
#include "TestSupport.h"
#include "parser_support.h"

using namespace zqjson;
using zqtest::compact;

namespace {

Value num(double d) { return Value(Number(d)); }

Value arr(std::initializer_list<Value> elements) {
    Array a;
    for (const Value& e : elements) a.import(e);
    return Value(a);
}

Value obj(std::initializer_list<std::pair<String, Value>> members) {
    Object o;
    for (const auto& [key, value] : members) o.import(key, value);
    return Value(o);
}

Value released(Value v) {
    v.reset();
    return v;
}

std::string indented(const Value& v) { return v.is<Object>() ? v.get<Object>().json() : v.get<Array>().json(); }

}  // namespace

// ---------------------------------------------------------------------------
// escape_string

TEST(EscapeString, TranslatesEachByte) {
    const struct {
        std::string text, escaped;
    } cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a/b", "a\\/b"},
        {"\"", "\\\""},
        {"\\", "\\\\"},
        {"\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
        {std::string(1, '\0'), "\\u0000"},
        {"\x0b", "\\u000b"},
        {"\x1f", "\\u001f"},
        {"\x7f", "\x7f"},
        {" ", " "},
        {"\xc3\xa9", "\xc3\xa9"},
        {"ab\x01"
         "cd\"ef/",
         "ab\\u0001cd\\\"ef\\/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.escaped);
        EXPECT_EQ(escape_string(c.text, false), c.escaped);
        EXPECT_EQ(escape_string(c.text, true), "\"" + c.escaped + "\"");
    }
}

// Escapes are found a word at a time in long texts and byte by byte in short
// ones: every byte that needs one, at every place, among neighbours that do
// not, in escape_string and in the indented rendering of a key and a value.
TEST(EscapeString, FindsEscapesAtEveryPosition) {
    const auto escaped = [](unsigned char c) -> std::string {
        switch (c) {
            case '"':
                return "\\\"";
            case '\\':
                return "\\\\";
            case '/':
                return "\\/";
            case '\b':
                return "\\b";
            case '\f':
                return "\\f";
            case '\n':
                return "\\n";
            case '\r':
                return "\\r";
            case '\t':
                return "\\t";
        }
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04x", c);
        return c < 0x20 ? code : std::string(1, static_cast<char>(c));
    };
    // Short texts are tested as one or two words that overlap: lengths on
    // either side of each word size, and every place.
    for (const std::size_t length : {1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 19}) {
        for (const char filler : {'a', '\x7f', '\x80', '\xff'}) {
            for (int c = 0; c < 256; ++c) {
                for (std::size_t at = 0; at < length; ++at) {
                    std::string text(length, filler);
                    text[at] = static_cast<char>(c);
                    const std::string expected = std::string(at, filler) + escaped(static_cast<unsigned char>(c)) +
                                                 std::string(length - 1 - at, filler);
                    ASSERT_EQ(escape_string(text, false), expected) << "byte " << c << " at " << at;
                    ASSERT_EQ(Object(text, Value(text)).json(),
                              "{\n\t\"" + expected + "\": \"" + expected + "\" \n} \n")
                        << "byte " << c << " at " << at;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Compact output

TEST(CompactOutput, StringWritesTheCharactersOfEscapeString) {
    std::string every_byte;
    for (int b = 0; b < 256; ++b) every_byte += static_cast<char>(b);
    EXPECT_EQ(compact(Value(every_byte)), escape_string(every_byte, true));
}

TEST(CompactOutput, CallerFormatStateNeitherChangesEscapesNorIsChanged) {
    std::ostringstream out;
    out << std::hex << std::showbase << std::uppercase << std::left << std::setfill('*');
    const auto flags = out.flags();
    out.width(9);
    out << Value("\x1a/\x01");
    EXPECT_EQ(out.str(), "\"\\u001a\\/\\u0001\"");
    EXPECT_EQ(out.flags(), flags);
    EXPECT_EQ(out.fill(), '*');
    EXPECT_EQ(out.width(), 9);
}

TEST(CompactOutput, LaterNumbersPrintAsIfNoEscapeHadBeenWritten) {
    std::ostringstream out;
    out << Value("\x01") << std::setw(3) << 7;
    EXPECT_EQ(out.str(), "\"\\u0001\"  7");
}

TEST(CompactOutput, NumbersUseTheStreamsPrecisionAndFlags) {
    const struct {
        double n;
        int precision;
        std::ios_base::fmtflags flags;
        const char* text;
    } cases[] = {
        {2.0 / 3, 6, {}, "0.666667"}, {2.0 / 3, 3, {}, "0.667"}, {1e6, 6, {}, "1e+06"},
        {100, 6, {}, "100"},          {0.5, 6, {}, "0.5"},       {1.5, 2, std::ios_base::fixed, "1.50"},
        {1e6, 16, {}, "1000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ostringstream out;
        out.precision(c.precision);
        out.flags(c.flags);
        out << num(c.n);
        EXPECT_EQ(out.str(), c.text);
    }
}

// The walk stops as soon as its writer stops going, in the middle of a
// container too: a stream that failed is not given the rest of a large array.
TEST(DocumentWalk, StopsWhenTheWriterStops) {
    struct CountingWriter {
        struct Frame {};
        int budget;
        int values = 0;
        bool going() const { return values < budget; }
        void scalar(const Value&, const detail::Placement&, Frame*) { ++values; }
        void open(const Array&, const detail::Placement&, Frame*, Frame&) { ++values; }
        void open(const Object&, const detail::Placement&, Frame*, Frame&) { ++values; }
        void close(bool, const detail::Placement&, Frame&, bool) {}
    };
    const struct {
        const char* name;
        Value document;
    } cases[] = {
        {"array", arr({num(1), num(2), num(3), num(4)})},
        {"object", obj({{"a", num(1)}, {"b", num(2)}, {"c", num(3)}, {"d", num(4)}})},
        {"nested", arr({arr({num(1)}), obj({{"a", num(2)}, {"b", num(3)}})})},
    };
    for (const auto& c : cases) {
        for (int budget = 1; budget <= 4; ++budget) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(budget));
            CountingWriter writer{budget};
            detail::walk(c.document, writer);
            EXPECT_EQ(writer.values, budget);
        }
    }
}

TEST(CompactOutput, Documents) {
    const struct {
        const char* name;
        Value document;
        const char* text;
    } cases[] = {
        {"empty array", arr({}), "[]"},
        {"empty object", obj({}), "{}"},
        {"nested empty", obj({{"k", arr({})}}), "{\"k\": []}"},
        {"keys in order", obj({{"b", arr({num(1), Value("x")})}, {"a", Value(true)}}),
         "{\"a\": true, \"b\": [1, \"x\"]}"},
        {"invalid inside a container is null", arr({num(1), Value(), num(2)}), "[1, null, 2]"},
        {"invalid member is null", obj({{"k", Value()}}), "{\"k\": null}"},
        {"scalars", arr({Value(false), Value(Null()), Value("")}), "[false, null, \"\"]"},
        {"escaped key", obj({{"a\"\n", num(1)}}), "{\"a\\\"\\n\": 1}"},
        {"released content is empty",
         arr({released(Value("s")), released(arr({num(1)})), released(obj({{"k", num(1)}}))}), "[\"\", [], {}]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(compact(c.document), c.text);
    }
}

// ---------------------------------------------------------------------------
// Indented rendering

TEST(IndentedJson, Layout) {
    const struct {
        const char* name;
        Value document;
        const char* text;
    } cases[] = {
        {"empty object", obj({}), "{\n} \n"},
        {"empty array", arr({}), "[\n] \n"},
        {"one member", obj({{"a", num(1)}}), "{\n\t\"a\": 1 \n} \n"},
        {"nested arrays", arr({num(1), arr({num(2), arr({})})}), "[\n\t1,\n\t[\n\t\t2,\n\t\t[\n\t\t] \n\t] \n] \n"},
        {"empty key", obj({{"", num(1)}}), "{\n\t\"\": 1 \n} \n"},
        {"escaped key", obj({{"a\"b/c", num(1)}}), "{\n\t\"a\\\"b\\/c\": 1 \n} \n"},
        {"worked example",
         obj({{"d", Value("x\ny")}, {"b", arr({Value(true), Value(Null())})}, {"a", num(1)}, {"c", obj({})}}),
         "{\n\t\"a\": 1,\n\t\"b\": [\n\t\ttrue,\n\t\tnull \n\t],\n\t\"c\": {\n\t},\n\t\"d\": \"x\\ny\" \n} \n"},
        {"invalid is null", arr({Value(), Value(false)}), "[\n\tnull,\n\tfalse \n] \n"},
        {"released content is empty",
         arr({released(Value("s")), released(arr({num(1)})), released(obj({{"k", num(1)}}))}),
         "[\n\t\"\",\n\t[\n\t],\n\t{\n\t} \n] \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(indented(c.document), c.text);
    }
}

TEST(IndentedJson, NumbersWithSixteenSignificantDigits) {
    const struct {
        double n;
        const char* text;
    } cases[] = {
        {2.0 / 3, "0.6666666666666666"},
        {1e6, "1000000"},
        {1e16, "1e+16"},
        {1e15, "1000000000000000"},
        {9999999999999998, "9999999999999998"},
        {1e-5, "1e-05"},
        {0.1 + 0.2, "0.3"},
        {-0.0, "-0"},
        {0, "0"},
        {-42, "-42"},
        {123456789012345678.0, "1.234567890123457e+17"},
        {1.5e300, "1.5e+300"},
        {0.0001, "0.0001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(indented(arr({num(c.n)})), std::string("[\n\t") + c.text + " \n] \n");
    }
}

// The two largest doubles round, at 16 digits, to a text beyond the largest
// double, which reads back as out of range: they take the largest text that
// reads back instead.
TEST(IndentedJson, NumbersAtTheTopOfTheRangeReadBack) {
    const double max = std::numeric_limits<double>::max();
    const double below_max = std::nextafter(max, 0.0);
    const struct {
        double n;
        const char* text;
    } cases[] = {
        {max, "1.797693134862315e+308"},
        {-max, "-1.797693134862315e+308"},
        {below_max, "1.797693134862315e+308"},
        {std::nextafter(below_max, 0.0), "1.797693134862315e+308"},
        {1.797693134862315e308, "1.797693134862315e+308"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = indented(arr({num(c.n)}));
        EXPECT_EQ(text, std::string("[\n\t") + c.text + " \n] \n");
        Array back;
        EXPECT_TRUE(back.parse(text));
    }
}

// The number text is what a stream with precision 16 writes, also for the
// values that take the shortcuts for integers and fixed notation; only the
// largest doubles (above) differ, and non-finite values, written as null.
TEST(IndentedJson, NumberTextMatchesTheStream) {
    std::mt19937_64 bits(7);
    std::vector<double> samples = {std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::denorm_min(),
                                   std::nextafter(std::nextafter(std::numeric_limits<double>::max(), 0.0), 0.0),
                                   -9007199254740993.0,
                                   1e16 - 2,
                                   -1e16};
    for (int i = 0; i < 2000; ++i) {
        std::uint64_t pattern = bits();
        double d;
        std::memcpy(&d, &pattern, sizeof d);
        samples.push_back(d);
        samples.push_back(std::trunc(std::ldexp(static_cast<double>(pattern >> 11), -static_cast<int>(i % 60))));
        // Decimal-looking numbers across the fixed-notation range and beyond.
        samples.push_back(static_cast<double>(pattern % 1000000007) / std::pow(10.0, i % 24));
        // Exact ties at the 17th digit, which round half to even.
        samples.push_back(1234567890123456.0 + i + 0.5);
        samples.push_back(8 + std::ldexp(static_cast<double>(i + 1), -16));
    }
    for (double d : samples) {
        std::ostringstream stream;
        stream.precision(kNumberDigits);
        stream << d;
        ASSERT_EQ(detail::NumberText(d).view(), std::isfinite(d) ? stream.str() : "null") << std::hexfloat << d;
    }
}

TEST(IndentedJson, RenderingLeavesTheDocumentWhole) {
    Object o;
    o.import("k", arr({num(1), obj({{"m", Value("v")}})}));
    const std::string first = o.json();
    EXPECT_EQ(o.json(), first);
    EXPECT_EQ(o.size(), 1u);
    EXPECT_EQ(o.kv_map().at("k")->get<Array>().size(), 2u);
}

// ---------------------------------------------------------------------------
// Agreement with the copy-per-level rendering on generated documents, and
// the text generator that the round trip below shares

namespace {

// The layout as a copy-per-level rendering produces it: every value returns
// its own text, and a container strips the comma after its last child.
std::string remove_last_comma(std::string text) {
    if (text.size() >= 3 && text[text.size() - 2] == ',') text[text.size() - 2] = ' ';
    return text;
}

std::string reference_tag(std::size_t depth, const String* name, const Value& v) {
    std::ostringstream s;
    s << std::string(depth, '\t');
    if (name) s << '"' << escape_string(*name, false) << "\": ";
    if (v.is<Number>()) {
        s.precision(16);
        s << v.get<Number>();
    } else if (v.is<String>()) {
        s << '"' << escape_string(v.get<String>(), false) << '"';
    } else if (v.is<Boolean>()) {
        s << (v.get<Boolean>() ? "true" : "false");
    } else if (v.is<Array>()) {
        s << "[\n";
        for (const Value* e : v.get<Array>().values()) s << reference_tag(depth + 1, nullptr, *e);
        return remove_last_comma(s.str()) + std::string(depth, '\t') + "],\n";
    } else if (v.is<Object>()) {
        s << "{\n";
        for (const auto& [key, member] : v.get<Object>().kv_map()) s << reference_tag(depth + 1, &key, *member);
        return remove_last_comma(s.str()) + std::string(depth, '\t') + "},\n";
    } else {
        s << "null";
    }
    return s.str() + ",\n";
}

// JSON text in the parser's lenient dialect: both quote styles, escapes of
// every kind, comments, trailing commas, empty values and repeated keys.
// Numbers have at most 15 significant digits, which 16-digit output keeps.
class LenientTextGenerator {
public:
    explicit LenientTextGenerator(unsigned seed) : random_(seed) {}

    std::string document() { return pick(2) ? object(4) : array(4); }

private:
    std::string value(int depth) {
        switch (pick(depth > 0 ? 8 : 6)) {
            case 0:
                return pick_of({"0", "-7", "42", "0.125", "-2.5e-3", "1E6", "123456789012345", "3.14159265358979",
                                "1e-300", "-0"});
            case 1:
            case 2:
                return string();
            case 3:
                return pick_of({"true", "false"});
            case 4:
                return "null";
            case 5:
                return gap() + string();
            case 6:
                return array(depth - 1);
            default:
                return object(depth - 1);
        }
    }

    std::string array(int depth) {
        std::string text = "[";
        for (int n = pick(4); n > 0; --n) text += gap() + (pick(6) ? value(depth) : "") + gap() + ",";
        if (pick(2) && text.back() == ',') text.pop_back();
        return text + gap() + "]";
    }

    std::string object(int depth) {
        std::string text = "{";
        for (int n = pick(4); n > 0; --n) text += gap() + key() + gap() + ":" + gap() + value(depth) + gap() + ",";
        if (pick(2) && text.back() == ',') text.pop_back();
        return text + gap() + "}";
    }

    std::string key() { return pick(3) ? pick_of({"\"a\"", "\"b\"", "'c'", "\"\"", "\"a\\tb\""}) : string(); }

    std::string string() {
        static const char* const kPieces[] = {"x",       "y z",     "\\n",      "\\\"", "\\\\", "\\/",
                                              "\\u00e9", "\\u0001", "\xc3\xa9", "'",    "\\t",  "/"};
        const bool apostrophes = pick(4) == 0;
        std::string text = apostrophes ? "'" : "\"";
        for (int n = pick(5); n > 0; --n) {
            const std::string piece = kPieces[pick(sizeof kPieces / sizeof *kPieces)];
            text += apostrophes && piece == "'" ? std::string("\\'") : piece;
        }
        return text + (apostrophes ? "'" : "\"");
    }

    std::string gap() { return pick_of({"", "", " ", "\n\t", " // note\n"}); }

    std::string pick_of(std::initializer_list<const char*> choices) { return choices.begin()[pick(choices.size())]; }
    int pick(std::size_t bound) { return static_cast<int>(random_() % bound); }

    std::mt19937 random_;
};

}  // namespace

TEST(IndentedJson, AgreesWithCopyPerLevelRendering) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        Value document;
        ASSERT_TRUE(document.parse(LenientTextGenerator(seed).document()));
        SCOPED_TRACE(seed);
        ASSERT_EQ(indented(document), remove_last_comma(reference_tag(0, nullptr, document)));
    }
}

TEST(IndentedJson, RendersDeepNesting) {
    constexpr std::size_t kDepth = 3000;
    Array root;
    Array* level = &root;
    for (std::size_t d = 1; d < kDepth; ++d) {
        level->import(Value(Array()));
        level = const_cast<Array*>(&level->values().back()->get<Array>());
    }
    const std::string text = root.json();
    // Level d opens with d TABs and "[\n" and closes with d TABs and "],\n".
    EXPECT_EQ(text.size(), kDepth * (kDepth - 1) + 5 * kDepth);
    EXPECT_EQ(text.substr(0, 4), "[\n\t[");
    EXPECT_EQ(text.substr(text.size() - 7), "\t] \n] \n");
}

// What the tool writes goes out in pieces as it is rendered; the padding
// moves where each piece ends among values, openings and closings.
TEST(IndentedJson, WrittenToAStreamAsJsonReturnsIt) {
    for (std::size_t padding = 0; padding < 24; ++padding) {
        Array list;
        for (int i = 0; i < 3000; ++i) {
            Array inner;
            inner << Value(String(padding, 'x')) << Value(Array());
            Object member;
            member.import("k", Value(inner));
            member.import("e", Value(Object()));
            list << Value(member);
        }
        std::ostringstream out;
        std::string expected;
        if (padding % 2) {
            dump(out, list, {true, Numbers::Digits16});
            expected = list.json();
        } else {
            const Object document("list", Value(list));
            dump(out, document, {true, Numbers::Digits16});
            expected = document.json();
        }
        ASSERT_EQ(out.str(), expected) << "padding " << padding;
    }
}

// ---------------------------------------------------------------------------
// reformat

TEST(Reformat, TextAndStream) {
    const struct {
        const char* input;
        const char* output;
    } cases[] = {
        {"  [1, 2]", "[\n\t1,\n\t2 \n] \n"},
        {"[1] tail", "[\n\t1 \n] \n"},
        {"\x01\n\t{\"b\": 'x', \"a\": [,]}", "{\n\t\"a\": [\n\t\tnull \n\t],\n\t\"b\": \"x\" \n} \n"},
        {"", ""},
        {" \n ", ""},
        {"42", ""},
        {"\"s\"", ""},
        {"{", ""},
        {"// c\n{}", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(reformat(String(c.input)), c.output);
        std::istringstream in(c.input);
        EXPECT_EQ(reformat(in), c.output);
    }
}

TEST(Reformat, StreamStandsRightAfterTheDocument) {
    std::istringstream in("  {\"k\": 1} tail");
    EXPECT_EQ(reformat(in), "{\n\t\"k\": 1 \n} \n");
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, " tail");
}

// ---------------------------------------------------------------------------
// Round trip: reformat's output, parsed, is the document that its input
// parses to, for input written with every leniency of the parser.

TEST(Reformat, OutputParsesToTheSameDocumentAsTheInput) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const std::string input = LenientTextGenerator(seed).document();
        SCOPED_TRACE(input);
        Value original;
        ASSERT_TRUE(original.parse(input));
        const std::string output = reformat(input);
        Value reread;
        ASSERT_TRUE(reread.parse(output)) << output;
        EXPECT_EQ(original, reread) << output;
    }
}

namespace {

std::string compact_at(std::streamsize precision, std::ios_base::fmtflags floatfield, const zqjson::Value& v) {
    std::ostringstream out;
    out.precision(precision);
    out.setf(floatfield, std::ios_base::floatfield);
    out << v;
    return out.str();
}

// Every writer's number reads back: NaN and the infinities are null, and a
// number that rounds past the largest double at the precision in use is the
// largest number of that precision.
TEST(ReadBack, NumbersThatWouldNotReadBack) {
    using zqjson::Value;
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const struct {
        double number;
        std::streamsize precision;
        std::ios_base::fmtflags floatfield;
        const char* compact;
    } cases[] = {
        {kMax, 16, {}, "1.797693134862315e+308"},
        {-kMax, 6, {}, "-1.79769e+308"},
        {kMax, 17, {}, "1.7976931348623157e+308"},
        {kMax, 3, std::ios_base::scientific, "1.797e+308"},
        {1.5e308, 6, {}, "1.5e+308"},
        {kInf, 17, {}, "null"},
        {-kInf, 6, {}, "null"},
        {std::numeric_limits<double>::quiet_NaN(), 6, {}, "null"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.compact);
        zqjson::Array array;
        array << Value(c.number);
        const std::string text = compact_at(c.precision, c.floatfield, Value(array));
        EXPECT_EQ(text, std::string("[") + c.compact + "]");
        Value back;
        EXPECT_TRUE(back.parse(text));
        zqjson::Object object;
        object.import("n", Value(c.number));
        Value reread;
        EXPECT_TRUE(reread.parse(object.json()));
    }
}

}  // namespace

namespace {

// Decimal comma and digits grouped by three, as many locales have them.
struct CommaPunctuation : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// A number written in a document reads as `out << number` writes it in the
// classic locale, at every precision and in every notation, on the path that
// formats in place and on the slower one; whatever the stream's locale, and
// never with a '+' or in hexadecimal (the shortest text instead), so that it
// reads back.
TEST(CompactNumbers, WrittenAsTheStreamWritesThem) {
    std::mt19937_64 bits(11);
    std::vector<double> samples = {0.0,
                                   -0.0,
                                   1.0,
                                   -1.5,
                                   -42.0,
                                   -9999999999999998.0,
                                   0.1,
                                   1e-5,
                                   1.25e-4,
                                   9.9999999999999995e-5,
                                   123456789012345678.0,
                                   1e15,
                                   1e16,
                                   1e17,
                                   2.5e-310,
                                   1e300,
                                   0.30000000000000004};
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t pattern = bits();
        double d;
        std::memcpy(&d, &pattern, sizeof d);
        if (std::isfinite(d) && std::fabs(d) < 1e308) samples.push_back(d);
        samples.push_back(static_cast<double>(pattern % 1000000007) / std::pow(10.0, i % 24));
        samples.push_back(std::trunc(std::ldexp(static_cast<double>(pattern >> 11), -static_cast<int>(i % 60))));
    }
    const std::ios_base::fmtflags kFlags[] = {{},
                                              std::ios_base::showpos,
                                              std::ios_base::scientific,
                                              std::ios_base::fixed,
                                              std::ios_base::uppercase,
                                              std::ios_base::scientific | std::ios_base::uppercase,
                                              std::ios_base::fixed | std::ios_base::scientific};
    const std::locale kLocales[] = {std::locale::classic(), std::locale(std::locale::classic(), new CommaPunctuation)};
    for (const std::streamsize precision : {-1, 0, 1, 3, 6, 15, 16, 17, 20, 40}) {
        for (const auto flags : kFlags) {
            for (const double d : samples) {
                std::ostringstream expected;
                expected.precision(precision);
                expected.flags(flags & ~std::ios_base::showpos);
                if ((flags & std::ios_base::floatfield) == std::ios_base::floatfield) {
                    expected << zqjson::dump(zqjson::Value(d));
                } else {
                    expected << d;
                }
                for (const auto& locale : kLocales) {
                    std::ostringstream written;
                    written.imbue(locale);
                    written.precision(precision);
                    written.flags(flags);
                    written << zqjson::Value(d);
                    ASSERT_EQ(written.str(), expected.str()) << std::hexfloat << d << " precision " << precision;
                }
            }
        }
    }
    // A stream made under a global locale takes that locale.
    const std::locale before = std::locale::global(kLocales[1]);
    std::ostringstream written;
    written << zqjson::Value(1234567.5);
    std::locale::global(before);
    EXPECT_EQ(written.str(), "1.23457e+06");
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// Writing that keeps the data: every number comes back from dump() and from
// XML as the same double, bit for bit, and every integer kept beyond 2^53 as
// the same integer.

std::string corpus_text(const char* name) {
    std::ifstream in(std::string(ZQ_CORPUS_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A document of numbers of every class a writer must keep: random doubles
// of every exponent, subnormals, zeros, the largest doubles, the integers
// around 2^53 and at the ends of the 64-bit ranges, read from text and made
// from integer types.
Value numbers_document(std::uint64_t seed) {
    std::mt19937_64 bits(seed);
    std::string text =
        "{\"literals\": [9007199254740991, 9007199254740992, 9007199254740993, -9007199254740993, "
        "18446744073709551615, 18446744073709551614, -9223372036854775808, 9223372036854775807, "
        "1499816949527975237, 505874924095815681, 18446744073709551616, -9223372036854775809, "
        "0, -0, 0.0, -0.0, 1.7976931348623157e308, -1.7976931348623157e308, 4.9e-324, "
        "2.2250738585072009e-308, 0.1, 0.30000000000000004, 1.0000000000000002, 1e23, 1e-5, 1e16, "
        "1e17, 100000000000000000000]}";
    Value document;
    EXPECT_TRUE(read(text, document, nullptr, Syntax::Strict));
    Object& root = *document.get_if<Object>();
    Array made;
    made << Value(std::numeric_limits<std::uint64_t>::max()) << Value(std::numeric_limits<std::int64_t>::min())
         << Value(std::numeric_limits<std::int64_t>::max()) << Value((std::uint64_t{1} << 53) + 1)
         << Value(-static_cast<std::int64_t>((std::uint64_t{1} << 53) + 1)) << Value(std::uint64_t{1} << 63);
    root.import("made", Value(made));
    Array random;
    for (int i = 0; i < 2000; ++i) {
        const std::uint64_t pattern = bits();
        double d;
        std::memcpy(&d, &pattern, sizeof d);
        if (!std::isfinite(d)) continue;
        random << Value(d) << Value(i % 2 ? -std::ldexp(d, -1070) : std::ldexp(d, -1070));  // subnormals too
        random << Value(static_cast<std::uint64_t>(pattern)) << Value(static_cast<std::int64_t>(pattern));
    }
    root.import("random", Value(random));
    return document;
}

// The Numbers of a document in the order every writer writes them.
void numbers_in_order(const Value& v, std::vector<const Value*>& out) {
    if (v.is<Number>()) out.push_back(&v);
    if (const Array* a = v.get_if<Array>())
        for (const Value* element : a->values()) numbers_in_order(*element, out);
    if (const Object* o = v.get_if<Object>())
        for (const auto& member : o->kv_map()) numbers_in_order(*member.second, out);
}

// The texts of the number elements of a TaggedXML document, in order: after
// each type attribute of a number, what follows the end of its start tag.
std::vector<std::string> xml_number_texts(const std::string& xml) {
    constexpr std::string_view kNumberType = "type=\"json:number\"";
    std::vector<std::string> texts;
    for (std::size_t at = xml.find(kNumberType); at != std::string::npos; at = xml.find(kNumberType, at)) {
        at += kNumberType.size();
        while (xml[at] != '>') at = xml[at] == '"' ? xml.find('"', at + 1) + 1 : at + 1;
        const std::size_t end = xml.find('<', ++at);
        texts.push_back(xml.substr(at, end - at));
    }
    return texts;
}

// Shortest numbers are the fewest digits that read back, and of those the
// nearest, as the standard library's shortest conversion finds them, in
// fixed notation from 1e-4 up to 1e17 and with an exponent beyond: checked
// on doubles of every bit pattern, short decimals, dyadic fractions and the
// neighbours of powers of ten.
TEST(Dump, NumbersAreTheShortestThatReadBack) {
    std::mt19937_64 bits(5);
    for (int i = 0; i < 400000; ++i) {
        const std::uint64_t pattern = bits();
        double d;
        switch (i % 4) {
            case 0:
                std::memcpy(&d, &pattern, sizeof d);
                break;
            case 1:
                d = static_cast<double>(pattern % 100000000000) / std::pow(10.0, static_cast<int>(pattern >> 60));
                break;
            case 2:
                d = std::ldexp(static_cast<double>(pattern >> 11), -static_cast<int>(pattern % 70));
                break;
            default:
                d = std::pow(10.0, static_cast<int>(pattern % 22) - 5);
                for (int step = static_cast<int>(pattern >> 60) % 4; step > 0; --step)
                    d = std::nextafter(d, pattern & 1 ? 0.0 : 1e300);
                break;
        }
        if (!std::isfinite(d)) continue;
        const double magnitude = std::fabs(d);
        const bool fixed = (magnitude >= 1e-4 && magnitude < 1e17) || magnitude == 0;
        char expected[64];
        const char* const end = std::to_chars(expected, expected + sizeof expected, d,
                                              fixed ? std::chars_format::fixed : std::chars_format::scientific)
                                    .ptr;
        ASSERT_EQ(dump(Value(d)), std::string(expected, static_cast<std::size_t>(end - expected)))
            << std::hexfloat << d;
    }
}

TEST(Dump, ReadsBackAsTheSameDocument) {
    std::vector<std::pair<std::string, Value>> documents;
    for (const char* name : {"twitter.json", "citm_catalog.json", "canada.json"}) {
        Value corpus;
        if (read(corpus_text(name), corpus, nullptr, Syntax::Strict)) documents.emplace_back(name, Value(corpus));
    }
    for (std::uint64_t seed = 1; seed <= 3; ++seed) documents.emplace_back("generated", numbers_document(seed));
    for (const auto& [name, document] : documents) {
        SCOPED_TRACE(name);
        const std::string expected = parser_test::describe(document);
        const std::string expected_integers = parser_test::exact_integers(document);
        for (const bool indent : {false, true}) {
            Value back;
            ReadError error;
            ASSERT_TRUE(read(dump(document, {indent}), back, &error, Syntax::Strict)) << error.reason;
            EXPECT_EQ(parser_test::describe(back), expected) << "indent " << indent;
            EXPECT_EQ(parser_test::exact_integers(back), expected_integers) << "indent " << indent;
            std::ostringstream streamed;
            streamed.precision(3);
            dump(streamed, document, {indent});
            EXPECT_EQ(streamed.str(), dump(document, {indent}));
        }
        // In 16 digits, the layouts of json() and of a stream at precision 16.
        if (const Object* object = document.get_if<Object>()) {
            EXPECT_EQ(dump(document, {true, Numbers::Digits16}), object->json());
        }
        std::ostringstream sixteen;
        sixteen.precision(kNumberDigits);
        sixteen << document;
        EXPECT_EQ(dump(document, {false, Numbers::Digits16}), sixteen.str());
        std::vector<const Value*> numbers;
        numbers_in_order(document, numbers);
        const std::vector<std::string> texts = xml_number_texts(xml_document(document, TaggedXML));
        ASSERT_EQ(texts.size(), numbers.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            Value back;
            ASSERT_TRUE(read(texts[i], back, nullptr, Syntax::Strict)) << texts[i];
            ASSERT_EQ(parser_test::describe(back), parser_test::describe(*numbers[i])) << texts[i];
            ASSERT_EQ(parser_test::exact_integers(back), parser_test::exact_integers(*numbers[i])) << texts[i];
        }
    }
}

}  // namespace
