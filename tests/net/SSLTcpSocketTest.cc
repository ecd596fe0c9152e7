#include "nycl/net/SSLTcpSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/LoopRunner.h"
#include "net/NetFakes.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/LineModeOutput.h"
#include "nycl/net/SocketSelector.h"
#include "support/TempFiles.h"
#include "support/TlsTestPeer.h"

namespace nycl {
namespace {

constexpr int kTimeoutMs = 5000;

using test_files::ReadFile;

std::string Cert(const char* name) {
  return ReadFile(TlsTestPeer::CertsDir() + "/" + name);
}

// Whether the library was built with the test authority, which signed the test server's
// certificate (a deployment build embeds its own).
int BuiltInTrustsTestServer() {
  return ReadFile(NYCL_TEST_BUILTIN_AUTHORITY) == Cert("test-ca.pem") ? 1 : 0;
}

// One SSLTcpSocket with line framing, connected to a TLS test peer on 127.0.0.1, with the event
// loop running on its own thread; the test body plays the command thread.
class SSLTcpSocketTest : public ::testing::Test {
 protected:
  void TearDown() override {
    loop_.Stop();
    delete socket_;
    SSLTcpSocket::SetTrustedAuthority(nullptr);
    SSLTcpSocket::SetHandshakeTimeout(0);
  }

  // Connects a new socket to a new peer and accepts the connection.
  void Open() {
    // A handshake gone wrong must not hold the loop (and the test) for long.
    SSLTcpSocket::SetHandshakeTimeout(kTimeoutMs);
    peer_ = std::make_unique<TlsTestPeer>();
    ASSERT_TRUE(peer_->ok()) << peer_->error();
    socket_ = new SSLTcpSocket(&sink_);
    socket_->AddProcessor(new LineModeInput(4096));
    socket_->AddProcessor(new LineModeOutput);
    socket_->Connect("127.0.0.1", peer_->port().c_str());
    loop_.Stop();  // a second connection in one test gets a fresh loop too
    loop_.Start();
    ASSERT_TRUE(peer_->Accept(kTimeoutMs)) << peer_->error();
    ASSERT_EQ("<connected>", sink_.Next());
  }

  void Send(const std::string& line) { SendText(*socket_, line); }

  // The next line the peer reads, or why it read none.
  std::string PeerReads(int timeout_ms = kTimeoutMs) {
    std::string line;
    return peer_->ReadLine(&line, timeout_ms) ? line : "peer: " + peer_->error();
  }
  // The client sends `line`; returns what the peer read.
  std::string ClientToPeer(const std::string& line) {
    Send(line);
    return PeerReads();
  }
  // The peer sends `line`; returns what reached the sink.
  std::string PeerToClient(const std::string& line) {
    if (!peer_->WriteLine(line, kTimeoutMs)) return "peer: " + peer_->error();
    return sink_.Next();
  }

  // Both ends switch to TLS.
  void StartTls() {
    ASSERT_EQ(1, socket_->RequestHandShake());
    ASSERT_TRUE(peer_->StartTls(kTimeoutMs)) << peer_->error();
    ASSERT_TRUE(WaitFor([this] { return socket_->is_ssl_running() != 0; }));
  }
  // Both ends drop TLS without a closing exchange.
  void StopTls() {
    ASSERT_EQ(1, socket_->StopSSLEncrypt());
    peer_->DropTls();
    EXPECT_EQ(0, socket_->is_ssl_running());
  }

  // Deletes the socket on the loop thread, where it may be dispatched, without telling the sink.
  void DeleteSocket() {
    socket_->SetSink(nullptr);
    SSLTcpSocket* socket = socket_;
    socket_ = nullptr;
    loop_.RunOnLoop([socket] { delete socket; });
  }

  // Holds the loop thread inside a timer until the returned function is called, so that the
  // test thread can act while the loop is between two passes.
  std::function<void()> ParkLoop() {
    auto parked = std::make_shared<std::promise<void>>();
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    SharedSelector().Add(new CallTimer([parked, released] {
      parked->set_value();
      released.wait_for(std::chrono::seconds(10));
    }));
    EXPECT_EQ(std::future_status::ready,
              parked->get_future().wait_for(std::chrono::milliseconds(kTimeoutMs)));
    return [release] { release->set_value(); };
  }

  RecordingSink sink_;
  std::unique_ptr<TlsTestPeer> peer_;
  SSLTcpSocket* socket_ = nullptr;
  LoopRunner loop_{SharedSelector()};
};

TEST_F(SSLTcpSocketTest, SwitchesBetweenPlainAndTlsOnOneConnectionWhenAllowed) {
  Open();
  EXPECT_STREQ("SSLTcpSocket", socket_->GetRuntimeClassName());
  EXPECT_EQ("plain up", ClientToPeer("plain up"));
  EXPECT_EQ("[plain down]", PeerToClient("plain down"));

  // With TLS not allowed a request posts nothing: no handshake starts.
  EXPECT_TRUE(socket_->Flush());
  EXPECT_EQ(1, socket_->EnableSSLStart(false));
  EXPECT_FALSE(socket_->Flush());
  EXPECT_EQ(0, socket_->RequestHandShake());
  EXPECT_EQ(0, socket_->WantHandShake());
  EXPECT_EQ("still plain", ClientToPeer("still plain"));
  EXPECT_EQ(0, socket_->is_ssl_running());
  EXPECT_EQ(1, socket_->EnableSSLStart(true));

  // A line queued right before the request still goes out in plain, ahead of the handshake.
  Send("last plain line");
  ASSERT_EQ(1, socket_->RequestHandShake());
  ASSERT_EQ("last plain line", PeerReads());
  ASSERT_TRUE(peer_->StartTls(kTimeoutMs)) << peer_->error();
  ASSERT_TRUE(WaitFor([this] { return socket_->is_ssl_running() != 0; }));
  EXPECT_EQ(BuiltInTrustsTestServer(), socket_->is_cert_valid());
  EXPECT_EQ("tls up", ClientToPeer("tls up"));
  EXPECT_EQ("[tls down]", PeerToClient("tls down"));

  // A request while TLS runs keeps the running link.
  ASSERT_EQ(1, socket_->RequestHandShake());
  ASSERT_TRUE(WaitFor([this] { return socket_->WantHandShake() == 0; }));
  EXPECT_EQ("still tls", ClientToPeer("still tls"));
  EXPECT_EQ(3, socket_->GetState());
}

// Pretending, and an authority set back to the built-in one, apply from the next handshake on.
TEST_F(SSLTcpSocketTest, CertificateValidityFollowsPretendingAndTheAuthoritySetBack) {
  ASSERT_EQ(1, SSLTcpSocket::SetTrustedAuthority(Cert("test-selfsigned.pem").c_str()));
  Open();
  StartTls();
  EXPECT_EQ(0, socket_->is_cert_valid());
  socket_->SetPretendServerAuthentic(1);
  StopTls();
  StartTls();
  EXPECT_EQ(1, socket_->is_cert_valid());

  socket_->SetPretendServerAuthentic(0);
  StopTls();
  ASSERT_EQ(1, SSLTcpSocket::SetTrustedAuthority(nullptr));
  StartTls();
  EXPECT_EQ(BuiltInTrustsTestServer(), socket_->is_cert_valid());
}

TEST_F(SSLTcpSocketTest, AnOrderlyTlsCloseKeepsTheSocketOpen) {
  Open();
  StartTls();
  EXPECT_EQ("up", ClientToPeer("up"));

  ASSERT_TRUE(peer_->ShutdownTls(kTimeoutMs)) << peer_->error();
  EXPECT_EQ("timeout", sink_.Next(0.2));
  EXPECT_EQ(3, socket_->GetState());
  StopTls();
  EXPECT_EQ("[plain after close]", PeerToClient("plain after close"));
  EXPECT_EQ("plain up", ClientToPeer("plain up"));
}

// A server that closes the connection under TLS closes the socket. One that resets it while
// output waits makes the writes that follow fail, and they must not raise SIGPIPE, which would
// end the host's process.
TEST_F(SSLTcpSocketTest, ServerThatClosesOrResetsTheConnectionUnderTlsClosesTheSocket) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "close");
    Open();
    StartTls();
    if (reset) {
      Send(std::string(8 << 20, 'w'));  // more than the socket buffers hold: output waits
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    peer_->Close();  // with unread bytes: a reset
    EXPECT_EQ("<close>", sink_.Next());
    EXPECT_EQ("<destroyed>", sink_.Next());
    loop_.Stop();
    EXPECT_EQ(5, socket_->GetState());
    delete socket_;
    socket_ = nullptr;
  }
}

TEST_F(SSLTcpSocketTest, FlushFromTheCommandThreadWaitsForTheSendQueue) {
  Open();
  StartTls();
  // More than the socket buffers hold while the peer reads nothing.
  const std::string big(32 << 20, 'b');
  Send(big);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(socket_->Flush());
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::milliseconds(5000));

  EXPECT_EQ(big, PeerReads(20000));
  Send("small");
  EXPECT_TRUE(socket_->Flush());
  EXPECT_EQ("small", PeerReads());
}

TEST_F(SSLTcpSocketTest, HandshakeWithASilentServerGivesUpAndStaysPlain) {
  Open();
  SSLTcpSocket::SetHandshakeTimeout(300);
  ::testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(1, socket_->RequestHandShake());
  EXPECT_TRUE(WaitFor([this] { return socket_->WantHandShake() == 0; }));
  const auto waited = std::chrono::steady_clock::now() - start;
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_GE(waited, std::chrono::milliseconds(250));
  EXPECT_EQ(0, socket_->is_ssl_running());
  EXPECT_NE(std::string::npos, errors.find("Error SSL_connect failed")) << errors;
  EXPECT_EQ(3, socket_->GetState());
}

TEST_F(SSLTcpSocketTest, HandshakeRequestedRightAfterTheConnectIsNeverLost) {
  SSLTcpSocket::SetHandshakeTimeout(kTimeoutMs);
  loop_.Start();
  for (int round = 0; round < 100; ++round) {
    TlsTestPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    socket_ = new SSLTcpSocket(nullptr);
    if (round % 2 == 0) {
      // Connected and requested between two passes: the request is handled in the very pass
      // that first sees the socket, before the connection is known to be up.
      std::function<void()> release = ParkLoop();
      socket_->Connect("127.0.0.1", peer.port().c_str());
      const int requested = socket_->RequestHandShake();
      release();
      ASSERT_EQ(1, requested);
    } else {
      loop_.RunOnLoop([this, &peer] { socket_->Connect("127.0.0.1", peer.port().c_str()); });
      ASSERT_EQ(1, socket_->RequestHandShake());
    }
    const bool tls = peer.Accept(kTimeoutMs) && peer.StartTls(2000) &&
                     WaitFor([this] { return socket_->is_ssl_running() != 0; });
    DeleteSocket();
    ASSERT_TRUE(tls) << "round " << round << ": " << peer.error();
  }
}

TEST_F(SSLTcpSocketTest, FlushFromNewThreadsWhileTheLoopRunsAgainOnNewThreads) {
  Open();
  for (int round = 0; round < 6; ++round) {
    loop_.Stop();
    EXPECT_EQ(std::thread::id(), SharedSelector().GetOwnerThread());
    // Started right after the loop thread ended, the sender often gets that thread's id.
    std::thread sender([this, round] {
      for (int i = 0; i < 100; ++i) {
        Send("round " + std::to_string(round) + " line " + std::to_string(i));
        socket_->Flush();
      }
    });
    loop_.Start();
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ("round " + std::to_string(round) + " line " + std::to_string(i), PeerReads());
    }
    sender.join();
  }
}

TEST_F(SSLTcpSocketTest, FullRecordsArriveWholeThoughTheServerFallsSilentAfterThem) {
  Open();
  StartTls();
  // Three full TLS records of 128 lines each, then an urgent byte, then nothing.
  std::vector<std::string> lines;
  std::string records;
  for (int i = 0; i < 3 * 128; ++i) {
    std::string line = "line " + std::to_string(i) + " ";
    line.resize(127, '.');
    lines.push_back(line);
    records += line + "\n";
  }
  ASSERT_EQ(3u * 16384, records.size());
  ASSERT_TRUE(peer_->Write(records, kTimeoutMs)) << peer_->error();
  ASSERT_TRUE(peer_->WriteUrgent('!')) << peer_->error();
  for (const std::string& line : lines) ASSERT_EQ("[" + line + "]", sink_.Next(1));
  // The urgent byte was sent after the records, and arrives after all their lines.
  EXPECT_EQ("<urgent:!>", sink_.Next());
  EXPECT_EQ("up", ClientToPeer("up"));
}

// Abandon cancels a request the loop has not taken, stops a handshake under way and drops a
// completed one.
TEST_F(SSLTcpSocketTest, AbandonCancelsARequestOrStopsAHandshakeOrDropsTheLink) {
  Open();
  EXPECT_EQ(1, socket_->AbandonHandShake());  // nothing requested: nothing to give up

  std::function<void()> release = ParkLoop();
  EXPECT_EQ(1, socket_->RequestHandShake());
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(1, socket_->AbandonHandShake());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(0, socket_->WantHandShake());
  release();

  // No handshake started: the stream is still plain both ways.
  EXPECT_EQ("plain up", ClientToPeer("plain up"));
  EXPECT_EQ("[plain down]", PeerToClient("plain down"));
  EXPECT_EQ(0, socket_->is_ssl_running());

  // Under way: the peer takes the connection but never answers the client's hello.
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(1, socket_->RequestHandShake());
  ASSERT_TRUE(peer_->WaitReadable(kTimeoutMs)) << peer_->error();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(1, socket_->AbandonHandShake());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, errors.find("handshake abandoned")) << errors;
  EXPECT_EQ(0, socket_->is_ssl_running());
  EXPECT_EQ(0, socket_->WantHandShake());
  // The peer saw half a handshake; the socket still sends and closes cleanly.
  Send("after the abandoned handshake");
  loop_.RunOnLoop([this] { socket_->Close(); });
  EXPECT_EQ("<close>", sink_.Next());
  EXPECT_EQ("<destroyed>", sink_.Next());
  DeleteSocket();

  // A fresh connection negotiates TLS; abandoned after it completed, the link is dropped.
  Open();
  StartTls();
  EXPECT_EQ("tls up", ClientToPeer("tls up"));
  EXPECT_EQ(1, socket_->AbandonHandShake());
  EXPECT_EQ(0, socket_->is_ssl_running());
  peer_->DropTls();
  EXPECT_EQ("plain up", ClientToPeer("plain up"));
  EXPECT_EQ("[plain down]", PeerToClient("plain down"));
}

using SSLTcpSocketDeathTest = SSLTcpSocketTest;

// A server that answers the handshake with plain text ends the process, and so does a handshake
// requested with no event loop to run it.
TEST_F(SSLTcpSocketDeathTest, ProtocolErrorOrHandshakeWithoutEventLoopEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Open();
        socket_->RequestHandShake();
        peer_->WriteLine("this is no TLS server hello, just a line of text", kTimeoutMs);
        std::this_thread::sleep_for(std::chrono::seconds(5));
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "SSL_ERROR_SSL: protocal error");
  EXPECT_EXIT(
      {
        Open();
        loop_.Stop();
        socket_->RequestHandShake();
        std::exit(0);
      },
      ::testing::ExitedWithCode(2), "");
}

}  // namespace
}  // namespace nycl
