// Block pools for resource tree nodes.
//
// Each size class has, per thread, a stack of free block addresses (a batch of up to kBatch
// pointers), and process-wide, a list of full batches. Allocating pops an address and freeing
// pushes one, so neither touches the (often cold) block itself; a thread whose stack runs
// empty takes a full batch from the shared list or carves a new chunk, and a thread whose
// stack fills up hands it over whole. Chunks are kept until the process ends.
#include "nycl/res/ResNodePool.h"

#include "res/ResPages.h"

#include <cstdint>
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

#ifdef NYCL_RES_POOL_DISABLED

// Sanitizer builds: every block is its own allocation, so the checker sees each one.
void* ResNodePool::Allocate(size_t size) {
  return ::operator new(size);
}

void ResNodePool::Free(void* block, size_t) {
  ::operator delete(block);
}

#else

namespace {

constexpr size_t kGranule = 16;
constexpr size_t kClasses = ResNodePool::kMaxPooled / kGranule;
constexpr size_t kChunkSize = 64 * 1024;
// Chunks are cut from regions that all classes share. The first region is small and each
// later one twice the one before, up to kMaxRegion, so a small tree stays small and a large
// one takes its memory in a few huge pages rather than thousands of small ones.
constexpr size_t kFirstRegion = 256 * 1024;
constexpr size_t kMaxRegion = 2 * 1024 * 1024;
constexpr size_t kBatch = 1024;

size_t ClassOf(size_t size) {
  return (size + kGranule - 1) / kGranule - 1;
}
size_t BlockSize(size_t size_class) {
  return (size_class + 1) * kGranule;
}

void** NewBatch() {
  void** batch = static_cast<void**>(std::malloc(kBatch * sizeof(void*)));
  if (batch == nullptr) throw std::bad_alloc();
  return batch;
}

// The shared full batches of every class, and the regions the blocks come from.
struct GlobalPool {
  std::mutex mutex;
  std::vector<void**> full[kClasses];
  std::vector<void*> regions;
  // Blocks carved from the last chunk of each class that no batch holds yet.
  char* carve_next[kClasses] = {};
  size_t carve_left[kClasses] = {};
  // What is left of the newest region, and the size of the next one.
  char* region_next = nullptr;
  size_t region_left = 0;
  size_t next_region = kFirstRegion;
};

// A new chunk of kChunkSize bytes. REQUIRES: the caller holds global.mutex.
char* NewChunk(GlobalPool& global) {
  if (global.region_left < kChunkSize) {
    char* region = static_cast<char*>(MapZeroedPages(global.next_region));
    if (region == nullptr) throw std::bad_alloc();
    global.regions.push_back(region);
    global.region_next = region;
    global.region_left = global.next_region;
    if (global.next_region < kMaxRegion) global.next_region *= 2;
  }
  char* chunk = global.region_next;
  global.region_next += kChunkSize;
  global.region_left -= kChunkSize;
  return chunk;
}

GlobalPool& Global() {
  static GlobalPool* pool = new GlobalPool();  // lives as long as the process
  return *pool;
}

// Fills `batch` with up to kBatch new blocks of class `c`; returns how many.
// REQUIRES: the caller holds global.mutex.
size_t Carve(GlobalPool& global, size_t c, void** batch) {
  size_t block = BlockSize(c);
  if (global.carve_left[c] == 0) {
    // Page-aligned, so on cache lines: a node of 64 bytes then fills one line.
    global.carve_next[c] = NewChunk(global);
    global.carve_left[c] = kChunkSize / block;
  }
  size_t n = global.carve_left[c] < kBatch ? global.carve_left[c] : kBatch;
  // Handed out from the top of the stack, so the lowest addresses go first.
  for (size_t i = 0; i < n; ++i) batch[n - 1 - i] = global.carve_next[c] + i * block;
  global.carve_next[c] += n * block;
  global.carve_left[c] -= n;
  return n;
}

// One thread's stacks.
struct LocalCache {
  void** stack[kClasses];
  size_t count[kClasses];

  void Refill(size_t c) {
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    if (!global.full[c].empty()) {
      std::free(stack[c]);
      stack[c] = global.full[c].back();
      global.full[c].pop_back();
      count[c] = kBatch;
      return;
    }
    if (stack[c] == nullptr) stack[c] = NewBatch();
    count[c] = Carve(global, c, stack[c]);
  }

  void HandOver(size_t c) {
    void** fresh = NewBatch();
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    global.full[c].push_back(stack[c]);
    stack[c] = fresh;
    count[c] = 0;
  }
};

// The thread's cache: null until its first use, kClosed once the thread has handed its
// blocks back (trees destroyed at the very end of a thread or of the process still free
// blocks: from then on they go to operator new and delete). One word in the initial thread
// storage, so every allocation reaches it with a single load, without a call to find the
// library's thread storage.
LocalCache* const kClosed = reinterpret_cast<LocalCache*>(uintptr_t{1});
__thread LocalCache* tls_cache __attribute__((tls_model("initial-exec"))) = nullptr;

// Hands the thread's blocks back when the thread ends.
struct LocalCacheGuard {
  ~LocalCacheGuard() {
    LocalCache* cache = tls_cache;
    tls_cache = kClosed;
    if (cache == nullptr || cache == kClosed) return;
    GlobalPool& global = Global();
    std::lock_guard<std::mutex> lock(global.mutex);
    for (size_t c = 0; c < kClasses; ++c) {
      void** stack = cache->stack[c];
      if (stack == nullptr) continue;
      // A partial batch simply becomes its own (short) batch, padded with null entries.
      for (size_t i = cache->count[c]; i < kBatch; ++i) stack[i] = nullptr;
      if (cache->count[c] > 0) {
        global.full[c].push_back(stack);
      } else {
        std::free(stack);
      }
    }
    std::free(cache);
  }
};

LocalCache* FirstLocal() {
  thread_local LocalCacheGuard guard;
  (void)guard;
  if (tls_cache == nullptr) {
    auto* cache = static_cast<LocalCache*>(std::calloc(1, sizeof(LocalCache)));
    if (cache == nullptr) throw std::bad_alloc();
    tls_cache = cache;
  }
  return tls_cache;
}

inline LocalCache* Local() {
  LocalCache* cache = tls_cache;
  if (__builtin_expect(cache == nullptr, 0)) cache = FirstLocal();
  return cache == kClosed ? nullptr : cache;
}

}  // namespace

void* ResNodePool::Allocate(size_t size) {
  if (size == 0 || size > kMaxPooled) return ::operator new(size);
  size_t c = ClassOf(size);
  LocalCache* cache = Local();
  if (cache == nullptr) return ::operator new(BlockSize(c));
  for (;;) {
    if (cache->count[c] == 0) cache->Refill(c);
    void* block = cache->stack[c][--cache->count[c]];
    // Reused blocks are cold; start fetching the one handed out next.
    if (cache->count[c] > 0) __builtin_prefetch(cache->stack[c][cache->count[c] - 1], 1);
    if (block != nullptr) return block;  // batches handed back by ended threads are padded
  }
}

void ResNodePool::Free(void* block, size_t size) {
  if (block == nullptr) return;
  if (size == 0 || size > kMaxPooled) {
    ::operator delete(block);
    return;
  }
  size_t c = ClassOf(size);
  LocalCache* cache = Local();
  if (cache == nullptr) return;  // the process is ending; the chunk is kept anyway
  if (cache->stack[c] == nullptr) cache->stack[c] = NewBatch();
  if (cache->count[c] == kBatch) cache->HandOver(c);
  cache->stack[c][cache->count[c]++] = block;
}

#endif  // NYCL_RES_POOL_DISABLED

}  // namespace nycl
