// Behaviour at the edges of the socket layer: a socket that goes away in the middle of its
// own callbacks, and misuse of the send queue.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "net/LoopRunner.h"
#include "net/Loopback.h"
#include "nycl/net/Buffer.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/TcpSocket.h"

namespace nycl {
namespace {

// The sink of an accepted socket: records what arrives and closes the socket on "bye".
class ClosingSink : public SocketSink {
 public:
  void OnRecv(const unsigned char* data, int len) override {
    std::string line(reinterpret_cast<const char*>(data), len);
    Note("[" + line + "]");
    if (line == "bye") socket_->Close();
  }
  void OnRecvMessage(int code, void*) override {
    if (code == TSMSG_CLOSE) Note("<close>");
    if (code == TSMSG_DESTROYED) Note("<destroyed>");
  }
  void Attach(TcpSocket* socket) { socket_ = socket; }
  std::string Log() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }

 private:
  void Note(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_ += text;
  }
  TcpSocket* socket_ = nullptr;
  std::mutex mutex_;
  std::string log_;
};

// The listening socket's sink: gives each accepted socket a line splitter and a ClosingSink.
class ListenSink : public SocketSink {
 public:
  void OnRecv(const unsigned char*, int) override {}
  void OnRecvMessage(int code, void* data) override {
    if (code == TSMSG_CONNECTED) listening = true;
    if (code != TSMSG_ACCEPTED) return;
    auto* socket = static_cast<TcpSocket*>(data);
    peer.Attach(socket);
    socket->SetSink(&peer);
    socket->AddProcessor(new LineModeInput);
  }
  std::atomic<bool> listening{false};
  ClosingSink peer;
};

// An accepted socket deletes itself when destroyed. Closed by its sink while the line splitter
// is still cutting the block that held the closing line, it must outlive that block: the
// splitter hands on the rest of the block, and only then does the socket go.
TEST(NetConformanceTest, AcceptedSocketClosedFromItsOwnLineOutlivesTheBlock) {
  LoopRunner runner(SharedSelector());
  runner.Start();
  ListenSink sink;
  TcpSocket server(&sink);
  const std::string port = FreePort();
  runner.RunOnLoop([&] { server.Listen("127.0.0.1", port.c_str()); });
  ASSERT_TRUE(sink.listening.load());
  int connected = -1;
  int peer = RawConnect(port, SOCK_CLOEXEC, &connected);
  ASSERT_EQ(connected, 0);
  const char block[] = "hello\nbye\nafter\nlast";
  ASSERT_EQ(write(peer, block, sizeof block - 1), static_cast<ssize_t>(sizeof block - 1));
  ASSERT_TRUE(WaitFor([&] { return sink.peer.Log().find("<destroyed>") != std::string::npos; }));
  // Let the loop finish the block before looking at the whole record.
  runner.RunOnLoop([] {});
  EXPECT_EQ(sink.peer.Log(), "[hello][bye]<close><destroyed>[after]");
  close(peer);
  runner.RunOnLoop([&] { server.Destroy(); });
  runner.Stop();
}

// Queues four bytes, makes them current and consumes `count`.
void RemoveFromFourBytes(int count) {
  Buffer buffer;
  const unsigned char bytes[4] = {1, 2, 3, 4};
  buffer.Add(bytes, 4);
  int n = 0;
  buffer.Current(&n, 4096);
  buffer.Remove(count);
}

// Consuming more than the work area holds stops the program with the check's own text, in
// every build: going on would move the read position past the queued bytes.
TEST(NetConformanceDeathTest, RemovingMoreThanIsUnreadStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(RemoveFromFourBytes(5), "len<=m_wrkend-m_wrkstrt && len>=0");
  EXPECT_DEATH(RemoveFromFourBytes(-1), "len<=m_wrkend-m_wrkstrt && len>=0");
}

// A timer with a settable period that counts its ticks and runs `on_tick` on each.
class CountingTimer : public SocketTimer {
 public:
  explicit CountingTimer(long long period) : period_(period) {}
  void OnTimer() override {
    ++ticks;
    if (on_tick) on_tick();
  }
  Interval GetInterval() override { return Interval(0, period_); }
  bool KeepRunning() override { return keep; }
  void SetPeriod(long long period) { period_ = period; }
  std::atomic<int> ticks{0};
  std::function<void()> on_tick;
  bool keep = true;

 private:
  long long period_;
};

// Both timers are due in the same pass. The first one takes the second out and schedules it
// anew with a long period: the second must wait for its new deadline, not tick in that pass.
TEST(NetConformanceTest, TimerRescheduledByAnEarlierTickWaitsForItsNewDeadline) {
  SocketSelector selector;
  auto* first = new CountingTimer(10);
  CountingTimer later(10);
  first->keep = false;  // one tick, then the loop deletes it
  first->on_tick = [&] {
    selector.Remove(&later);
    later.SetPeriod(60000);
    selector.Add(&later);
  };
  selector.Add(first);
  selector.Add(&later);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // both are due at the start
  LoopRunner runner(selector);
  runner.Start();
  runner.RunOnLoop([] {});
  EXPECT_EQ(later.ticks.load(), 0);
  runner.Stop();
  selector.Remove(&later);
}

}  // namespace
}  // namespace nycl
