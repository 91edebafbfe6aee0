// 32-bit Windows: the C heap aligns its blocks to 8 bytes, while the compiler takes every block from
// operator new to be aligned to 16 and reads the engine's two-lane filter states with SSE2
// instructions that fault on anything less. The module's own allocations therefore come from the
// aligned heap. Other targets' heaps already align to 16; this file is only built for 32-bit Windows.
#if defined(_WIN32) && defined(__i386__)

#include <malloc.h>

#include <cstddef>
#include <new>

namespace {

constexpr std::size_t kHeapAlignment = 16;

void* Allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = _aligned_malloc(size, kHeapAlignment)) return block;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateNoThrow(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void operator delete(void* block) noexcept { _aligned_free(block); }
void operator delete[](void* block) noexcept { _aligned_free(block); }
void operator delete(void* block, std::size_t) noexcept { _aligned_free(block); }
void operator delete[](void* block, std::size_t) noexcept { _aligned_free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { _aligned_free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { _aligned_free(block); }

#endif
