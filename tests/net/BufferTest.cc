#include "nycl/net/Buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace nycl {
namespace {

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string Take(Buffer& buffer, int want) {
  int n = -1;
  unsigned char* p = buffer.Current(&n, want);
  return p == nullptr ? std::string("(null)") : std::string(reinterpret_cast<char*>(p), n);
}

TEST(BufferTest, EmptyOnlyWhenNothingIsUnreadAndSegmentsMoveWholeUntilTheWantIsMet) {
  Buffer buffer;
  int n = -1;
  EXPECT_EQ(buffer.Current(&n, 4096), nullptr);  // never used
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(buffer.Empty());
  buffer.Add(Bytes("0123456789"), 10);
  EXPECT_FALSE(buffer.Empty());  // still in a segment
  EXPECT_EQ(Take(buffer, 4096), "0123456789");
  buffer.Remove(4);
  EXPECT_FALSE(buffer.Empty());  // in the work area
  EXPECT_EQ(Take(buffer, 4096), "456789");
  buffer.Remove(6);
  EXPECT_TRUE(buffer.Empty());

  // Whole segments are moved into the work area until the want is met.
  std::string a(3000, 'a'), b(3000, 'b'), c(10, 'c');
  buffer.Add(Bytes(a), 3000);
  buffer.Add(Bytes(b), 3000);
  buffer.Add(Bytes(c), 10);
  EXPECT_EQ(Take(buffer, 4096), a + b);  // the third segment is not needed yet
  buffer.Remove(5000);
  EXPECT_EQ(Take(buffer, 4096), std::string(1000, 'b') + c);
  EXPECT_EQ(Take(buffer, 10), std::string(1000, 'b') + c);
}

TEST(BufferTest, UnreadBytesKeepTheirOrderAcrossCompaction) {
  Buffer buffer;
  std::string expected, got;
  // Consumes the first 1/`part` of what is current for `want`.
  auto consume = [&](int want, size_t part) {
    const std::string current = Take(buffer, want);
    got += current.substr(0, current.size() / part);
    buffer.Remove(static_cast<int>(current.size() / part));
  };
  for (int i = 0; i < 200; ++i) {
    std::string block(i % 37 + 1, static_cast<char>('A' + i % 26));
    expected += block;
    buffer.Add(Bytes(block), static_cast<int>(block.size()));
    if (i % 3 == 0) consume(50, 2);
  }
  while (!buffer.Empty()) consume(64, 1);
  EXPECT_EQ(got, expected);
}

// Queues four bytes, makes them current and consumes `count`.
void RemoveFromFourBytes(int count) {
  Buffer buffer;
  const unsigned char bytes[4] = {1, 2, 3, 4};
  buffer.Add(bytes, 4);
  int n = 0;
  buffer.Current(&n, 4096);
  buffer.Remove(count);
}

// Consuming more than the work area holds stops the program with the check's own text, in
// every build: going on would move the read position past the queued bytes.
TEST(BufferDeathTest, RemovingMoreThanIsUnreadStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(RemoveFromFourBytes(5), "len<=m_wrkend-m_wrkstrt && len>=0");
  EXPECT_DEATH(RemoveFromFourBytes(-1), "len<=m_wrkend-m_wrkstrt && len>=0");
}

}  // namespace
}  // namespace nycl
