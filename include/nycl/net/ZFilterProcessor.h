// ZFilterProcessor: decompresses the received stream (zlib format) while enabled.
//
// Nothing in the stream marks compressed parts: the host switches the filter with messages
// sent down the chain (TSMSG_ZSTART, TSMSG_ZSTOP, TSMSG_ZPAUSE, TSMSG_ZRESUME). A pause saves
// the running stream on a stack of up to 200 and starts a fresh one; a resume returns to the
// saved stream. Sent data passes unchanged. Must lie on the transport side of the line
// splitter, since it hands decompressed bytes upward.
//
// While enabled, a block that is not zlib data is handed upward unchanged; after the end of a
// zlib stream every block is handed upward unchanged, preceded by an empty block.
//
// Threads: not locked. Received data runs on the event-loop thread; the host must send the
// switching messages on that thread too, or otherwise keep them from overlapping a receive.
#ifndef NYCL_NET_ZFILTERPROCESSOR_H
#define NYCL_NET_ZFILTERPROCESSOR_H

#include <zlib.h>

#include "nycl/net/SocketProcessor.h"

namespace nycl {

class ZFilterProcessor : public SocketProcessor {
 public:
  explicit ZFilterProcessor(unsigned int size = 4096);
  ZFilterProcessor(const ZFilterProcessor&) = delete;
  ZFilterProcessor& operator=(const ZFilterProcessor&) = delete;
  ~ZFilterProcessor() override;

  // Switches decompression of received data on or off; returns `on`.
  bool Enable(bool on);

  void ProcSend(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcSendMessage(ProcessorIterator it, int code, void* data) override;
  void ProcRecvMessage(ProcessorIterator it, int code, void* data) override;

 private:
  static constexpr int kMaxSaved = 200;

  // Saves `stream` (taking ownership) on the stack; 0 when 200 are already saved.
  int PushStream(z_stream_s* stream);
  // The most recently saved stream (ownership passes to the caller), or null.
  z_stream_s* PopStream();
  // Replaces the live stream by a fresh one.
  void FreshStream();
  // Hands a copy of the block upward, with a NUL after it (nothing when no copy can be made).
  void PassRecvAsItCame(ProcessorIterator it, const unsigned char* data, int len);
  // Unused by the receive path: "@@" becomes "@", "@" and any other byte a NUL and that byte.
  static int un_escape_NULLS(const char* in, char* out, int inlen, int* outlen);

  int m_finished = 0;
  // Streams live on the heap: zlib keeps a pointer back to its stream record, so a record
  // must not move while its stream is in use.
  z_stream_s* m_saved[kMaxSaved] = {};
  int m_depth = 0;
  int m_enabled = 0;
  unsigned char* m_output;
  z_stream_s* m_stream = nullptr;
  // The size the filter was made with; decompression does not depend on it.
  [[maybe_unused]] unsigned int m_size;
};

}  // namespace nycl

#endif  // NYCL_NET_ZFILTERPROCESSOR_H
