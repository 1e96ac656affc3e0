// The node store, and the allocation functions of Value, Array and Object
// that draw on it.
#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <new>
#include <type_traits>

#include "../ZQJson.h"
#include "Heap.h"
#include "NodePool.h"

namespace zqjson {
namespace detail {

// A slab's header sits at its start; its slots follow. Released slots are
// chained through their first bytes.
struct NodePool::Slab {
    Slab* previous;
    Slab* next;
    void* released;
    char* fresh;  // first slot never handed out
    std::size_t live;
    bool listed;

    char* end() { return reinterpret_cast<char*>(this) + kSlabBytes; }
    void empty_out() {
        released = nullptr;
        fresh = reinterpret_cast<char*>(this + 1);
        live = 0;
    }
    bool full(std::size_t slot_size) {
        return released == nullptr && static_cast<std::size_t>(end() - fresh) < slot_size;
    }
    // Slabs are aligned to their size, so a node finds its slab by masking.
    static Slab* of(void* node) {
        return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(node) & ~(std::uintptr_t{kSlabBytes} - 1));
    }
};

namespace {
constexpr int kFree = 0;
constexpr int kHeld = 1;
constexpr int kContended = 2;
// Long enough for a holder on another processor to finish take or give_back.
constexpr int kSpinsBeforeSleep = 100;

static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free,
              "the futex word is the atomic itself");

void sleep_while(std::atomic<int>& word, int value) {
    syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAIT_PRIVATE, value, nullptr, nullptr, 0);
}

void wake_one(std::atomic<int>& word) {
    syscall(SYS_futex, reinterpret_cast<int*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}
}  // namespace

void NodePool::lock() {
    int expected = kFree;
    if (state_.compare_exchange_strong(expected, kHeld, std::memory_order_acquire)) return;
    for (int spin = 0; spin < kSpinsBeforeSleep; ++spin) {
        expected = kFree;
        if (state_.load(std::memory_order_relaxed) == kFree &&
            state_.compare_exchange_weak(expected, kHeld, std::memory_order_acquire))
            return;
    }
    // From here on the word says kContended, so the holder's unlock wakes us.
    while (state_.exchange(kContended, std::memory_order_acquire) != kFree) sleep_while(state_, kContended);
}

void NodePool::unlock() {
    if (state_.exchange(kFree, std::memory_order_release) == kContended) wake_one(state_);
}

void* NodePool::take() {
    std::lock_guard<NodePool> guard(*this);
    return take_held(with_room_ ? with_room_ : open_slab());
}

// Opens a slab only for the first slot, so that a failure leaves nothing
// taken.
std::size_t NodePool::take_some(void** slots, std::size_t count) {
    std::lock_guard<NodePool> guard(*this);
    std::size_t taken = 0;
    slots[taken++] = take_held(with_room_ ? with_room_ : open_slab());
    while (taken < count && with_room_) slots[taken++] = take_held(with_room_);
    return taken;
}

void NodePool::give_back(void* node) noexcept {
    std::lock_guard<NodePool> guard(*this);
    give_back_held(node);
}

void NodePool::give_back_all(void* const* nodes, std::size_t count) noexcept {
    std::lock_guard<NodePool> guard(*this);
    for (std::size_t i = 0; i < count; ++i) give_back_held(nodes[i]);
}

// The lock is held by the caller.
void* NodePool::take_held(Slab* slab) {
    void* node;
    if (slab->released) {
        node = slab->released;
        slab->released = *static_cast<void**>(node);
    } else {
        node = slab->fresh;
        slab->fresh += slot_size_;
    }
    ++slab->live;
    if (slab->full(slot_size_)) unlist(slab);
    return node;
}

void NodePool::give_back_held(void* node) noexcept {
    Slab* slab = Slab::of(node);
    *static_cast<void**>(node) = slab->released;
    slab->released = node;
    if (--slab->live == 0) {
        retire(slab);
        return;
    }
    if (!slab->listed) list(slab);
}

std::size_t NodePool::slabs() {
    std::lock_guard<NodePool> guard(*this);
    return slabs_;
}

NodePool::Slab* NodePool::open_slab() {
    Slab* slab = spare_;
    if (slab) {
        spare_ = nullptr;
    } else {
        slab = static_cast<Slab*>(heap::aligned(kSlabBytes, kSlabBytes));
        if (!slab) throw std::bad_alloc();
        ++slabs_;
        slab->listed = false;
        slab->empty_out();
    }
    list(slab);
    return slab;
}

void NodePool::list(Slab* slab) {
    slab->previous = nullptr;
    slab->next = with_room_;
    if (with_room_) with_room_->previous = slab;
    with_room_ = slab;
    slab->listed = true;
}

void NodePool::unlist(Slab* slab) {
    if (slab->previous)
        slab->previous->next = slab->next;
    else
        with_room_ = slab->next;
    if (slab->next) slab->next->previous = slab->previous;
    slab->listed = false;
}

void NodePool::retire(Slab* slab) {
    if (slab->listed) unlist(slab);
    if (spare_) {
        heap::release(slab);
        --slabs_;
        return;
    }
    slab->empty_out();
    spare_ = slab;
}

namespace {

// Nothing runs at exit (see the class).
static_assert(std::is_trivially_destructible_v<NodePool>);

#if ZQ_NODE_POOL
template <class T>
NodePool nodes{sizeof(T)};

// A fork while another thread holds a pool would leave the child's copy
// held for good, and the child's first node waiting forever: the forking
// thread holds every pool across the fork, as the C library does its heap.
void hold_pools() {
    nodes<Value>.lock();
    nodes<Array>.lock();
    nodes<Object>.lock();
}
void release_pools() {
    nodes<Object>.unlock();
    nodes<Array>.unlock();
    nodes<Value>.unlock();
}
[[maybe_unused]] const int fork_handlers = pthread_atfork(hold_pools, release_pools, release_pools);

// Anything but a node of the class itself (none derives from these) takes
// the general heap.
template <class T>
void* allocate(std::size_t size) {
    static_assert(alignof(T) <= alignof(void*), "slots are aligned for pointers");
    return size == sizeof(T) ? nodes<T>.take() : ::operator new(size);
}
template <class T>
void deallocate(void* node, std::size_t size) {
    if (size == sizeof(T))
        nodes<T>.give_back(node);
    else
        ::operator delete(node);
}
#else
// Checkers see every node as its own heap block.
template <class T>
void* allocate(std::size_t size) {
    return ::operator new(size);
}
template <class T>
void deallocate(void* node, std::size_t) {
    ::operator delete(node);
}
#endif

}  // namespace

#if ZQ_NODE_POOL
template <class T>
std::size_t take_nodes(void** slots, std::size_t count) {
    return nodes<T>.take_some(slots, count);
}
template <class T>
void give_back_nodes(void* const* batch, std::size_t count) noexcept {
    nodes<T>.give_back_all(batch, count);
}
#else
template <class T>
std::size_t take_nodes(void** slots, std::size_t) {
    slots[0] = ::operator new(sizeof(T));
    return 1;
}
template <class T>
void give_back_nodes(void* const* batch, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) ::operator delete(batch[i]);
}
#endif
template std::size_t take_nodes<Value>(void**, std::size_t);
template std::size_t take_nodes<Array>(void**, std::size_t);
template std::size_t take_nodes<Object>(void**, std::size_t);
template void give_back_nodes<Value>(void* const*, std::size_t) noexcept;
template void give_back_nodes<Array>(void* const*, std::size_t) noexcept;
template void give_back_nodes<Object>(void* const*, std::size_t) noexcept;
}  // namespace detail

void* Value::operator new(std::size_t size) { return detail::allocate<Value>(size); }
void Value::operator delete(void* node, std::size_t size) noexcept { detail::deallocate<Value>(node, size); }
void* Array::operator new(std::size_t size) { return detail::allocate<Array>(size); }
void Array::operator delete(void* node, std::size_t size) noexcept { detail::deallocate<Array>(node, size); }
void* Object::operator new(std::size_t size) { return detail::allocate<Object>(size); }
void Object::operator delete(void* node, std::size_t size) noexcept { detail::deallocate<Object>(node, size); }

}  // namespace zqjson
