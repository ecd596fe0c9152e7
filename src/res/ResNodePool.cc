#include "nycl/res/ResNodePool.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define NYCL_RES_POOL_DISABLED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NYCL_RES_POOL_DISABLED 1
#endif
#endif

namespace nycl {

namespace {

constexpr size_t kGranule = 16;
constexpr size_t kClasses = ResNodePool::kMaxPooled / kGranule;
constexpr size_t kChunkSize = 64 * 1024;
// A thread keeps at most this many free blocks per class before handing them all back.
constexpr size_t kLocalLimit = 65536;

struct FreeBlock {
  FreeBlock* next;
};

size_t ClassOf(size_t size) {
  return (size + kGranule - 1) / kGranule - 1;
}
size_t BlockSize(size_t size_class) {
  return (size_class + 1) * kGranule;
}

// A singly linked list of free blocks that knows its tail, so whole lists move in O(1).
struct BlockList {
  FreeBlock* head;
  FreeBlock* tail;
  size_t count;

  void Push(FreeBlock* block) {
    block->next = head;
    if (head == nullptr) tail = block;
    head = block;
    ++count;
  }
  FreeBlock* Pop() {
    FreeBlock* block = head;
    head = block->next;
    if (--count == 0) tail = nullptr;
    return block;
  }
  // Moves every block of `other` in front of this list's blocks.
  void Take(BlockList& other) {
    if (other.head == nullptr) return;
    other.tail->next = head;
    if (head == nullptr) tail = other.tail;
    head = other.head;
    count += other.count;
    other = BlockList{nullptr, nullptr, 0};
  }
};

// Free blocks shared by all threads, and the chunks they come from.
struct GlobalPool {
  std::mutex mutex;
  BlockList free[kClasses] = {};
  std::vector<void*> chunks;
};

GlobalPool& Global() {
  static GlobalPool* pool = new GlobalPool();  // lives as long as the process
  return *pool;
}

// Makes sure the shared list of class `c` is not empty, carving a new chunk when it is.
// REQUIRES: the caller holds global.mutex.
void EnsureShared(GlobalPool& global, size_t c) {
  if (global.free[c].head != nullptr) return;
  size_t block = BlockSize(c);
  char* chunk = static_cast<char*>(std::malloc(kChunkSize));
  if (chunk == nullptr) throw std::bad_alloc();
  global.chunks.push_back(chunk);
  size_t blocks = kChunkSize / block;
  for (size_t i = 0; i < blocks; ++i) {
    global.free[c].Push(reinterpret_cast<FreeBlock*>(chunk + (blocks - 1 - i) * block));
  }
}

// One thread's free lists. Trivially destructible, so it stays usable after the thread's
// LocalCacheGuard ran (trees destroyed at the very end of the process still free blocks):
// from then on, blocks go straight to the shared lists.
struct LocalCache {
  BlockList free[kClasses];
  bool closed;

  void GiveBack(size_t c) {
    if (free[c].head == nullptr) return;
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    global.free[c].Take(free[c]);
  }

  // Takes the whole shared list of class `c` (carving a new chunk when it is empty).
  void Refill(size_t c) {
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    EnsureShared(global, c);
    free[c].Take(global.free[c]);
  }
};

thread_local LocalCache local_cache;  // zero-initialised

// Hands the thread's lists back when the thread ends.
struct LocalCacheGuard {
  ~LocalCacheGuard() {
    for (size_t c = 0; c < kClasses; ++c) local_cache.GiveBack(c);
    local_cache.closed = true;
  }
};

LocalCache* Local() {
  thread_local LocalCacheGuard guard;
  (void)guard;
  return local_cache.closed ? nullptr : &local_cache;
}

}  // namespace

void* ResNodePool::Allocate(size_t size) {
#ifdef NYCL_RES_POOL_DISABLED
  return ::operator new(size);
#else
  if (size == 0 || size > kMaxPooled) return ::operator new(size);
  size_t c = ClassOf(size);
  LocalCache* cache = Local();
  if (cache == nullptr) {
    // The thread's lists are closed: one block from the shared lists.
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    EnsureShared(global, c);
    return global.free[c].Pop();
  }
  if (cache->free[c].head == nullptr) cache->Refill(c);
  return cache->free[c].Pop();
#endif
}

void ResNodePool::Free(void* block, size_t size) {
  if (block == nullptr) return;
#ifdef NYCL_RES_POOL_DISABLED
  (void)size;
  ::operator delete(block);
#else
  if (size == 0 || size > kMaxPooled) {
    ::operator delete(block);
    return;
  }
  size_t c = ClassOf(size);
  FreeBlock* b = static_cast<FreeBlock*>(block);
  LocalCache* cache = Local();
  if (cache == nullptr) {
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    global.free[c].Push(b);
    return;
  }
  cache->free[c].Push(b);
  if (cache->free[c].count > kLocalLimit) cache->GiveBack(c);
#endif
}

}  // namespace nycl
