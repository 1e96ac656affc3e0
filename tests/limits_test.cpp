// Documents at the limits: nested to the parser's bound on a small thread
// stack, built through the API far deeper than the parser reads, and large
// enough that memory use must stay proportional to the input.
#include <gtest/gtest.h>
#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/ModelAccess.h"
#include "TestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZQ_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZQ_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(__SANITIZE_THREAD__)
#define ZQ_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZQ_THREAD_SANITIZER 1
#endif
#endif

#ifdef ZQ_ADDRESS_SANITIZER
// Gives the allocator's free memory, quarantine included, back to the system.
extern "C" void __sanitizer_purge_allocator();
#endif

namespace {

using namespace zqjson;
using zqtest::compact;

#ifdef ZQ_ADDRESS_SANITIZER
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// ThreadSanitizer's frames and shadow memory dwarf what the stack and memory
// tests measure; that build is there to find races.
#ifdef ZQ_THREAD_SANITIZER
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// The cross build runs the tests under an emulator, which it names here.
constexpr bool kEmulated = sizeof(ZQ_EMULATOR) > 1;

constexpr Format kXmlFormats[] = {JSONx, JXML, JXMLex, TaggedXML};

// Objects and arrays in turn, `depth` of them, around a string, written as
// the compact output writes them.
std::string nested_mixed(std::size_t depth) {
    std::string open;
    std::string close;
    for (std::size_t level = 0; level < depth; ++level) {
        open += level % 2 == 0 ? "{\"k\": " : "[1, ";
        close += level % 2 == 0 ? '}' : ']';
    }
    return open + "\"x\"" + std::string(close.rbegin(), close.rend());
}

// ---------------------------------------------------------------------------
// At the bound, on a small stack

// A worker thread's stack as hosts commonly size it. Reading goes deepest:
// at the bound the optimised build needs about 150 KiB of it on x86-64 and
// 330 KiB on ppc64; AddressSanitizer's frames need about 768 KiB.
constexpr std::size_t kSmallStack = 512 * 1024;

// Runs `work` to its end on a thread of its own with a stack of `bytes`
// (std::thread cannot set the stack size).
template <class Work>
void run_on_stack(std::size_t bytes, Work& work) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    const auto start = [](void* argument) -> void* {
        (*static_cast<Work*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, start, &work), 0);
    EXPECT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
}

// What the thread saw, checked on the main thread.
struct AtTheBound {
    bool read_text = false;
    bool read_stream = false;
    std::string compact;         // of a copy of the document read from text
    std::string stream_compact;  // of the document read from the stream
    bool indented_reads_back = false;
    bool reformat_is_indented = false;
    bool write_matches = false;  // write() of every format, against json() and xml()
    std::size_t xml_with_innermost = 0;
};

TEST(Limits, DocumentAtTheBoundOnASmallStack) {
    if (kAddressSanitizer || kThreadSanitizer)
        GTEST_SKIP() << "a sanitizer's frames need more than " << kSmallStack << " bytes of stack at this depth";
    const std::string text = nested_mixed(kMaxDepth);
    AtTheBound seen;
    auto work = [&] {
        Value document;
        seen.read_text = document.parse(text);
        std::istringstream in(text);
        Value from_stream;
        seen.read_stream = from_stream.parse(in);
        if (!seen.read_text || !seen.read_stream) return;
        seen.stream_compact = compact(from_stream);
        const Value copy(document);
        seen.compact = compact(copy);
        const Object& object = copy.get<Object>();
        const std::string indented = object.json();
        seen.indented_reads_back = validate(indented);
        seen.reformat_is_indented = reformat(text) == indented;
        seen.write_matches = object.write(JSON) == indented;
        for (Format format : kXmlFormats) {
            const std::string xml = object.xml(format, "", "");
            seen.write_matches = seen.write_matches && object.write(format) == xml;
            seen.xml_with_innermost += xml.find(">x<") != std::string::npos;
        }
    };
    run_on_stack(kSmallStack, work);
    EXPECT_TRUE(seen.read_text);
    EXPECT_TRUE(seen.read_stream);
    EXPECT_EQ(seen.compact, text);
    EXPECT_EQ(seen.stream_compact, text);
    EXPECT_TRUE(seen.indented_reads_back);
    EXPECT_TRUE(seen.reformat_is_indented);
    EXPECT_TRUE(seen.write_matches);
    EXPECT_EQ(seen.xml_with_innermost, std::size(kXmlFormats));
}

// ---------------------------------------------------------------------------
// Far beyond the bound, through the API

// Ten times the bound: copying, compact output and freeing recurse once per
// level, and must still fit the main thread's stack with room to spare, also
// under AddressSanitizer.
constexpr std::size_t kApiDepth = 5000;

enum class Shape { Objects, Arrays, Mixed };

bool is_array_level(Shape shape, std::size_t level) {
    return shape == Shape::Arrays || (shape == Shape::Mixed && level % 2 == 1);
}

// Adds an empty container of the right kind for `level` inside `parent` and
// returns it, so that building costs the same at every level.
Value& add_level(Value& parent, Shape shape, std::size_t level) {
    const Value child = is_array_level(shape, level) ? Value(Array()) : Value(Object());
    if (parent.is<Array>()) {
        auto& array = const_cast<Array&>(parent.get<Array>());
        array.import(child);
        return *array.values().back();
    }
    auto& object = const_cast<Object&>(parent.get<Object>());
    object.import("k", child);
    return *object.kv_map().at("k");
}

Value build_deep(Shape shape) {
    Value root = is_array_level(shape, 0) ? Value(Array()) : Value(Object());
    Value* level = &root;
    for (std::size_t d = 1; d < kApiDepth; ++d) level = &add_level(*level, shape, d);
    return root;
}

// The compact text of build_deep(shape).
std::string deep_compact(Shape shape) {
    std::string open;
    std::string close;
    for (std::size_t level = 0; level < kApiDepth; ++level) {
        const bool array = is_array_level(shape, level);
        if (level + 1 < kApiDepth) open += array ? "[" : "{\"k\": ";
        close += array ? ']' : '}';
    }
    const std::string innermost = is_array_level(shape, kApiDepth - 1) ? "[" : "{";
    return open + innermost + std::string(close.rbegin(), close.rend());
}

template <class Container>
void expect_renders_every_level(const Container& container) {
    const std::string indented = container.json();
    // Each level opens on a line of its own and closes on another.
    EXPECT_EQ(std::count(indented.begin(), indented.end(), '\n'), static_cast<std::ptrdiff_t>(2 * kApiDepth));
    // At least one tag for each level.
    for (Format format : kXmlFormats) {
        const std::string xml = container.xml(format, "", "");
        EXPECT_GE(std::count(xml.begin(), xml.end(), '<'), static_cast<std::ptrdiff_t>(kApiDepth)) << format;
    }
}

TEST(Limits, DocumentsBuiltFarBeyondTheBound) {
    for (Shape shape : {Shape::Objects, Shape::Arrays, Shape::Mixed}) {
        SCOPED_TRACE(static_cast<int>(shape));
        Value document = build_deep(shape);
        const Value copy(document);
        const std::string expected = deep_compact(shape);
        EXPECT_EQ(compact(document), expected);
        EXPECT_EQ(compact(copy), expected);
        if (copy.is<Object>()) {
            const Object& object = copy.get<Object>();
            expect_renders_every_level(object);
            EXPECT_EQ(object.write(JSON), object.json());
            for (Format format : kXmlFormats) EXPECT_EQ(object.write(format), object.xml(format, "", ""));
        } else {
            expect_renders_every_level(copy.get<Array>());
        }
        document.reset();
        EXPECT_EQ(compact(copy), expected);
    }
}

// ---------------------------------------------------------------------------
// Large

// Under AddressSanitizer each byte costs about seven times as much, under the
// emulator ten times or more: a tenth of the document keeps the test within
// seconds there.
constexpr std::size_t kLargeDocumentBytes = kAddressSanitizer || kEmulated ? 10 << 20 : 100 << 20;
constexpr std::size_t kWarmUpBytes = 1 << 20;

// Resident memory per byte of input: the peak while the document, its text
// and both renderings are alive, and what may stay once all is freed (the
// allocator's bookkeeping and what it keeps for reuse). Measured for this
// document: 10.5 and 0.00 natively. Under AddressSanitizer (23.5 and 1.4) every
// small allocation has redzones, freed memory waits in a quarantine and
// shadow memory tracks it all. The emulator's resident size (12.0 and 0.6)
// is its own: it includes the code it translated, and it keeps heap pages
// that the allocator hands back.
struct MemoryBounds {
    double peak;
    double left;
};
constexpr MemoryBounds kMemoryPerInputByte = kAddressSanitizer ? MemoryBounds{32, 3}
                                             : kEmulated       ? MemoryBounds{16, 1}
                                                               : MemoryBounds{14, 0.25};

// One field of /proc/self/status, in bytes.
std::size_t status_bytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stoul(line.substr(field.size() + 1)) * 1024;
    ADD_FAILURE() << field << " is not in /proc/self/status";
    return 0;
}

// The peak so far becomes the current resident size, so that the peak later
// read belongs to this test alone.
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void release_free_memory() {
#ifdef ZQ_ADDRESS_SANITIZER
    __sanitizer_purge_allocator();
#else
    malloc_trim(0);
#endif
}

// An array of objects with strings and numbers, about `bytes` long, in the
// compact output form (keys in order, numbers exact at default precision), so
// that the compact rendering must give it back byte for byte.
std::string large_document(std::size_t bytes, std::size_t& items) {
    std::string text = "[";
    char item[256];
    for (items = 0; text.size() < bytes; ++items) {
        const int size =
            std::snprintf(item, sizeof item,
                          "%s{\"id\": %zu, \"in_stock\": %s, \"name\": \"item %zu\", \"note\": \"a longer text, as a "
                          "description of item %zu would be\", \"price\": %zu.25}",
                          items == 0 ? "" : ", ", items, items % 2 == 0 ? "true" : "false", items, items, items % 997);
        text.append(item, static_cast<std::size_t>(size));
    }
    return text + "]";
}

std::size_t growth(std::size_t after, std::size_t before) { return after - std::min(after, before); }

// Generates a document of about `bytes`, reads it, writes it in both JSON
// forms while it is alive, and frees it all; returns the size of its text.
std::size_t read_and_write_large(std::size_t bytes) {
    std::size_t items = 0;
    const std::string text = large_document(bytes, items);
    Array document;
    EXPECT_TRUE(document.parse(text));
    EXPECT_EQ(document.size(), items);
    const std::string indented = document.json();
    EXPECT_EQ(indented.substr(0, 4), "[\n\t{");
    std::ostringstream out;
    out << document;
    EXPECT_TRUE(out.str() == text) << "compact output differs from the input";
    return text.size();
}

// `levels` arrays, each the only element of the one around it, built from
// the inside out without a copy per level.
std::unique_ptr<Array> nested_arrays(std::size_t levels) {
    auto root = std::make_unique<Array>();
    for (std::size_t i = 1; i < levels; ++i) {
        auto outer = std::make_unique<Array>();
        auto slot = std::make_unique<Value>();
        zqjson::detail::ModelAccess::adopt(*slot, root.release());
        zqjson::detail::ModelAccess::elements(*outer).push_back(slot.release());
        root = std::move(outer);
    }
    return root;
}

// Copying, comparing, compact output and destruction take no stack per
// level: a million levels go on a thread with the common 8 MiB stack.
TEST(Limits, MillionLevelsCopyWriteAndGoOnAnOrdinaryStack) {
    constexpr std::size_t kLevels = 1000000;
    std::size_t written = 0;
    bool equal_copy = false, differs_at_the_bottom = true;
    auto work = [&] {
        auto root = nested_arrays(kLevels + 1);
        Array copy(*root);
        equal_copy = copy == *root;
        Array* innermost = &copy;
        while (!innermost->empty()) innermost = &(*innermost)[0].get<Array>();
        innermost->push_back(Null());
        differs_at_the_bottom = copy != *root;
        innermost->erase(0);
        root.reset();
        std::ostringstream out;
        out << copy;
        written = out.str().size();
    };
    run_on_stack(8 << 20, work);
    EXPECT_TRUE(equal_copy);
    EXPECT_TRUE(differs_at_the_bottom);
    EXPECT_EQ(written, 2 * (kLevels + 1));
}

// Indented JSON and XML grow with the square of the depth by their format
// (a line's indentation is its depth); at 10,000 levels they still render,
// text exactly as the format says, on an ordinary stack.
TEST(Limits, TenThousandLevelsRenderIndentedAndAsXml) {
    constexpr std::size_t kLevels = 10000;
    std::string expected_json, expected_xml;
    for (std::size_t depth = 0; depth < kLevels; ++depth) expected_json += std::string(depth, '\t') + "[\n";
    expected_json += std::string(kLevels - 1, '\t') + "]";
    for (std::size_t depth = kLevels - 1; depth-- > 0;) expected_json += " \n" + std::string(depth, '\t') + "]";
    expected_json += " \n";
    // Each array element sits in a wrapper of its own; the innermost array,
    // empty, writes nothing.
    for (std::size_t depth = 0; depth + 1 < kLevels; ++depth)
        expected_xml += std::string(depth, '\t') + "<JsonArray>\n";
    for (std::size_t depth = kLevels - 1; depth-- > 0;)
        expected_xml += "\n" + std::string(depth, '\t') + "</JsonArray>\n";

    bool json_as_expected = false, xml_as_expected = false;
    auto render = [&] {
        const auto root = nested_arrays(kLevels);
        json_as_expected = root->json() == expected_json;
        const std::string xml = root->xml(JSONx, "", "");
        xml_as_expected = xml.substr(xml.find('\n') + 1) == expected_xml;
    };
    run_on_stack(8 << 20, render);
    EXPECT_TRUE(json_as_expected);
    EXPECT_TRUE(xml_as_expected);
}

TEST(Limits, LargeDocumentUsesMemoryInProportion) {
    if (kThreadSanitizer) GTEST_SKIP() << "ThreadSanitizer's shadow memory is not the document's";
    // A small round first: what is set up once (the allocator's arenas, and
    // the code an emulator translates) is not the document's.
    read_and_write_large(kWarmUpBytes);
    release_free_memory();
    const std::size_t start = status_bytes("VmRSS");
    reset_peak();
    const std::size_t input_bytes = read_and_write_large(kLargeDocumentBytes);
    const std::size_t peak = growth(status_bytes("VmHWM"), start);
    EXPECT_LE(peak, kMemoryPerInputByte.peak * input_bytes)
        << "peak " << double(peak) / input_bytes << " bytes per input byte";
    release_free_memory();
    const std::size_t left = growth(status_bytes("VmRSS"), start);
    EXPECT_LE(left, kMemoryPerInputByte.left * input_bytes)
        << "left " << double(left) / input_bytes << " bytes per input byte";
}

}  // namespace
