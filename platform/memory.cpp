#include "platform/memory.h"

#include <cstdint>
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
