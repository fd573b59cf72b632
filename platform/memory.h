#pragma once
// Page-table work for screen-sized buffers.

#include <cstddef>

// Maps every page of [address, address + bytes) writable in one call instead
// of one fault per page on first touch; the contents are left as they are.
// Does nothing where the system cannot (the pages then fault in as usual).
void populatePages(const void *address, std::size_t bytes);

// Screen-sized buffers get mappings of their own, returned whole when freed.
// Left to itself the C allocator raises its threshold after the first free and
// keeps the next 33 MB in an arena for as long as the program stays resident.
void keepLargeBuffersSeparate();

// Hands free memory the allocator still holds back to the system.
void returnFreeMemory();
