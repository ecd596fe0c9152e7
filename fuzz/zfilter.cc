// The decompressing filter (under the line splitter when byte 0 is odd) fed raw blocks and
// zlib streams, whole, in pieces or corrupted, with its switching messages in between.
// Input: byte 0, then operations, each a byte followed by its operands:
//   0 piece        deliver the piece as it is
//   1 piece        compress the piece: it becomes the pending stream
//   2 n            deliver the next n + 1 bytes of the pending stream
//   3              deliver the rest of the pending stream
//   4 at x         flip the bits x | 1 of the pending stream's byte at (at mod its length)
//   5 m            send TSMSG_ZSTART, ZSTOP, ZPAUSE or ZRESUME (m mod 4)
//   6 n            the pending stream is a run of zero bytes, compressed: 1, 299,999,
//                  300,001 or 1,048,576 bytes (n mod 4), across the filter's output piece
//   7              TSMSG_DESTROYED travels up the chain
//
// Checked: no block handed up exceeds the filter's output piece; a filter never started
// passes every byte through; a complete, intact stream delivered right after TSMSG_ZSTART,
// whole or in pieces with nothing else between them, comes out as the text it was made from.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "ChainHarness.h"
#include "FuzzSupport.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/SocketMessages.h"
#include "nycl/net/ZFilterProcessor.h"

using nycl::fuzz::ChainHarness;

namespace {

constexpr size_t kOutputPiece = 300000;
constexpr size_t kKept = size_t{1} << 23;

std::string Compress(const std::string& text) {
  uLongf size = compressBound(text.size());
  std::string out(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(&out[0]), &size,
               reinterpret_cast<const Bytef*>(text.data()), text.size()) != Z_OK) {
    return std::string();
  }
  out.resize(size);
  return out;
}

constexpr size_t kZeroRuns[] = {1, kOutputPiece - 1, kOutputPiece + 1, size_t{1} << 20};

// The compressed run of zeros, made once: compressing a megabyte for every input would take
// most of the target's time.
const std::string& ZeroStream(int run) {
  static std::string streams[4];
  if (streams[run].empty()) streams[run] = Compress(std::string(kZeroRuns[run], '\0'));
  return streams[run];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nycl::fuzz::InputReader input(data, size);
  const bool lines = input.Byte() & 1;

  std::string output;  // what reached the sink, while it stays below kKept
  bool overflowed = false;
  ChainHarness socket([&](const unsigned char* block, int length) {
    FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) <= kOutputPiece);
    if (output.size() + static_cast<size_t>(length) > kKept) overflowed = true;
    if (!overflowed) output.append(reinterpret_cast<const char*>(block), length);
  });
  if (lines) socket.AddProcessor(new nycl::LineModeInput);
  socket.AddLastProcessor(new nycl::ZFilterProcessor);

  std::string delivered;     // every byte delivered, while the filter has never been started
  bool started = false;      // TSMSG_ZSTART was sent
  bool fresh = false;        // TSMSG_ZSTART was the last thing that happened
  std::string pending;       // the pending stream
  std::string pending_text;  // what it was made from
  size_t sent = 0;           // how much of it is delivered
  bool intact = false;       // it is a whole stream, unchanged and not delivered yet
  bool destroyed = false;    // TSMSG_DESTROYED went up: the filter stops after one piece
  bool checked = false;      // the pending stream went out unchanged since TSMSG_ZSTART
  size_t checked_from = 0;   // where its text begins in `output`

  auto deliver = [&](const std::string& block) {
    if (!started) delivered += block;
    socket.Deliver(block);
    fresh = false;
  };
  // Delivers the next `n` bytes of the pending stream. A whole, unchanged stream whose first
  // piece came right after TSMSG_ZSTART must have come out as its text once it is all in.
  auto deliver_pending = [&](size_t n) {
    if (sent == 0 && intact && fresh && !lines && !destroyed) {
      checked = true;
      checked_from = output.size();
    }
    deliver(pending.substr(sent, n));
    sent = std::min(pending.size(), sent + n);
    if (checked && sent == pending.size()) {
      if (!overflowed) FUZZ_CHECK(output.substr(checked_from) == pending_text);
      checked = false;
    }
  };
  auto set_pending = [&](const std::string& text) {
    pending_text = text;
    pending = Compress(text);
    sent = 0;
    intact = !pending.empty();
  };

  while (!input.Done()) {
    const int operation = input.Byte() % 8;
    if (operation != 2 && operation != 3) checked = false;  // something came between the pieces
    switch (operation) {
      case 0:
        deliver(input.Piece(1024));
        break;
      case 1:
        set_pending(input.Piece(1024));
        break;
      case 2:
        deliver_pending(size_t{input.Byte()} + 1);
        break;
      case 3:
        deliver_pending(pending.size());
        break;
      case 4: {
        const unsigned at = input.Short();
        const uint8_t flip = input.Byte() | 1;
        if (!pending.empty()) pending[at % pending.size()] ^= static_cast<char>(flip);
        intact = false;
        break;
      }
      case 5: {
        static const int kMessages[] = {nycl::TSMSG_ZSTART, nycl::TSMSG_ZSTOP, nycl::TSMSG_ZPAUSE,
                                        nycl::TSMSG_ZRESUME};
        const int code = kMessages[input.Byte() % 4];
        socket.SendMessage(code, nullptr);
        started = started || code == nycl::TSMSG_ZSTART;
        fresh = code == nycl::TSMSG_ZSTART;
        break;
      }
      case 6: {
        const int run = input.Byte() % 4;
        pending_text.assign(kZeroRuns[run], '\0');
        pending = ZeroStream(run);
        sent = 0;
        intact = true;
        break;
      }
      default:
        socket.RecvMessage(nycl::TSMSG_DESTROYED, nullptr);
        destroyed = true;
        fresh = false;
        break;
    }
  }
  socket.RecvMessage(nycl::TSMSG_CLOSE, nullptr);
  if (!started && !lines && !overflowed) FUZZ_CHECK(output == delivered);
  return 0;
}
