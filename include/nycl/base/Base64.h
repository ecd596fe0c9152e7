// Base64 coding of payload bytes: the standard alphabet and "=" padding, no line breaks.
//
// The block functions code one buffer. The pipes code a stream piece by piece and hand their
// output to a callback; the stream functions drive a pipe from a read callback. `ctx`
// arguments are opaque and handed to the callbacks unchanged.
//
// Threads: the pipes carry input between calls in process-wide, unguarded state, so at most
// one encoding stream and one decoding stream may be in progress at a time, on one thread.
#ifndef NYCL_BASE_BASE64_H
#define NYCL_BASE_BASE64_H

namespace nycl {

// Receives encoded text: `text` is NUL-terminated and valid only during the call. The
// end-of-stream text is empty but comes with a length of 4 (its buffer holds 4 NUL bytes).
using Base64TextWriter = void (*)(void* ctx, const char* text, int length);
// Receives decoded bytes, valid only during the call.
using Base64ByteWriter = void (*)(void* ctx, const unsigned char* bytes, int count);
// Fill `buffer` with up to `size` bytes (or characters); 0 or less ends the stream.
using Base64ByteReader = int (*)(void* ctx, unsigned char* buffer, int size);
using Base64TextReader = int (*)(void* ctx, char* buffer, int size);

// Encodes `len` bytes of `in` as 4 characters per 3 bytes, the last 1 or 2 bytes padded to 4
// characters with "=", and a NUL. `out` must hold 4 * ((len + 2) / 3) + 1 bytes. A `len`
// below 1 gives the empty text.
void EncodeBase64Block(const unsigned char* in, char* out, int len);

// Decodes `len` characters of `in` in groups of 4 (a short last group as if padded) into 3
// bytes per group and a NUL; `out` must hold 3 * ((len + 3) / 4) + 1 bytes. `*count`
// receives the number of meaningful bytes: each of a group's second to fourth characters
// that is a character of the alphabet adds one, while "=", NUL and any other byte count as
// 0 and add none. A first character outside the alphabet (or "=") counts as 0. A `len` below
// 1 gives an empty `out` and a count of 0.
void DecodeBase64Block(const char* in, unsigned char* out, int len, int* count);

// Encodes the next `len` bytes of a stream and emits all of them: the bytes carried from the
// previous call joined with `data`, complete groups in one text, then the last 1 or 2 bytes
// as one padded group of 4 characters; nothing is left carried. A `len` of 0 marks the end of
// the stream and emits one empty text with length 4. A negative `len` (or null data with a
// positive `len`) emits nothing. Ends the process if memory runs out.
void EncodeBase64Pipe(const unsigned char* data, int len, Base64TextWriter write, void* ctx);

// Decodes the next `len` characters of a stream: the characters carried from the previous
// call joined with `text`; every complete group of 4 is decoded and emitted with one call of
// `write` (texts longer than the working buffer take one call per piece); the last
// (total mod 4) characters are carried to the next call. A `len` of 0 flushes: carried
// characters are decoded as one short group and emitted. A negative `len` (or null text with
// a positive `len`) does nothing. Returns 0.
int DecodeBase64Pipe(const char* text, int len, Base64ByteWriter write, void* ctx);

// Reads pieces of up to 2040 bytes with `read` until it returns 0 or less, encodes each with
// EncodeBase64Pipe, then emits the end-of-stream text.
void EncodeBase64Stream(Base64TextWriter write, void* wctx, Base64ByteReader read, void* rctx);

// Reads pieces of up to 2040 characters with `read` until it returns 0 or less, decodes each
// with DecodeBase64Pipe, then flushes.
void DecodeBase64Stream(Base64ByteWriter write, void* wctx, Base64TextReader read, void* rctx);

// Forgets whatever the pipes carry, for a stream abandoned midway (a transfer cut off by a
// closed connection) so that the next stream starts clean.
void ResetBase64Pipes();

}  // namespace nycl

#endif  // NYCL_BASE_BASE64_H
