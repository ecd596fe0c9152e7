// The base64 pipes and blocks. Input: byte 0 picks the mode, byte 1 the piece sizes (as in
// the line splitter's target), the rest is the payload.
//   even mode: the payload is bytes; they are encoded in pieces of a multiple of 3 bytes
//              (as uploads are), and the text is decoded again in arbitrary pieces: the
//              result must be the payload;
//   odd mode:  the payload is text, decoded in arbitrary pieces by the pipe and whole by
//              the block function, and read through the stream functions. Each output
//              buffer has exactly the size the header asks for, so the sanitizer sees any
//              write past it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nycl/base/Base64.h"

namespace {

using nycl::DecodeBase64Block;
using nycl::DecodeBase64Pipe;
using nycl::EncodeBase64Block;
using nycl::EncodeBase64Pipe;

std::vector<std::string> Pieces(const std::string& text, uint8_t pattern, size_t unit) {
  std::vector<std::string> pieces;
  uint32_t state = pattern;
  for (size_t at = 0; at < text.size();) {
    state = state * 1103515245u + 12345u;
    size_t size = pattern == 0 ? text.size() : unit * (1 + (state >> 16) % pattern);
    pieces.push_back(text.substr(at, size));
    at += size;
  }
  return pieces;
}

void AppendText(void* out, const char* text, int) {
  static_cast<std::string*>(out)->append(text);
}

void AppendBytes(void* out, const unsigned char* bytes, int count) {
  FUZZ_CHECK(count >= 0);
  static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(bytes), count);
}

struct Reader {
  std::vector<std::string> pieces;
  size_t next = 0;
};

int ReadText(void* context, char* buffer, int size) {
  auto* reader = static_cast<Reader*>(context);
  if (reader->next == reader->pieces.size()) return 0;
  const std::string& piece = reader->pieces[reader->next++];
  const int length = std::min(size, static_cast<int>(piece.size()));
  std::memcpy(buffer, piece.data(), length);
  return length;
}

void RoundTrip(const std::string& payload, uint8_t pattern) {
  std::string text;
  const size_t unit = 3 * (1 + pattern % 32);
  for (const std::string& piece : Pieces(payload, 1, unit)) {
    EncodeBase64Pipe(reinterpret_cast<const unsigned char*>(piece.data()),
                     static_cast<int>(piece.size()), AppendText, &text);
  }
  EncodeBase64Pipe(nullptr, 0, AppendText, &text);
  FUZZ_CHECK(text.size() == (payload.size() + 2) / 3 * 4);

  std::string decoded;
  for (const std::string& piece : Pieces(text, pattern, 1)) {
    DecodeBase64Pipe(piece.data(), static_cast<int>(piece.size()), AppendBytes, &decoded);
  }
  DecodeBase64Pipe(nullptr, 0, AppendBytes, &decoded);
  FUZZ_CHECK(decoded == payload);
}

void DecodeAnyText(const std::string& text, uint8_t pattern) {
  std::string piped;
  for (const std::string& piece : Pieces(text, pattern, 1)) {
    DecodeBase64Pipe(piece.data(), static_cast<int>(piece.size()), AppendBytes, &piped);
  }
  DecodeBase64Pipe(nullptr, 0, AppendBytes, &piped);
  FUZZ_CHECK(piped.size() <= (text.size() + 3) / 4 * 3);

  const int length = static_cast<int>(text.size());
  std::vector<unsigned char> out(3 * ((text.size() + 3) / 4) + 1);
  int count = -1;
  DecodeBase64Block(text.data(), out.data(), length, &count);
  FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= out.size() - 1);

  std::vector<char> encoded(4 * ((text.size() + 2) / 3) + 1);
  EncodeBase64Block(reinterpret_cast<const unsigned char*>(text.data()), encoded.data(), length);
  FUZZ_CHECK(std::strlen(encoded.data()) == encoded.size() - 1);

  Reader reader{Pieces(text, pattern, 1), 0};
  std::string streamed;
  nycl::DecodeBase64Stream(AppendBytes, &streamed, ReadText, &reader);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nycl::fuzz::InputReader input(data, size);
  const uint8_t mode = input.Byte();
  const uint8_t pattern = input.Byte();
  const std::string payload = input.Rest();
  nycl::ResetBase64Pipes();
  if (mode % 2 == 0) {
    RoundTrip(payload, pattern);
  } else {
    DecodeAnyText(payload, pattern);
  }
  return 0;
}
