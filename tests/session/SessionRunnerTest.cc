// A session's life through the runner: lines executed in order, answers leaving in order, a
// server that sends faster than the host executes, the ways a session ends, and the event loop
// the runners share.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <thread>

#include "nycl/net/TcpSocket.h"
#include "nycl/state/BaseConnection.h"
#include "session/SessionTestSupport.h"

namespace nycl {
namespace session_test {
namespace {

using End = SessionResult::End;
using std::chrono::milliseconds;

TEST_F(SessionTest, LinesRunInOrderAndAnswersLeaveInOrderFromEveryThread) {
  TlsTestPeer peer;
  Lines launches, side;
  TestRunner runner(&record_);
  SessionResult result;
  {
    ServerThread server([&] {
      ASSERT_TRUE(peer.Accept());
      ASSERT_TRUE(peer.Write(Joined(Launches(1, 150)) + "no_such_keyword 1\n" +
                             Joined(Launches(151, 300))));
      Lines lines;
      ReadLines(&peer, 600, &lines);
      for (const std::string& line : lines) (line[0] == 's' ? side : launches).push_back(line);
      peer.Close();
    });
    // Another thread of the host sends lines of its own meanwhile.
    std::thread sender;
    runner.on_connected = [&](NyCommonDataState* state) {
      sender = std::thread([connection = state->GetConnection()] {
        for (int i = 1; i <= 300; ++i) {
          std::string line = "side " + std::to_string(i);
          connection->SendString(&line[0]);
        }
      });
    };
    runner.on_end = [&] {
      if (sender.joinable()) sender.join();
    };
    result = runner.Run(NewState(), Options(peer.port()));
  }

  EXPECT_EQ(launches, Answers(1, 300));
  EXPECT_EQ(side, Numbered("side ", 1, 300));
  EXPECT_EQ(runner.unknown, Lines{"no_such_keyword 1"});
  EXPECT_EQ(result.end, End::kServerClosed);
  EXPECT_EQ(result.linesReceived, 301);
  EXPECT_EQ(result.linesSent, 600);
}

TEST_F(SessionTest, ServerCloseEndsTheSessionAfterItsLastLineAndTearsItDown) {
  TlsTestPeer peer;
  ServerThread server([&] {
    ASSERT_TRUE(peer.Accept());
    // The last line has no line feed: the end of the stream completes it.
    ASSERT_TRUE(
        peer.Write("fgl_WindowOpen w1 1 1 20 10 t 0\nfgl_WindowOpen w2 1 1 20 10 t 0\n"
                   "fgl_Exec prog 8"));
    peer.Close();
  });
  TestRunner runner(&record_);
  SessionResult result = runner.Run(NewState(), Options(peer.port()));

  EXPECT_EQ(result.end, End::kServerClosed);
  EXPECT_EQ(result.linesReceived, 3);
  EXPECT_EQ(record_.answers, Answers(8, 8));
  EXPECT_EQ(record_.events, Lines({"connected", "end, 2 windows", "window w1 destroyed",
                                   "window w2 destroyed", "state deleted"}));
  EXPECT_EQ(runner.GetConnection(), nullptr);
  EXPECT_EQ(runner.GetHolder()->GetLastDataState(), nullptr);
}

TEST_F(SessionTest, ConnectionThatCannotOpenOrBreaksEndsWithTheReason) {
  TestRunner runner(&record_);
  SessionResult result = runner.Run(NewState(), Options(FreePort()));
  EXPECT_EQ(result.end, End::kOpenFailed);
  EXPECT_NE(result.error.find("connect call failed"), std::string::npos) << result.error;
  EXPECT_EQ(record_.events, Lines({"end, 0 windows", "state deleted"}));

  TlsTestPeer peer;
  ServerThread server([&] {
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(peer.WriteLine("fgl_Exec prog 1"));
    std::string answer;
    ASSERT_TRUE(peer.ReadLine(&answer));
    peer.Reset();
  });
  result = runner.Run(NewState(), Options(peer.port()));
  EXPECT_EQ(result.end, End::kLost);
  EXPECT_EQ(result.error, "Connection lost: Connection reset by peer");
  EXPECT_EQ(result.linesReceived, 1);
}

TEST_F(SessionTest, SlowHostKeepsTheLineQueueBoundedAndLosesNothing) {
  constexpr int kLineLength = 1000;
  constexpr long kLines = (50L << 20) / kLineLength;
  constexpr long long kFlood = kLines * (kLineLength + 1LL);
  auto header = [](long n) {
    char text[16];
    std::snprintf(text, sizeof text, "L%08ld ", n);
    return std::string(text);
  };
  TlsTestPeer peer;
  ServerThread server([&] {
    ASSERT_TRUE(peer.Accept());
    std::string batch;
    for (long i = 0; i < kLines; ++i) {
      batch += header(i) + std::string(kLineLength - 10, 'x') + "\n";
      if (batch.size() < (64 << 10) && i + 1 < kLines) continue;
      ASSERT_TRUE(peer.Write(batch, 60000));
      batch.clear();
    }
    peer.Close();
  });

  // The host is busy with its first line until the server can write no more.
  TestRunner runner(&record_);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> client_fd{-1};
  long next = 0, out_of_order = 0;
  runner.on_connected = [&](NyCommonDataState* state) {
    client_fd = dynamic_cast<TcpSocket*>(state->GetConnection()->GetSocket())->FD();
  };
  runner.on_line = [&](const std::string& line) {
    if (next == 0) released.wait_for(std::chrono::seconds(60));
    if (line.size() != kLineLength || line.compare(0, 10, header(next++)) != 0) ++out_of_order;
  };
  AsyncRun run(&runner, NewState(), Options(peer.port()));
  long long stalled = -1;
  ASSERT_TRUE(WaitFor(
      [&] {
        const long long now = peer.written();
        if (now == stalled && now > 0) return true;
        stalled = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return false;
      },
      60));
  // What the kernel holds on either side is not in the process.
  int unread = -1;
  ::ioctl(client_fd, FIONREAD, &unread);
  const long long in_process = stalled - unread - peer.Unsent();
  release.set_value();
  SessionResult result = run.Get(120);

  EXPECT_LT(stalled, kFlood);
  // The queue, the host's first line, a partial line and the read that went past the bound.
  EXPECT_LE(in_process, SessionConnection::kQueueLimitBytes + kLineLength + 2 * 4096);
  EXPECT_GT(in_process, SessionConnection::kQueueLimitBytes / 2);
  EXPECT_EQ(next, kLines);
  EXPECT_EQ(out_of_order, 0);
  EXPECT_EQ(result.linesReceived, kLines);
  EXPECT_EQ(result.end, End::kServerClosed);
}

// Stop ends a Run at once, and the runner's result and teardown follow.
void StopSoon(TestRunner* runner, AsyncRun* run, End expected, Record* record) {
  std::this_thread::sleep_for(milliseconds(50));
  const auto asked = std::chrono::steady_clock::now();
  runner->Stop();
  SessionResult result = run->Get();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, milliseconds(500));
  EXPECT_EQ(result.end, expected);
  EXPECT_EQ(record->events.back(), "state deleted");
  runner->Stop();  // after the end: harmless
}

TEST_F(SessionTest, StopEndsASessionAtOnceWhileConnectingIdleOrBusy) {
  {
    // A listener whose queue is full takes no more connections: the connect hangs.
    std::string port;
    int listener = BoundSocket(SOCK_CLOEXEC, &port), ignored;
    ::listen(listener, 0);
    int fillers[] = {RawConnect(port, SOCK_NONBLOCK, &ignored),
                     RawConnect(port, SOCK_NONBLOCK, &ignored)};
    TestRunner runner(&record_);
    SessionOptions options = Options(port);
    options.connectTimeoutMs = 20000;
    AsyncRun run(&runner, NewState(), options);
    std::this_thread::sleep_for(milliseconds(200));
    StopSoon(&runner, &run, End::kStopped, &record_);
    for (int fd : {listener, fillers[0], fillers[1]}) ::close(fd);
  }
  for (bool busy : {false, true}) {
    SCOPED_TRACE(busy ? "busy" : "idle");
    TlsTestPeer peer;
    ServerThread server([&] {
      ASSERT_TRUE(peer.Accept());
      // Busy: launches until the client goes away (or a bounded while); idle: nothing.
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      const std::string batch = Joined(Launches(1, 100));
      while (busy && std::chrono::steady_clock::now() < end && peer.Write(batch, 2000)) {
      }
      std::string line;
      while (peer.ReadLine(&line, 20000)) {
      }
    });
    TestRunner runner(&record_);
    std::atomic<long> lines{0};
    std::atomic<bool> connected{false};
    runner.on_connected = [&](NyCommonDataState*) { connected = true; };
    runner.on_line = [&](const std::string&) { ++lines; };
    AsyncRun run(&runner, NewState(), Options(peer.port()));
    ASSERT_TRUE(WaitFor([&] { return connected && lines >= (busy ? 500 : 0); }));
    StopSoon(&runner, &run, End::kStopped, &record_);
  }
}

// The last runner to end stops the loop, the next starts a new one; a loop the host runs
// itself is used and left running.
TEST_F(SessionTest, RunnersShareOneLoopThatTheLastStopsUnlessTheHostRunsIt) {
  // A session of `count` launches on a runner of its own, the server closing after their
  // answers; every answer comes back.
  auto session = [this](Record* record, int count) {
    TlsTestPeer peer;
    Lines answers;
    {
      ServerThread server([&] {
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(peer.Write(Joined(Launches(1, count))));
        ReadLines(&peer, count, &answers);
        peer.Close();
      });
      TestRunner runner(record);
      EXPECT_EQ(runner.Run(NewState(record), Options(peer.port())).end, End::kServerClosed);
    }
    EXPECT_EQ(answers, Answers(1, count));
  };
  for (int round = 0; round < 2; ++round) {
    session(&record_, 5);
    EXPECT_EQ(SocketSelector::get_g_sockWnd(), nullptr) << "the loop still runs";
  }
  Record other;
  auto concurrent = std::async(std::launch::async, session, &other, 200);
  session(&record_, 200);
  concurrent.get();

  LoopRunner host_loop(SharedSelector());
  host_loop.Start();
  session(&record_, 3);
  EXPECT_NE(SocketSelector::get_g_sockWnd(), nullptr) << "the host's loop was stopped";
}

}  // namespace
}  // namespace session_test
}  // namespace nycl
