#include "nycl/res/ResNodePool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace nycl {
namespace {

TEST(ResNodePoolTest, BlocksAreDistinctWritableAndReused) {
  std::vector<void*> blocks;
  std::set<void*> seen;
  for (int i = 0; i < 5000; ++i) {
    size_t size = 8 + (i % 7) * 40;  // several classes, one above the pooled sizes
    void* block = ResNodePool::Allocate(size);
    std::memset(block, i & 0xff, size);
    EXPECT_TRUE(seen.insert(block).second);
    blocks.push_back(block);
  }
  for (int i = 0; i < 5000; ++i) ResNodePool::Free(blocks[i], 8 + (i % 7) * 40);
  ResNodePool::Free(nullptr, 48);
  void* big = ResNodePool::Allocate(ResNodePool::kMaxPooled + 1);
  ResNodePool::Free(big, ResNodePool::kMaxPooled + 1);
}

TEST(ResNodePoolTest, BlocksMayBeFreedByAnotherThreadThatThenEnds) {
  std::vector<void*> blocks(20000);
  for (void*& block : blocks) {
    block = ResNodePool::Allocate(48);
    std::memset(block, 0x5a, 48);
  }
  std::thread other([&blocks] {
    for (void* block : blocks) ResNodePool::Free(block, 48);
    // Blocks allocated here stay valid after the thread ends.
    for (void*& block : blocks) block = ResNodePool::Allocate(48);
  });
  other.join();
  std::set<void*> distinct(blocks.begin(), blocks.end());
  EXPECT_EQ(blocks.size(), distinct.size());
  for (void* block : blocks) {
    std::memset(block, 0xa5, 48);
    ResNodePool::Free(block, 48);
  }
}

}  // namespace
}  // namespace nycl
