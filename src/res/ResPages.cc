#include "res/ResPages.h"

#include <sys/mman.h>

#include <cstdint>

namespace nycl {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kPage = 4096;

size_t RoundUp(size_t bytes, size_t unit) {
  return (bytes + unit - 1) / unit * unit;
}

void* Map(size_t bytes) {
  void* region = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return region == MAP_FAILED ? nullptr : region;
}

}  // namespace

void* MapZeroedPages(size_t bytes) {
  bytes = RoundUp(bytes, kPage);
  if (bytes < kHugePage) return Map(bytes);
  // Over-map by one huge page and give back what lies outside the aligned region.
  char* mapped = static_cast<char*>(Map(bytes + kHugePage));
  if (mapped == nullptr) return nullptr;
  char* region = reinterpret_cast<char*>(RoundUp(reinterpret_cast<uintptr_t>(mapped), kHugePage));
  const size_t head = static_cast<size_t>(region - mapped);
  if (head > 0) ::munmap(mapped, head);
  ::munmap(region + bytes, kHugePage - head);
#ifdef MADV_HUGEPAGE
  // Only advice: without huge pages the region is simply mapped page by page.
  ::madvise(region, bytes, MADV_HUGEPAGE);
#endif
  return region;
}

void UnmapPages(void* region, size_t bytes) {
  if (region != nullptr) ::munmap(region, RoundUp(bytes, kPage));
}

}  // namespace nycl
