// Whole sessions over loopback: the runner and the ready connection on the client's side,
// nycl-server playing a session script on the other, each checking the other's lines.
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "nycl/net/SSLTcpSocket.h"
#include "nycl/res/Atom.h"
#include "nycl/res/ResFile.h"
#include "nycl/res/ResInfo.h"
#include "session/SessionTestSupport.h"

namespace nycl {
namespace session_test {
namespace {

// The answers with the logon-session identifier (machine-dependent) taken out.
Lines WithoutIdentifier(Lines answers) {
  static const std::regex options("fgl_options ([67]) -?[0-9]*-?[0-9]*");
  for (std::string& line : answers) {
    std::smatch match;
    if (std::regex_match(line, match, options)) line = "fgl_options " + match[1].str() + " ID";
  }
  return answers;
}

const Lines kOptionsPCS = {"fgl_options 7 ID", "fgl_useproperty",       "fgl_client ny_gui.r2",
                           "fgl_allkeys",      "fgl_serverScript .nys", "fgl_compress",
                           "fgl_encrypt",      "fgl_useKeyMap",         "fgl_endOptions",
                           "RiZuv version 2.0"};

Lines Joined(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// TLS sessions whose client wants compression.
class EndToEndTest : public ServerSessionTest {
 protected:
  EndToEndTest() {
    on_line = [this](const std::string& line) {
      if (line.rfind("fgl_Exec", 0) == 0) {
        tls_seen.push_back(state_->is_ssl_running() && state_->is_cert_valid());
      }
    };
  }
  int Play(const std::string& script, bool tls = true) {
    SessionOptions options;
    options.tls = tls;
    return ServerSessionTest::Play(script, options);
  }
  Lines Answers() const { return WithoutIdentifier(record_.answers); }

  std::vector<bool> tls_seen;  // TLS with a valid certificate when each fgl_Exec arrived
};

// The old order: compression right after the option block, then TLS.
TEST_F(EndToEndTest, Version42SwitchesCompressionThenTlsRightAfterTheOptions) {
  ASSERT_EQ(Play("send nyinetif:\nexpect demo\nsend nyinetif_full:\nsend fgl_auth success Welcome\n"
                 "expect fgl_authack\nhandshake 4.2 PC S\nexpect-agreed compress tls\n" +
                 Exec(5) + "close\n"),
            0);
  EXPECT_EQ(result_.end, SessionResult::End::kServerClosed);
  EXPECT_EQ(Answers(),
            Joined({{"demo", "fgl_authack"}, kOptionsPCS, {"fgl_filter", "fgl_executed_true 5"}}));
  EXPECT_EQ(tls_seen, std::vector<bool>{true});
}

// The new order: nothing switches before fgl_StartSession; then every pause and resume.
TEST_F(EndToEndTest, Version50SwitchesOnStartSessionAndPausesAndResumesBothWays) {
  ASSERT_EQ(Play("send nyinetif:\nexpect demo\nhandshake 5.0 PCS\nexpect-agreed compress tls\n"
                 "start-session\n" +
                 Exec(1) + "stop-session\n" + Exec(2) + "resume-session\n" + Exec(3) +
                 "filter\nfilterend 1\n" + Exec(4) + "filter\nfilterend\n" + Exec(5) + "close\n"),
            0);
  EXPECT_EQ(Answers(),
            Joined({{"demo"},
                    kOptionsPCS,
                    {"fgl_SessionReady", "fgl_executed_true 1", "\n", "fgl_SessionStopped",
                     "fgl_executed_true 2", "fgl_SessionReady", "fgl_executed_true 3", "\n",
                     "fgl_filter 2", "fgl_filter", "fgl_executed_true 4", "\n", "fgl_filter 2",
                     "fgl_filter", "fgl_executed_true 5"}}));
  EXPECT_EQ(tls_seen, (std::vector<bool>{true, false, true, true, true}));
}

// Serves main.nys naming a, the nested b.nys (naming x and y), and c.
class ScriptTransferTest : public EndToEndTest {
 protected:
  ScriptTransferTest() {
    server_.WriteFile("main.nys",
                      "DEMO.MAIN.title: Customers\n[file]a.frm\n[file]b.nys\n[file]c.frm\n");
    server_.WriteFile("b.nys", "[file]x.frm\n[file]y.frm\n");
    for (const char* name : {"a.frm", "c.frm", "x.frm", "y.frm"}) {
      server_.WriteFile(name, std::string("form ") + name + "\n");
    }
    inspect = [this](NyCommonDataState* state) {
      title_ = "(no resource file)";
      if (ResFile* resources = state->GetResFile()) {
        std::unique_ptr<ResInfo> main(resources->LocateResourceData("DEMO.MAIN"));
        const char* value = Atom::DeAtomize(main->FindResourceA("title", nullptr));
        title_ = value != nullptr ? value : "(none)";
      }
      char path[501];
      cached_x_ = state->GetFileCache()->GetFile("x.frm", path, 500) ? path : "";
    };
  }
  static std::string Session(const std::string& check) {
    return "send nyinetif:\nexpect demo\nhandshake 5.0 PCS\nstart-session\nscript main.nys\n" +
           check + "close\n";
  }
  std::string title_;
  std::string cached_x_;
};

TEST_F(ScriptTransferTest, NestedScriptsAreRequestedInFileOrderAndTheNextSessionHitsTheCache) {
  ASSERT_EQ(Play(Session("expect-requests c.frm b.nys x.frm y.frm a.frm\nexpect-cached\n")), 0);
  EXPECT_EQ(title_, "Customers");
  EXPECT_EQ(testing_cache::ReadFile(cached_x_), "form x.frm\n");
  EXPECT_TRUE(testing_cache::CacheLockFree(CacheDir()));

  // A nested script found in the cache is not read again: its own names are not requested.
  ASSERT_EQ(Play(Session(
                "expect-requests c.frm b.nys a.frm\nexpect-cached main.nys c.frm b.nys a.frm\n")),
            0);
  EXPECT_EQ(title_, "Customers");
}

TEST_F(EndToEndTest, UploadsGoOutInBlocksOf2040Bytes) {
  std::string script = "send nyinetif:\nexpect demo\nhandshake 5.0 PCS\nstart-session\n";
  for (int size : {0, 2040, 2041}) {
    const std::string path = tree_ / ("upload-" + std::to_string(size));
    testing_cache::WriteFile(path, std::string(size, static_cast<char>('a' + size % 26)));
    script +=
        "upload " + path + " expect-size " + std::to_string(size) + " expect-same " + path + "\n";
  }
  script += "upload " + (tree_ / "missing") + " expect-missing\nclose\n";
  ASSERT_EQ(Play(script), 0);
}

// A line leaves in two blocks, its text and its line feed; neither waits for the server to
// acknowledge the other, so an exchange of a hundred lines and answers takes no time at all.
TEST_F(EndToEndTest, EachAnswerLeavesAtOnce) {
  for (bool tls : {false, true}) {
    std::string script = tls ? "handshake 5.0 S\nstart-session\n" : "";
    for (int i = 1; i <= 100; ++i) script += Exec(i);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Play(script + "close\n", tls), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

}  // namespace
}  // namespace session_test
}  // namespace nycl
