// MeteredFilter: the session's decompression filter, which decompresses no faster than the
// line queue takes the lines.
//
// A compressed stream may expand a thousandfold: one read of 4 KiB can inflate to 4 MiB, that
// is four million empty lines, before the socket is asked again whether it may read. This
// filter is a ZFilterProcessor that feeds what arrives to its decompression in slices of
// kSlice bytes and, before each slice, asks the connection's core whether the queue has room.
// When it has none the rest is held back, the socket is not read (MayRead), and Resume feeds
// the held bytes once the command thread has taken enough lines. So the queue goes past its
// bound by at most what one slice decompresses to: about kSlice KiB, whatever the stream.
//
// Slicing changes nothing while a stream goes on. Only after the end of a finished zlib
// stream (which the protocol's switches never produce) does the read's rest differ: the
// filter drops what follows the end within the slice and hands later slices on as it hands
// on later reads, where a whole read would have been dropped.
//
// Threads: the loop thread only (received data, Resume, Holding), like the socket's chain.
// Owned by the socket's chain; borrows the core, which outlives the socket.
#ifndef NYCL_SRC_SESSION_METEREDFILTER_H
#define NYCL_SRC_SESSION_METEREDFILTER_H

#include <string>

#include "nycl/net/ZFilterProcessor.h"

namespace nycl {

class ConnectionCore;

class MeteredFilter final : public ZFilterProcessor {
 public:
  // Compressed bytes decompressed between two looks at the queue.
  static constexpr int kSlice = 128;

  explicit MeteredFilter(ConnectionCore* core) : core_(core) {}

  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override;
  // Feeds what was held back, for as long as the queue has room.
  void Resume();
  // Whether received bytes wait here for room in the queue.
  bool Holding() const { return !held_.empty(); }

 private:
  // Decompresses `data` slice by slice while the queue has room; holds back the rest.
  void Feed(const unsigned char* data, int len);

  ConnectionCore* core_;
  std::string held_;
  ProcessorIterator position_;  // this filter's place in the chain, from the first receive
};

}  // namespace nycl

#endif  // NYCL_SRC_SESSION_METEREDFILTER_H
