#pragma once
// Page-table work for screen-sized buffers.

#include <cstddef>

// Maps every page of [address, address + bytes) writable in one call instead
// of one fault per page on first touch; the contents are left as they are.
// Does nothing where the system cannot (the pages then fault in as usual).
void populatePages(const void *address, std::size_t bytes);
