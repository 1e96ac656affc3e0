// Nothing else may live in this file: see Heap.h.
#include <cstdlib>

#include "Heap.h"

namespace zqjson::detail::heap {

void* aligned(std::size_t alignment, std::size_t size) noexcept { return std::aligned_alloc(alignment, size); }
void* resized(void* block, std::size_t size) noexcept { return std::realloc(block, size); }
void release(void* block) noexcept { std::free(block); }

}  // namespace zqjson::detail::heap
