// A socket with no transport, for benchmarks that drive a processor chain directly.
#ifndef NYCL_BENCH_BARESOCKET_H
#define NYCL_BENCH_BARESOCKET_H

#include "nycl/net/Socket.h"

namespace nycl {

class BareSocket : public Socket {
 public:
  explicit BareSocket(SocketSink* sink) : Socket(sink) {}
  void Connect(XString, XString) override {}
  void Listen(XString, XString) override {}
  void Close() override {}
  void Destroy() override {}

 protected:
  void DoSend(const unsigned char*, int) override {}
  void DoSendMessage(int, void*) override {}
};

}  // namespace nycl

#endif  // NYCL_BENCH_BARESOCKET_H
