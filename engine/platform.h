// What the engine's units share about the machine: the test for AVX2, and fresh memory backed by
// huge pages where the system offers them.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
// Hot loops come also in an AVX2 build, chosen when the processor has it.
#define TAVRIN_AVX2_DISPATCH 1
#endif

namespace tavrin {

#if defined(TAVRIN_AVX2_DISPATCH)
// True when the processor runs AVX2 instructions.
inline bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#endif

// Asks for huge pages behind the whole 2 MB blocks of a large buffer that nothing has touched yet.
// Where page faults are expensive (virtual machines), faulting in a fresh buffer of tens of
// megabytes page by page costs more than filling it; with huge pages it takes one fault per block.
inline void AdviseHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kBlock = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (start + kBlock - 1) & ~(kBlock - 1);
  const std::uintptr_t end = (start + bytes) & ~(kBlock - 1);
  if (end <= begin) return;
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE)
  // The partial blocks at either end cannot be huge pages; faulting them in with one call costs
  // about half as much as page by page.
  constexpr std::uintptr_t kPage = 4096;
  const std::uintptr_t head = start & ~(kPage - 1);
  const std::uintptr_t tail = (start + bytes + kPage - 1) & ~(kPage - 1);
  ::madvise(reinterpret_cast<void*>(head), begin - head, MADV_POPULATE_WRITE);
  ::madvise(reinterpret_cast<void*>(end), tail - end, MADV_POPULATE_WRITE);
#endif
#else
  (void)data;
  (void)bytes;
#endif
}

// Makes room for `n` elements in an empty container (nothing when it has room already), advising
// huge pages for a large one. Throws what the container's reserve throws.
template <class Container>
void ReserveFresh(Container& c, std::size_t n) {
  if (c.capacity() >= n) return;
  c.reserve(n);
  AdviseHugePages(c.data(), c.capacity() * sizeof(*c.data()));
}

}  // namespace tavrin
