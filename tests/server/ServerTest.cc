// nycl-server played against a client written here from raw sockets, OpenSSL and zlib: each
// test starts the program on a script and acts the client's part of the exchange line by line.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
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

std::string Unbase64(const std::string& text) {
  if (text.empty()) return "";
  std::string out(text.size() / 4 * 3, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  out.resize(static_cast<std::size_t>(length) - (text.size() - text.find_last_not_of('=') - 1));
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

  void SendLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) ASSERT_TRUE(client_.Send(line));
  }

  // The client's pause: decompression paused, TLS dropped, then the line holding a line feed
  // and the answer, in plain.
  void Pause(const std::string& answer) {
    client_.PauseInflate();
    client_.DropTls();
    SendLines({"\n", answer});
  }

  // Answers an offer of `name` with "fgl_needfileupdate" and returns the data received.
  std::string Download(const std::string& name) {
    const std::string offer = client_.Read();
    EXPECT_EQ(0u, offer.rfind("fgl_FileSend " + name + " ", 0)) << offer;
    client_.Send("fgl_needfileupdate");
    std::string bytes;
    for (std::string line; (line = client_.Read()) != "fgl_FileSent " + name;) {
      const std::string prefix = "fgl_FileData " + name + " ";
      if (line.rfind(prefix, 0) != 0) {
        ADD_FAILURE() << "in the download of " << name << ": " << line;
        break;
      }
      EXPECT_LE(line.size() - prefix.size(), 2720u);
      bytes += Unbase64(line.substr(prefix.size()));
    }
    return bytes;
  }

  // Ends the test: the server closes and exits with `status`.
  void Finish(int status = 0) {
    if (status == 0) {
      EXPECT_EQ("<closed>", client_.Read());
      client_.Close();
    }
    EXPECT_EQ(status, server_.Wait()) << server_.Output();
  }

  ServerProcess server_;
  RawClient client_;
};

TEST_F(ServerTest, OldOrderSwitchesCompressionThenTlsRightAfterTheOptionBlock) {
  Start(
      "send nyinetif:\n"
      "expect demo\n"
      "send fgl_auth success welcome\n"
      "expect fgl_authack\n"
      "handshake 4.2 PC S\n"
      "expect-agreed compress tls\n"
      "send fgl_Exec prog arg\n"
      "expect fgl_executed_true 1\n");
  EXPECT_EQ("nyinetif:", client_.Read());
  client_.Send("demo");
  EXPECT_EQ("fgl_auth success welcome", client_.Read());
  client_.Send("fgl_authack");
  EXPECT_EQ("fgl_ident 4.2 PC S", client_.Read());
  SendLines({"fgl_options 7 01234", "fgl_useproperty", "fgl_client ny_gui.r2", "fgl_allkeys",
             "fgl_serverScript .nys", "fgl_compress", "fgl_encrypt", "fgl_useKeyMap",
             "fgl_endOptions", "RiZuv version 2.0", "fgl_filter"});
  client_.StartInflate();
  ASSERT_TRUE(client_.StartTls());
  EXPECT_EQ("fgl_Exec prog arg", client_.Read());
  client_.Send("fgl_executed_true 1");
  Finish();
}

TEST_F(ServerTest, NewOrderStartsOnStartSessionAndPausesKeepTheDeflateStream) {
  Start(
      "handshake 5.0 CS\n"
      "start-session\n"
      "send fgl_Bell\n"
      "stop-session\n"
      "resume-session\n"
      "filter\n"
      "filterend 1\n"
      "filter\n"
      "filterend\n"
      "send fgl_Exec x\n"
      "expect fgl_executed_false\n");
  EXPECT_EQ("fgl_ident 5.0 CS", client_.Read());
  SendLines({"fgl_options 6 ", "fgl_client ny_gui.r2", "fgl_allkeys", "fgl_serverScript .nys",
             "fgl_compress", "fgl_encrypt", "fgl_useKeyMap", "fgl_endOptions",
             "RiZuv version 2.0"});
  EXPECT_EQ("fgl_StartSession", client_.Read());
  ASSERT_TRUE(client_.StartTls());
  client_.Send("fgl_SessionReady");
  client_.StartInflate();
  EXPECT_EQ("fgl_Bell", client_.Read());

  EXPECT_EQ("fgl_StopSession", client_.Read());
  Pause("fgl_SessionStopped");
  EXPECT_EQ("fgl_ResumeSession", client_.Read());
  ASSERT_TRUE(client_.StartTls());
  client_.ResumeInflate();
  client_.Send("fgl_SessionReady");

  // With the flag, TLS first and the answer through it; without, the answer first in plain.
  EXPECT_EQ("fgl_filter", client_.Read());
  Pause("fgl_filter 2");
  EXPECT_EQ("fgl_filterend 1", client_.Read());
  ASSERT_TRUE(client_.StartTls());
  client_.ResumeInflate();
  client_.Send("fgl_filter");
  EXPECT_EQ("fgl_filter", client_.Read());
  Pause("fgl_filter 2");
  EXPECT_EQ("fgl_filterend", client_.Read());
  client_.ResumeInflate();
  client_.Send("fgl_filter");
  ASSERT_TRUE(client_.StartTls());

  EXPECT_EQ("fgl_Exec x", client_.Read());
  client_.Send("fgl_executed_false");
  Finish();
}

TEST_F(ServerTest, ScriptTransferServesRequestsInTheClientsOrderAndRefusesOthers) {
  const std::string main_script =
      "main.form: \"[file]a.frm\"\nmain.menu: \"[file]b.nys\"\nmain.icon: \"[file]c.png\"\n";
  server_.WriteFile("main.nys", main_script);
  server_.WriteFile("b.nys", "[file]x.frm\"\n[file]y.frm\"\n");
  server_.WriteFile("a.frm", "form a\n");
  server_.WriteFile("c.png", Bytes(5000));
  server_.WriteFile("x.frm", "");
  server_.WriteFile("y.frm", "form y\n");
  Start(
      "script main.nys\n"
      "expect-requests missing.frm c.png b.nys ../script.session x.frm y.frm a.frm\n"
      "expect-cached b.nys\n");
  EXPECT_EQ("fgl_ScriptFileSend main.nys", client_.Read());
  EXPECT_EQ(main_script, Download("main.nys"));
  EXPECT_EQ("fgl_ScriptFileSent main.nys", client_.Read());
  client_.Send("fgl_filerequest missing.frm");
  EXPECT_EQ("fgl_file_read_error", client_.Read());
  client_.Send("fgl_filerequest c.png");
  EXPECT_EQ(Bytes(5000), Download("c.png"));
  client_.Send("fgl_filerequest b.nys");
  EXPECT_EQ(0u, client_.Read().rfind("fgl_FileSend b.nys ", 0));
  client_.Send("fgl_fileincache");
  client_.Send("fgl_filerequest ../script.session");
  EXPECT_EQ("fgl_file_read_error", client_.Read());
  client_.Send("fgl_filerequest x.frm");
  EXPECT_EQ("", Download("x.frm"));
  client_.Send("fgl_filerequest y.frm");
  EXPECT_EQ("form y\n", Download("y.frm"));
  client_.Send("fgl_filerequest a.frm");
  EXPECT_EQ("form a\n", Download("a.frm"));
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
  SendLines({"fgl_FileFound true", "", "!***"});
  EXPECT_EQ("fgl_FileRequest /home/u/data.bin", client_.Read());
  SendLines(
      {"fgl_FileFound true", Base64(data.substr(0, 2040)), Base64(data.substr(2040)), "", "!***"});
  EXPECT_EQ("fgl_FileRequest /home/u/none", client_.Read());
  client_.Send("fgl_FileFound false");
  Finish();
  std::ifstream saved(server_.dir() + "/uploads/data.bin", std::ios::binary);
  std::ostringstream text;
  text << saved.rdbuf();
  EXPECT_EQ(data, text.str());
}

TEST_F(ServerTest, SessionsRunConcurrently) {
  Start("send hello\nexpect hi\n", {"--sessions", "2"});
  RawClient second;
  ASSERT_TRUE(second.Connect(server_.port()));
  EXPECT_EQ("hello", second.Read());
  EXPECT_EQ("hello", client_.Read());
  second.Send("hi");
  client_.Send("hi");
  EXPECT_EQ("<closed>", second.Read());
  second.Close();
  Finish();
}

// Failures: each ends the session with status 1 and a message naming the script line.

TEST_F(ServerTest, WrongAnswerNamesTheStepAndWhatArrived) {
  Start("send nyinetif:\nexpect demo\n# auth\nexpect fgl_authack\n");
  client_.Read();
  SendLines({"demo", "fgl_authnack"});
  Finish(1);
  EXPECT_NE(std::string::npos,
            server_.Output().find("script.session:4: expect fgl_authack: expected "
                                  "\"fgl_authack\", received \"fgl_authnack\""))
      << server_.Output();
}

TEST_F(ServerTest, SilentClientTimesOut) {
  Start("expect anything\n", {"--timeout", "300"});
  Finish(1);
  EXPECT_NE(std::string::npos, server_.Output().find("nothing arrived in time (timeout 300 ms)"))
      << server_.Output();
}

TEST_F(ServerTest, OverlongLineIsRefused) {
  Start("expect x\n");
  client_.SendRaw(std::string((1 << 20) + 10, 'a'));
  Finish(1);
  EXPECT_NE(std::string::npos, server_.Output().find("a line longer than 1048576 bytes"));
}

TEST_F(ServerTest, PlainTextWhereTlsMustStartIsReported) {
  Start("handshake 4.2 S\n");
  client_.Read();
  SendLines({"fgl_options 6 ", "fgl_client ny_gui.r2", "fgl_allkeys", "fgl_serverScript .nys",
             "fgl_encrypt", "fgl_useKeyMap", "fgl_endOptions", "RiZuv version 2.0", "hello"});
  Finish(1);
  EXPECT_NE(std::string::npos, server_.Output().find("where the client's TLS handshake was "
                                                     "expected: \"hello\\n\""))
      << server_.Output();
}

TEST_F(ServerTest, OptionBlockOutOfOrderIsReported) {
  Start("handshake 5.0 PC\n");
  client_.Read();
  SendLines({"fgl_options 7 ", "fgl_client ny_gui.r2", "fgl_useproperty", "fgl_allkeys"});
  Finish(1);
  EXPECT_NE(std::string::npos,
            server_.Output().find("option block line 2: expected \"fgl_useproperty\""))
      << server_.Output();
}

TEST_F(ServerTest, UploadInOtherLinesThanTheClientsBlocksIsReported) {
  Start("upload /x\n");
  client_.Read();
  SendLines({"fgl_FileFound true", Base64(Bytes(2041)), "", "!***"});
  Finish(1);
  EXPECT_NE(std::string::npos, server_.Output().find("lines of [2724] characters, expected "
                                                     "[2720, 4]"))
      << server_.Output();
}

// The hostile steps: raw bytes with escapes, repeats, and a line or handshake broken off.
TEST_F(ServerTest, HostileStepsSendRawBytesRepeatsAndBreakOff) {
  Start(
      "send-raw a\"b\\x41\\r\\n\n"
      "send-repeat 3 xy\\n\n"
      "deflate-start\n"
      "send-repeat 524288 0123456789abcdef\n"  // 8 MiB, mostly replayed compressed chunks
      "send\n"
      "send after\n"
      "send-cut 3 broken\n"
      "close\n");
  EXPECT_EQ("a\"bA\r", client_.Read());
  for (int i = 0; i < 3; ++i) EXPECT_EQ("xy", client_.Read());
  client_.StartInflate();
  std::string repeated;
  for (int i = 0; i < 524288; ++i) repeated += "0123456789abcdef";
  EXPECT_TRUE(client_.Read() == repeated);
  EXPECT_EQ("after", client_.Read());
  Finish();  // the three bytes of "broken" decode to no whole line
}

TEST_F(ServerTest, TlsCutLeavesTheClientInTheMiddleOfItsHandshake) {
  Start("tls-cut 20\nclose\n");
  EXPECT_FALSE(client_.StartTls());
  client_.Close();
  EXPECT_EQ(0, server_.Wait()) << server_.Output();
}

TEST(ServerUsageTest, HostileStepsNeedTheirBytes) {
  for (const char* step : {"send-raw", "send-raw \\q", "send-repeat 0 x", "send-repeat 2",
                           "send-cut x line", "tls-cut"}) {
    ServerProcess server;
    EXPECT_FALSE(server.Start(std::string(step) + "\n")) << step;
    EXPECT_EQ(2, server.Wait(0)) << step;
    EXPECT_NE(std::string::npos, server.Output().find("script.session:1: usage:")) << step;
  }
}

TEST(ServerUsageTest, ExampleScriptsParse) {
  for (const char* name : {"old-order.session", "new-order.session"}) {
    const std::string command = std::string(NYCL_SERVER_BINARY) + " --check --script " +
                                NYCL_SERVER_EXAMPLES_DIR "/" + name + " > /dev/null";
    EXPECT_EQ(0, std::system(command.c_str())) << name;
  }
}

TEST(ServerUsageTest, BadScriptIsAUsageError) {
  ServerProcess server;
  EXPECT_FALSE(server.Start("send x\nexpekt y\n"));
  EXPECT_EQ(2, server.Wait(0));
  EXPECT_NE(std::string::npos, server.Output().find("script.session:2: unknown step \"expekt\""));
}

}  // namespace
}  // namespace nycl_server_test
