// Concurrent use: the translation tables are built on first use, so the very
// first calls in a process may come from many threads at once; and a document
// that nobody changes may be rendered from many threads. Built with
// ThreadSanitizer (scripts/tsan.sh), any unsynchronised access fails the run;
// in every build, each thread must get what a single thread gets.
//
// ctest runs each test case in a process of its own, so the calls of
// FirstCalls really are the first uses of the library in their process:
// nothing in this file touches it before the threads are released.
#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "TestSupport.h"

using namespace zqjson;
using zqtest::compact;

namespace {

// More threads than cores, so that first calls overlap however the threads
// are scheduled.
constexpr int kThreads = 12;
// Renderings of the shared document per thread.
constexpr int kRounds = 20;

// Keys that every name rule rewrites, text with markup and every kind of
// JSON escape, every kind of value, and empty containers.
const char* const kDocument = R"({
    "plain": "text",
    "a b&c": ["x<y>&z", "quote\" slash/ back\\ tab\t nul\u0000", 1.5, -3, true, false, null, [], {}],
    "1st": {"son": "s", "caf\u00e9": "\u0001", "": [[1], {"k": "v"}]},
    "": "no name"
})";

std::string every_byte() {
    std::string text;
    for (int b = 0; b < 256; ++b) text += static_cast<char>(b);
    return text;
}
const std::string kEveryByte = every_byte();

Object parsed_document() {
    Object document;
    EXPECT_TRUE(document.parse(kDocument));
    return document;
}

// Every entry point that reads a table, through the public interface alone.
using Render = std::string (*)();
const Render kFirstCalls[] = {
    [] { return escape_string(kEveryByte, true); },   [] { return xml(String(kDocument), JSONx); },
    [] { return xml(String(kDocument), JXML); },      [] { return xml(String(kDocument), JXMLex); },
    [] { return xml(String(kDocument), TaggedXML); }, [] { return parsed_document().json(); },
};
constexpr std::size_t kFirstCallCount = std::size(kFirstCalls);

// Holds every thread until all have arrived, so that their work starts as
// close to together as the scheduler allows.
class StartLine {
public:
    void arrive_and_wait() {
        waiting_.fetch_sub(1);
        while (waiting_.load() > 0) std::this_thread::yield();
    }

private:
    std::atomic<int> waiting_{kThreads};
};

// Runs `work(thread_index)` on kThreads threads released together.
template <class Work>
void run_together(Work work) {
    StartLine start;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            work(t);
        });
    for (auto& thread : threads) thread.join();
}

}  // namespace

TEST(FirstCalls, FromManyThreadsAtOnceGiveTheSingleThreadedResults) {
    std::vector<std::vector<std::string>> results(kThreads, std::vector<std::string>(kFirstCallCount));
    // Each thread starts at another entry point, so that different tables
    // are first asked for at the same moment.
    run_together([&](int t) {
        for (std::size_t i = 0; i < kFirstCallCount; ++i) {
            const std::size_t call = (t + i) % kFirstCallCount;
            results[t][call] = kFirstCalls[call]();
        }
    });

    // Only now, with the tables built, the expectations.
    for (std::size_t call = 0; call < kFirstCallCount; ++call) {
        const std::string expected = kFirstCalls[call]();
        for (int t = 0; t < kThreads; ++t) EXPECT_EQ(results[t][call], expected) << "call " << call << ", thread " << t;
    }
}

TEST(SharedDocument, RendersAlikeFromManyThreads) {
    const Object document = parsed_document();
    struct Form {
        const char* name;
        std::string (*render)(const Object&);
    };
    const Form forms[] = {
        {"json", [](const Object& d) { return d.json(); }},
        {"compact", [](const Object& d) { return compact(d); }},
        {"JSONx", [](const Object& d) { return d.xml(JSONx, "", ""); }},
        {"JXML", [](const Object& d) { return d.xml(JXML, "", ""); }},
        {"JXMLex", [](const Object& d) { return d.xml(JXMLex, "", ""); }},
        {"TaggedXML", [](const Object& d) { return d.xml(TaggedXML, "", ""); }},
        {"escape_string", [](const Object&) { return escape_string(kEveryByte, false); }},
    };
    std::vector<std::string> expected;
    for (const Form& form : forms) expected.push_back(form.render(document));

    std::vector<std::vector<std::string>> mismatches(kThreads);
    run_together([&](int t) {
        for (int round = 0; round < kRounds; ++round)
            for (std::size_t f = 0; f < std::size(forms); ++f)
                if (forms[f].render(document) != expected[f]) mismatches[t].push_back(forms[f].name);
    });

    for (int t = 0; t < kThreads; ++t)
        EXPECT_TRUE(mismatches[t].empty()) << "thread " << t << " first differs in " << mismatches[t].front();
}
