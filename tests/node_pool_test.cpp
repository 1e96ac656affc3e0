// The node store: slots never overlap, released slots are reused, a slab
// returns to the heap once its last slot is released, and nodes may be
// released on another thread than the one that took them (run under
// ThreadSanitizer by scripts/tsan.sh).
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/NodePool.h"

using zqjson::detail::NodePool;

// A pool lives as long as the process, as the library's own do: the test
// pools are static, so that the empty slab each keeps is not a leak.
namespace {

constexpr std::size_t kSlot = 24;
// Enough slots to need several slabs.
constexpr std::size_t kManySlots = 3 * NodePool::kSlabBytes / kSlot;

std::vector<char*> take(NodePool& pool, std::size_t count) {
    std::vector<char*> nodes;
    for (std::size_t i = 0; i < count; ++i) nodes.push_back(static_cast<char*>(pool.take()));
    return nodes;
}

}  // namespace

TEST(NodePool, SlotsAreAlignedAndDisjoint) {
    static NodePool pool(kSlot);
    std::vector<char*> nodes = take(pool, kManySlots);
    for (std::size_t i = 0; i < nodes.size(); ++i) std::memset(nodes[i], static_cast<int>(i), kSlot);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(nodes[i]) % alignof(void*), 0u);
        EXPECT_EQ(nodes[i][0], static_cast<char>(i));
        EXPECT_EQ(nodes[i][kSlot - 1], static_cast<char>(i));
    }
    std::sort(nodes.begin(), nodes.end());
    for (std::size_t i = 1; i < nodes.size(); ++i)
        EXPECT_GE(nodes[i] - nodes[i - 1], static_cast<std::ptrdiff_t>(kSlot));
    for (char* node : nodes) pool.give_back(node);
}

TEST(NodePool, ReleasedSlotsAreReusedAndEmptySlabsReturned) {
    static NodePool pool(kSlot);
    std::vector<char*> nodes = take(pool, kManySlots);
    const std::size_t slabs = pool.slabs();
    EXPECT_GE(slabs, 3u);

    // Every other node released and taken again: no new slab.
    for (std::size_t i = 0; i < nodes.size(); i += 2) pool.give_back(nodes[i]);
    for (std::size_t i = 0; i < nodes.size(); i += 2) nodes[i] = static_cast<char*>(pool.take());
    EXPECT_EQ(pool.slabs(), slabs);

    // All released: one empty slab is kept, the rest go back to the heap.
    for (char* node : nodes) pool.give_back(node);
    EXPECT_EQ(pool.slabs(), 1u);

    // A node made and released in turn lives in the kept slab.
    for (int i = 0; i < 1000; ++i) pool.give_back(pool.take());
    EXPECT_EQ(pool.slabs(), 1u);
}

// Batches take what single takes would, each slot once, and give back as
// single releases do.
TEST(NodePool, BatchesActAsSingles) {
    static NodePool pool(kSlot);
    std::vector<void*> slots(kManySlots);
    for (std::size_t taken = 0; taken < slots.size();)
        taken += pool.take_some(slots.data() + taken, std::min<std::size_t>(100, slots.size() - taken));
    EXPECT_GE(pool.slabs(), 3u);
    std::vector<void*> sorted = slots;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    pool.give_back_all(slots.data(), slots.size());
    EXPECT_EQ(pool.slabs(), 1u);
}

TEST(NodePool, NodesMayBeReleasedOnAnotherThread) {
    static NodePool pool(kSlot);
    constexpr int kThreads = 8;
    constexpr std::size_t kPerThread = 20000;
    // Each thread takes its batch, then releases the batch of its neighbour.
    std::vector<std::vector<char*>> batches(kThreads);
    auto run_all = [&](const std::function<void(int)>& work) {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
        for (std::thread& thread : threads) thread.join();
    };
    run_all([&](int t) {
        batches[t] = take(pool, kPerThread);
        for (char* node : batches[t]) std::memset(node, t, kSlot);
    });
    run_all([&](int t) {
        const int other = (t + 1) % kThreads;
        for (char* node : batches[other]) {
            EXPECT_EQ(node[kSlot - 1], static_cast<char>(other));
            pool.give_back(node);
        }
    });
    EXPECT_EQ(pool.slabs(), 1u);
}

// Documents built on one thread and destroyed on others, through the public
// classes, whose nodes come from the library's own pools.
TEST(NodePool, DocumentsMoveBetweenThreads) {
    constexpr int kThreads = 6;
    std::vector<zqjson::Object*> documents(kThreads);
    std::vector<std::thread> builders;
    for (int t = 0; t < kThreads; ++t)
        builders.emplace_back([&documents, t] {
            auto* document = new zqjson::Object;
            ASSERT_TRUE(document->parse(R"({"list": [1, [2, {"k": "v"}], 3], "n": null})"));
            documents[t] = document;
        });
    for (std::thread& thread : builders) thread.join();
    std::vector<std::thread> destroyers;
    for (int t = 0; t < kThreads; ++t)
        destroyers.emplace_back([&documents, t] {
            zqjson::Object* document = documents[(t + 1) % kThreads];
            EXPECT_EQ(document->size(), 2u);
            delete document;
        });
    for (std::thread& thread : destroyers) thread.join();
}

// A fork while other threads make and release nodes: the child can still
// make nodes. A child stuck on a pool held by a thread it does not have dies
// of its alarm. The child answers through a pipe and then ends at once: a
// memory checker would otherwise spend seconds on its exit, and count the
// other threads' nodes, which it holds without their threads, as lost.
TEST(NodePool, ChildOfAForkCanMakeNodes) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> churners;
    for (int t = 0; t < 3; ++t)
        churners.emplace_back([&stop] {
            while (!stop) {
                zqjson::Array a;
                a << zqjson::Value(zqjson::Number(1)) << zqjson::Value(zqjson::Object());
            }
        });
    for (int i = 0; i < 50 && !HasFailure(); ++i) {
        int answer[2];
        ASSERT_EQ(pipe(answer), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(10);
            zqjson::Array a;
            a << zqjson::Value(zqjson::Number(2)) << zqjson::Value(zqjson::Array());
            const char made = a.size() == 2 ? 'y' : 'n';
            if (write(answer[1], &made, 1) == 1) kill(getpid(), SIGKILL);
            _exit(1);
        }
        close(answer[1]);
        char made = 0;
        EXPECT_EQ(read(answer[0], &made, 1), 1) << "child of fork " << i << " made no nodes";
        EXPECT_EQ(made, 'y');
        close(answer[0]);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
    }
    stop = true;
    for (std::thread& thread : churners) thread.join();
}

// A waiter at real-time priority on the holder's own processor must sleep,
// or the holder never runs again to release the lock.
TEST(NodePool, RealTimeWaiterLetsPreemptedHolderFinish) {
    static NodePool pool(kSlot);
    cpu_set_t one_cpu;
    CPU_ZERO(&one_cpu);
    CPU_SET(sched_getcpu(), &one_cpu);
    std::atomic<bool> waiter_ready{false};
    std::atomic<bool> waiter_done{false};
    std::atomic<bool> priority_refused{false};
    pool.lock();
    std::thread waiter([&] {
        sched_param fifo{};
        fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
        if (pthread_setaffinity_np(pthread_self(), sizeof one_cpu, &one_cpu) != 0 ||
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) != 0) {
            priority_refused = true;
            waiter_ready = true;
            return;
        }
        waiter_ready = true;
        pool.lock();
        pool.unlock();
        waiter_done = true;
    });
    ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one_cpu, &one_cpu), 0);
    while (!waiter_ready) std::this_thread::yield();
    pool.unlock();
    waiter.join();
    if (priority_refused) GTEST_SKIP() << "cannot raise a thread to SCHED_FIFO here";
    EXPECT_TRUE(waiter_done);
}
