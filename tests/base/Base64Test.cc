#include "nycl/base/Base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace nycl {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// Emissions rendered as "[length:text]" for texts and "[count:bytes]" for bytes.
void RecordText(void* ctx, const char* text, int length) {
  *static_cast<std::string*>(ctx) += "[" + std::to_string(length) + ":" + text + "]";
}

void RecordBytes(void* ctx, const unsigned char* bytes, int count) {
  *static_cast<std::string*>(ctx) += "[" + std::to_string(count) + ":" +
                                     std::string(reinterpret_cast<const char*>(bytes), count) + "]";
}

// Collects emitted texts or bytes without framing.
void AppendText(void* ctx, const char* text, int /*length*/) {
  *static_cast<std::string*>(ctx) += text;
}

void AppendBytes(void* ctx, const unsigned char* bytes, int count) {
  static_cast<std::string*>(ctx)->append(reinterpret_cast<const char*>(bytes), count);
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

// Reference decoder: each character's value found by searching the alphabet. A group's
// first character always counts as data; '=', invalid characters and NUL read as 0.
std::string SearchDecode(const std::string& text, int* count) {
  const std::string alphabet(kAlphabet);
  std::string out;
  *count = 0;
  for (size_t i = 0; i < text.size(); i += 4) {
    unsigned v[4] = {0, 0, 0, 0};
    for (size_t j = 0; j < 4 && i + j < text.size(); ++j) {
      size_t found = text[i + j] == '\0' ? std::string::npos : alphabet.find(text[i + j]);
      if (found != std::string::npos && (j == 0 || found < 64)) {
        v[j] = static_cast<unsigned>(found);
        *count += j > 0;
      }
    }
    out += static_cast<char>((v[0] << 2 | v[1] >> 4) & 0xff);
    out += static_cast<char>((v[1] << 4 | v[2] >> 2) & 0xff);
    out += static_cast<char>((v[2] << 6 | v[3]) & 0xff);
  }
  return out;
}

std::string RandomBytes(std::mt19937& rng, size_t length) {
  std::string bytes(length, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xff);
  return bytes;
}

class Base64Test : public ::testing::Test {
 protected:
  void SetUp() override { ResetBase64Pipes(); }
  void TearDown() override { ResetBase64Pipes(); }

  void Encode(const std::string& bytes) {
    EncodeBase64Pipe(reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<int>(bytes.size()), RecordText, &log);
  }
  void Decode(const std::string& text) {
    EXPECT_EQ(DecodeBase64Pipe(text.data(), static_cast<int>(text.size()), RecordBytes, &log), 0);
  }
  std::string Take() {
    std::string taken;
    taken.swap(log);
    return taken;
  }

  std::string log;
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
  EXPECT_EQ(EncodeBlock("abc"), "YWJj");
  EXPECT_EQ(EncodeBlock("ab"), "YWI=");
  EXPECT_EQ(EncodeBlock("a"), "YQ==");
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
  EXPECT_EQ(DecodeBlock("YQ=="), "1:a");
  EXPECT_EQ(DecodeBlock("YWI="), "2:ab");
  // Invalid characters and NUL inside a group read as 0 and do not count.
  unsigned char out[7];
  DecodeBase64Block(std::string("Y*J\0YWJj", 8).data(), out, 8, &count);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), std::string("`\x02@abc", 6));
}

void ExpectDecodesLikeSearch(const std::string& text) {
  int expectedCount = 0;
  std::string expected = SearchDecode(text, &expectedCount);
  std::vector<unsigned char> out(expected.size() + 1);
  int count = -1;
  DecodeBase64Block(text.data(), out.data(), static_cast<int>(text.size()), &count);
  ASSERT_EQ(count, expectedCount) << text;
  ASSERT_EQ(std::string(reinterpret_cast<char*>(out.data()), expected.size()), expected) << text;
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
        ExpectDecodesLikeSearch(group);
        if (HasFailure()) return;
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
  EncodeBase64Pipe(nullptr, -1, RecordText, &log);
  EXPECT_EQ(Take(), "");
}

TEST_F(Base64Test, DecodePipeCarriesIncompleteGroups) {
  Decode("YWJjZA");
  EXPECT_EQ(Take(), "[3:abc]");
  Decode("");
  EXPECT_EQ(Take(), "[1:d]");
  Decode("");
  EXPECT_EQ(Take(), "");

  Decode("YW");
  EXPECT_EQ(Take(), "");
  Decode("Jj");
  EXPECT_EQ(Take(), "[3:abc]");

  // A single carried character flushes as a group with no real bytes.
  Decode("Y");
  Decode("");
  EXPECT_EQ(Take(), "[0:]");
  DecodeBase64Pipe("YWJj", -4, RecordBytes, &log);
  DecodeBase64Pipe(nullptr, 4, RecordBytes, &log);
  EXPECT_EQ(Take(), "");
}

TEST_F(Base64Test, DecodePipeGivesTheSameBytesForEverySplitPoint) {
  std::string bytes = "Any stream, cut anywhere!";
  std::string text = EncodeBlock(bytes);
  for (size_t first = 0; first <= text.size(); ++first) {
    for (size_t second = first; second <= text.size(); ++second) {
      // An empty piece would be a flush, so only non-empty pieces are fed.
      const size_t cuts[] = {0, first, second, text.size()};
      std::string out;
      for (int i = 0; i < 3; ++i) {
        if (cuts[i + 1] == cuts[i]) continue;
        DecodeBase64Pipe(text.data() + cuts[i], static_cast<int>(cuts[i + 1] - cuts[i]),
                         AppendBytes, &out);
      }
      DecodeBase64Pipe(nullptr, 0, AppendBytes, &out);
      ASSERT_EQ(out, bytes) << first << " " << second;
    }
  }
}

// Appends the bytes and records each call's count.
struct Pieces {
  std::string bytes;
  std::vector<int> counts;
};

void CollectPiece(void* ctx, const unsigned char* bytes, int count) {
  auto* pieces = static_cast<Pieces*>(ctx);
  pieces->bytes.append(reinterpret_cast<const char*>(bytes), count);
  pieces->counts.push_back(count);
}

TEST_F(Base64Test, DecodePipeTakesTextLongerThanItsBufferInPieces) {
  std::mt19937 rng(3);
  std::string bytes = RandomBytes(rng, 30000);
  std::string text = EncodeBlock(bytes);
  Pieces pieces;
  // A carried character shifts every piece boundary.
  DecodeBase64Pipe(text.data(), 1, CollectPiece, &pieces);
  DecodeBase64Pipe(text.data() + 1, static_cast<int>(text.size() - 1), CollectPiece, &pieces);
  DecodeBase64Pipe(nullptr, 0, CollectPiece, &pieces);
  EXPECT_EQ(pieces.bytes, bytes);
  // Each piece fills the 4047 usable bytes of the working buffer with carry and text.
  ASSERT_GT(pieces.counts.size(), 2u);
  EXPECT_EQ(pieces.counts[0], 4044 / 4 * 3);
  for (int count : pieces.counts) EXPECT_LE(count, 4047 / 4 * 3);
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

int ReadText(void* ctx, char* buffer, int size) {
  return ReadBytes(ctx, reinterpret_cast<unsigned char*>(buffer), size);
}

TEST_F(Base64Test, EncodeStreamSendsBlocksThenTheEndText) {
  Source source{std::string(2041, 'x'), 0, 1 << 20};
  EncodeBase64Stream(RecordText, &log, ReadBytes, &source);
  std::string line;
  for (int i = 0; i < 680; ++i) line += "eHh4";
  EXPECT_EQ(Take(), "[2720:" + line + "][4:eA==][4:]");

  Source empty{"", 0, 100};
  EncodeBase64Stream(RecordText, &log, ReadBytes, &empty);
  EXPECT_EQ(Take(), "[4:]");
}

TEST_F(Base64Test, BlocksAndStreamsRoundTripEveryLengthUpTo3000) {
  std::mt19937 rng(5);
  for (size_t length = 0; length <= 3000; ++length) {
    Source bytes{RandomBytes(rng, length), 0, 2040};
    const std::string block = EncodeBlock(bytes.data);
    ASSERT_EQ(block.size(), 4 * ((length + 2) / 3));
    ASSERT_EQ(DecodeBlock(block), std::to_string(length) + ":" + bytes.data) << length;
    std::string text;
    EncodeBase64Stream(AppendText, &text, ReadBytes, &bytes);
    // Full blocks keep the text free of inner padding, so it decodes as one stream.
    Source textSource{text, 0, static_cast<int>(1 + rng() % 3000)};
    std::string decoded;
    DecodeBase64Stream(AppendBytes, &decoded, ReadText, &textSource);
    ASSERT_EQ(decoded, bytes.data) << length;
  }
}

}  // namespace
}  // namespace nycl
