// LineModeOutput: ends every block sent down the chain with a line feed.
//
// Blocks longer than 4096 bytes are handed on in pieces of 4096 (the last holds the rest);
// nothing is copied. Stateless, so any thread may send through it.
#ifndef NYCL_NET_LINEMODEOUTPUT_H
#define NYCL_NET_LINEMODEOUTPUT_H

#include "nycl/net/SocketProcessor.h"

namespace nycl {

class LineModeOutput : public SocketProcessor {
 public:
  void ProcSend(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcSendMessage(ProcessorIterator it, int code, void* data) override;
  void ProcRecvMessage(ProcessorIterator it, int code, void* data) override;
};

}  // namespace nycl

#endif  // NYCL_NET_LINEMODEOUTPUT_H
