#include "platform/memory.h"

#include <cstdint>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <unistd.h>

void populatePages(const void *address, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
  if (!address || bytes == 0)
    return;
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(address) & ~(page - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(address) + bytes;
  // Fails harmlessly on kernels before 5.14 or on mappings it does not cover.
  madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)address;
  (void)bytes;
#endif
}

void keepLargeBuffersSeparate() {
#if defined(__GLIBC__)
  static const bool done = mallopt(M_MMAP_THRESHOLD, 1 << 20) != 0;
  (void)done;
#endif
}

void returnFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}
