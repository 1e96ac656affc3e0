// The store that Values, Arrays and Objects are allocated from. Internal.
#ifndef ZQ_JSON_NODE_POOL_H
#define ZQ_JSON_NODE_POOL_H

#include <atomic>
#include <cstddef>

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
    // `node` must come from `take` of this pool.
    void give_back(void* node) noexcept;

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

}  // namespace zqjson::detail

#endif
