// The base64 pipes, blocks and streams. Input: byte 0 picks the mode, byte 1 the piece sizes,
// the rest is the payload.
//   mode 2:    the rest is a list of two-byte lengths (low byte first), each naming a payload
//              of that many bytes of a fixed sequence, round-tripped in turn in long pieces:
//              long payloads in a few bytes of input, for regression inputs;
//   other even modes: the payload is bytes, round-tripped (below);
//   odd modes: the payload is text, decoded in arbitrary pieces by the pipe and whole by
//              the block function, and read through the stream functions.
// A round trip codes the payload with the block functions, with the encode pipe in pieces of
// a multiple of 3 bytes (as uploads are) and with the encode stream, and must get the same
// text from all three; then it decodes that text whole with the block function, in arbitrary
// pieces with the decode pipe and through the decode stream, and must get the payload back
// each time. Each output buffer has exactly the size the header asks for, so the sanitizer
// sees any write past it.
//
// Piece sizes: byte 1 is `pattern`; 0 takes the payload and the text in one piece each, else
// text pieces are 1 to pattern units long, payload pieces a multiple of 3 units, a unit being
// 1 byte below 0x80 and 61 from it on: long enough to reach past the decode pipe's working
// buffer with every carry.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/base/Base64.h"

namespace {

using nycl::DecodeBase64Block;
using nycl::DecodeBase64Pipe;
using nycl::EncodeBase64Block;
using nycl::EncodeBase64Pipe;

// The decode pipe works through 4047 characters of carry and text at a time: no call of its
// writer hands more bytes than that many complete groups hold.
constexpr int kMostBytesPerWrite = 4047 / 4 * 3;
// The streams read 2040 bytes at a time (uploads are sent in blocks of that size): no text
// the encode stream writes is longer than one block's.
constexpr int kStreamBlock = 2040;
constexpr int kMostTextPerWrite = kStreamBlock / 3 * 4;
// Bytes of generated payload one input may ask for, so that every input stays quick.
constexpr size_t kMostGenerated = size_t{1} << 15;

size_t Unit(uint8_t pattern) {
  return pattern >= 0x80 ? 61 : 1;
}

// `count` bytes of a fixed sequence in which every byte value occurs.
std::string Generated(size_t count) {
  std::string bytes(count, '\0');
  uint32_t state = 5;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 23);
  }
  return bytes;
}

void AppendText(void* out, const char* text, int length) {
  FUZZ_CHECK(length >= 0);
  static_cast<std::string*>(out)->append(text);
}

void AppendBytes(void* out, const unsigned char* bytes, int count) {
  FUZZ_CHECK(count >= 0 && count <= kMostBytesPerWrite);
  static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(bytes), count);
}

// What the encode stream writes, text by text.
void RecordText(void* out, const char* text, int length) {
  static_cast<std::vector<std::pair<std::string, int>>*>(out)->emplace_back(text, length);
}

// Serves its pieces in order, each in as many reads as the reader's buffer takes.
struct Reader {
  explicit Reader(std::vector<std::string> in) : pieces(std::move(in)) {}
  std::vector<std::string> pieces;
  size_t next = 0;
  size_t at = 0;
};

int Read(void* context, char* buffer, int size) {
  auto* reader = static_cast<Reader*>(context);
  FUZZ_CHECK(size > 0);
  if (reader->next == reader->pieces.size()) return 0;
  const std::string& piece = reader->pieces[reader->next];
  const size_t length = std::min(static_cast<size_t>(size), piece.size() - reader->at);
  std::memcpy(buffer, piece.data() + reader->at, length);
  reader->at += length;
  if (reader->at == piece.size()) {
    ++reader->next;
    reader->at = 0;
  }
  return static_cast<int>(length);
}

int ReadBytes(void* context, unsigned char* buffer, int size) {
  return Read(context, reinterpret_cast<char*>(buffer), size);
}

std::string EncodeBlock(const std::string& bytes) {
  std::vector<char> out(4 * ((bytes.size() + 2) / 3) + 1);
  EncodeBase64Block(reinterpret_cast<const unsigned char*>(bytes.data()), out.data(),
                    static_cast<int>(bytes.size()));
  FUZZ_CHECK(std::strlen(out.data()) == out.size() - 1);
  return out.data();
}

void RoundTrip(const std::string& payload, uint8_t pattern) {
  const std::string block = EncodeBlock(payload);

  std::vector<unsigned char> out(3 * ((block.size() + 3) / 4) + 1);
  int count = -1;
  DecodeBase64Block(block.data(), out.data(), static_cast<int>(block.size()), &count);
  FUZZ_CHECK(count == static_cast<int>(payload.size()));
  FUZZ_CHECK(std::memcmp(out.data(), payload.data(), payload.size()) == 0);

  std::string piped;
  const size_t unit = 3 * (1 + pattern % 32) * Unit(pattern);
  for (const std::string& piece : nycl::fuzz::Pieces(payload, pattern == 0 ? 0 : 1, unit)) {
    EncodeBase64Pipe(reinterpret_cast<const unsigned char*>(piece.data()),
                     static_cast<int>(piece.size()), AppendText, &piped);
  }
  EncodeBase64Pipe(nullptr, 0, AppendText, &piped);
  FUZZ_CHECK(piped == block);

  // Reads of a multiple of 3 bytes leave no padding inside the text: the stream's texts make
  // up the block's, then comes the empty end text.
  Reader bytes{nycl::fuzz::Pieces(payload, pattern, 3 * Unit(pattern))};
  std::vector<std::pair<std::string, int>> texts;
  nycl::EncodeBase64Stream(RecordText, &texts, ReadBytes, &bytes);
  FUZZ_CHECK(!texts.empty() && texts.back() == std::make_pair(std::string(), 4));
  std::string streamed;
  size_t fullBlocks = 0;
  for (size_t i = 0; i + 1 < texts.size(); ++i) {
    FUZZ_CHECK(texts[i].second == static_cast<int>(texts[i].first.size()));
    FUZZ_CHECK(texts[i].second <= kMostTextPerWrite);
    fullBlocks += texts[i].second == kMostTextPerWrite;
    streamed += texts[i].first;
  }
  FUZZ_CHECK(streamed == block);
  // Served whole, the payload goes in as many full blocks as it holds.
  FUZZ_CHECK(pattern != 0 || fullBlocks == payload.size() / kStreamBlock);

  std::string decoded;
  for (const std::string& piece : nycl::fuzz::Pieces(block, pattern, Unit(pattern))) {
    DecodeBase64Pipe(piece.data(), static_cast<int>(piece.size()), AppendBytes, &decoded);
  }
  DecodeBase64Pipe(nullptr, 0, AppendBytes, &decoded);
  FUZZ_CHECK(decoded == payload);

  Reader text{nycl::fuzz::Pieces(block, pattern, Unit(pattern))};
  decoded.clear();
  nycl::DecodeBase64Stream(AppendBytes, &decoded, Read, &text);
  FUZZ_CHECK(decoded == payload);
}

void DecodeAnyText(const std::string& text, uint8_t pattern) {
  std::string piped;
  for (const std::string& piece : nycl::fuzz::Pieces(text, pattern, Unit(pattern))) {
    DecodeBase64Pipe(piece.data(), static_cast<int>(piece.size()), AppendBytes, &piped);
  }
  DecodeBase64Pipe(nullptr, 0, AppendBytes, &piped);
  FUZZ_CHECK(piped.size() <= (text.size() + 3) / 4 * 3);

  const int length = static_cast<int>(text.size());
  std::vector<unsigned char> out(3 * ((text.size() + 3) / 4) + 1);
  int count = -1;
  DecodeBase64Block(text.data(), out.data(), length, &count);
  FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= out.size() - 1);

  EncodeBlock(text);

  Reader reader{nycl::fuzz::Pieces(text, pattern, Unit(pattern))};
  std::string streamed;
  nycl::DecodeBase64Stream(AppendBytes, &streamed, Read, &reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nycl::fuzz::InputReader input(data, size);
  const uint8_t mode = input.Byte();
  const uint8_t pattern = input.Byte();
  nycl::ResetBase64Pipes();
  if (mode == 2) {
    // Short pieces of long payloads would make slow inputs; short pieces are for the others.
    const uint8_t longPieces = pattern == 0 ? 0 : pattern | 0x80;
    for (size_t generated = 0; !input.Done();) {
      const size_t length = input.Short();
      generated += length;
      if (generated > kMostGenerated) break;
      RoundTrip(Generated(length), longPieces);
    }
  } else if (mode % 2 == 0) {
    RoundTrip(input.Rest(), pattern);
  } else {
    DecodeAnyText(input.Rest(), pattern);
  }
  return 0;
}
