// Text format: the 64 characters of the standard base64 alphabet, then "=" as a 65th; a
// character's value is its position, so "=" is 64.
//
//   group    := c1 c2 c3 c4          (a short last group reads as if padded)
//   byte 1   := (c1 << 2 | c2 >> 4) & 0xff
//   byte 2   := (c2 << 4 | c3 >> 2) & 0xff
//   byte 3   := (c3 << 6 | c4) & 0xff
//
// c2..c4 are valid when they are one of the 64 alphabet characters; "=", NUL, bytes outside
// the alphabet and the missing characters of a short group read as 0 and do not count. c1 is
// taken as it is: outside the alphabet (and "=", whose value shifted out of the byte) it
// reads as 0. All three bytes are stored for every group; the count says how many matter.
//
// Pipe framing: the encoder emits every byte it is given at once, complete groups in one
// text and a trailing 1 or 2 bytes as a padded group, so its carry is empty between calls;
// the end of a stream is one empty text with length 4. The decoder carries the incomplete
// last group (0 to 3 characters) to the next call or to the flush.
#include "nycl/base/Base64.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nycl {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// Value of each byte as a group's second to fourth character; kInvalid for everything that
// reads as 0 without counting ("=" included).
constexpr unsigned char kInvalid = 0xff;

struct DecodeTable {
  unsigned char value[256];
  constexpr DecodeTable() : value() {
    for (int i = 0; i < 256; ++i) value[i] = kInvalid;
    for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = i;
  }
};

constexpr DecodeTable kDecode;

// Pieces a pipe call works on: the decoder joins carry and text in a buffer of this size
// (one byte of it kept for a NUL), and decodes into one of kDecodeOutputSize.
constexpr int kDecodeWorkSize = 4048;
constexpr int kDecodeOutputSize = 4056;
// Largest input, in bytes, encoded into one emitted text: its length still fits an int.
constexpr size_t kMaxEncodeChunk = size_t{3} << 28;
// Size of the read buffer of the stream functions.
constexpr int kStreamPiece = 2040;

// Process-wide carries of the two pipes.
unsigned char g_encodeCarry[2];
int g_encodeCarryCount = 0;
char g_decodeCarry[3];
int g_decodeCarryCount = 0;

[[noreturn]] void OutOfMemory() {
  std::perror("BUFFER OVERFLOW: base64.c: EncodeBase64Pipe ");
  std::abort();
}

void* AllocateOrDie(size_t size) {
  void* block = std::calloc(size, 1);
  if (block == nullptr) OutOfMemory();
  return block;
}

inline unsigned Value(char c) {
  return kDecode.value[static_cast<unsigned char>(c)];
}

// Decodes one group of `length` (1 to 4) characters into out[0..2]; returns its count.
int DecodeGroup(const char* in, int length, unsigned char* out) {
  unsigned v[4];
  int count = 0;
  v[0] = Value(in[0]);
  if (v[0] == kInvalid) v[0] = 0;
  for (int i = 1; i < 4; ++i) {
    v[i] = i < length ? Value(in[i]) : kInvalid;
    if (v[i] == kInvalid) {
      v[i] = 0;
    } else {
      ++count;
    }
  }
  out[0] = static_cast<unsigned char>(v[0] << 2 | v[1] >> 4);
  out[1] = static_cast<unsigned char>(v[1] << 4 | v[2] >> 2);
  out[2] = static_cast<unsigned char>(v[2] << 6 | v[3]);
  return count;
}

}  // namespace

void EncodeBase64Block(const unsigned char* in, char* out, int len) {
  if (len < 1) {
    out[0] = '\0';
    return;
  }
  int i = 0;
  for (; i + 3 <= len; i += 3) {
    unsigned triple = unsigned{in[i]} << 16 | unsigned{in[i + 1]} << 8 | in[i + 2];
    *out++ = kAlphabet[triple >> 18];
    *out++ = kAlphabet[(triple >> 12) & 63];
    *out++ = kAlphabet[(triple >> 6) & 63];
    *out++ = kAlphabet[triple & 63];
  }
  if (i < len) {
    unsigned triple = unsigned{in[i]} << 16;
    if (i + 1 < len) triple |= unsigned{in[i + 1]} << 8;
    *out++ = kAlphabet[triple >> 18];
    *out++ = kAlphabet[(triple >> 12) & 63];
    *out++ = i + 1 < len ? kAlphabet[(triple >> 6) & 63] : '=';
    *out++ = '=';
  }
  *out = '\0';
}

void DecodeBase64Block(const char* in, unsigned char* out, int len, int* count) {
  *count = 0;
  if (len < 1) {
    out[0] = '\0';
    return;
  }
  int total = 0;
  int i = 0;
  for (; i + 4 <= len; i += 4, out += 3) {
    unsigned a = Value(in[i]), b = Value(in[i + 1]), c = Value(in[i + 2]), d = Value(in[i + 3]);
    if ((a | b | c | d) < 64) {
      out[0] = static_cast<unsigned char>(a << 2 | b >> 4);
      out[1] = static_cast<unsigned char>(b << 4 | c >> 2);
      out[2] = static_cast<unsigned char>(c << 6 | d);
      total += 3;
    } else {
      total += DecodeGroup(in + i, 4, out);
    }
  }
  if (i < len) {
    total += DecodeGroup(in + i, len - i, out);
    out += 3;
  }
  *out = '\0';
  *count = total;
}

void EncodeBase64Pipe(const unsigned char* data, int len, Base64TextWriter write, void* ctx) {
  if (len < 0 || (len > 0 && data == nullptr)) return;
  if (len == 0) {
    if (g_encodeCarryCount != 0) return;
    // The length 4 promised with the empty text is backed by real (NUL) bytes.
    char* text = static_cast<char*>(AllocateOrDie(5));
    if (write != nullptr) write(ctx, text, 4);
    std::free(text);
    return;
  }

  size_t total = static_cast<size_t>(g_encodeCarryCount) + static_cast<size_t>(len);
  unsigned char* joined = static_cast<unsigned char*>(AllocateOrDie(total + 1));
  std::memcpy(joined, g_encodeCarry, g_encodeCarryCount);
  std::memcpy(joined + g_encodeCarryCount, data, len);
  size_t full = total - total % 3;
  g_encodeCarryCount = static_cast<int>(total % 3);
  std::memcpy(g_encodeCarry, joined + full, g_encodeCarryCount);

  // Inputs beyond kMaxEncodeChunk (about 800 MB) are emitted in several texts, so that no
  // length handed to `write` overflows an int.
  size_t chunk = std::min(full, kMaxEncodeChunk);
  char* text = static_cast<char*>(AllocateOrDie(std::max<size_t>(chunk / 3 * 4, 4) + 1));
  for (size_t done = 0; done < full; done += chunk) {
    size_t piece = std::min(chunk, full - done);
    EncodeBase64Block(joined + done, text, static_cast<int>(piece));
    if (write != nullptr) write(ctx, text, static_cast<int>(piece / 3 * 4));
  }
  if (g_encodeCarryCount > 0) {
    EncodeBase64Block(g_encodeCarry, text, g_encodeCarryCount);
    g_encodeCarryCount = 0;
    if (write != nullptr) write(ctx, text, 4);
  }
  std::free(text);
  std::free(joined);
}

// Text longer than the working buffer is processed in pieces: each piece fills the buffer
// together with the carry and is emitted with its own call of `write`.
int DecodeBase64Pipe(const char* text, int len, Base64ByteWriter write, void* ctx) {
  if (len < 0 || (len > 0 && text == nullptr)) return 0;
  if (len == 0) {
    if (g_decodeCarryCount == 0) return 0;
    unsigned char bytes[4];
    int count = 0;
    DecodeBase64Block(g_decodeCarry, bytes, g_decodeCarryCount, &count);
    g_decodeCarryCount = 0;
    if (write != nullptr) write(ctx, bytes, count);
    return 0;
  }

  char work[kDecodeWorkSize];
  unsigned char bytes[kDecodeOutputSize];
  while (len > 0) {
    int piece = std::min(len, kDecodeWorkSize - 1 - g_decodeCarryCount);
    std::memcpy(work, g_decodeCarry, g_decodeCarryCount);
    std::memcpy(work + g_decodeCarryCount, text, piece);
    int total = g_decodeCarryCount + piece;
    int complete = total - total % 4;
    g_decodeCarryCount = total % 4;
    std::memcpy(g_decodeCarry, work + complete, g_decodeCarryCount);
    if (complete > 0) {
      int count = 0;
      DecodeBase64Block(work, bytes, complete, &count);
      if (write != nullptr) write(ctx, bytes, count);
    }
    text += piece;
    len -= piece;
  }
  return 0;
}

void EncodeBase64Stream(Base64TextWriter write, void* wctx, Base64ByteReader read, void* rctx) {
  unsigned char buffer[kStreamPiece];
  while (read != nullptr) {
    int got = read(rctx, buffer, kStreamPiece);
    if (got <= 0) break;
    EncodeBase64Pipe(buffer, std::min(got, kStreamPiece), write, wctx);
  }
  EncodeBase64Pipe(nullptr, 0, write, wctx);
}

void DecodeBase64Stream(Base64ByteWriter write, void* wctx, Base64TextReader read, void* rctx) {
  char buffer[kStreamPiece];
  while (read != nullptr) {
    int got = read(rctx, buffer, kStreamPiece);
    if (got <= 0) break;
    DecodeBase64Pipe(buffer, std::min(got, kStreamPiece), write, wctx);
  }
  DecodeBase64Pipe(nullptr, 0, write, wctx);
}

void ResetBase64Pipes() {
  g_encodeCarryCount = 0;
  g_decodeCarryCount = 0;
}

}  // namespace nycl
