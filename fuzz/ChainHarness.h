// A socket without transport for driving processors of the receiving chain: blocks given to
// Deliver enter at the transport end, what reaches the sink end is handed to the observer.
#ifndef NYCL_FUZZ_CHAINHARNESS_H
#define NYCL_FUZZ_CHAINHARNESS_H

#include <functional>
#include <string>

#include "nycl/net/Socket.h"

namespace nycl::fuzz {

class ChainHarness : public Socket, private SocketSink {
 public:
  // `observer` receives each block that reaches the sink end, valid during the call.
  explicit ChainHarness(std::function<void(const unsigned char*, int)> observer)
      : Socket(nullptr), observer_(std::move(observer)) {
    SetSink(this);
  }

  void Deliver(const std::string& block) {
    Recv(reinterpret_cast<const unsigned char*>(block.data()), static_cast<int>(block.size()));
  }

  void Connect(XString, XString) override {}
  void Listen(XString, XString) override {}
  void Close() override {}
  void Destroy() override {}

 protected:
  void DoSend(const unsigned char*, int) override {}
  void DoSendMessage(int, void*) override {}

 private:
  void OnRecv(const unsigned char* data, int len) override { observer_(data, len); }
  void OnRecvMessage(int, void*) override {}

  std::function<void(const unsigned char*, int)> observer_;
};

}  // namespace nycl::fuzz

#endif  // NYCL_FUZZ_CHAINHARNESS_H
