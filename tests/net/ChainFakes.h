// Fakes for driving a processor chain without a transport: a socket that records what reaches
// its transport end, and a sink that records what reaches the sink end.
#ifndef NYCL_TESTS_NET_CHAINFAKES_H
#define NYCL_TESTS_NET_CHAINFAKES_H

#include <string>

#include "nycl/net/Socket.h"

namespace nycl {

// Renders blocks as [bytes] and messages as <code>, in order.
class RecordingSink : public SocketSink {
 public:
  void OnRecv(const unsigned char* data, int len) override {
    log += "[" + std::string(reinterpret_cast<const char*>(data), len) + "]";
  }
  void OnRecvMessage(int code, void*) override { log += "<" + std::to_string(code) + ">"; }
  std::string log;
};

class ChainSocket : public Socket {
 public:
  explicit ChainSocket(SocketSink* sink) : Socket(sink) {}
  void Connect(XString, XString) override {}
  void Listen(XString, XString) override {}
  void Close() override {}
  void Destroy() override {}
  std::string sent;

 protected:
  void DoSend(const unsigned char* data, int len) override {
    sent += "[" + std::string(reinterpret_cast<const char*>(data), len) + "]";
  }
  void DoSendMessage(int code, void*) override { sent += "<" + std::to_string(code) + ">"; }
};

inline void RecvText(Socket& socket, const std::string& text) {
  socket.Recv(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

inline void SendText(Socket& socket, const std::string& text) {
  socket.Send(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

}  // namespace nycl

#endif  // NYCL_TESTS_NET_CHAINFAKES_H
