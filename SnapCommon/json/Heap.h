// The raw memory the library takes from the C heap: the node store's slabs
// and the output buffer's storage. Internal.
//
// Defined out of line in Heap.cpp, alone: a program linked with the static
// library may define these three itself and so see, or refuse, every such
// request (the allocation-failure tests do). In the library they cost what
// the C library's own calls cost.
#ifndef ZQ_JSON_HEAP_H
#define ZQ_JSON_HEAP_H

#include <cstddef>

namespace zqjson::detail::heap {

// As std::aligned_alloc, std::realloc and std::free.
void* aligned(std::size_t alignment, std::size_t size) noexcept;
void* resized(void* block, std::size_t size) noexcept;
void release(void* block) noexcept;

}  // namespace zqjson::detail::heap

#endif
