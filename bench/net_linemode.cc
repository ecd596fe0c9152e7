// LineModeInput: lines per second on a 64 MiB stream of protocol-like lines fed in 4 KiB blocks.
#include <benchmark/benchmark.h>

#include <string>

#include "BareSocket.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/Socket.h"

namespace nycl {
namespace {

class CountingSink : public SocketSink {
 public:
  void OnRecv(const unsigned char*, int len) override {
    ++lines;
    bytes += len;
  }
  void OnRecvMessage(int, void*) override {}
  long long lines = 0;
  long long bytes = 0;
};

const std::string& Stream() {
  static const std::string stream = [] {
    std::string s;
    s.reserve(64u << 20);
    for (int i = 0; s.size() < (64u << 20); ++i) {
      s += "fgl_DisplayAt \"field value ";
      s += std::to_string(i);
      s += "\" ";
      s += std::to_string(i % 24);
      s += (i % 3 == 0) ? " 1\r\n" : " 1\n";
    }
    s.resize(64u << 20);
    return s;
  }();
  return stream;
}

void BM_LineModeInput(benchmark::State& state) {
  const std::string& stream = Stream();
  const auto* data = reinterpret_cast<const unsigned char*>(stream.data());
  long long lines = 0;
  for (auto _ : state) {
    CountingSink sink;
    BareSocket socket(&sink);
    socket.AddProcessor(new LineModeInput);
    for (size_t at = 0; at < stream.size(); at += 4096) {
      socket.Recv(data + at, static_cast<int>(std::min<size_t>(4096, stream.size() - at)));
    }
    lines += sink.lines;
    benchmark::DoNotOptimize(sink.bytes);
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_LineModeInput)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace nycl
