// nycl-server against a client played here on a plain socket: how it reports a client that
// leaves the script, what it refuses to serve, and the uploads it saves. The steps of whole
// sessions (both switch orders, TLS, compression, transfers, the hostile steps, concurrent
// sessions) are played against the library's client by the session and nycl-term tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/Loopback.h"
#include "nycl-server/LineTransport.h"
#include "nycl-server/Text.h"
#include "server/ServerHarness.h"

namespace nycl_server_test {
namespace {

using nycl_server::EncodeBase64;
using nycl_server::LineTransport;

// The client's end of a plain connection to the server (null when it cannot connect), on the
// server's own line connection: it reads from the server as the server reads from a client.
std::unique_ptr<LineTransport> Connect(int port) {
  int connected = -1;
  auto client = std::make_unique<LineTransport>(
      nycl::RawConnect(std::to_string(port), SOCK_CLOEXEC, &connected), nullptr);
  return connected == 0 ? std::move(client) : nullptr;
}
nycl_server::Deadline Soon() {
  return nycl_server::Clock::now() + std::chrono::seconds(5);
}
// The next line from the server; "<closed>" at the end of its stream, else what went wrong.
std::string Read(LineTransport& client) {
  std::string line;
  if (client.ReadLine(&line, Soon())) return line;
  return client.closed_by_client() ? "<closed>" : client.error();
}

std::string Bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

class ServerTest : public ::testing::Test {
 protected:
  void Start(const std::string& script, const std::vector<std::string>& arguments = {}) {
    ASSERT_TRUE(server_.Start(script, arguments)) << server_.Output();
    client_ = Connect(server_.port());
    ASSERT_NE(client_, nullptr);
  }
  // The server closes and exits with status 0.
  void Finish() {
    EXPECT_EQ("<closed>", Read(*client_));
    EXPECT_EQ(0, server_.Wait()) << server_.Output();
  }

  ServerProcess server_;
  std::unique_ptr<LineTransport> client_;
};

TEST_F(ServerTest, ScriptTransferServesOnlyTheFilesOfItsDirectory) {
  server_.WriteFile("main.nys", "[file]a.frm\n");
  Start("script main.nys\nexpect-requests missing.frm ../script.session\nexpect-cached main.nys\n");
  EXPECT_EQ("fgl_ScriptFileSend main.nys", Read(*client_));
  EXPECT_EQ(0u, Read(*client_).rfind("fgl_FileSend main.nys ", 0));
  client_->WriteLine("fgl_fileincache", Soon());
  EXPECT_EQ("fgl_ScriptFileSent main.nys", Read(*client_));
  for (const char* name : {"missing.frm", "../script.session"}) {
    client_->WriteLine(std::string("fgl_filerequest ") + name, Soon());
    EXPECT_EQ("fgl_file_read_error", Read(*client_)) << name;
  }
  client_->WriteLine("fgl_EndServerScript", Soon());
  EXPECT_EQ("fgl_ScriptEnd", Read(*client_));
  Finish();
}

TEST_F(ServerTest, UploadsAreCheckedAndSaved) {
  const std::string data = Bytes(2041);
  server_.WriteFile("expected.bin", data);
  Start(
      "upload /home/u/empty expect-size 0\n"
      "upload /home/u/data.bin expect-size 2041 expect-same expected.bin\n"
      "upload /home/u/none expect-missing\n",
      {"--uploads", server_.dir() + "/uploads"});
  EXPECT_EQ("fgl_FileRequest /home/u/empty", Read(*client_));
  client_->WriteRaw("fgl_FileFound true\n\n!***\n", Soon());
  EXPECT_EQ("fgl_FileRequest /home/u/data.bin", Read(*client_));
  client_->WriteRaw("fgl_FileFound true\n" + EncodeBase64(data.substr(0, 2040)) + "\n" +
                        EncodeBase64(data.substr(2040)) + "\n\n!***\n",
                    Soon());
  EXPECT_EQ("fgl_FileRequest /home/u/none", Read(*client_));
  client_->WriteLine("fgl_FileFound false", Soon());
  Finish();
  EXPECT_TRUE(nycl::test_files::ReadFile(server_.dir() + "/uploads/data.bin") == data);
}

// Each failure ends the session with status 1 and a message naming what went wrong.
TEST(ServerFailureTest, AClientThatLeavesTheScriptIsReportedWithTheStepAndWhatArrived) {
  struct Case {
    std::string script;
    std::string sent;
    std::string reported;
    std::vector<std::string> arguments = {};
  };
  const Case cases[] = {
      {"send nyinetif:\nexpect demo\n# auth\nexpect fgl_authack\n", "demo\nfgl_authnack\n",
       "script.session:4: expect fgl_authack: expected \"fgl_authack\", received "
       "\"fgl_authnack\""},
      {"expect anything\n", "", "nothing arrived in time (timeout 300 ms)", {"--timeout", "300"}},
      {"expect x\n", std::string((1 << 20) + 10, 'a'), "a line longer than 1048576 bytes"},
      {"handshake 4.2 S\n",
       "fgl_options 6 \nfgl_client ny_gui.r2\nfgl_allkeys\nfgl_serverScript .nys\nfgl_encrypt\n"
       "fgl_useKeyMap\nfgl_endOptions\nRiZuv version 2.0\nhello\n",
       "where the client's TLS handshake was expected: \"hello\\n\""},
      {"handshake 5.0 PC\n", "fgl_options 7 \nfgl_client ny_gui.r2\nfgl_useproperty\n",
       "option block line 2: expected \"fgl_useproperty\""},
      {"upload /x\n", "fgl_FileFound true\n" + EncodeBase64(Bytes(2041)) + "\n\n!***\n",
       "lines of [2724] characters, expected [2720, 4]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    ServerProcess server;
    ASSERT_TRUE(server.Start(c.script, c.arguments)) << server.Output();
    const std::unique_ptr<LineTransport> client = Connect(server.port());
    ASSERT_NE(client, nullptr);
    client->WriteRaw(c.sent, Soon());
    EXPECT_EQ(1, server.Wait());
    EXPECT_NE(std::string::npos, server.Output().find(c.reported)) << server.Output();
  }
}

TEST(ServerUsageTest, BadScriptsAreUsageErrorsAndTheExamplesParse) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"send x\nexpekt y\n", "script.session:2: unknown step \"expekt\""}};
  for (const char* script : {"send-raw\n", "send-raw \\q\n", "send-repeat 0 x\n", "send-repeat 2\n",
                             "send-cut x line\n", "tls-cut\n"})
    cases.emplace_back(script, "script.session:1: usage:");
  for (const auto& [script, message] : cases) {
    ServerProcess server;
    EXPECT_FALSE(server.Start(script)) << script;
    EXPECT_EQ(2, server.Wait(0)) << script;
    EXPECT_NE(std::string::npos, server.Output().find(message)) << script << server.Output();
  }
  for (const char* name : {"old-order.session", "new-order.session"}) {
    const std::string command = std::string(NYCL_SERVER_BINARY) + " --check --script " +
                                NYCL_SERVER_EXAMPLES_DIR "/" + name + " > /dev/null";
    EXPECT_EQ(0, std::system(command.c_str())) << name;
  }
}

}  // namespace
}  // namespace nycl_server_test
