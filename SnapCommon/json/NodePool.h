// The store that Values, Arrays and Objects are allocated from. Internal.
#ifndef ZQ_JSON_NODE_POOL_H
#define ZQ_JSON_NODE_POOL_H

#include <atomic>
#include <cstddef>
#include <new>
#include <utility>

namespace zqjson::detail {

// Slots of one size carved from large aligned slabs. A document is mostly
// small nodes made one by one and released together; here each costs a lock
// and a few stores, with no per-node header, where the general heap pays for
// size classes and bookkeeping on every one. A slab goes back to the heap as
// soon as its last slot is released (one empty slab is kept, so that a node
// made and released in turn does not allocate a slab each time), so a
// released document returns its memory. Any thread may take and release.
// A pool lives as long as the process: it has nothing to run at exit, so that
// nodes released by static destructors still find it.
class NodePool {
public:
    // Large enough that slab allocations are rare, small enough that a slab
    // kept by a few long-lived nodes holds little.
    static constexpr std::size_t kSlabBytes = 64 * 1024;

    explicit constexpr NodePool(std::size_t slot_size) : slot_size_(round_up(slot_size)) {}
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;

    // Throws std::bad_alloc when no slab can be had.
    void* take();
    // As `take`, up to `count` slots under one lock, into `slots`: answers
    // how many, at least one.
    std::size_t take_some(void** slots, std::size_t count);
    // `node` must come from `take` or `take_some` of this pool.
    void give_back(void* node) noexcept;
    // As `give_back` of each of the `count` nodes, under one lock.
    void give_back_all(void* const* nodes, std::size_t count) noexcept;

    // Slabs held, the empty one kept included.
    std::size_t slabs();

    // Held for a few dozen instructions by `take` and `give_back`, and by the
    // forking thread around a fork, so that no other thread holds it when
    // the child's copy is made. Uncontended it costs one atomic exchange; a
    // waiter spins a little, then sleeps in the kernel, so that a waiter of
    // higher priority never starves a holder preempted on its own processor.
    void lock();
    void unlock();

private:
    struct Slab;

    static constexpr std::size_t round_up(std::size_t size) {
        constexpr std::size_t kGrain = alignof(void*);
        return size < kGrain ? kGrain : (size + kGrain - 1) / kGrain * kGrain;
    }
    void* take_held(Slab* slab);
    void give_back_held(void* node) noexcept;
    Slab* open_slab();
    void list(Slab* slab);
    void unlist(Slab* slab);
    void retire(Slab* slab);

    // kFree, kHeld, or kContended: held with a sleeper that unlock must wake.
    std::atomic<int> state_{0};
    const std::size_t slot_size_;
    Slab* with_room_ = nullptr;  // slabs with a free slot, most recently freed into first
    Slab* spare_ = nullptr;      // the empty slab kept
    std::size_t slabs_ = 0;
};

// The store of the node class T (Value, Array or Object) in batches, for
// code that makes or releases many nodes in a row: slots as `take_some`
// takes them, and nodes given back as `give_back_all` does. Where nodes are
// each their own heap block, one slot a time.
template <class T>
std::size_t take_nodes(void** slots, std::size_t count);
// Nodes per batch: enough that the lock is rare, few enough that the slots a
// reserve holds unused are nothing.
constexpr std::size_t kNodeBatch = 32;
template <class T>
void give_back_nodes(void* const* nodes, std::size_t count) noexcept;

// Slots for nodes of class T taken a batch at a time, so that making a
// document costs one lock of the store per batch rather than per node. The
// slots are used in the order taken, which for fresh slots is the order of
// their addresses: a document's nodes then lie in memory in the order it
// was made, and walking it reads memory forward, which the processor
// prefetches. Nodes made here are released as any other, with delete; the
// slots left go back when the reserve ends.
template <class T>
class NodeReserve {
public:
    NodeReserve() = default;
    NodeReserve(const NodeReserve&) = delete;
    NodeReserve& operator=(const NodeReserve&) = delete;
    ~NodeReserve() {
        if (next_ < taken_) give_back_nodes<T>(slots_ + next_, taken_ - next_);
    }

    template <class... Args>
    T* make(Args&&... args) {
        if (next_ == taken_) taken_ = take_nodes<T>(slots_, kNodeBatch), next_ = 0;
        T* const node = ::new (slots_[next_]) T(std::forward<Args>(args)...);
        ++next_;  // a constructor that throws leaves its slot in the reserve
        return node;
    }

private:
    void* slots_[kNodeBatch];
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
};

// Nodes of class T destroyed one by one and their memory given back a batch
// at a time, for the release of a whole document.
template <class T>
class NodeReturns {
public:
    NodeReturns() = default;
    NodeReturns(const NodeReturns&) = delete;
    NodeReturns& operator=(const NodeReturns&) = delete;
    ~NodeReturns() { flush(); }

    void release(T* node) noexcept {
        node->~T();
        pending_[count_++] = node;
        if (count_ == kNodeBatch) flush();
    }

private:
    void flush() noexcept {
        if (count_ > 0) give_back_nodes<T>(pending_, count_);
        count_ = 0;
    }

    void* pending_[kNodeBatch];
    std::size_t count_ = 0;
};

}  // namespace zqjson::detail

#endif
