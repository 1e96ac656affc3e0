// The document model: kinds and states of a Value, ownership, deep copies,
// merging, the streaming builder, aliasing, and the failure report.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

namespace {

// Compact, kind-revealing text of a document, so tests compare whole trees.
std::string show(const Value& v);

std::string show(const Array& a) {
    std::string out = "[";
    for (const Value* e : a.values()) out += show(*e) + ",";
    return out + "]";
}

std::string show(const Object& o) {
    std::string out = "{";
    for (const auto& [k, v] : o.kv_map()) out += k + ":" + show(*v) + ",";
    return out + "}";
}

std::string show(const Value& v) {
    if (v.is<Number>()) return std::to_string(static_cast<double>(v.get<Number>()));
    if (v.is<Boolean>()) return v.get<Boolean>() ? "true" : "false";
    if (v.is<Null>()) return "null";
    if (v.is<String>()) return v.empty() ? "<released string>" : "'" + v.get<String>() + "'";
    if (v.is<Array>()) return v.empty() ? "<released array>" : show(v.get<Array>());
    if (v.is<Object>()) return v.empty() ? "<released object>" : show(v.get<Object>());
    return "<invalid>";
}

Value number(double n) { return Value(Number(n)); }

Array array_of(std::initializer_list<double> numbers) {
    Array a;
    for (double n : numbers) a << number(n);
    return a;
}

// {"list": [1, [2, 3]], "name": "x"}
Object nested_document() {
    Array inner = array_of({2, 3});
    Array list = array_of({1});
    list << Value(inner);
    Object o;
    o.import("list", Value(list));
    o.import("name", Value(String("x")));
    return o;
}

struct KindCase {
    const char* name;
    Value value;
    bool empty;
    const char* shown;
};

}  // namespace

TEST(Value, KindsAndEmptiness) {
    const Value released_string = [] {
        Value v(String("s"));
        v.reset();
        return v;
    }();
    const KindCase cases[] = {
        {"default", Value(), true, "<invalid>"},
        {"number", number(2.5), false, "2.500000"},
        {"false", Value(false), false, "false"},
        {"null", Value(Null()), false, "null"},
        {"empty string", Value(String()), false, "''"},
        {"C string", Value("text"), false, "'text'"},
        {"empty array", Value(Array()), false, "[]"},
        {"empty object", Value(Object()), false, "{}"},
        {"released string", Value(released_string), true, "<released string>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.empty(), c.empty);
        EXPECT_EQ(show(c.value), c.shown);
    }
}

TEST(Value, IsSelectsExactlyOneKind) {
    const Value values[] = {number(1),      Value(String("s")), Value(true), Value(Null()),
                            Value(Array()), Value(Object()),    Value()};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(i);
        const Value& v = values[i];
        const int kinds =
            v.is<Number>() + v.is<String>() + v.is<Boolean>() + v.is<Null>() + v.is<Array>() + v.is<Object>();
        EXPECT_EQ(kinds, i == 6 ? 0 : 1);
    }
}

TEST(Value, ResetReleasesContentAndKeepsKind) {
    Value s(String("abc"));
    s.reset();
    EXPECT_TRUE(s.is<String>());
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.get<String>(), "");

    Value a(array_of({1, 2}));
    a.reset();
    EXPECT_TRUE(a.is<Array>());
    EXPECT_EQ(a.get<Array>().size(), 0u);

    Value o(nested_document());
    o.reset();
    EXPECT_TRUE(o.is<Object>());
    EXPECT_TRUE(o.get<Object>().empty());

    Value n = number(7);
    n.reset();
    EXPECT_EQ(n.get<Number>(), 7);
    EXPECT_FALSE(n.empty());
}

TEST(Value, CopyOfReleasedValueIsReleasedOfSameKind) {
    for (Value v : {Value(String("s")), Value(array_of({1})), Value(Object("k", number(1)))}) {
        v.reset();
        Value copy(v);
        EXPECT_TRUE(copy.empty());
        EXPECT_EQ(show(copy), show(v));
        Value target(String("old"));
        target.import(v);
        EXPECT_EQ(show(target), show(v));
    }
}

TEST(Value, ImportReplacesContentAndKind) {
    Value v(nested_document());
    v.import(String("now a string"));
    EXPECT_EQ(show(v), "'now a string'");
    v.import(Value());
    EXPECT_TRUE(v.empty());
    EXPECT_FALSE(v.is<String>());
    v.import(Null());
    EXPECT_TRUE(v.is<Null>());
    EXPECT_FALSE(v.empty());
}

TEST(Value, CopiesAreDeepAndIndependent) {
    Value original(nested_document());
    Value copy(original);
    original.import(Null());
    EXPECT_EQ(show(copy), "{list:[1.000000,[2.000000,3.000000,],],name:'x',}");

    Array holder;
    holder << copy;
    copy.reset();
    EXPECT_EQ(show(holder), "[{list:[1.000000,[2.000000,3.000000,],],name:'x',},]");
}

// Importing content that the import itself releases: the argument is copied
// first, so nothing reads freed memory (the sanitizer build checks this).
TEST(Value, ImportOfItsOwnContent) {
    Value self(nested_document());
    self.import(self);
    EXPECT_EQ(show(self), show(Value(nested_document())));

    Value s(String("text"));
    s.import(s.get<String>());
    EXPECT_EQ(show(s), "'text'");

    Value a(nested_document());
    a.import(*a.get<Object>().kv_map().at("list"));
    EXPECT_EQ(show(a), "[1.000000,[2.000000,3.000000,],]");
    a.import(a.get<Array>());
    EXPECT_EQ(show(a), "[1.000000,[2.000000,3.000000,],]");
    a.import(a.get<Array>().values()[1]->get<Array>());
    EXPECT_EQ(show(a), "[2.000000,3.000000,]");
    a.import(*a.get<Array>().values()[0]);
    EXPECT_EQ(show(a), "2.000000");

    Value o(nested_document());
    o.import(o.get<Object>());
    EXPECT_EQ(show(o), show(Value(nested_document())));

    const std::uint64_t kept = (std::uint64_t{1} << 60) + 1;
    Value holder(Object("n", Value(kept)));
    holder.import(*holder.get<Object>().find("n"));
    EXPECT_EQ(holder.unsigned_integer(), kept);
}

TEST(Object, KeysIterateInByteOrder) {
    Object o;
    for (const char* key : {"b", "a", "B", "", "\xc3\xa9", "ab"}) o.import(key, number(1));
    std::vector<std::string> keys;
    for (const auto& entry : o.kv_map()) keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"", "B", "a", "ab", "b", "\xc3\xa9"}));
}

TEST(Object, ImportReplacesAndMerges) {
    Object o;
    o.import("k", number(1));
    o.import("k", Value(String("second")));
    EXPECT_EQ(show(o), "{k:'second',}");

    Object into;
    into.import("b", number(3));
    into.import("c", number(4));
    Object from;
    from.import("a", number(1));
    from.import("b", number(2));
    into.import(from);
    EXPECT_EQ(show(into), "{a:1.000000,b:2.000000,c:4.000000,}");
    EXPECT_EQ(show(from), "{a:1.000000,b:2.000000,}");
}

TEST(Object, SelfImportAndAssignmentKeepEntries) {
    Object o = nested_document();
    const std::string before = show(o);
    o.import(o);
    EXPECT_EQ(show(o), before);
    Object& same = o;
    o = same;
    EXPECT_EQ(show(o), before);
}

// Arguments that lie inside the content an operation releases.
TEST(Object, ImportAndAssignFromItsOwnMembers) {
    Object o = nested_document();
    o.import("list", o.kv_map().at("list")->get<Array>().values()[1]->get<Array>());
    EXPECT_EQ(show(o), "{list:[2.000000,3.000000,],name:'x',}");
    o.import("list", *o.kv_map().at("list"));
    EXPECT_EQ(show(o), "{list:[2.000000,3.000000,],name:'x',}");

    Object outer;
    outer.import("inner", Value(Object("inner", number(5))));
    outer.import(outer.kv_map().at("inner")->get<Object>());
    EXPECT_EQ(show(outer), "{inner:5.000000,}");

    Object holder;
    holder.import("child", Value(nested_document()));
    holder = holder.kv_map().at("child")->get<Object>();
    EXPECT_EQ(show(holder), show(nested_document()));
}

TEST(Object, StreamingAlternatesKeysAndValues) {
    Object o;
    o << Value("k") << number(1);
    EXPECT_EQ(show(o), "{k:1.000000,}");

    // The empty key is a key: it pairs with the next value, as any other.
    Object empty_key;
    empty_key << Value("") << number(1);
    EXPECT_EQ(show(empty_key), "{:1.000000,}");

    Object empty_key_then_more;
    empty_key_then_more << Value("") << Value("v") << Value("w");
    EXPECT_EQ(show(empty_key_then_more), "{:'v',}");
    empty_key_then_more << number(2);
    EXPECT_EQ(show(empty_key_then_more), "{:'v',w:2.000000,}");

    Object empty_key_dropped;
    empty_key_dropped << Value("");
    empty_key_dropped.import("z", number(1));
    empty_key_dropped << Value("k") << number(3);
    EXPECT_EQ(show(empty_key_dropped), "{k:3.000000,z:1.000000,}");

    Object after_reset;
    after_reset << Value("k");
    after_reset.reset();
    EXPECT_EQ(after_reset.size(), 0u);
    after_reset << number(2);
    EXPECT_EQ(show(after_reset), "{k:2.000000,}");

    Object discarded;
    discarded << Value("k");
    discarded.import("z", number(1));
    discarded << Value("next") << number(3);
    EXPECT_EQ(show(discarded), "{next:3.000000,z:1.000000,}");
}

TEST(Object, StreamingAnObject) {
    Object o;
    o << Object("a", number(1));
    EXPECT_EQ(show(o), "{:{a:1.000000,},}");

    Object self;
    self << Value("me") << number(1) << Value("copy");
    self << self;
    EXPECT_EQ(show(self), "{copy:{me:1.000000,},me:1.000000,}");
}

TEST(Object, StreamingTheValueAlreadyUnderThePendingKey) {
    Object o;
    o.import("k", Value(nested_document()));
    o << Value("k") << *o.kv_map().at("k");
    EXPECT_EQ(show(o), show(Object("k", Value(nested_document()))));
}

TEST(Object, PendingKeyDoesNotCountAndIsNotCopied) {
    Object o;
    o << Value("pending");
    EXPECT_TRUE(o.empty());
    EXPECT_EQ(o.size(), 0u);
    Object copy(o);
    copy << Value("key") << number(1);
    EXPECT_EQ(show(copy), "{key:1.000000,}");
}

TEST(Array, ImportAppendsCopies) {
    Array a = array_of({1, 2});
    a << a;
    EXPECT_EQ(show(a), "[1.000000,2.000000,1.000000,2.000000,]");

    Array b = array_of({1, 2});
    b.import(b);
    EXPECT_EQ(show(b), "[1.000000,2.000000,1.000000,2.000000,]");

    Array c = array_of({1});
    c << *c.values()[0];
    EXPECT_EQ(show(c), "[1.000000,1.000000,]");

    Array nested(Value(array_of({1, 2})));
    EXPECT_EQ(nested.size(), 1u);
    EXPECT_EQ(show(nested), "[[1.000000,2.000000,],]");
}

TEST(Array, Assignment) {
    Array a = array_of({1, 2});
    Array& same = a;
    a = same;
    EXPECT_EQ(show(a), "[1.000000,2.000000,]");

    a = *a.values()[1];
    EXPECT_EQ(show(a), "[2.000000,]");

    Array outer;
    outer << Value(array_of({7, 8}));
    outer = outer.values()[0]->get<Array>();
    EXPECT_EQ(show(outer), "[7.000000,8.000000,]");
}

TEST(Array, ResetLeavesCopiesElsewhereIntact) {
    Array a;
    a << Value(nested_document());
    Array copy(a);
    a.reset();
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(show(copy), "[" + show(nested_document()) + ",]");
}

// ---------------------------------------------------------------------------
// The failure report.

TEST(AssertionDeathTest, WrongKindInGetReportsAndAborts) {
    const Value b(true);
    EXPECT_DEATH(b.get<Number>(),
                 "^\\[ZQJSON\\] expression 'is<Number>\\(\\)' failed at [^:]*ZQJson\\.h:[0-9]+ -> .*Assertion `0' "
                 "failed");
    EXPECT_DEATH(Value(number(1)).get<String>(), "'is<String>\\(\\)' failed at [^:]*ZQJson\\.h:[0-9]+ -> ");
    EXPECT_DEATH(Value(Null()).get<Array>(), "'is<Array>\\(\\)' failed");
    EXPECT_DEATH(Value().get<Object>(), "'is<Object>\\(\\)' failed");
    EXPECT_DEATH(Value(Null()).get<Boolean>(), "'is<Boolean>\\(\\)' failed");
}

TEST(AssertionDeathTest, ImportOfAnUnknownKind) {
    static_assert(std::is_standard_layout_v<Value>, "the kind is the first field");
    Value corrupt;
    auto set_kind = [&](std::uint32_t kind) { std::memcpy(static_cast<void*>(&corrupt), &kind, sizeof kind); };
    set_kind(7);
    Value target;
    EXPECT_DEATH(target.import(corrupt), "'!\"not implemented\"' failed at [^:]*ZQJson\\.h:[0-9]+ -> ");
    set_kind(InvalidType);
}

TEST(AssertionDeathTest, NonStringStreamedAsKey) {
    Object o;
    EXPECT_DEATH(o << number(1), "'is<String>\\(\\)' failed");
}

TEST(AssertionDeathTest, ReportNamesCallerPositionAndTheRuntimeFunction) {
    // g++ writes the signature "const char*", clang++ "const char *".
    EXPECT_DEATH(assertion("some/file.cpp", 42, "x == y", false),
                 "^\\[ZQJSON\\] expression 'x == y' failed at some/file.cpp:42 -> .*Assertion\\.cpp:[0-9]+: void "
                 "zqjson::assertion\\(const char ?\\*, int, const char ?\\*, bool\\): Assertion `0' failed");
}

TEST(Assertion, TrueConditionWritesNothing) {
    testing::internal::CaptureStderr();
    assertion("f", 1, "fine", true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
