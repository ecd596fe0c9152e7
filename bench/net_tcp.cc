// TcpSocket receiving 256 MiB over loopback from a plain socket that writes as fast as it can.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "nycl/net/SocketSelector.h"
#include "nycl/net/TcpSocket.h"

namespace nycl {
namespace {

constexpr long long kTotal = 256LL << 20;

class CountingSink : public SocketSink {
 public:
  void OnRecv(const unsigned char*, int len) override { bytes += len; }
  void OnRecvMessage(int code, void*) override {
    if (code == TSMSG_DESTROYED) Socket::GetSocketSelect()->ExitMainLoop();
  }
  long long bytes = 0;
};

SocketSelector& Selector() {
  static SocketSelector* selector = [] {
    auto* s = new SocketSelector;
    TcpSocket::SetSocketSelect(s);
    return s;
  }();
  return *selector;
}

void BM_TcpSocketReceive(benchmark::State& state) {
  SocketSelector& selector = Selector();
  for (auto _ : state) {
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener, 1);
    socklen_t len = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &len);

    std::thread sender([listener] {
      int peer = accept(listener, nullptr, nullptr);
      std::vector<char> block(1 << 16, 'x');
      for (long long sent = 0; sent < kTotal;) {
        ssize_t n = send(peer, block.data(), block.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += n;
      }
      close(peer);
    });

    CountingSink sink;
    TcpSocket receiver(&sink);
    receiver.Connect("127.0.0.1", std::to_string(ntohs(address.sin_port)).c_str());
    selector.MainLoop();  // ends when the receiver is destroyed after the peer closed
    sender.join();
    close(listener);
    if (sink.bytes != kTotal) state.SkipWithError("short transfer");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kTotal);
}
BENCHMARK(BM_TcpSocketReceive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace nycl
