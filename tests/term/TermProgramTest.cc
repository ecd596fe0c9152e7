// nycl-term as a program, against nycl-server: the demo's screens, the cache across sessions,
// and every kind of bad input, each ending with a clear message and a status, never a hang.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "cache/CacheTestSupport.h"
#include "net/Loopback.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "server/ServerHarness.h"
#include "support/Processes.h"
#include "support/WaitFor.h"

namespace nycl_term {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;
using nycl::testing_cache::ReadFile;

struct Ran {
  int status = -1;  // -1: killed after the time limit
  std::string out;
  std::string err;
  std::chrono::milliseconds took{0};
};

// The start of a session as every script here plays it: a 5.0 server with TLS and compression.
const char kOpening[] =
    "send nyinetif:\n"
    "expect custmaint\n"
    "send nyinetif_basic:\n"
    "handshake 5.0 PCS\n"
    "start-session\n"
    "send fgl_WindowOpen SCREEN 24 80 0 0 0 \"\"\n";

class TermProgramTest : public ::testing::Test {
 protected:
  // Runs nycl-term, or `binary`, with `arguments` (standard input empty), at most 30 s.
  Ran Run(std::vector<std::string> arguments, const char* binary = NYCL_TERM_BINARY) {
    arguments.insert(arguments.begin(), binary);
    Ran ran;
    const auto start = Clock::now();
    const pid_t pid = nycl::test_processes::Spawn(arguments, tree_ / "out", tree_ / "err");
    if (pid > 0) ran.status = nycl::test_processes::ReapOrKill(pid, 30000);
    ran.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    ran.out = ReadFile(tree_ / "out");
    ran.err = ReadFile(tree_ / "err");
    return ran;
  }

  // Starts nycl-server on `script`; files of its served directory are written beforehand.
  bool Serve(const std::string& script, std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.end(), {"--timeout", "8000"});
    return server_.Start(script, arguments);
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(server_.port()); }
  // nycl-term against the server, headless with `keys`, its cache in the test's tree.
  Ran Session(const std::string& keys, std::vector<std::string> more = {}) {
    std::ofstream(tree_ / "keys") << keys;
    std::vector<std::string> arguments = {"--app",        "custmaint", "--keys",
                                          tree_ / "keys", "--cache",   tree_ / "cache"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(Address());
    return Run(arguments);
  }

  nycl::testing_cache::TempTree tree_;
  nycl_server_test::ServerProcess server_;
};

TEST_F(TermProgramTest, DemoPrintsTheExpectedScreensAndTheSecondRunFindsItsFilesCached) {
  const std::string demo = NYCL_DEMO_DIR;
  const std::string expected = ReadFile(demo + "/custmaint.screens");
  ASSERT_FALSE(expected.empty());
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ASSERT_TRUE(Serve(ReadFile(demo + "/custmaint.session"), {"--root", demo + "/served"}));
    const Ran ran = Session(ReadFile(demo + "/custmaint.keys"));
    EXPECT_EQ(ran.out, expected);
    EXPECT_EQ(server_.Wait(), 0) << server_.Output();
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_THAT(ran.err, StartsWith("nycl-term: the server ended the session\n"));
    EXPECT_THAT(ran.err, HasSubstr("version 5.0\n"));
    EXPECT_THAT(ran.err, HasSubstr("TLS            on, certificate valid (authority: built in)"));
    EXPECT_THAT(ran.err, HasSubstr("compression    on\n"));
    const std::string files = "3 files (custmaint.nys, orders.frm, customer.frm)";
    EXPECT_THAT(ran.err,
                HasSubstr(run == 1 ? "received       " + files : "received       0 files"));
    EXPECT_THAT(ran.err,
                HasSubstr(run == 1 ? "found cached   0 files" : "found cached   " + files));
    EXPECT_THAT(ReadFile(tree_ / "cache/reports/report-" + std::to_string(run) + ".txt"),
                HasSubstr("Order A-7802\n"));
  }
}

TEST_F(TermProgramTest, NoServerFailsAtOnceAndAServerThatNeverAnswersAfterTheConnectLimit) {
  // A port nobody listens on refuses the connection.
  const std::string refused = "127.0.0.1:" + nycl::FreePort();
  Ran ran = Run({"--keys", "-", "--cache", tree_ / "cache", refused});
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.err, StartsWith("nycl-term: no connection to the server: "));
  EXPECT_LT(ran.took, std::chrono::seconds(5));
  EXPECT_EQ(ran.out, "");

  // A listener whose queue is full lets the connection hang: the limit ends it.
  std::string port;
  const int full = nycl::BoundSocket(SOCK_CLOEXEC, &port);
  ASSERT_EQ(listen(full, 0), 0);
  int fillers[3], ignored;
  for (int& filler : fillers)
    filler = nycl::RawConnect(port, SOCK_NONBLOCK | SOCK_CLOEXEC, &ignored);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ran = Run({"--keys", "-", "--cache", tree_ / "cache", "--connect-timeout", "1000",
             "127.0.0.1:" + port});
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.err, StartsWith("nycl-term: no connection to the server: "));
  EXPECT_LT(ran.took, std::chrono::seconds(15));
  for (int fd : fillers) close(fd);
  close(full);
}

TEST_F(TermProgramTest, ACertificateFromAnotherAuthorityStopsTheSessionOrGoesOnAsAsked) {
  const std::string certs = NYCL_TEST_CERTS_DIR;
  const std::vector<std::string> self_signed = {"--cert", certs + "/test-selfsigned.pem", "--key",
                                                certs + "/test-selfsigned.key"};
  const std::string script = std::string(kOpening) +
                             "send fgl_MessageBox Hello 0\n"
                             "expect key 1\n"
                             "close\n";
  ASSERT_TRUE(Serve(script, self_signed));
  Ran ran = Session("<Enter>");
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.err, StartsWith("nycl-term: the server's certificate does not come from the "
                                  "trusted authority: session stopped"));
  EXPECT_THAT(ran.out, HasSubstr("=== end: the server's certificate does not come"));
  EXPECT_THAT(ran.out, Not(HasSubstr("message box")));  // nothing of the program ran
  EXPECT_EQ(server_.Wait(), 1);

  ASSERT_TRUE(Serve(script, self_signed));
  ran = Session("<Enter>", {"--bad-cert", "continue"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_THAT(ran.err, HasSubstr("TLS            on, certificate NOT from the trusted authority"));
  EXPECT_EQ(server_.Wait(), 0) << server_.Output();

  // The same server, with its own certificate as the trusted authority.
  ASSERT_TRUE(Serve(script, self_signed));
  ran = Session("<Enter>", {"--ca", certs + "/test-selfsigned.pem"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_THAT(ran.err, HasSubstr("on, certificate valid (authority: " + certs));
  EXPECT_EQ(server_.Wait(), 0) << server_.Output();
}

TEST_F(TermProgramTest, AServerThatGoesAwayInTheMiddleOfAFileIsReportedAndTheCacheStaysWhole) {
  std::string notes;
  for (int i = 0; i < 200; ++i) notes += "line " + std::to_string(i) + " of the notes\n";
  server_.WriteFile("notes.txt", notes);
  const std::string receiving = std::string(kOpening) +
                                "send fgl_DisplayAt 3 5 \"Receiving the notes\" normal\n"
                                "file notes.txt cut 1000\n";
  ASSERT_TRUE(Serve(receiving + "drop\n"));
  Ran ran = Session("");
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.out, HasSubstr("=== end: the connection to the server was lost ("));
  EXPECT_THAT(ran.out, HasSubstr("in the middle of a file transfer; the partial copy of the file "
                                 "was dropped from the cache ===\n"));
  EXPECT_THAT(ran.out, HasSubstr("|    Receiving the notes"));
  // The library's own socket messages do not end up among the screens.
  EXPECT_THAT(ran.out, Not(HasSubstr("virtual circuit")));
  server_.Wait();

  ASSERT_TRUE(Serve(receiving + "close\n"));
  ran = Session("");
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.err, StartsWith("nycl-term: the server closed the connection in the middle of "
                                  "a file transfer"));
  server_.Wait();

  // Nothing of the broken transfers counts as cached: the next session takes the whole file.
  ASSERT_TRUE(Serve(std::string(kOpening) + "file notes.txt expect-update\nclose\n"));
  ran = Session("");
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(server_.Wait(), 0) << server_.Output();
  auto cache = nycl::CCorvathFileCache::InDirectory(tree_ / "cache");
  char copy[501] = "";
  ASSERT_TRUE(cache->GetFile("notes.txt", copy, 500));
  EXPECT_EQ(ReadFile(copy), notes);
}

TEST_F(TermProgramTest, AKeyScriptThatEndsEarlyStopsTheSessionInsteadOfWaiting) {
  const std::string demo = NYCL_DEMO_DIR;
  ASSERT_TRUE(Serve(ReadFile(demo + "/custmaint.session"), {"--root", demo + "/served"}));
  const Ran ran = Session("ann<Enter>");
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.out, HasSubstr("sent: prompt \"ann\"\n=== 2: prompt \"Password: \" ===\n"));
  EXPECT_THAT(ran.out, HasSubstr("=== end: the key script ended while the program waited for "
                                 "prompt \"Password: \" ===\n"));
  EXPECT_LT(ran.took, std::chrono::seconds(10));
  EXPECT_EQ(server_.Wait(), 1);
}

TEST_F(TermProgramTest, AServerThatFallsSilentIsGivenUpAfterTheIdleLimit) {
  ASSERT_TRUE(Serve(std::string(kOpening) + "sleep 4000\nclose\n"));
  const Ran ran = Session("", {"--idle-timeout", "500"});
  EXPECT_EQ(ran.status, 1);
  EXPECT_THAT(ran.err,
              StartsWith("nycl-term: the server sent nothing for 500 ms: session stopped"));
  EXPECT_LT(ran.took, std::chrono::seconds(3));
  server_.Wait();
}

TEST_F(TermProgramTest, LaunchesAreRefusedUnlessAllowed) {
  const std::string marker = tree_ / "launched";
  const auto script = [&](const std::string& answer) {
    return kOpening +
           ("send fgl_Exec \"touch " + marker + "\" 0\nexpect-re " + answer + "\nclose\n");
  };
  ASSERT_TRUE(Serve(script("fgl_executed_false")));
  EXPECT_EQ(Session("").status, 0);
  EXPECT_EQ(server_.Wait(), 0) << server_.Output();
  EXPECT_FALSE(nycl::testing_cache::Exists(marker));

  ASSERT_TRUE(Serve(script("fgl_executed_true [1-9][0-9]*")));
  EXPECT_EQ(Session("", {"--allow-launch"}).status, 0);
  EXPECT_EQ(server_.Wait(), 0) << server_.Output();
  EXPECT_TRUE(nycl::WaitFor([&] { return nycl::testing_cache::Exists(marker); }, 5));
}

// What the trace prints for each line is the example trace's diff (nycl_trace_example); here,
// that a live session gets there, its handshake and switches printed with the rest.
TEST_F(TermProgramTest, TraceConnectPrintsWhatALiveSessionDoesToAHost) {
  ASSERT_TRUE(Serve(std::string(kOpening) + "close\n"));
  const Ran ran = Run({"--connect", Address(), "--app", "custmaint", "--cache", tree_ / "cache"},
                      NYCL_TRACE_BINARY);
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_THAT(ran.out, StartsWith(">> nyinetif:\n<< custmaint\n>> nyinetif_basic:\n"));
  EXPECT_THAT(ran.out, HasSubstr(">> fgl_StartSession\n<< fgl_SessionReady\n"));
  EXPECT_THAT(ran.err, StartsWith("nycl-trace: the server ended the session"));
  EXPECT_EQ(server_.Wait(), 0) << server_.Output();
}

TEST_F(TermProgramTest, BadOptionsAreNamedAndExitWithTwo) {
  const std::string keys = NYCL_DEMO_DIR "/custmaint.keys";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "the server's address HOST:PORT is missing"},
      {{"localhost"}, "the server's address must be HOST:PORT, not \"localhost\""},
      {{"--frobnicate", "h:1"}, "unknown option --frobnicate"},
      {{"--bad-cert", "maybe", "h:1"}, "--bad-cert takes stop or continue, not \"maybe\""},
      {{"--connect-timeout", "soon", "h:1"}, "--connect-timeout takes a number of milliseconds"},
      {{"--keys", tree_ / "absent", "h:1"}, "cannot open the key script"},
      {{"--ca", keys, "h:1"}, keys + " holds no certificate"},
  };
  for (const auto& [arguments, message] : cases) {
    std::vector<std::string> all = arguments;
    all.insert(all.begin(), {"--cache", tree_ / "cache"});
    const Ran ran = Run(all);
    EXPECT_EQ(ran.status, 2) << message;
    EXPECT_THAT(ran.err, HasSubstr(message));
  }
  const Ran help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, StartsWith("usage: nycl-term [options] HOST:PORT\n"));
}

}  // namespace
}  // namespace nycl_term
