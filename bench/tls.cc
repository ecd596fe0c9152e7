// Receive throughput over loopback: an SSLTcpSocket taking 256 MiB through TLS, next to a
// plain TcpSocket taking the same over the same kind of connection. The sender is the tests'
// TLS peer on its own thread; the event loop runs on another; the time runs from the first byte
// sent until the sink has counted the last one.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "nycl/net/SSLTcpSocket.h"
#include "nycl/net/SocketSelector.h"
#include "nycl/net/TcpSocket.h"
#include "support/TlsTestPeer.h"

namespace {

using nycl::TlsTestPeer;

constexpr long long kTotalBytes = 256LL << 20;
constexpr int kTimeoutMs = 60000;

// Counts received bytes and wakes the waiting thread when all have arrived.
class CountingSink : public nycl::SocketSink {
 public:
  void OnRecv(const unsigned char*, int len) override {
    if (received_.fetch_add(len) + len >= kTotalBytes) Wake();
  }
  void OnRecvMessage(int, void*) override {}

  bool WaitForAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(kTimeoutMs),
                          [this] { return received_.load() >= kTotalBytes; });
  }

 private:
  void Wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.notify_all();
  }

  std::atomic<long long> received_{0};
  std::mutex mutex_;
  std::condition_variable done_;
};

nycl::SocketSelector& Selector() {
  static nycl::SocketSelector* selector = [] {
    auto* created = new nycl::SocketSelector;
    nycl::TcpSocket::SetSocketSelect(created);
    return created;
  }();
  return *selector;
}

void Receive(benchmark::State& state, bool tls) {
  const std::vector<char> chunk(256 << 10, 'z');
  for (auto _ : state) {
    TlsTestPeer peer;
    CountingSink sink;
    Selector();
    std::unique_ptr<nycl::TcpSocket> socket(tls ? new nycl::SSLTcpSocket(&sink)
                                                : new nycl::TcpSocket(&sink));
    socket->Connect("127.0.0.1", peer.port().c_str());
    std::thread loop([] { Selector().MainLoop(); });
    // The handshake request needs the loop's socket window.
    for (int i = 0; nycl::SocketSelector::get_g_sockWnd() == nullptr && i < kTimeoutMs; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool ready = peer.Accept(kTimeoutMs);
    if (ready && tls) {
      auto* ssl = static_cast<nycl::SSLTcpSocket*>(socket.get());
      ssl->RequestHandShake();
      ready = peer.StartTls(kTimeoutMs);
      for (int i = 0; ready && ssl->is_ssl_running() == 0 && i < kTimeoutMs; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      ready = ready && ssl->is_ssl_running() != 0;
    }

    bool received = false;
    if (ready) {
      const auto start = std::chrono::steady_clock::now();
      std::thread sender([&peer, &chunk] {
        for (long long sent = 0; sent < kTotalBytes; sent += chunk.size()) {
          if (!peer.Write(chunk.data(), chunk.size(), kTimeoutMs)) return;
        }
      });
      received = sink.WaitForAll();
      const auto stop = std::chrono::steady_clock::now();
      sender.join();
      state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    Selector().ExitMainLoop();
    loop.join();
    if (!received) {
      state.SkipWithError(("transfer failed: " + peer.error()).c_str());
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * kTotalBytes);
}

void BM_TcpSocketReceive(benchmark::State& state) {
  Receive(state, false);
}
void BM_SSLTcpSocketReceive(benchmark::State& state) {
  Receive(state, true);
}

BENCHMARK(BM_TcpSocketReceive)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SSLTcpSocketReceive)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
