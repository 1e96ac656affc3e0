// Allocation failure through every entry point. Each call runs again and
// again with its 1st, 2nd, 3rd ... request for memory refused, until it runs
// with none refused, whichever way the library asks: operator new, the node
// store's slabs, or the output buffer's storage (the latter two through the
// heap functions this program defines in place of the library's own). Each
// refusal must reach the caller as std::bad_alloc, leave no block behind,
// and leave the documents the caller had as the call's rules say.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <optional>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/Heap.h"
#include "TestSupport.h"

using namespace zqjson;
using zqtest::compact;

// ---------------------------------------------------------------------------
// Every request for memory, counted; the one numbered `refused` (from 1) is
// refused, when it is not 0.

namespace {
enum class Path { Any, Slabs };

struct Requests {
    Path counted = Path::Any;
    long seen = 0;
    long refused = 0;  // kEveryRequest: all of them
    bool refusal_made = false;
    long live = 0;  // blocks handed out and not given back

    static constexpr long kEveryRequest = -1;

    bool admit(Path path) {
        if (counted != Path::Any && path != counted) return true;
        if (++seen != refused && refused != kEveryRequest) return true;
        refusal_made = true;
        return false;
    }
};
Requests g_requests;

void* counted(void* block) {
    if (block) ++g_requests.live;
    return block;
}
}  // namespace

// The replacement pair allocates with malloc, so it frees with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (!g_requests.admit(Path::Any)) throw std::bad_alloc();
    if (void* block = counted(std::malloc(size ? size : 1))) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    if (block) --g_requests.live;
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

namespace zqjson::detail::heap {
void* aligned(std::size_t alignment, std::size_t size) noexcept {
    return g_requests.admit(Path::Slabs) ? counted(std::aligned_alloc(alignment, size)) : nullptr;
}
void* resized(void* block, std::size_t size) noexcept {
    if (!g_requests.admit(Path::Any)) return nullptr;
    void* moved = std::realloc(block, size);
    if (moved && !block) ++g_requests.live;
    return moved;
}
void release(void* block) noexcept {
    if (block) --g_requests.live;
    std::free(block);
}
}  // namespace zqjson::detail::heap

namespace {

// ---------------------------------------------------------------------------
// The documents

// Longer than the output buffer's first storage, so that rendering grows it
// more than once.
constexpr std::size_t kLongStringBytes = 12 * 1024;
// Enough records that reading them takes several node slabs beyond the one
// the store keeps spare and the room left in those the inputs hold.
constexpr std::size_t kRecordsForSlabs = 3000;
// More requests than any call here makes on the small document.
constexpr long kMostRequests = 5000;

// An object with every kind of value, escapes and non-ASCII text, nested
// containers, empty ones, and `records` copies of a small record.
std::string document_text(std::size_t records) {
    std::string text = R"({"text": "plain, \"quoted\", \u00e9, \ud83d\ude00 and \n", "long": ")" +
                       std::string(kLongStringBytes, 'x') +
                       R"(", "number": -12.5e3, "whole": 42, "yes": true, "no": false, "nothing": null,
        "list": [1, "two", [3, []], {"k": "v"}], "object": {"nested": {"deep": [null]}}, "empty": {},
        "records": [)";
    for (std::size_t i = 0; i < records; ++i) text += R"({"id": 7, "name": "disk", "tags": ["a", 2, false]}, )";
    return text + "[]]}";
}

// The documents a call reads or renders.
struct Inputs {
    explicit Inputs(std::size_t records)
        : object_text(document_text(records)), array_text("[" + object_text + ", 7, \"end\"]") {
        object.parse(object_text);
        array.parse(array_text);
        value.parse(object_text);
    }

    std::string object_text;
    std::string array_text;
    Object object;
    Array array;
    Value value;
};

// The documents a call may change, each holding something of its own first.
struct Targets {
    Targets() : value(Object("old", Value(1))), object("kept", Value("yes")), array(Value("old")) {}

    std::string state() const { return compact(value) + " | " + compact(object) + " | " + compact(array); }

    Value value;
    Object object;
    Array array;
};

std::string answer(bool accepted) { return accepted ? "accepted" : "refused"; }

template <class Document>
std::string streamed(const Document& document) {
    std::ostringstream out;
    out.exceptions(std::ios::badbit);  // so that a failure in the stream's own storage is thrown too
    out << document;
    return out.str();
}

std::string read_text(Targets& t, const std::string& text, Syntax syntax) {
    ReadError error;
    return answer(read(text, t.value, &error, syntax)) + error.reason;
}
std::string read_stream(Targets& t, const std::string& text, Syntax syntax) {
    std::istringstream in(text);
    ReadError error;
    return answer(read(in, t.value, &error, syntax)) + error.reason;
}

// Each document of `text`, written as it is handed over.
std::string read_each_of(const std::string& text) {
    std::istringstream in(text);
    std::string written;
    ReadError error;
    const bool accepted = read_each(
        in,
        [&](Value& document) {
            written += compact(document);
            return true;
        },
        &error);
    return answer(accepted) + error.reason + written;
}

template <class Target>
std::string parsed_from_stream(Target& target, const std::string& text) {
    std::istringstream in(text);
    return answer(target.parse(in));
}

template <Format kFormat>
std::string xml_of_stream(const std::string& text) {
    std::istringstream in(text);
    return xml(in, kFormat);
}

// One entry point: the call, and what a refused call may leave of the
// targets besides what they held (null: nothing else).
struct Row {
    const char* name;
    std::string (*call)(Targets&, const Inputs&);
    void (*may_release)(Targets&) = nullptr;
};

void value_released(Targets& t) { t.value.reset(); }
void object_released(Targets& t) { t.object.reset(); }
void array_released(Targets& t) { t.array.reset(); }

// Reading from a stream releases the target first; reading a text reads it
// into a staged document, and so does `read` from either.
const Row kRows[] = {
    {"Value::parse text", [](Targets& t, const Inputs& in) { return answer(t.value.parse(in.object_text)); }},
    {"Value::parse stream", [](Targets& t, const Inputs& in) { return parsed_from_stream(t.value, in.object_text); },
     value_released},
    {"Object::parse text", [](Targets& t, const Inputs& in) { return answer(t.object.parse(in.object_text)); }},
    {"Object::parse stream", [](Targets& t, const Inputs& in) { return parsed_from_stream(t.object, in.object_text); },
     object_released},
    {"Array::parse text", [](Targets& t, const Inputs& in) { return answer(t.array.parse(in.array_text)); }},
    {"Array::parse stream", [](Targets& t, const Inputs& in) { return parsed_from_stream(t.array, in.array_text); },
     array_released},
    {"validate text", [](Targets&, const Inputs& in) { return answer(validate(in.array_text)); }},
    {"validate stream",
     [](Targets&, const Inputs& in) {
         std::istringstream s(in.array_text);
         return answer(validate(s));
     }},
    {"reformat text", [](Targets&, const Inputs& in) { return reformat(in.object_text); }},
    {"reformat stream",
     [](Targets&, const Inputs& in) {
         std::istringstream s(in.array_text);
         return reformat(s);
     }},
    {"xml text JSONx", [](Targets&, const Inputs& in) { return xml(in.object_text, JSONx); }},
    {"xml text JXML", [](Targets&, const Inputs& in) { return xml(in.array_text, JXML); }},
    {"xml text JXMLex", [](Targets&, const Inputs& in) { return xml(in.object_text, JXMLex); }},
    {"xml text TaggedXML", [](Targets&, const Inputs& in) { return xml(in.array_text, TaggedXML); }},
    {"xml stream JSONx", [](Targets&, const Inputs& in) { return xml_of_stream<JSONx>(in.array_text); }},
    {"xml stream JXML", [](Targets&, const Inputs& in) { return xml_of_stream<JXML>(in.object_text); }},
    {"xml stream JXMLex", [](Targets&, const Inputs& in) { return xml_of_stream<JXMLex>(in.array_text); }},
    {"xml stream TaggedXML", [](Targets&, const Inputs& in) { return xml_of_stream<TaggedXML>(in.object_text); }},
    {"Object::xml JSONx", [](Targets&, const Inputs& in) { return in.object.xml(JSONx, "", ""); }},
    {"Object::xml JXML", [](Targets&, const Inputs& in) { return in.object.xml(JXML, "", ""); }},
    {"Object::xml JXMLex", [](Targets&, const Inputs& in) { return in.object.xml(JXMLex, "", ""); }},
    {"Object::xml TaggedXML", [](Targets&, const Inputs& in) { return in.object.xml(TaggedXML, "", ""); }},
    {"Array::xml JXMLex", [](Targets&, const Inputs& in) { return in.array.xml(JXMLex, "", ""); }},
    {"Object::json", [](Targets&, const Inputs& in) { return in.object.json(); }},
    {"Array::json", [](Targets&, const Inputs& in) { return in.array.json(); }},
    {"operator<< Value", [](Targets&, const Inputs& in) { return streamed(in.value); }},
    {"operator<< Object", [](Targets&, const Inputs& in) { return streamed(in.object); }},
    {"operator<< Array", [](Targets&, const Inputs& in) { return streamed(in.array); }},
    {"Value copy", [](Targets&, const Inputs& in) { return compact(Value(in.value)); }},
    {"Array copy", [](Targets&, const Inputs& in) { return compact(Array(in.array)); }},
    {"Object::operator=",
     [](Targets& t, const Inputs& in) {
         t.object = in.object;
         return std::string();
     }},
    {"Value::import",
     [](Targets& t, const Inputs& in) {
         t.value.import(in.object);
         return std::string();
     }},
    {"Object::import merge",
     [](Targets& t, const Inputs& in) {
         t.object.import(in.object);
         return std::string();
     }},
    {"Array::import append",
     [](Targets& t, const Inputs& in) {
         t.array.import(in.array);
         return std::string();
     }},
    {"Array::import element",
     [](Targets& t, const Inputs& in) {
         t.array << in.value;
         return std::string();
     }},
    {"Object::import replacing a member",
     [](Targets& t, const Inputs& in) {
         t.object.import("kept", in.value);
         return std::string();
     }},
    {"Object::import member",
     [](Targets& t, const Inputs& in) {
         t.object.import("added", in.value);
         return std::string();
     }},
    {"Value::operator=",
     [](Targets& t, const Inputs& in) {
         t.value = in.value;
         return std::string();
     }},
    {"Array::push_back",
     [](Targets& t, const Inputs& in) {
         t.array.push_back(in.value);
         return std::string();
     }},
    {"lists",
     [](Targets&, const Inputs& in) {
         return compact(Array{in.value, Object{{"k", in.array}}});
     }},
    {"operator==", [](Targets&, const Inputs& in) { return answer(in.value == in.value); }},
    {"Object streamed member",
     [](Targets& t, const Inputs& in) {
         t.object << Value("added") << in.object;
         return std::string();
     }},
    {"read text lenient", [](Targets& t, const Inputs& in) { return read_text(t, in.object_text, Syntax::Lenient); }},
    {"read text strict", [](Targets& t, const Inputs& in) { return read_text(t, in.array_text, Syntax::Strict); }},
    {"read stream lenient",
     [](Targets& t, const Inputs& in) { return read_stream(t, in.array_text, Syntax::Lenient); }},
    {"read stream strict", [](Targets& t, const Inputs& in) { return read_stream(t, in.object_text, Syntax::Strict); }},
    {"read_each", [](Targets&, const Inputs& in) { return read_each_of(in.object_text + "\n" + in.array_text); }},
};

// What one run of a row came to. Only flags and counts: the verdict must
// hold no block of its own while the blocks are counted.
struct Run {
    bool refusal_made = false;
    bool threw = false;
    bool answered_right = false;  // when it returned
    bool left_right = false;      // the targets, as success or the rules for a refusal say
    long blocks_left = 0;
};

struct Expected {
    std::string answer;
    std::string success;   // the targets' state after the call
    std::string before;    // ... before it
    std::string released;  // ... or as a refused call may leave them; empty when not allowed
};

Expected expected_of(const Row& row, const Inputs& in) {
    Expected expected;
    Targets t;
    expected.before = t.state();
    expected.answer = row.call(t, in);
    expected.success = t.state();
    if (row.may_release) {
        Targets released;
        row.may_release(released);
        expected.released = released.state();
    }
    return expected;
}

Run run_refusing(const Row& row, const Inputs& in, const Expected& expected, Path path, long refused) {
    Run run;
    const long live_before = g_requests.live;
    {
        Targets t;
        g_requests = {path, 0, refused, false, g_requests.live};
        try {
            const std::string answer = row.call(t, in);
            run.answered_right = answer == expected.answer;
        } catch (const std::bad_alloc&) {
            run.threw = true;
        }
        run.refusal_made = g_requests.refusal_made;
        g_requests.refused = 0;
        const std::string state = t.state();
        run.left_right = run.threw ? state == expected.before || state == expected.released : state == expected.success;
    }
    run.blocks_left = g_requests.live - live_before;
    return run;
}

// Refuses each request of `path` in turn until the row runs with none
// refused; answers how many runs that took.
long refuse_each_request(const Row& row, const Inputs& in, Path path) {
    SCOPED_TRACE(row.name);
    const Expected expected = expected_of(row, in);  // also makes whatever is made once per process
    for (long refused = 1; refused <= kMostRequests; ++refused) {
        SCOPED_TRACE("refusing request " + std::to_string(refused));
        const Run run = run_refusing(row, in, expected, path, refused);
        EXPECT_EQ(run.blocks_left, 0);
        EXPECT_TRUE(run.left_right);
        if (run.threw) {
            EXPECT_TRUE(run.refusal_made) << "bad_alloc with nothing refused";
        } else {
            EXPECT_TRUE(run.answered_right);
            if (!run.refusal_made) return refused;
        }
        if (testing::Test::HasFailure()) return refused;
    }
    ADD_FAILURE() << "still asking for memory after " << kMostRequests << " requests";
    return kMostRequests;
}

// Where a move puts what it takes, built in place so that nothing else is
// made there.
struct Landing {
    std::string state() const {
        return (value ? compact(*value) : "-") + " | " + (object ? compact(*object) : "-") + " | " +
               (array ? compact(*array) : "-");
    }

    std::optional<Value> value;
    std::optional<Object> object;
    std::optional<Array> array;
};

// Moves hand content over: with every request for memory refused they still
// succeed, and those that release nothing ask for none.
TEST(AllocationFailure, MovesNeedNoMemory) {
    const struct {
        const char* name;
        void (*move)(Targets& from, Landing& to);
        bool releases;  // content of the target's own, which may take memory to release
    } moves[] = {
        {"Value(Value&&)", [](Targets& from, Landing& to) { to.value.emplace(std::move(from.value)); }, false},
        {"Value = Value&&", [](Targets& from, Landing& to) { to.value.emplace() = std::move(from.value); }, false},
        {"Value = Value&&, over content",
         [](Targets& from, Landing&) { from.value = std::move(*from.object.find("kept")); }, true},
        {"Value::swap", [](Targets& from, Landing& to) { swap(to.value.emplace(), from.value); }, false},
        {"Object(Object&&)", [](Targets& from, Landing& to) { to.object.emplace(std::move(from.object)); }, false},
        {"Object = Object&&, over content",
         [](Targets& from, Landing&) { from.object = std::move(*from.value.get_if<Object>()); }, true},
        {"Object::swap", [](Targets& from, Landing& to) { swap(to.object.emplace(), from.object); }, false},
        {"Array(Array&&)", [](Targets& from, Landing& to) { to.array.emplace(std::move(from.array)); }, false},
        {"Array = Array&&, over content", [](Targets& from, Landing&) { from.array = Array(); }, true},
        {"Array::swap", [](Targets& from, Landing& to) { swap(to.array.emplace(), from.array); }, false},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.name);
        std::string expected;
        {
            Targets from;
            Landing to;
            m.move(from, to);
            expected = from.state() + " / " + to.state();
        }
        const long live_before = g_requests.live;
        {
            Targets from;
            Landing to;
            g_requests = {Path::Any, 0, Requests::kEveryRequest, false, g_requests.live};
            m.move(from, to);
            const long seen = g_requests.seen;
            g_requests.refused = 0;
            EXPECT_TRUE(m.releases || seen == 0) << seen << " requests";
            EXPECT_EQ(from.state() + " / " + to.state(), expected);
        }
        EXPECT_EQ(g_requests.live, live_before);
    }
}

TEST(AllocationFailure, EveryEntryPointUnderEveryRefusedRequest) {
    const Inputs in(1);
    for (const Row& row : kRows) {
        refuse_each_request(row, in, Path::Any);
        if (testing::Test::HasFailure()) return;
    }
}

// With the node store in the build, a document of thousands of values takes
// fresh slabs; each slab request is refused in turn.
TEST(AllocationFailure, EveryEntryPointUnderEveryRefusedSlab) {
    const Inputs in(kRecordsForSlabs);
    long slab_requests = 0;
    for (const Row& row : kRows) {
        slab_requests += refuse_each_request(row, in, Path::Slabs) - 1;
        if (testing::Test::HasFailure()) return;
        // The first row reads the document, which takes slabs wherever there are any.
        if (slab_requests == 0) GTEST_SKIP() << "document nodes are heap blocks in this build (ZQ_NODE_POOL=OFF)";
    }
}

}  // namespace
