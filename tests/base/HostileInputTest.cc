// Base64 pipes and blocks fed with garbage: arbitrary bytes, odd lengths and pieces cut
// anywhere must decode without touching memory beyond the documented buffers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "nycl/base/Base64.h"

namespace nycl {
namespace {

void Collect(void* ctx, const unsigned char* bytes, int count) {
  static_cast<std::string*>(ctx)->append(reinterpret_cast<const char*>(bytes),
                                         static_cast<size_t>(count));
}

TEST(HostileBase64Test, GarbageThroughTheDecodingPipeAndBlocks) {
  std::mt19937 rng(64);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
  ResetBase64Pipes();
  for (int round = 0; round < 2000; ++round) {
    // Mostly alphabet characters, with any other byte mixed in, up to several working buffers.
    std::string text(static_cast<size_t>(below(round % 50 == 0 ? 20000 : 300)), '\0');
    for (char& c : text) c = below(4) == 0 ? static_cast<char>(below(256)) : alphabet[below(65)];

    std::string out;
    for (size_t at = 0; at < text.size();) {
      int piece = 1 + below(5000);
      if (static_cast<size_t>(piece) > text.size() - at) piece = static_cast<int>(text.size() - at);
      DecodeBase64Pipe(text.data() + at, piece, Collect, &out);
      at += static_cast<size_t>(piece);
    }
    DecodeBase64Pipe(text.data(), 0, Collect, &out);
    EXPECT_LE(out.size(), 3 * ((text.size() + 3) / 4));

    // The block decoder gets exactly the buffer it documents, so ASan sees any overrun.
    std::vector<unsigned char> block(3 * ((text.size() + 3) / 4) + 1);
    int count = -1;
    DecodeBase64Block(text.data(), block.data(), static_cast<int>(text.size()), &count);
    EXPECT_GE(count, 0);
    EXPECT_LE(static_cast<size_t>(count), block.size() - 1);
    if (below(10) == 0) ResetBase64Pipes();
  }
  // Invalid calls change nothing.
  std::string out;
  EXPECT_EQ(DecodeBase64Pipe(nullptr, 5, Collect, &out), 0);
  EXPECT_EQ(DecodeBase64Pipe("QQ==", -3, Collect, &out), 0);
  EXPECT_EQ(out, "");
  ResetBase64Pipes();
}

}  // namespace
}  // namespace nycl
