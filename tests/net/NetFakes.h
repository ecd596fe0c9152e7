// Fakes for the net tests: a sink that records what reaches it, and a socket with no transport
// that records what reaches its transport end, for driving a processor chain directly.
#ifndef NYCL_TESTS_NET_NETFAKES_H
#define NYCL_TESTS_NET_NETFAKES_H

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "net/LoopRunner.h"
#include "nycl/net/Socket.h"

namespace nycl {

// Renders blocks as [bytes] and messages as <close>, <error:text>, <urgent:bytes>, ... or
// <code>, in order. Written by the thread that delivers, read by any other.
class RecordingSink : public SocketSink {
 public:
  void OnRecv(const unsigned char* data, int len) override {
    const std::string block(reinterpret_cast<const char*>(data), len);
    std::lock_guard<std::mutex> lock(mutex_);
    data_.bytes += block;
    data_.largest = std::max(data_.largest, len);
    if (data[len] != 0) ++data_.unterminated;
    events_.push_back("[" + block + "]");
  }
  void OnRecvMessage(int code, void* data) override {
    const char* name = code == TSMSG_CLOSE       ? "close"
                       : code == TSMSG_CONNECTED ? "connected"
                       : code == TSMSG_DESTROYED ? "destroyed"
                       : code == TSMSG_ACCEPTED  ? "accepted"
                                                 : nullptr;
    std::string event = "<" + (name != nullptr ? name : std::to_string(code)) + ">";
    if (code == TSMSG_ERROR || code == TSMSG_PEERNAME) {
      event = (code == TSMSG_ERROR ? "<error:" : "<peer:") +
              std::string(static_cast<XString*>(data)->c_str()) + ">";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (code == TSMSG_URGENT) {
      auto* urgent = static_cast<UrgentData*>(data);
      event =
          "<urgent:" + std::string(reinterpret_cast<const char*>(urgent->data), urgent->length) +
          ">";
      data_.bytes += event;
      if (urgent->data[urgent->length] != 0) ++data_.unterminated;
    }
    events_.push_back(event);
  }

  // Every event so far, run together.
  std::string Log() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string log;
    for (const std::string& event : events_) log += event;
    return log;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
    taken_ = 0;
  }
  // Waits until the log holds `text`.
  bool Saw(const std::string& text) {
    return WaitFor([&] { return Log().find(text) != std::string::npos; });
  }
  // The next event Next has not returned yet, or "timeout".
  std::string Next(double seconds = 5) {
    std::string event = "timeout";
    WaitFor(
        [&] {
          std::lock_guard<std::mutex> lock(mutex_);
          if (taken_ == events_.size()) return false;
          event = events_[taken_++];
          return true;
        },
        seconds);
    return event;
  }
  // The received bytes run together, urgent ones marked; the largest block; how many blocks
  // were not followed by a NUL.
  struct Data {
    std::string bytes;
    int largest = 0;
    int unterminated = 0;
  };
  Data Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> events_;
  size_t taken_ = 0;
  Data data_;
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

#endif  // NYCL_TESTS_NET_NETFAKES_H
