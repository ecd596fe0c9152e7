// What travels under the lines: the server's compressed stream switched on, paused and
// resumed, TLS switched on and off under it, and a server that sends faster than the host
// executes.
#include <gtest/gtest.h>

#include "net/TlsTestPeer.h"
#include "nycl/net/TcpSocket.h"
#include "nycl/state/BaseConnection.h"
#include "session/SessionTestSupport.h"

namespace nycl {
namespace session_test {
namespace {

using End = SessionResult::End;

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(SessionTest, CompressedStreamArrivesAsLinesAndPausesAndResumes) {
  PlainPeer peer;
  std::vector<std::string> received;
  TestRunner runner(&record_);
  runner.on_connected = [](NyCommonDataState* state) { state->set_using_compression(true); };
  SessionResult result;
  {
    ServerThread server([&] {
      ASSERT_TRUE(peer.Accept());
      ASSERT_TRUE(peer.WriteLine("fgl_StartSession"));
      ASSERT_TRUE(ReadLines(&peer, 1, &received));
      Deflater zlib;
      // One line split between two reads; then a block that decodes into many reads' worth.
      const std::string split = zlib.Line("fgl_Exec prog 1");
      ASSERT_TRUE(peer.Write(split.substr(0, 3)));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ASSERT_TRUE(peer.Write(split.substr(3) + zlib.Lines(Launches(2, 101, 300))));
      ASSERT_TRUE(ReadLines(&peer, 101, &received));

      ASSERT_TRUE(peer.Write(zlib.Line("fgl_StopSession")));
      ASSERT_TRUE(ReadLines(&peer, 3, &received));
      ASSERT_TRUE(peer.WriteLine("fgl_Exec prog 102"));
      ASSERT_TRUE(ReadLines(&peer, 1, &received));
      ASSERT_TRUE(peer.WriteLine("fgl_ResumeSession"));
      ASSERT_TRUE(ReadLines(&peer, 1, &received));
      // The stream that was paused goes on.
      ASSERT_TRUE(peer.Write(zlib.Line("fgl_Exec prog 103")));
      ASSERT_TRUE(ReadLines(&peer, 1, &received));
      peer.Close();
    });
    result = runner.Run(NewState(), Options(peer.port()));
  }
  EXPECT_EQ(received,
            std::vector<std::string>({"fgl_SessionReady"}) + Answers(1, 101) +
                std::vector<std::string>({"", "", "fgl_SessionStopped", "fgl_executed_true 102",
                                          "fgl_SessionReady", "fgl_executed_true 103"}));
  EXPECT_EQ(runner.unknown, std::vector<std::string>());
  EXPECT_EQ(result.end, End::kServerClosed);
}

TEST_F(SessionTest, TlsAndCompressionSwitchOnAndOffThroughTheRunner) {
  TlsTestPeer peer;
  ASSERT_TRUE(peer.ok()) << peer.error();
  std::vector<std::string> received;
  TestRunner runner(&record_);
  NyCommonDataState* session = nullptr;
  std::vector<bool> encrypted;  // at the first launch and at the last
  runner.on_connected = [&](NyCommonDataState* state) {
    session = state;
    state->set_using_compression(true);
  };
  runner.on_line = [&](const std::string& line) {
    if (line.rfind("fgl_Exec prog 1 ", 0) == 0 || line == "fgl_Exec prog 999") {
      encrypted.push_back(session->is_ssl_running());
    }
  };
  SessionOptions options = Options(std::to_string(peer.port()));
  options.tls = true;
  SessionResult result;
  {
    ServerThread server([&] {
      ASSERT_TRUE(peer.Accept(10000)) << peer.error();
      ASSERT_TRUE(peer.WriteLine("fgl_StartSession", 10000));
      ASSERT_TRUE(peer.StartTls(10000)) << peer.error();
      ASSERT_TRUE(ReadLines(&peer, 1, &received)) << peer.error();
      Deflater zlib;
      const std::string burst = zlib.Lines(Launches(1, 200, 100));
      ASSERT_TRUE(peer.Write(burst.data(), burst.size(), 10000));
      ASSERT_TRUE(ReadLines(&peer, 200, &received)) << peer.error();

      const std::string stop = zlib.Line("fgl_StopSession");
      ASSERT_TRUE(peer.Write(stop.data(), stop.size(), 10000));
      peer.DropTls();
      ASSERT_TRUE(ReadLines(&peer, 3, &received)) << peer.error();
      ASSERT_TRUE(peer.WriteLine("fgl_Exec prog 999", 10000));
      ASSERT_TRUE(ReadLines(&peer, 1, &received)) << peer.error();
      peer.Close();
    });
    result = runner.Run(NewState(), options);
  }
  EXPECT_EQ(received,
            std::vector<std::string>({"fgl_SessionReady"}) + Answers(1, 200) +
                std::vector<std::string>({"", "", "fgl_SessionStopped", "fgl_executed_true 999"}));
  EXPECT_EQ(encrypted, std::vector<bool>({true, false}));
  EXPECT_EQ(result.end, End::kServerClosed);
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
  PlainPeer peer;
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

}  // namespace
}  // namespace session_test
}  // namespace nycl
