#include "nycl/net/TcpSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/LoopRunner.h"
#include "net/Loopback.h"
#include "net/NetFakes.h"
#include "nycl/net/LineModeInput.h"
#include "nycl/net/LineModeOutput.h"
#include "nycl/net/SocketException.h"
#include "support/TlsTestPeer.h"

namespace nycl {
namespace {

// Frames a socket's input and output in lines.
void FrameInLines(Socket* socket) {
  socket->AddProcessor(new LineModeInput);
  socket->AddProcessor(new LineModeOutput);
}

// One end of a connection: a socket and the sink that records what it reports. A listening end
// gives each socket it accepts an end of its own, framed in lines. Any end closes its socket on
// the line "bye".
class Endpoint final : public RecordingSink {
 public:
  void OnRecv(const unsigned char* data, int len) override {
    if (on_block) on_block();  // before the block can be seen
    RecordingSink::OnRecv(data, len);
    if (std::string(reinterpret_cast<const char*>(data), len) == "bye") socket->Close();
  }
  void OnRecvMessage(int code, void* data) override {
    RecordingSink::OnRecvMessage(code, data);
    if (code != TSMSG_ACCEPTED) return;
    accepted = std::make_unique<Endpoint>();
    accepted->socket = static_cast<TcpSocket*>(data);
    accepted->socket->SetSink(accepted.get());
    FrameInLines(accepted->socket);
    published_.store(accepted.get());
  }

  // The end of the accepted socket once there is one; waits at most 10 s.
  Endpoint* Peer() {
    WaitFor([&] { return published_.load() != nullptr; });
    return published_.load();
  }

  TcpSocket* socket = nullptr;
  std::unique_ptr<Endpoint> accepted;  // loop thread only; the test thread asks Peer()
  std::function<void()> on_block;      // loop thread, for each block

 private:
  std::atomic<Endpoint*> published_{nullptr};
};

// A socket whose owner can stop its reading, as the session layer does when its queue is full.
class ThrottledSocket : public TcpSocket {
 public:
  using TcpSocket::TcpSocket;
  bool WantInput() override { return wants_input.load() && TcpSocket::WantInput(); }
  bool WantException() override { return wants_input.load() && TcpSocket::WantException(); }
  std::atomic<bool> wants_input{true};
};

// The text of the SocketException that `call` throws.
std::string ThrownBy(const std::function<void()>& call) {
  try {
    call();
  } catch (SocketException& e) {
    return e.GetMessage().c_str();
  }
  return "(nothing thrown)";
}

class TcpSocketTest : public ::testing::Test {
 protected:
  TcpSocketTest() { runner_.Start(); }
  ~TcpSocketTest() override {
    // Sockets go on the loop thread, which owns them, and before the ends they call.
    runner_.RunOnLoop([this] {
      for (auto& end : ends_) {
        Endpoint* peer = end->accepted.get();
        if (peer != nullptr && peer->Log().find("<destroyed>") == std::string::npos) {
          peer->socket->Destroy();  // deletes itself
        }
      }
      sockets_.clear();
    });
    runner_.Stop();
  }
  // The state as the loop thread sees it, once it has finished its current event.
  int StateOf(TcpSocket* socket) {
    int state = -1;
    runner_.RunOnLoop([&] { state = socket->GetState(); });
    return state;
  }
  // A new end; its socket is framed in lines unless `line_mode` is false.
  template <class Socket = TcpSocket>
  Endpoint& NewEnd(bool line_mode = true) {
    ends_.push_back(std::make_unique<Endpoint>());
    sockets_.push_back(std::make_unique<Socket>(ends_.back().get()));
    ends_.back()->socket = sockets_.back().get();
    if (line_mode) FrameInLines(sockets_.back().get());
    return *ends_.back();
  }

  LoopRunner runner_{SharedSelector()};
  std::vector<std::unique_ptr<Endpoint>> ends_;
  std::vector<std::unique_ptr<TcpSocket>> sockets_;
  RecordingSink spare_sink_;  // for sockets a test makes itself
};

TEST_F(TcpSocketTest, ListenAcceptAndEchoLinesBothWays) {
  Endpoint& server = NewEnd(false);
  Endpoint& client = NewEnd();
  std::string port = FreePort();
  runner_.RunOnLoop([&] {
    server.socket->Listen("", port.c_str());
    client.socket->Connect("127.0.0.1", port.c_str());
  });
  ASSERT_NE(server.Peer(), nullptr);
  Endpoint& peer = *server.Peer();
  ASSERT_TRUE(client.Saw("<connected>"));
  EXPECT_EQ(StateOf(server.socket), 3);
  EXPECT_EQ(StateOf(client.socket), 3);

  // Sent from this thread, as a host's command thread would.
  SendText(*client.socket, "fgl_ident 1 2");
  SendText(*client.socket, std::string(5000, 'x'));
  const std::string lines =
      "[fgl_ident 1 2][" + std::string(4096, 'x') + "][" + std::string(904, 'x') + "]";
  ASSERT_TRUE(peer.Saw(lines));
  SendText(*peer.socket, "key 13");
  ASSERT_TRUE(client.Saw("[key 13]"));
  EXPECT_EQ(server.Log(), "<connected><accepted>");
  EXPECT_EQ(client.Log(), "<connected>[key 13]");

  // The accepted socket sees the client's close, and deletes itself once destroyed.
  runner_.RunOnLoop([&] { client.socket->Close(); });
  ASSERT_TRUE(peer.Saw("<destroyed>"));
  EXPECT_EQ(peer.Log(), "<connected><peer:127.0.0.1>" + lines + "<close><destroyed>");
}

// Closed by its sink while the line splitter is still cutting the block that held the closing
// line, an accepted socket must outlive that block: the splitter hands on the rest of the
// block, and only then does the socket go.
TEST_F(TcpSocketTest, AcceptedSocketClosedFromItsOwnLineOutlivesTheBlock) {
  Endpoint& server = NewEnd(false);
  std::string port = FreePort();
  runner_.RunOnLoop([&] { server.socket->Listen("127.0.0.1", port.c_str()); });
  int connected = -1;
  int raw = RawConnect(port, SOCK_CLOEXEC, &connected);
  ASSERT_EQ(connected, 0);
  const std::string block = "hello\nbye\nafter\nlast";
  ASSERT_EQ(write(raw, block.data(), block.size()), static_cast<ssize_t>(block.size()));
  ASSERT_NE(server.Peer(), nullptr);
  Endpoint& peer = *server.Peer();
  ASSERT_TRUE(peer.Saw("<destroyed>"));
  runner_.RunOnLoop([] {});  // the loop has finished the block
  EXPECT_EQ(peer.Log(), "<connected><peer:127.0.0.1>[hello][bye]<close><destroyed>[after]");
  close(raw);
}

TEST_F(TcpSocketTest, CloseSendsEverythingQueuedThenDestroys) {
  TlsTestPeer server;
  Endpoint& client = NewEnd(false);
  std::string payload;
  for (int i = 0; payload.size() < 3000000; ++i) payload += std::to_string(i) + ",";
  runner_.RunOnLoop([&] {
    client.socket->Connect("127.0.0.1", server.port().c_str());
    SendText(*client.socket, payload);  // queued while the connection is made
    client.socket->Close();
    client.socket->Close();  // harmless
  });
  ASSERT_TRUE(server.Accept());
  std::string received;
  EXPECT_TRUE(server.ReadToEnd(&received)) << server.error();
  EXPECT_TRUE(received == payload) << received.size() << " of " << payload.size() << " bytes";
  ASSERT_TRUE(client.Saw("<destroyed>"));
  EXPECT_EQ(client.Log(), "<destroyed>");  // closed before it was connected: no announcement
  EXPECT_EQ(StateOf(client.socket), 5);
}

TEST_F(TcpSocketTest, UrgentDataGoesBeforeQueuedData) {
  Endpoint& server = NewEnd(false);
  Endpoint& client = NewEnd();
  std::string port = FreePort();
  runner_.RunOnLoop([&] { server.socket->Listen("", port.c_str()); });
  runner_.RunOnLoop([&] {
    client.socket->Connect("127.0.0.1", port.c_str());
    SendText(*client.socket, "normal");
    unsigned char bang = '!';
    UrgentData urgent{1, &bang};
    client.socket->SendMessage(TSMSG_URGENT, &urgent);
  });
  ASSERT_NE(server.Peer(), nullptr);
  Endpoint& peer = *server.Peer();
  ASSERT_TRUE(peer.Saw("[normal]"));
  EXPECT_EQ(peer.Log(), "<connected><peer:127.0.0.1><urgent:!>[normal]");
  EXPECT_THROW(client.socket->SendMessage(TSMSG_URGENT, nullptr), SocketException);
}

// While the socket wants no input, nothing goes up, neither from the kernel nor from what a
// read took already; once it wants input again the rest follows without the peer sending
// more. Every read goes up in blocks of at most 4096 bytes, each followed by a NUL, and an
// urgent byte comes after the bytes sent before it.
TEST_F(TcpSocketTest, InputWaitsWhileTheSocketWantsNoneAndFollowsWhenItDoes) {
  TlsTestPeer server;
  Endpoint& end = NewEnd<ThrottledSocket>(false);
  auto* socket = static_cast<ThrottledSocket*>(end.socket);
  runner_.RunOnLoop([&] { socket->Connect("127.0.0.1", server.port().c_str()); });
  end.on_block = [socket] { socket->wants_input.store(false); };
  ASSERT_TRUE(server.Accept());
  // Lets one block through at a time until `expected` has arrived.
  size_t seen = 0;
  auto pump = [&](const std::string& expected) {
    for (int step = 0; step < 100 && seen < expected.size(); ++step) {
      ASSERT_TRUE(WaitFor([&] { return end.Received().bytes.size() > seen; })) << "after " << seen;
      const size_t now = end.Received().bytes.size();
      EXPECT_LE(now - seen, 4096u + 10u) << "one block per turn";
      seen = now;
      socket->wants_input.store(true);
      SharedSelector().Wake();
    }
    EXPECT_TRUE(end.Received().bytes == expected);
  };
  std::string payload(60000, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 23);
  ASSERT_TRUE(server.Write(payload));
  pump(payload);
  ASSERT_TRUE(server.Write(payload));
  ASSERT_TRUE(server.WriteUrgent('!'));
  ASSERT_TRUE(server.Write("tail"));
  pump(payload + payload + "<urgent:!>tail");
  EXPECT_LE(end.Received().largest, 4096);
  EXPECT_EQ(end.Received().unterminated, 0);
}

// A refused connect and one never answered (a listener with a full backlog lets new
// connections hang) report the open error and end.
TEST_F(TcpSocketTest, ConnectThatIsRefusedOrNeverAnsweredReportsTheOpenError) {
  // The closed port stays taken but refuses connections: a port that is merely free could be
  // picked as the connecting side's own port and connect to itself.
  std::string closed_port, full_port;
  const int closed = BoundSocket(SOCK_CLOEXEC, &closed_port);
  const int full = BoundSocket(SOCK_CLOEXEC, &full_port);
  listen(full, 0);
  std::vector<int> fillers = {closed, full};
  for (int i = 0; i < 8; ++i) {
    int ignored;
    fillers.push_back(RawConnect(full_port, SOCK_NONBLOCK, &ignored));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Endpoint& refused = NewEnd();
  Endpoint& hanging = NewEnd();
  hanging.socket->SetConnectTimeout(300);
  runner_.RunOnLoop([&] {
    refused.socket->Connect("127.0.0.1", closed_port.c_str());
    hanging.socket->Connect("127.0.0.1", full_port.c_str());
  });
  ASSERT_TRUE(refused.Saw("<destroyed>"));
  ASSERT_TRUE(hanging.Saw("<destroyed>"));
  for (int fd : fillers) close(fd);
  const std::string failed =
      "<error:Open error - connect call failed: (port number may be invalid) :";
  EXPECT_EQ(refused.Log(), failed + "Connection refused><destroyed>");
  EXPECT_EQ(hanging.Log(), failed + "Connection timed out><destroyed>");
  EXPECT_EQ(StateOf(refused.socket), 5);
}

TEST_F(TcpSocketTest, WrongCallsThrow) {
  Endpoint& end = NewEnd();
  TcpSocket* socket = end.socket;
  EXPECT_EQ(ThrownBy([&] { socket->Close(); }), "Close called on invalid socket");
  EXPECT_EQ(ThrownBy([&] { socket->Connect("127.0.0.1", "no-such-service"); }),
            "Open error - Service lookup failed: ");
  EXPECT_EQ(StateOf(socket), 5);
  EXPECT_THROW(TcpSocket::SetSocketSelect(&SharedSelector()), SocketException);

  // A service name gives its port: telnet is 23, where nothing listens here.
  runner_.RunOnLoop([&] { socket->Connect("127.0.0.1", "telnet"); });
  ASSERT_TRUE(end.Saw("<destroyed>"));
  EXPECT_NE(end.Log().find(":Connection refused>"), std::string::npos) << end.Log();
  EXPECT_STREQ(socket->GetRuntimeClassName(), "TcpSocket");
}

TEST_F(TcpSocketTest, HostNamesAreResolvedByTheWorker) {
  TlsTestPeer server;
  Endpoint& named = NewEnd();
  Endpoint& unknown = NewEnd();
  Endpoint& closed = NewEnd();
  runner_.RunOnLoop([&] {
    named.socket->Connect("localhost", server.port().c_str());
    EXPECT_EQ(named.socket->GetState(), 1);  // answered later, through the pipes
    unknown.socket->Connect("no-such-host.invalid", server.port().c_str());
    // A socket that goes while its lookup is pending is never called.
    TcpSocket gone(&spare_sink_);
    gone.Connect("localhost", server.port().c_str());
    // Closed while its lookup is pending: ends without connecting.
    closed.socket->Connect("localhost", server.port().c_str());
    closed.socket->Close();
    EXPECT_EQ(closed.socket->GetState(), 4);
  });
  ASSERT_TRUE(named.Saw("<connected>"));
  ASSERT_TRUE(unknown.Saw("<error:"));
  EXPECT_TRUE(server.Accept());
  EXPECT_EQ(unknown.Log(), "<error:Open error - DNS lookup failed: Name or service not known>");
  EXPECT_EQ(StateOf(unknown.socket), 5);
  ASSERT_TRUE(closed.Saw("<destroyed>"));
  EXPECT_EQ(closed.Log(), "<destroyed>");
  EXPECT_EQ(StateOf(closed.socket), 5);
  runner_.RunOnLoop([] {});
  EXPECT_EQ(spare_sink_.Log(), "");
}

}  // namespace
}  // namespace nycl
