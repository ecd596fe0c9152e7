// Large zeroed regions for the resource tables.
#ifndef NYCL_SRC_RES_RESPAGES_H
#define NYCL_SRC_RES_RESPAGES_H

#include <cstddef>

namespace nycl {

// `bytes` of zeroed memory straight from the system, page-aligned. A region of 2 MiB or more
// is placed on 2 MiB boundaries and offered to the kernel for huge pages: a table read and
// written at random over megabytes then costs a few page faults instead of one or two per
// 4 KiB page, and fewer TLB misses. Null when the system has no memory left.
void* MapZeroedPages(size_t bytes);

// Returns a region from MapZeroedPages; `bytes` must be the size asked for.
void UnmapPages(void* region, size_t bytes);

}  // namespace nycl

#endif  // NYCL_SRC_RES_RESPAGES_H
