// nycl-server against a client played here on a plain socket: how it reports a client that
// leaves the script, what it refuses to serve, and the uploads it saves. The steps of whole
// sessions (both switch orders, TLS, compression, transfers, the hostile steps, concurrent
// sessions) are played against the library's client by the session and nycl-term tests.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "server/ServerHarness.h"

namespace nycl_server_test {
namespace {

std::string Base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
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
    ASSERT_TRUE(client_.Connect(server_.port()));
  }
  // The server closes and exits with status 0.
  void Finish() {
    EXPECT_EQ("<closed>", client_.Read());
    EXPECT_EQ(0, server_.Wait()) << server_.Output();
  }

  ServerProcess server_;
  RawClient client_;
};

TEST_F(ServerTest, ScriptTransferServesOnlyTheFilesOfItsDirectory) {
  server_.WriteFile("main.nys", "[file]a.frm\n");
  Start("script main.nys\nexpect-requests missing.frm ../script.session\nexpect-cached main.nys\n");
  EXPECT_EQ("fgl_ScriptFileSend main.nys", client_.Read());
  EXPECT_EQ(0u, client_.Read().rfind("fgl_FileSend main.nys ", 0));
  client_.Send("fgl_fileincache");
  EXPECT_EQ("fgl_ScriptFileSent main.nys", client_.Read());
  for (const char* name : {"missing.frm", "../script.session"}) {
    client_.Send(std::string("fgl_filerequest ") + name);
    EXPECT_EQ("fgl_file_read_error", client_.Read()) << name;
  }
  client_.Send("fgl_EndServerScript");
  EXPECT_EQ("fgl_ScriptEnd", client_.Read());
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
  EXPECT_EQ("fgl_FileRequest /home/u/empty", client_.Read());
  client_.SendRaw("fgl_FileFound true\n\n!***\n");
  EXPECT_EQ("fgl_FileRequest /home/u/data.bin", client_.Read());
  client_.SendRaw("fgl_FileFound true\n" + Base64(data.substr(0, 2040)) + "\n" +
                  Base64(data.substr(2040)) + "\n\n!***\n");
  EXPECT_EQ("fgl_FileRequest /home/u/none", client_.Read());
  client_.Send("fgl_FileFound false");
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
      {"upload /x\n", "fgl_FileFound true\n" + Base64(Bytes(2041)) + "\n\n!***\n",
       "lines of [2724] characters, expected [2720, 4]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    ServerProcess server;
    RawClient client;
    ASSERT_TRUE(server.Start(c.script, c.arguments)) << server.Output();
    ASSERT_TRUE(client.Connect(server.port()));
    client.SendRaw(c.sent);
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
