// The everyday API: what the header lets ordinary code do beside it, values
// made from plain C++ types, lookups and edits that never abort, integers,
// and JSON Pointer.
#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "TestSupport.h"

using namespace zqjson;

namespace {

Value parsed(const char* text) {
    Value v;
    EXPECT_TRUE(v.parse(String(text))) << text;
    return v;
}

std::string compact(const Value* v) {
    if (!v) return "<none>";
    std::ostringstream out;
    out.precision(17);
    out << *v;
    return out.str();
}

struct Meters {
    operator double() const { return 2.5; }
};

}  // namespace

// Each of these was ambiguous while every type converted to a Value.
TEST(Header, OrdinaryStreamOutputIsUntouched) {
    std::istringstream in("abc");
    in.get();
    const std::bitset<2> bits(1);
    const std::vector<bool> flags{true};
    std::ostringstream out;
    out << in.tellg() << ' ' << bits[0] << ' ' << flags[0] << ' ' << Meters() << ' ' << 'c' << ' ' << 42u;
    EXPECT_EQ(out.str(), "1 1 1 2.5 c 42");
}

TEST(Value, MadeFromPlainTypes) {
    const struct {
        const char* name;
        Value value;
        const char* compact;
    } cases[] = {
        {"int", Value(42), "42"},
        {"unsigned", Value(42u), "42"},
        {"int64", Value(std::int64_t(-7)), "-7"},
        {"uint64 max", Value(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
        {"short", Value(static_cast<short>(3)), "3"},
        {"float", Value(2.5f), "2.5"},
        {"bool", Value(true), "true"},
        {"string_view", Value(std::string_view("ab\0c", 4)), R"("ab\u0000c")"},
        {"char pointer", Value(const_cast<char*>("x")), R"("x")"},
        {"null C string", Value(static_cast<const char*>(nullptr)), "null"},
        {"literal", Value("lit"), R"("lit")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(compact(&c.value), c.compact);
    }
    Value v;
    v.import(8080);
    EXPECT_EQ(compact(&v), "8080");
    v.import(std::string_view("text"));
    EXPECT_EQ(compact(&v), R"("text")");
}

TEST(Object, FindAndErase) {
    Value doc = parsed(R"({"a": 1, "": 2, "b": {"c": 3}})");
    Object& o = *doc.get_if<Object>();
    const Object& read_only = o;
    const struct {
        const char* key;
        const char* found;
    } finds[] = {{"a", "1"}, {"", "2"}, {"b", R"({"c": 3})"}, {"c", "<none>"}, {"A", "<none>"}};
    for (const auto& f : finds) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(compact(o.find(f.key)), f.found);
        EXPECT_EQ(compact(read_only.find(f.key)), f.found);
    }

    o.find("a")->import(Number(10));
    EXPECT_EQ(compact(&doc), R"({"": 2, "a": 10, "b": {"c": 3}})");
    EXPECT_TRUE(o.erase("b"));
    EXPECT_FALSE(o.erase("b"));
    EXPECT_FALSE(o.erase("missing"));
    EXPECT_TRUE(o.erase(""));
    EXPECT_EQ(compact(&doc), R"({"a": 10})");
}

TEST(Array, FindAndErase) {
    Value doc = parsed("[10, 20, 30]");
    Array& a = *doc.get_if<Array>();
    EXPECT_EQ(compact(a.find(0)), "10");
    EXPECT_EQ(compact(std::as_const(a).find(2)), "30");
    EXPECT_EQ(a.find(3), nullptr);
    EXPECT_EQ(a.find(std::numeric_limits<std::size_t>::max()), nullptr);

    a.find(1)->import("twenty");
    EXPECT_FALSE(a.erase(3));
    EXPECT_TRUE(a.erase(0));
    EXPECT_EQ(compact(&doc), R"(["twenty", 30])");
    EXPECT_TRUE(a.erase(1));
    EXPECT_TRUE(a.erase(0));
    EXPECT_FALSE(a.erase(0));
    EXPECT_EQ(compact(&doc), "[]");
}

TEST(Value, GetIfAnswersOnlyForItsKind) {
    const Value values[] = {Value(1), Value("s"), Value(true), Value(Null()), Value(Array()), Value(Object()), Value()};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(i);
        const Value& v = values[i];
        EXPECT_EQ(v.get_if<Number>() != nullptr, i == 0);
        EXPECT_EQ(v.get_if<String>() != nullptr, i == 1);
        EXPECT_EQ(v.get_if<Boolean>() != nullptr, i == 2);
        EXPECT_EQ(v.get_if<Array>() != nullptr, i == 4);
        EXPECT_EQ(v.get_if<Object>() != nullptr, i == 5);
    }
    EXPECT_EQ(*values[1].get_if<String>(), "s");

    Value released(Object("k", Value(1)));
    released.reset();
    EXPECT_TRUE(std::as_const(released).get_if<Object>()->empty());
    released.get_if<Object>()->import("fresh", Value(2));
    EXPECT_EQ(compact(&released), R"({"fresh": 2})");

    Value n(1);
    *n.get_if<Number>() = 5;
    EXPECT_EQ(n.get<Number>(), 5);
}

TEST(Value, IntegerOnlyWhenWholeAndInRange) {
    const Number two_63 = std::ldexp(Number(1), 63);
    const struct {
        const char* name;
        Value value;
        std::optional<std::int64_t> integer;
    } cases[] = {
        {"zero", Value(0), 0},
        {"negative zero", Value(-0.0), 0},
        {"whole", Value(8080), 8080},
        {"negative", Value(-42), -42},
        {"2^53 + 2", Value(9007199254740994.0), INT64_C(9007199254740994)},
        {"-2^63", Value(-two_63), std::numeric_limits<std::int64_t>::min()},
        {"2^63", Value(two_63), std::nullopt},
        {"largest double", Value(std::numeric_limits<Number>::max()), std::nullopt},
        {"fraction", Value(2.5), std::nullopt},
        {"tiny", Value(1e-300), std::nullopt},
        {"NaN", Value(std::numeric_limits<Number>::quiet_NaN()), std::nullopt},
        {"infinity", Value(std::numeric_limits<Number>::infinity()), std::nullopt},
        {"string", Value("1"), std::nullopt},
        {"boolean", Value(true), std::nullopt},
        {"invalid", Value(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.integer(), c.integer);
    }
    // The greatest double below 2^63 is whole and in range.
    EXPECT_EQ(Value(std::nextafter(two_63, Number(0))).integer(), INT64_C(9223372036854774784));
}

// An integer literal beyond 2^53 keeps its exact value from every source
// and syntax, and so does a Number made from an integer type; copies and
// merges keep it, another number stored over it replaces it, and the double
// stays the nearest one.
TEST(Value, IntegersBeyondDoublesKeptExactly) {
    const struct {
        const char* literal;
        std::optional<std::int64_t> integer;
        std::optional<std::uint64_t> unsigned_integer;
    } cases[] = {
        {"9007199254740993", INT64_C(9007199254740993), UINT64_C(9007199254740993)},
        {"-9007199254740993", INT64_C(-9007199254740993), std::nullopt},
        {"505874924095815681", INT64_C(505874924095815681), UINT64_C(505874924095815681)},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max(), UINT64_C(9223372036854775807)},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min(), std::nullopt},
        {"18446744073709551615", std::nullopt, std::numeric_limits<std::uint64_t>::max()},
        // Beyond 64 bits, and anything but digits, stays the double.
        {"18446744073709551616", std::nullopt, std::nullopt},
        {"-9223372036854775809", std::numeric_limits<std::int64_t>::min(), std::nullopt},
        {"9007199254740993.0", INT64_C(9007199254740992), UINT64_C(9007199254740992)},
        {"9007199254740993e0", INT64_C(9007199254740992), UINT64_C(9007199254740992)},
    };
    for (const auto& c : cases) {
        for (const Syntax syntax : {Syntax::Lenient, Syntax::Strict}) {
            for (const std::size_t ahead : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
                SCOPED_TRACE(std::string(c.literal) + (syntax == Syntax::Strict ? " strict" : " lenient") + " ahead " +
                             std::to_string(ahead));
                const std::string text = std::string("[") + c.literal + "]";
                Value document;
                if (ahead == 0) {
                    ASSERT_TRUE(read(text, document, nullptr, syntax));
                } else {
                    zqtest::TrickleBuffer buffer(text, ahead);
                    std::istream in(&buffer);
                    ASSERT_TRUE(read(in, document, nullptr, syntax));
                }
                const Value& n = *document.get<Array>().find(0);
                EXPECT_EQ(n.integer(), c.integer);
                EXPECT_EQ(n.unsigned_integer(), c.unsigned_integer);
                EXPECT_EQ(n.get<Number>(), std::strtod(c.literal, nullptr));
                Object merged;
                merged.import(Object("k", n));
                const Value copy(*merged.find("k"));
                EXPECT_EQ(copy.integer(), c.integer);
                EXPECT_EQ(copy.unsigned_integer(), c.unsigned_integer);
            }
        }
    }
    const Value largest(std::numeric_limits<std::uint64_t>::max());
    const Value least(std::numeric_limits<std::int64_t>::min() + 1);
    EXPECT_EQ(largest.unsigned_integer(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(least.integer(), std::numeric_limits<std::int64_t>::min() + 1);
    EXPECT_EQ(largest.get<Number>(), 18446744073709551616.0);
    Value replaced(largest);
    replaced.import(Number(5));
    EXPECT_EQ(replaced.unsigned_integer(), 5u);
    Value written_over(largest);
    *written_over.get_if<Number>() = 9223372036854775808.0;
    EXPECT_EQ(written_over.unsigned_integer(), UINT64_C(9223372036854775808));
}

// The document and the examples of the JSON Pointer standard, then pointers
// that lead nowhere and pointers that are malformed.
TEST(Pointer, Lookup) {
    const Value doc = parsed(R"({"foo": ["bar", "baz"], "": 0, "a/b": 1, "c%d": 2, "e^f": 3, "g|h": 4,
                                 "i\\j": 5, "k\"l": 6, " ": 7, "m~n": 8, "deep": {"x": [{"y": null}]}})");
    const struct {
        std::string_view pointer;
        const char* found;
    } cases[] = {
        {"/foo", R"(["bar", "baz"])"},
        {"/foo/0", R"("bar")"},
        {"/", "0"},
        {"/a~1b", "1"},
        {"/c%d", "2"},
        {"/e^f", "3"},
        {"/g|h", "4"},
        {"/i\\j", "5"},
        {"/k\"l", "6"},
        {"/ ", "7"},
        {"/m~0n", "8"},
        {"/deep/x/0/y", "null"},
        // lead nowhere
        {"/foo/2", "<none>"},
        {"/foo/-", "<none>"},
        {"/foo/bar", "<none>"},
        {"/foo/0/x", "<none>"},
        {"/missing", "<none>"},
        {"/deep/x/0/y/z", "<none>"},
        {"/foo/18446744073709551616", "<none>"},
        // malformed
        {"foo", "<none>"},
        {"/foo/01", "<none>"},
        {"/foo/+1", "<none>"},
        {"/foo/", "<none>"},
        {"/m~2n", "<none>"},
        {"/m~", "<none>"},
        {"/a~1b~", "<none>"},
        {"#/foo", "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pointer);
        EXPECT_EQ(compact(lookup(doc, c.pointer)), c.found);
        EXPECT_EQ(compact(lookup(doc.get<Object>(), c.pointer)), c.found);
    }
    EXPECT_EQ(lookup(doc, ""), &doc);
    EXPECT_EQ(lookup(doc.get<Object>(), ""), nullptr);
    EXPECT_EQ(compact(lookup(doc.get<Object>().find("foo")->get<Array>(), "/1")), R"("baz")");
    EXPECT_EQ(lookup(doc.get<Object>().find("foo")->get<Array>(), ""), nullptr);
    EXPECT_EQ(lookup(Value(3), "/0"), nullptr);
}

TEST(Pointer, EditsInPlace) {
    Value config = parsed(R"({"server": {"port": 80, "hosts": ["a"]}})");
    lookup(config, "/server/port")->import(8080);
    lookup(config, "/server/hosts/0")->import("b");
    lookup(config, "/server")->get_if<Object>()->erase("hosts");
    EXPECT_EQ(compact(&config), R"({"server": {"port": 8080}})");
}
