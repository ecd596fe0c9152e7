// LineModeInput: cuts the received byte stream into lines, one upward block per line.
//
// A line ends with a line feed; a carriage return directly before it in the same block is
// dropped, and so is a carriage return that is the first byte looked at (at the start of a
// block, after a line feed or after a line cut at the maximum). A line longer than the
// maximum is delivered in pieces of the maximum length. The delivered block is the
// processor's own line buffer, NUL-terminated, reused for the next line.
//
// Threads: belongs to the event-loop thread that receives.
#ifndef NYCL_NET_LINEMODEINPUT_H
#define NYCL_NET_LINEMODEINPUT_H

#include <cstdint>

#include "nycl/net/SocketProcessor.h"

namespace nycl {

class LineModeInput : public SocketProcessor {
 public:
  explicit LineModeInput(unsigned int max = 4096);
  LineModeInput(const LineModeInput&) = delete;
  LineModeInput& operator=(const LineModeInput&) = delete;
  ~LineModeInput() override;

  void ProcSend(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcSendMessage(ProcessorIterator it, int code, void* data) override;
  // TSMSG_CLOSE first delivers a partial line; every message is then passed upward.
  void ProcRecvMessage(ProcessorIterator it, int code, void* data) override;

 private:
  uint32_t m_max;
  uint32_t m_len = 0;
  unsigned char* m_line;
};

}  // namespace nycl

#endif  // NYCL_NET_LINEMODEINPUT_H
