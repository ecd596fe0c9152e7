#include "nycl/net/TcpSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
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

// A recording sink that also takes the sockets a listening socket accepts: each gets a sink of
// its own and a line-mode chain, and closes itself on the line "bye".
class EventSink final : public RecordingSink {
 public:
  void OnRecv(const unsigned char* data, int len) override {
    if (on_block) on_block();  // before the block can be seen
    RecordingSink::OnRecv(data, len);
    if (own != nullptr && std::string(reinterpret_cast<const char*>(data), len) == "bye") {
      own->Close();
    }
  }
  void OnRecvMessage(int code, void* data) override {
    RecordingSink::OnRecvMessage(code, data);
    if (code != TSMSG_ACCEPTED) return;
    auto* socket = static_cast<TcpSocket*>(data);
    auto sink = std::make_unique<EventSink>();
    sink->own = socket;
    socket->SetSink(sink.get());
    socket->AddProcessor(new LineModeInput);
    socket->AddProcessor(new LineModeOutput);
    std::lock_guard<std::mutex> lock(mutex_);
    accepted_sink = std::move(sink);
  }

  // The sink of the accepted socket once there is one; waits at most 10 s.
  EventSink* Peer() {
    WaitFor([&] {
      std::lock_guard<std::mutex> lock(mutex_);
      return accepted_sink != nullptr;
    });
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_sink.get();
  }

  std::unique_ptr<EventSink> accepted_sink;  // guarded by mutex_
  TcpSocket* own = nullptr;                  // the accepted socket of this sink, if any
  std::function<void()> on_block;            // loop thread, for each block

 private:
  std::mutex mutex_;
};

// A socket whose owner can stop its reading, as the session layer does when its queue is full.
class ThrottledSocket : public TcpSocket {
 public:
  using TcpSocket::TcpSocket;
  bool WantInput() override { return wants_input.load() && TcpSocket::WantInput(); }
  bool WantException() override { return wants_input.load() && TcpSocket::WantException(); }
  std::atomic<bool> wants_input{true};
};

std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

class TcpSocketTest : public ::testing::Test {
 protected:
  TcpSocketTest() : runner_(SharedSelector()) { runner_.Start(); }
  ~TcpSocketTest() override {
    // Sockets go on the loop thread, which owns them, and before the sinks they call.
    runner_.RunOnLoop([this] {
      for (auto& sink : sinks_) {
        EventSink* peer = sink->accepted_sink.get();
        if (peer != nullptr && peer->Log().find("<destroyed>") == std::string::npos) {
          peer->own->Destroy();  // deletes itself
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
  EventSink& NewSink() {
    sinks_.push_back(std::make_unique<EventSink>());
    return *sinks_.back();
  }
  template <class Socket = TcpSocket>
  Socket* NewSocket(EventSink* sink, bool line_mode = true) {
    auto socket = std::make_unique<Socket>(sink);
    Socket* raw = socket.get();
    if (line_mode) {
      raw->AddProcessor(new LineModeInput);
      raw->AddProcessor(new LineModeOutput);
    }
    sockets_.push_back(std::move(socket));
    return raw;
  }

  LoopRunner runner_;
  std::vector<std::unique_ptr<EventSink>> sinks_;
  std::vector<std::unique_ptr<TcpSocket>> sockets_;
};

TEST_F(TcpSocketTest, ListenAcceptAndEchoLinesBothWays) {
  EventSink& server_sink = NewSink();
  EventSink& client_sink = NewSink();
  TcpSocket* server = NewSocket(&server_sink, false);
  TcpSocket* client = NewSocket(&client_sink);
  std::string port = FreePort();
  runner_.RunOnLoop([&] {
    server->Listen("", port.c_str());
    client->Connect("127.0.0.1", port.c_str());
  });
  ASSERT_TRUE(server_sink.Saw("<accepted>"));
  ASSERT_NE(server_sink.Peer(), nullptr);
  EventSink& peer = *server_sink.Peer();
  ASSERT_TRUE(peer.Saw("<peer:127.0.0.1>"));
  ASSERT_TRUE(client_sink.Saw("<connected>"));
  EXPECT_EQ(StateOf(server), 3);
  EXPECT_EQ(StateOf(client), 3);

  // Sent from this thread, as a host's command thread would.
  SendText(*client, "fgl_ident 1 2");
  SendText(*client, std::string(5000, 'x'));
  ASSERT_TRUE(
      peer.Saw("[fgl_ident 1 2][" + std::string(4096, 'x') + "][" + std::string(904, 'x') + "]"));
  SendText(*server_sink.Peer()->own, "key 13");
  ASSERT_TRUE(client_sink.Saw("[key 13]"));
  EXPECT_EQ(server_sink.Log(), "<connected><accepted>");
  EXPECT_EQ(client_sink.Log(), "<connected>[key 13]");

  // The accepted socket sees the client's close, and deletes itself once destroyed.
  runner_.RunOnLoop([&] { client->Close(); });
  ASSERT_TRUE(peer.Saw("<destroyed>"));
  EXPECT_EQ(peer.Log(), "<connected><peer:127.0.0.1>[fgl_ident 1 2][" + std::string(4096, 'x') +
                            "][" + std::string(904, 'x') + "]<close><destroyed>");
}

// Closed by its sink while the line splitter is still cutting the block that held the closing
// line, an accepted socket must outlive that block: the splitter hands on the rest of the
// block, and only then does the socket go.
TEST_F(TcpSocketTest, AcceptedSocketClosedFromItsOwnLineOutlivesTheBlock) {
  EventSink& server_sink = NewSink();
  TcpSocket* server = NewSocket(&server_sink, false);
  std::string port = FreePort();
  runner_.RunOnLoop([&] { server->Listen("127.0.0.1", port.c_str()); });
  int connected = -1;
  int raw = RawConnect(port, SOCK_CLOEXEC, &connected);
  ASSERT_EQ(connected, 0);
  const std::string block = "hello\nbye\nafter\nlast";
  ASSERT_EQ(write(raw, block.data(), block.size()), static_cast<ssize_t>(block.size()));
  ASSERT_NE(server_sink.Peer(), nullptr);
  EventSink& peer = *server_sink.Peer();
  ASSERT_TRUE(peer.Saw("<destroyed>"));
  runner_.RunOnLoop([] {});  // the loop has finished the block
  EXPECT_EQ(peer.Log(), "<connected><peer:127.0.0.1>[hello][bye]<close><destroyed>[after]");
  close(raw);
}

TEST_F(TcpSocketTest, CloseSendsEverythingQueuedThenDestroys) {
  TlsTestPeer server;
  EventSink& sink = NewSink();
  TcpSocket* client = NewSocket(&sink, false);
  std::string payload;
  for (int i = 0; payload.size() < 3000000; ++i) payload += std::to_string(i) + ",";
  runner_.RunOnLoop([&] {
    client->Connect("127.0.0.1", server.port().c_str());
    SendText(*client, payload);  // queued while the connection is made
    client->Close();
    client->Close();  // harmless
  });
  ASSERT_TRUE(server.Accept());
  std::string received;
  EXPECT_TRUE(server.ReadToEnd(&received)) << server.error();
  EXPECT_EQ(received.size(), payload.size());
  EXPECT_TRUE(received == payload);
  ASSERT_TRUE(sink.Saw("<destroyed>"));
  EXPECT_EQ(sink.Log(), "<destroyed>");  // closed before it was connected: no announcement
  EXPECT_EQ(StateOf(client), 5);
}

TEST_F(TcpSocketTest, UrgentDataGoesBeforeQueuedData) {
  EventSink& server_sink = NewSink();
  EventSink& client_sink = NewSink();
  TcpSocket* server = NewSocket(&server_sink, false);
  TcpSocket* client = NewSocket(&client_sink);
  std::string port = FreePort();
  runner_.RunOnLoop([&] { server->Listen("", port.c_str()); });
  runner_.RunOnLoop([&] {
    client->Connect("127.0.0.1", port.c_str());
    SendText(*client, "normal");
    unsigned char bang = '!';
    UrgentData urgent{1, &bang};
    client->SendMessage(TSMSG_URGENT, &urgent);
  });
  ASSERT_NE(server_sink.Peer(), nullptr);
  EventSink& peer = *server_sink.Peer();
  ASSERT_TRUE(peer.Saw("[normal]"));
  EXPECT_EQ(peer.Log(), "<connected><peer:127.0.0.1><urgent:!>[normal]");
  EXPECT_THROW(client->SendMessage(TSMSG_URGENT, nullptr), SocketException);
}

// While the socket wants no input, nothing goes up, neither from the kernel nor from what a
// read took already; once it wants input again the rest follows without the peer sending
// more. Every read goes up in blocks of at most 4096 bytes, each followed by a NUL, and an
// urgent byte comes after the bytes sent before it.
TEST_F(TcpSocketTest, InputWaitsWhileTheSocketWantsNoneAndFollowsWhenItDoes) {
  TlsTestPeer server;
  EventSink* sink = &NewSink();
  auto* socket = NewSocket<ThrottledSocket>(sink, false);
  runner_.RunOnLoop([&] { socket->Connect("127.0.0.1", server.port().c_str()); });
  sink->on_block = [socket] { socket->wants_input.store(false); };
  ASSERT_TRUE(server.Accept());
  // Lets one block through at a time until `expected` has arrived.
  size_t seen = 0;
  auto pump = [&](const std::string& expected) {
    for (int step = 0; step < 100 && seen < expected.size(); ++step) {
      ASSERT_TRUE(WaitFor([&] { return sink->Received().bytes.size() > seen; }))
          << "after " << seen;
      const size_t now = sink->Received().bytes.size();
      EXPECT_LE(now - seen, 4096u + 10u) << "one block per turn";
      seen = now;
      socket->wants_input.store(true);
      SharedSelector().Wake();
    }
    EXPECT_TRUE(sink->Received().bytes == expected);
  };
  const std::string payload = Pattern(60000);
  ASSERT_TRUE(server.Write(payload));
  pump(payload);
  ASSERT_TRUE(server.Write(payload));
  ASSERT_TRUE(server.WriteUrgent('!'));
  ASSERT_TRUE(server.Write("tail"));
  pump(payload + payload + "<urgent:!>tail");
  EXPECT_LE(sink->Received().largest, 4096);
  EXPECT_EQ(sink->Received().unterminated, 0);
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
  EventSink& refused_sink = NewSink();
  EventSink& hanging_sink = NewSink();
  TcpSocket* refused = NewSocket(&refused_sink);
  TcpSocket* hanging = NewSocket(&hanging_sink);
  hanging->SetConnectTimeout(300);
  runner_.RunOnLoop([&] {
    refused->Connect("127.0.0.1", closed_port.c_str());
    hanging->Connect("127.0.0.1", full_port.c_str());
  });
  ASSERT_TRUE(refused_sink.Saw("<destroyed>"));
  ASSERT_TRUE(hanging_sink.Saw("<destroyed>"));
  for (int fd : fillers) close(fd);
  const std::string failed =
      "<error:Open error - connect call failed: (port number may be invalid) :";
  EXPECT_EQ(refused_sink.Log(), failed + "Connection refused><destroyed>");
  EXPECT_EQ(hanging_sink.Log(), failed + "Connection timed out><destroyed>");
  EXPECT_EQ(StateOf(refused), 5);
}

TEST_F(TcpSocketTest, WrongCallsThrow) {
  EventSink& sink = NewSink();
  TcpSocket* socket = NewSocket(&sink);
  try {
    socket->Close();
    FAIL() << "Close on a never-opened socket";
  } catch (SocketException& e) {
    EXPECT_EQ(e.GetMessage(), "Close called on invalid socket");
  }
  try {
    socket->Connect("127.0.0.1", "no-such-service");
    FAIL() << "unknown service";
  } catch (SocketException& e) {
    EXPECT_EQ(e.GetMessage(), "Open error - Service lookup failed: ");
  }
  EXPECT_EQ(StateOf(socket), 5);
  EXPECT_THROW(TcpSocket::SetSocketSelect(&SharedSelector()), SocketException);

  // A service name gives its port: telnet is 23, where nothing listens here.
  runner_.RunOnLoop([&] { socket->Connect("127.0.0.1", "telnet"); });
  ASSERT_TRUE(sink.Saw("<destroyed>"));
  EXPECT_NE(sink.Log().find(":Connection refused>"), std::string::npos) << sink.Log();
  EXPECT_STREQ(socket->GetRuntimeClassName(), "TcpSocket");
}

TEST_F(TcpSocketTest, HostNamesAreResolvedByTheWorker) {
  TlsTestPeer server;
  EventSink& named_sink = NewSink();
  EventSink& unknown_sink = NewSink();
  EventSink& gone_sink = NewSink();
  TcpSocket* named = NewSocket(&named_sink);
  TcpSocket* unknown = NewSocket(&unknown_sink);
  EventSink& closed_sink = NewSink();
  TcpSocket* closed = NewSocket(&closed_sink);
  runner_.RunOnLoop([&] {
    named->Connect("localhost", server.port().c_str());
    EXPECT_EQ(named->GetState(), 1);  // answered later, through the pipes
    unknown->Connect("no-such-host.invalid", server.port().c_str());
    // A socket that goes while its lookup is pending is never called.
    TcpSocket gone(&gone_sink);
    gone.Connect("localhost", server.port().c_str());
    // Closed while its lookup is pending: ends without connecting.
    closed->Connect("localhost", server.port().c_str());
    closed->Close();
    EXPECT_EQ(closed->GetState(), 4);
  });
  ASSERT_TRUE(named_sink.Saw("<connected>"));
  ASSERT_TRUE(unknown_sink.Saw("<error:"));
  EXPECT_TRUE(server.Accept());
  EXPECT_EQ(unknown_sink.Log(),
            "<error:Open error - DNS lookup failed: Name or service not known>");
  EXPECT_EQ(StateOf(unknown), 5);
  ASSERT_TRUE(closed_sink.Saw("<destroyed>"));
  EXPECT_EQ(closed_sink.Log(), "<destroyed>");
  EXPECT_EQ(StateOf(closed), 5);
  runner_.RunOnLoop([] {});
  EXPECT_EQ(gone_sink.Log(), "");
}

}  // namespace
}  // namespace nycl
