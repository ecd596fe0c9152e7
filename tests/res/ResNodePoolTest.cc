#include "nycl/res/ResNodePool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace nycl {
namespace {

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
  void* big = ResNodePool::Allocate(ResNodePool::kMaxPooled + 1);
  ResNodePool::Free(big, ResNodePool::kMaxPooled + 1);
}

}  // namespace
}  // namespace nycl
