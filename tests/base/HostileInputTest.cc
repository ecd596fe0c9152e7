// Base64 pipes and blocks fed with garbage: arbitrary bytes, odd lengths and pieces cut
// anywhere must decode without touching memory beyond the documented buffers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "nycl/base/Base64.h"
#include "nycl/base/StringParse.h"

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

TEST(HostileBase64Test, EncodingPipeCarriesAnyCutOfRandomBytes) {
  std::mt19937 rng(65);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  ResetBase64Pipes();
  std::string text;
  auto collect = [](void* ctx, const char* piece, int length) {
    static_cast<std::string*>(ctx)->append(piece, static_cast<size_t>(length));
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<unsigned char> bytes(static_cast<size_t>(below(5000)));
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(below(256));
    text.clear();
    for (size_t at = 0; at < bytes.size();) {
      int piece = 1 + below(700);
      if (static_cast<size_t>(piece) > bytes.size() - at)
        piece = static_cast<int>(bytes.size() - at);
      EncodeBase64Pipe(bytes.data() + at, piece, collect, &text);
      at += static_cast<size_t>(piece);
    }
    // Every piece is emitted whole, its last 1 or 2 bytes padded; decoding it back piece by
    // piece is not defined, but the text stays within the alphabet.
    EXPECT_EQ(
        text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
        std::string::npos);
  }
}

TEST(HostileStringParseTest, TokensOfRandomTextStayInsideTheBuffer) {
  std::mt19937 rng(66);
  auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const char pieces[] = "\"{} \t\n\\ab";
  for (int round = 0; round < 3000; ++round) {
    std::vector<char> buffer(static_cast<size_t>(below(60)) + 1);
    for (size_t i = 0; i + 1 < buffer.size(); ++i)
      buffer[i] = below(4) == 0 ? static_cast<char>(1 + below(255)) : pieces[below(9)];
    buffer.back() = '\0';
    // Tokens until the buffer is exhausted; now and then the rest is taken whole instead.
    char* cursor = buffer.data();
    int tokens = 0;
    for (char* token; (token = StringParse::GetToken(&cursor)) != nullptr;) {
      ASSERT_GE(token, buffer.data());
      ASSERT_LT(token, buffer.data() + buffer.size());
      ASSERT_LE(++tokens, static_cast<int>(buffer.size())) << "the cursor stopped moving";
      if (below(4) == 0) {
        char* rest = StringParse::GetWhole(&cursor);
        if (rest != nullptr) {
          ASSERT_GE(rest, buffer.data());
          ASSERT_LT(rest, buffer.data() + buffer.size());
        }
        break;
      }
    }
  }
}

}  // namespace
}  // namespace nycl
