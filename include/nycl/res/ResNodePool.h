// ResNodePool: the block pools behind resource tree nodes and their containers.
#ifndef NYCL_RES_RESNODEPOOL_H
#define NYCL_RES_RESNODEPOOL_H

#include <cstddef>

namespace nycl {

// Resource trees are built and destroyed a node at a time: hundreds of thousands of small
// blocks of a few sizes, which general-purpose malloc spends most of a load merging and
// splitting. The pools hand out blocks of one size class (16-byte steps up to kMaxPooled)
// from 64 KiB chunks through a free list per thread; blocks freed on another thread join
// that thread's list, and a thread that ends hands its lists back. Chunks are kept for reuse
// until the process ends. Sanitizer builds use operator new and delete instead.
//
// Any thread may allocate and free.
class ResNodePool {
 public:
  static constexpr size_t kMaxPooled = 1024;

  // A block of at least `size` bytes; sizes above kMaxPooled come from operator new.
  static void* Allocate(size_t size);
  // Returns a block; `size` must be the size given to Allocate.
  static void Free(void* block, size_t size);
};

// A stateless allocator over ResNodePool for the node-based containers of the resource
// classes (all instances are interchangeable).
template <typename T>
class ResNodeAllocator {
 public:
  typedef T value_type;

  ResNodeAllocator() = default;
  template <typename U>
  ResNodeAllocator(const ResNodeAllocator<U>&) {}  // NOLINT: rebinding converts implicitly

  T* allocate(size_t n) { return static_cast<T*>(ResNodePool::Allocate(n * sizeof(T))); }
  void deallocate(T* block, size_t n) { ResNodePool::Free(block, n * sizeof(T)); }

  template <typename U>
  bool operator==(const ResNodeAllocator<U>&) const {
    return true;
  }
  template <typename U>
  bool operator!=(const ResNodeAllocator<U>&) const {
    return false;
  }
};

}  // namespace nycl

#endif  // NYCL_RES_RESNODEPOOL_H
