#include "nycl/base/Base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace nycl {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// What a pipe or stream hands its callback, each call as "[length:text]" or "[count:bytes]".
struct Emitted {
  std::string log;
};

void EmitText(void* ctx, const char* text, int length) {
  auto* emitted = static_cast<Emitted*>(ctx);
  emitted->log += "[" + std::to_string(length) + ":" + text + "]";
}

void EmitBytes(void* ctx, const unsigned char* bytes, int count) {
  auto* emitted = static_cast<Emitted*>(ctx);
  const std::string text(reinterpret_cast<const char*>(bytes), count);
  emitted->log += "[" + std::to_string(count) + ":" + text + "]";
}

std::string EncodeBlock(const std::string& bytes) {
  std::vector<char> out(4 * ((bytes.size() + 2) / 3) + 1, '#');
  EncodeBase64Block(reinterpret_cast<const unsigned char*>(bytes.data()), out.data(),
                    static_cast<int>(bytes.size()));
  return out.data();
}

// The decoded bytes, cut to the count, and the count, as "count:bytes".
std::string DecodeBlock(const std::string& text) {
  std::vector<unsigned char> out(3 * ((text.size() + 3) / 4) + 1, '#');
  int count = -1;
  DecodeBase64Block(text.data(), out.data(), static_cast<int>(text.size()), &count);
  return std::to_string(count) + ":" + std::string(reinterpret_cast<char*>(out.data()), count);
}

// Reference decoder of one group of four: each character's value found by searching the
// alphabet. The first character always counts as data; '=', invalid characters and NUL read
// as 0 and are not counted.
std::string SearchDecodeGroup(const std::string& group, int* count) {
  unsigned v[4] = {0, 0, 0, 0};
  *count = 0;
  for (size_t j = 0; j < 4; ++j) {
    const char* found = group[j] == '\0' ? nullptr : std::strchr(kAlphabet, group[j]);
    if (found != nullptr && (j == 0 || found - kAlphabet < 64)) {
      v[j] = static_cast<unsigned>(found - kAlphabet);
      *count += j > 0;
    }
  }
  return {static_cast<char>((v[0] << 2 | v[1] >> 4) & 0xff),
          static_cast<char>((v[1] << 4 | v[2] >> 2) & 0xff),
          static_cast<char>((v[2] << 6 | v[3]) & 0xff)};
}

class Base64Test : public ::testing::Test {
 protected:
  void SetUp() override { ResetBase64Pipes(); }
  void TearDown() override { ResetBase64Pipes(); }

  void Encode(const std::string& bytes) {
    EncodeBase64Pipe(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<int>(bytes.size()), EmitText, &emitted);
  }
  void Decode(const std::string& text) {
    EXPECT_EQ(DecodeBase64Pipe(text.data(), static_cast<int>(text.size()), EmitBytes, &emitted), 0);
  }
  // The calls rendered so far; starts afresh.
  std::string Take() {
    const std::string log = emitted.log;
    emitted = Emitted();
    return log;
  }

  Emitted emitted;
};

TEST_F(Base64Test, BlocksCodeTheRfc4648Vectors) {
  const char* vectors[][2] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
  for (const auto& vector : vectors) {
    EXPECT_EQ(EncodeBlock(vector[0]), vector[1]);
    EXPECT_EQ(DecodeBlock(vector[1]), std::to_string(std::strlen(vector[0])) + ":" + vector[0]);
  }
  EXPECT_EQ(EncodeBlock(std::string("\xfb\xff\x00", 3)), "+/8A");
}

TEST_F(Base64Test, BlocksDecodeShortAndPaddedInputCountingOnlyRealBytes) {
  char text[4] = "xyz";
  EncodeBase64Block(nullptr, text, -3);
  EXPECT_STREQ(text, "");
  unsigned char bytes[4] = {'x', 'y', 'z', 0};
  int count = -1;
  DecodeBase64Block("YWJj", bytes, 0, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(bytes[0], 0);
  // A short last group reads as if padded.
  EXPECT_EQ(DecodeBlock("YWJjZA"), "4:abcd");
  EXPECT_EQ(DecodeBlock("Y"), "0:");
  // Invalid characters and NUL inside a group read as 0 and do not count.
  unsigned char out[7];
  DecodeBase64Block(std::string("Y*J\0YWJj", 8).data(), out, 8, &count);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), std::string("`\x02@abc", 6));
}

TEST_F(Base64Test, TableDecodingMatchesAlphabetSearch) {
  // Every byte at every position of a group, among padding, NUL, invalid and valid neighbours.
  const char fillers[] = {'A', '/', '=', '\0', '*'};
  for (int position = 0; position < 4; ++position) {
    for (int byte = 0; byte < 256; ++byte) {
      for (int others = 0; others < 125; ++others) {
        std::string group(4, 'A');
        for (int i = 0, code = others; i < 4; ++i) {
          if (i == position) {
            group[i] = static_cast<char>(byte);
          } else {
            group[i] = fillers[code % 5];
            code /= 5;
          }
        }
        int expected_count = 0;
        const std::string expected = SearchDecodeGroup(group, &expected_count);
        unsigned char out[4];
        int count = -1;
        DecodeBase64Block(group.data(), out, 4, &count);
        ASSERT_EQ(count, expected_count) << group;
        ASSERT_EQ(std::string(reinterpret_cast<char*>(out), 3), expected) << group;
      }
    }
  }
}

TEST_F(Base64Test, EncodePipeEmitsEveryByteOfEachCall) {
  Encode("abcd");
  EXPECT_EQ(Take(), "[4:YWJj][4:ZA==]");
  Encode("");
  EXPECT_EQ(Take(), "[4:]");
  Encode("ab");
  Encode("c");
  EXPECT_EQ(Take(), "[4:YWI=][4:Yw==]");
  Encode("abcdef");
  EXPECT_EQ(Take(), "[8:YWJjZGVm]");
  EncodeBase64Pipe(nullptr, -1, EmitText, &emitted);
  EXPECT_EQ(Take(), "");
}

// Each step is one call and what it hands the callback; a single carried character flushes
// as a group with no real bytes.
TEST_F(Base64Test, DecodePipeCarriesIncompleteGroups) {
  const char* steps[][2] = {{"YWJjZA", "[3:abc]"}, {"", "[1:d]"}, {"", ""},    {"YW", ""},
                            {"Jj", "[3:abc]"},     {"Y", ""},     {"", "[0:]"}};
  for (const auto& step : steps) {
    Decode(step[0]);
    EXPECT_EQ(Take(), step[1]) << step[0];
  }
  DecodeBase64Pipe("YWJj", -4, EmitBytes, &emitted);
  DecodeBase64Pipe(nullptr, 4, EmitBytes, &emitted);
  EXPECT_EQ(Take(), "");
}

// Serves a string in pieces of at most `piece` bytes.
struct Source {
  std::string data;
  size_t at = 0;
  int piece;
};

int ReadBytes(void* ctx, unsigned char* buffer, int size) {
  auto* source = static_cast<Source*>(ctx);
  size_t n = std::min({source->data.size() - source->at, static_cast<size_t>(size),
                       static_cast<size_t>(source->piece)});
  std::memcpy(buffer, source->data.data() + source->at, n);
  source->at += n;
  return static_cast<int>(n);
}

TEST_F(Base64Test, EncodeStreamSendsBlocksThenTheEndText) {
  Source source{std::string(2041, 'x'), 0, 1 << 20};
  EncodeBase64Stream(EmitText, &emitted, ReadBytes, &source);
  std::string line;
  for (int i = 0; i < 680; ++i) line += "eHh4";
  EXPECT_EQ(Take(), "[2720:" + line + "][4:eA==][4:]");

  Source empty{"", 0, 100};
  EncodeBase64Stream(EmitText, &emitted, ReadBytes, &empty);
  EXPECT_EQ(Take(), "[4:]");
}

}  // namespace
}  // namespace nycl
