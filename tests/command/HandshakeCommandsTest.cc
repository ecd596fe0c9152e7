// The handshake commands against a common data state: the option block answering "fgl_ident",
// the compression and TLS switch by server version, and the authentication exchange.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "command/CommandStateHost.h"
#include "command/LogonSession.h"
#include "net/LoopRunner.h"
#include "nycl-server/LineTransport.h"
#include "nycl/net/SSLTcpSocket.h"
#include "nycl/net/TcpSocket.h"
#include "support/RecordingHost.h"

namespace nycl::test {
namespace {

class HandshakeCommandsTest : public ::testing::Test {
 protected:
  // Runs `line` over `socket` (null: none) and returns what it logged.
  Log Ident(const char* line, Socket* socket) {
    host_.connection.socket = socket;
    host_.log.clear();
    EXPECT_TRUE(host_.Run(line)) << line;
    return host_.log;
  }
  std::string Options(int value) const {
    return "fgl_options " + std::to_string(value) + " " + id_;
  }
  // The option block: `head` after the start, `middle` after the fixed lines, then `tail`
  // after the block's last line.
  Log Block(const Log& head, const Log& middle = {}, const Log& tail = {}) const {
    Log block{"ErrorLog(fgl_ident,fgl_ident,start)"};
    for (const Log& part :
         {head, Log{"fgl_client ny_gui.r2", "fgl_allkeys", "fgl_serverScript .nys"}, middle,
          Log{"fgl_useKeyMap", "fgl_endOptions", "RiZuv version 2.0"}, tail}) {
      block.insert(block.end(), part.begin(), part.end());
    }
    return block;
  }
  Log PlainBlock() const { return Block({Options(6)}); }
  const Log compressAtOnce_{"CompressSocket()", "AddZFilter()", "fgl_filter"};

  const std::string id_ = LogonSessionIdentifier();
  SocketSelector& selector_ = SharedSelector();  // made before the sockets
  TcpSocket tcp_{nullptr};
  SSLTcpSocket tls_{nullptr};
  CommandStateHost host_;
};

TEST_F(HandshakeCommandsTest, OldServerOnPlainTcpCompressesAtOnceAndNeverOffersTls) {
  EXPECT_EQ(Ident("fgl_ident 4.2 C", &tcp_),
            Block({Options(6)}, {"fgl_compress"}, compressAtOnce_));
  EXPECT_EQ(Ident("fgl_ident 4.2 S", &tcp_), PlainBlock());
  // Agreeing needs a connection that wants compression; compressing needs a TCP socket.
  host_.connection.wantCompress = 0;
  EXPECT_EQ(Ident("fgl_ident 4.2 C", &tcp_), PlainBlock());
  host_.connection.wantCompress = 1;
  EXPECT_EQ(Ident("fgl_ident 4.2 C", nullptr), Block({Options(6)}, {"fgl_compress"}));
  // A data state whose deletion has begun still gets the handshake, switch included.
  host_.BeginDeletion();
  EXPECT_EQ(Ident("fgl_ident 4.2 C", &tcp_),
            Block({Options(6)}, {"fgl_compress"}, compressAtOnce_));
}

// Each argument is searched for capitals anywhere in it, and each one holding S or C gets its
// own line; an options line carries the P seen up to its S argument. A new server's ident only
// records whether compression was agreed, and the next ident without C forgets it.
TEST_F(HandshakeCommandsTest, FeatureLettersCountPerArgument) {
  EXPECT_EQ(Ident("fgl_ident 4.3 S P", &tls_),
            Block({Options(6), "fgl_useproperty"}, {"fgl_encrypt"}));
  EXPECT_EQ(Ident("fgl_ident 4.3 CS xPSx cC p s c", &tls_),
            Block({Options(6), Options(7), "fgl_useproperty"},
                  {"fgl_compress", "fgl_compress", "fgl_encrypt", "fgl_encrypt"}));
  EXPECT_TRUE(host_.is_using_compression());
  EXPECT_EQ(Ident("fgl_ident 4.3 S", &tls_), Block({Options(6)}, {"fgl_encrypt"}));
  EXPECT_FALSE(host_.is_using_compression());
}

TEST_F(HandshakeCommandsTest, MissingOrUnreadableVersionCountsAsOlderThan4_3) {
  EXPECT_EQ(Ident("fgl_ident", &tcp_), PlainBlock());
  for (const char* line : {"fgl_ident \"\" C", "fgl_ident x C", "fgl_ident 5 C", "fgl_ident 4.x C",
                           "fgl_ident 4.2 C", "fgl_ident 3.9 C"}) {
    EXPECT_EQ(Ident(line, &tcp_).back(), "fgl_filter") << line;
  }
  for (const char* line : {"fgl_ident 4.3 C", "fgl_ident 4.10 C", "fgl_ident 10.0 C"}) {
    EXPECT_EQ(Ident(line, &tcp_).back(), "RiZuv version 2.0") << line;
    EXPECT_TRUE(host_.is_using_compression()) << line;
  }
}

// A data state that is not a common one has no connection: no TLS, no compression.
TEST_F(HandshakeCommandsTest, OtherDataStatesGetTheBlockWithoutTlsOrCompression) {
  RecordingHost other;
  EXPECT_TRUE(other.Run("fgl_ident 4.2 PCS"));
  Log expected = Block({"fgl_options 7 " + id_, "fgl_useproperty"});
  EXPECT_EQ(other.Sent(), Log(expected.begin() + 1, expected.end()));
  EXPECT_FALSE(other.state().is_using_compression());
}

TEST_F(HandshakeCommandsTest, LogonSessionIdentifierIsZeroThenTheLoginSession) {
  testing_cache::TempTree tree;
  const std::string processSession = "0" + std::to_string(getsid(0));
  const std::string file = tree / "sessionid";
  auto identifierFrom = [&](const char* contents) {
    testing_cache::WriteFile(file, contents);
    return LogonSessionIdentifier(file.c_str());
  };
  EXPECT_EQ(identifierFrom("42\n"), "042");
  EXPECT_EQ(identifierFrom("3000000000"), "0-1294967296");
  // Unset (the kernel's "no session"), unreadable or missing: the process's session.
  EXPECT_EQ(identifierFrom("4294967295\n"), processSession);
  EXPECT_EQ(identifierFrom("abc"), processSession);
  EXPECT_EQ(identifierFrom(""), processSession);
  EXPECT_EQ(LogonSessionIdentifier((tree / "missing").c_str()), processSession);

  EXPECT_EQ(id_.substr(0, 1), "0");
  EXPECT_EQ(id_.find_first_not_of("-0123456789"), std::string::npos) << id_;
}

TEST_F(HandshakeCommandsTest, AuthenticationExchange) {
  EXPECT_FALSE(host_.Run("nyinetif_basic:"));
  EXPECT_EQ(host_.Records("nyinetif_basic:"), Log{"Nyinetif_Auth(0)"});
  EXPECT_EQ(host_.Records("nyinetif_full:"), (Log{"Nyinetif_Auth(1)", "fgl_authack"}));
  EXPECT_EQ(host_.Records("fgl_auth success welcome"), (Log{"Nyinetif_Auth(2)", "fgl_authack"}));
  EXPECT_EQ(host_.Records("fgl_auth ok"), Log{});
  EXPECT_EQ(host_.Records("fgl_auth Success"), Log{});
  EXPECT_EQ(host_.Records("fgl_auth"), Log{});

  host_.authResult = true;
  EXPECT_EQ(host_.Records("nyinetif_full:"), Log{"Nyinetif_Auth(1)"});
  EXPECT_EQ(host_.Records("fgl_auth retry"), Log{"Nyinetif_Auth(3)"});

  host_.connectionName = "payroll \"main\"";
  EXPECT_EQ(host_.Records("nyinetif:"),
            (Log{"GetConnectionStringApplicationName(4000)", "payroll \"main\""}));
  host_.connectionName.clear();
  EXPECT_EQ(host_.Records("nyinetif:"), (Log{"GetConnectionStringApplicationName(4000)", ""}));
}

// The process ends with status 1, after the warning and "fgl_authack" were handed over.
using HandshakeCommandsDeathTest = HandshakeCommandsTest;

TEST_F(HandshakeCommandsDeathTest, FailedOrDeclinedAuthenticationEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  host_.connection.echoToStderr = true;
  host_.connection.socket = &tls_;
  EXPECT_EXIT(host_.Run("fgl_auth failed \"Bad password\""), ::testing::ExitedWithCode(1),
              "^\\[WarningMessage\\(Bad password\\)\\]\\[fgl_authack\\]$");
  EXPECT_EXIT(host_.Run("fgl_auth failed"), ::testing::ExitedWithCode(1),
              "^\\[WarningMessage\\(\\(null\\)\\)\\]\\[fgl_authack\\]$");
  host_.connection.socket = &tcp_;
  EXPECT_EXIT(host_.Run("fgl_auth retry"), ::testing::ExitedWithCode(1),
              "^\\[Nyinetif_Auth\\(3\\)\\]\\[fgl_authack\\]$");
}

// "fgl_authack" waits in the socket's send queue for the event loop, here still busy with
// other work; the process must not end before the loop has written it.
TEST_F(HandshakeCommandsDeathTest, AcknowledgementReachesTheServerBeforeTheProcessEnds) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child must share the server's descriptor
  int ends[2];                               // the client's, the server's
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);

  EXPECT_EXIT(
      {
        auto* socket = new TcpSocket(ends[0], nullptr, true);  // ends with the process
        LoopRunner loop(SharedSelector());
        loop.Start();
        SharedSelector().Add(
            new CallTimer([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        host_.connection.socket = socket;
        host_.connection.toSocket = true;
        host_.Run("fgl_auth failed no");
      },
      ::testing::ExitedWithCode(1), "");

  // With the child gone, all that reached the server is the acknowledgement.
  close(ends[0]);
  nycl_server::LineTransport server(ends[1], nullptr);
  std::string received;
  EXPECT_TRUE(server.ReadToEnd(&received, nycl_server::Clock::now() + std::chrono::seconds(2)));
  EXPECT_EQ(received, "fgl_authack\n");
}

}  // namespace
}  // namespace nycl::test
