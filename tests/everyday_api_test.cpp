// The everyday API: what the header lets ordinary code do beside it, values
// made from plain C++ types, lookups and edits that never abort, integers,
// and JSON Pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <istream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
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

// ---------------------------------------------------------------------------
// What a newcomer writes first: moves, assignment, comparison, lists,
// iteration, subscripts and typed defaults.

namespace {

constexpr std::uint64_t kTwoTo60 = std::uint64_t{1} << 60;

Value released(Value v) {
    v.reset();
    return v;
}

// Where a Value's string or container lives, to tell content handed over
// from a copy.
const void* content_of(const Value& v) {
    if (const String* s = v.get_if<String>()) return s;
    if (const Array* a = v.get_if<Array>()) return a;
    if (const Object* o = v.get_if<Object>()) return o;
    return nullptr;
}

}  // namespace

TEST(Value, MovesHandTheContentOverAndLeaveTheSourceInvalid) {
    const Value kinds[] = {Value(2.5),
                           Value(kTwoTo60 + 1),
                           Value("text"),
                           Value(true),
                           Value(Null()),
                           Value(Array{1, Array{2, 3}}),
                           Value(Object{{"k", Object{{"n", 1}}}}),
                           Value(),
                           released(Array{1})};
    for (const Value& original : kinds) {
        SCOPED_TRACE(dump(original));
        Value from(original);
        const void* content = content_of(from);
        Value constructed(std::move(from));
        Value assigned(Array{1});
        assigned = std::move(constructed);
        Value imported("old");
        imported.import(std::move(assigned));
        Value swapped;
        swap(swapped, imported);
        EXPECT_EQ(swapped, original);
        EXPECT_EQ(swapped.type(), original.type());
        EXPECT_EQ(swapped.unsigned_integer(), original.unsigned_integer());
        EXPECT_EQ(content_of(swapped), content);
        for (const Value* source : {&from, &constructed, &assigned, &imported}) EXPECT_EQ(source->type(), InvalidType);
    }

    // A vector that grows moves its Values; so do Arrays and Objects moved
    // into a Value.
    std::vector<Value> values;
    values.emplace_back(Array{1, 2});
    const void* first = content_of(values[0]);
    for (int i = 0; i < 100; ++i) values.emplace_back(i);
    EXPECT_EQ(content_of(values[0]), first);
    Array elements{Array{1}, "x"};
    const Value* element = elements.find(0);
    Value holder(std::move(elements));
    EXPECT_EQ(holder.get<Array>().find(0), element);
    Object members{{"k", 1}};
    const Value* member = members.find("k");
    holder = std::move(members);
    EXPECT_EQ(holder.get<Object>().find("k"), member);
    EXPECT_TRUE(elements.empty() && members.empty());
}

TEST(Containers, MovesTakeEverythingAndLeaveTheSourceEmpty) {
    Object source{{"a", Array{1}}};
    source << Value("pending");
    const Value* member = source.find("a");
    Object moved(std::move(source));
    EXPECT_EQ(moved.find("a"), member);
    moved << Value(2);                 // the pending key came along
    source << Value("k") << Value(3);  // and left the source without one
    EXPECT_EQ(dump(moved), R"({"a": [1], "pending": 2})");
    EXPECT_EQ(dump(source), R"({"k": 3})");
    source = std::move(moved);
    swap(source, moved);
    EXPECT_EQ(moved.find("a"), member);
    EXPECT_TRUE(source.empty());

    Array elements{"x", Object{}};
    const Value* element = elements.find(1);
    Array taken(std::move(elements));
    elements = std::move(taken);
    elements.swap(taken);
    EXPECT_EQ(taken.find(1), element);
    EXPECT_TRUE(elements.empty());
}

TEST(Value, AssignmentReplacesTheContent) {
    const Value document = Object{{"k", Array{1}}};
    Array moved_from{1, 2};
    Value v;
    const struct {
        const char* name;
        std::function<void()> assign;
        const char* json;
    } cases[] = {
        {"int", [&] { v = 43; }, "43"},
        {"exact integer", [&] { v = kTwoTo60 + 1; }, "1152921504606846977"},
        {"literal", [&] { v = "x"; }, R"("x")"},
        {"Value", [&] { v = document; }, R"({"k": [1]})"},
        {"Object", [&] { v = document.get<Object>(); }, R"({"k": [1]})"},
        {"moved Array", [&] { v = std::move(moved_from); }, "[1, 2]"},
        {"invalid", [&] { v = Value(); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        v = document;
        c.assign();
        EXPECT_EQ(dump(v), c.json);
    }
    EXPECT_TRUE(moved_from.empty());
}

TEST(Comparing, SameKindAndSameContentDeeply) {
    const Number nan = std::numeric_limits<Number>::quiet_NaN();
    const Number two_to_60 = std::ldexp(Number(1), 60);
    const struct {
        const char* name;
        Value a;
        Value b;
        bool equal;
    } cases[] = {
        {"numbers", Value(1), Value(1.0), true},
        {"zeros of both signs", Value(0.0), Value(-0.0), true},
        {"NaN", Value(nan), Value(nan), false},
        {"kept integer and the double of its value", Value(kTwoTo60), Value(two_to_60), true},
        {"kept integer and its nearest double", Value(kTwoTo60 + 1), Value(two_to_60), false},
        {"kept integers of one nearest double", Value(kTwoTo60 + 1), Value(kTwoTo60 + 2), false},
        {"least int64", Value(std::numeric_limits<std::int64_t>::min()), Value(-std::ldexp(Number(1), 63)), true},
        {"number and its text", Value(1), Value("1"), false},
        {"strings differing in a byte", Value("a"), Value("b"), false},
        {"true and false", Value(true), Value(false), false},
        {"nulls", Value(Null()), Value(Null()), true},
        {"invalid Values", Value(), Value(), true},
        {"invalid and null", Value(), Value(Null()), false},
        {"released and empty string", released("s"), Value(""), true},
        {"released and empty array", released(Array{1}), Value(Array()), true},
        {"released array and released object", released(Array()), released(Object()), false},
        {"arrays", Value(Array{1, "x", Array{}}), Value(Array{1, "x", Array{}}), true},
        {"arrays in another order", Value(Array{1, 2}), Value(Array{2, 1}), false},
        {"array and its prefix", Value(Array{1, 2}), Value(Array{1}), false},
        {"objects made in another order", Value(Object{{"a", 1}, {"b", 2}}), Value(Object{{"b", 2}, {"a", 1}}), true},
        {"objects with another key", Value(Object{{"a", 1}}), Value(Object{{"b", 1}}), false},
        {"a difference deep inside", Value(Object{{"a", Array{Object{{"b", Array{1, 2}}}}}}),
         Value(Object{{"a", Array{Object{{"b", Array{1, 3}}}}}}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.b != c.a, !c.equal);
        if (c.a.is<Array>() && c.b.is<Array>()) {
            EXPECT_EQ(c.a.get<Array>() == c.b.get<Array>(), c.equal);
        }
        if (c.a.is<Object>() && c.b.is<Object>()) {
            EXPECT_EQ(c.a.get<Object>() == c.b.get<Object>(), c.equal);
        }
    }
    Object pending{{"a", 1}};
    pending << Value("key");
    EXPECT_EQ(pending, (Object{{"a", 1}}));
}

TEST(Lists, MakeObjectsAndArrays) {
    const Value x(Array{1, 2});
    const struct {
        const char* name;
        Value made;
        const char* json;
    } cases[] = {
        {"object", Object{{"name", "disk-1"}, {"size", 4096}, {"tags", Array{"a", "b"}}},
         R"({"name": "disk-1", "size": 4096, "tags": ["a", "b"]})"},
        {"key listed twice", Object{{"k", 1}, {"k", 2}}, R"({"k": 2})"},
        {"one object: a copy", Object{Object{{"a", 1}}}, R"({"a": 1})"},
        {"a key and a value", Object{"k", 1}, R"({"k": 1})"},
        {"array", Array{1, "two", true, Null(), kTwoTo60 + 1}, R"([1, "two", true, null, 1152921504606846977])"},
        {"one number", Array{1}, "[1]"},
        {"one object", Array{Object{{"a", 1}}}, R"([{"a": 1}])"},
        {"one Value holding an array", Array{x}, "[[1, 2]]"},
        {"one array: a copy", Array{Array{1, 2}}, "[1, 2]"},
        {"an array in an array", Array{Value(Array{1, 2})}, "[[1, 2]]"},
        {"arrays in an array", Array{Array{1}, Array{2}}, "[[1], [2]]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dump(c.made), c.json);
    }
}

TEST(Iteration, MembersInKeyOrderAndElementsInOrder) {
    Object o{{"b", 2}, {"a", 1}, {"", 0}};
    std::string keys;
    for (auto& [key, value] : o) {
        keys += key + ",";
        value = key;
    }
    EXPECT_EQ(keys, ",a,b,");
    EXPECT_EQ(dump(o), R"({"": "", "a": "a", "b": "b"})");
    const Object& read_only = o;
    const auto found =
        std::find_if(read_only.begin(), read_only.end(), [](const auto& member) { return member.second == "b"; });
    ASSERT_NE(found, read_only.end());
    EXPECT_EQ(&found->second, read_only.find("b"));
    EXPECT_EQ(std::distance(read_only.begin(), read_only.end()), 3);

    Array a{3, 1, 2};
    for (Value& element : a) element = *element.integer() * 10;
    std::sort(a.begin(), a.end(), [](const Value& x, const Value& y) { return x.get<Number>() < y.get<Number>(); });
    EXPECT_EQ(dump(a), "[10, 20, 30]");
    const Array& elements = a;
    EXPECT_EQ(std::find(elements.begin(), elements.end(), 20) - elements.begin(), 1);
    // Sorting moves the contents of the elements, containers included.
    Array lists{Array{2, "b", 0}, Array{1}, Array{}};
    std::sort(lists.begin(), lists.end(),
              [](const Value& x, const Value& y) { return x.get<Array>().size() < y.get<Array>().size(); });
    EXPECT_EQ(dump(lists), R"([[], [1], [2, "b", 0]])");
}

TEST(Subscripts, ReachMembersAndElements) {
    Value doc = Object{{"list", Array{1, 2}}};
    doc["list"][0] = "first";
    doc["list"].get<Array>().push_back(3);
    doc["new"] = Object{};
    doc["new"]["deep"] = true;
    EXPECT_EQ(dump(doc), R"({"list": ["first", 2, 3], "new": {"deep": true}})");
    Object& o = doc.get<Object>();
    o["added"];
    EXPECT_EQ(dump(o["added"]), "null");
    EXPECT_EQ(&o["list"], o.find("list"));
    EXPECT_EQ(std::as_const(o).find("list")->get<Array>()[1], 2);
}

TEST(SubscriptsDeathTest, OutOfRangeOrAnotherKindAborts) {
    Array a{1};
    EXPECT_DEATH(a[1], "'index < size\\(\\)' failed at [^:]*ZQJson\\.h:[0-9]+ -> ");
    EXPECT_DEATH(std::as_const(a)[1], "'index < size\\(\\)' failed");
    Value number(1);
    EXPECT_DEATH(number["k"], "'is<Object>\\(\\)' failed");
    EXPECT_DEATH(number[0], "'is<Array>\\(\\)' failed");
}

TEST(Object, ValueReadsAMemberOrTheFallback) {
    const Object config{{"port", 8080},   {"negative", -1}, {"big", std::int64_t{1} << 40}, {"ratio", 0.5},
                        {"name", "disk"}, {"debug", true},  {"list", Array{1, 2}},          {"exact", kTwoTo60 + 1}};
    const struct {
        const char* name;
        Value read;
        Value expected;
    } cases[] = {
        {"int", config.value("port", 0), 8080},
        {"int, missing", config.value("missing", 7), 7},
        {"int, from a string", config.value("name", 7), 7},
        {"int, from a fraction", config.value("ratio", 7), 7},
        {"int, out of range", config.value("big", 7), 7},
        {"int16, out of range", config.value<std::int16_t>("port", 7), 8080},
        {"unsigned, negative", config.value("negative", 7u), 7u},
        {"uint64, exact", config.value("exact", std::uint64_t{7}), kTwoTo60 + 1},
        {"double, from an integer", config.value("port", 1.0), 8080.0},
        {"double, from a boolean", config.value("debug", 1.0), 1.0},
        {"literal", config.value("name", "none"), "disk"},
        {"literal, from a number", config.value("port", "none"), "none"},
        {"Boolean", config.value("debug", false), true},
        {"Boolean, from a number", config.value("port", false), false},
        {"Array", config.value("list", Array()), Array{1, 2}},
        {"Object, from an array", config.value("list", Object{{"k", 1}}), Object{{"k", 1}}},
        {"Value", config.value("list", Value()), Array{1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.read, c.expected);
    }
}

// Arguments that lie inside what an operation replaces, or that are the
// target itself.
TEST(Aliasing, PartsOfTheTargetAreTakenBeforeItIsReplaced) {
    Object o{{"b", 1}};
    o["a"] = o;  // the member exists, null, when the copy is made
    EXPECT_EQ(dump(o), R"({"a": {"a": null, "b": 1}, "b": 1})");
    o = Object{{"b", 1}};
    o["a"] = Value(o);
    EXPECT_EQ(dump(o), R"({"a": {"b": 1}, "b": 1})");
    o = Object{{"j", Array{1}}, {"k", 2}};
    o.import("k", std::move(*o.find("j")));
    o.import("j", std::move(*o.find("k")));
    EXPECT_EQ(dump(o), R"({"j": [1], "k": null})");  // what a move leaves is invalid, written as null
    o = Object{{"inner", Object{{"n", 1}}}, {"other", 2}};
    o = std::move(o["inner"].get<Object>());
    EXPECT_EQ(dump(o), R"({"n": 1})");

    Value v = Object{{"x", kTwoTo60 + 1}, {"y", 2}};
    v = v.get<Object>()["x"];
    EXPECT_EQ(dump(v), "1152921504606846977");
    v = Array{Array{1, 2}, 3};
    v = std::move(v[0]);
    EXPECT_EQ(dump(v), "[1, 2]");
    v = Array{Array{1, 2}, 3};
    v.import(std::move(v[0].get<Array>()));
    Value& same = v;
    v = same;
    v = std::move(same);
    swap(v, same);
    EXPECT_EQ(dump(v), "[1, 2]");

    Array a{Array{1}, 2};
    a.push_back(a[0]);
    a.push_back(std::move(a[0]));
    a.erase(0);
    EXPECT_EQ(dump(a), "[2, [1], [1]]");
    a = std::move(a[1].get<Array>());
    EXPECT_EQ(dump(a), "[1]");
}
