// Session, login-menu and process commands driven through protocol lines.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "command/CommandStateHost.h"
#include "command/LineTest.h"
#include "command/TlsWait.h"
#include "net/LoopRunner.h"
#include "nycl/net/SSLTcpSocket.h"

namespace nycl::test {
namespace {

using Calls = CallLog;

// A data state whose TLS session starts after a number of polls (never when negative).
class TlsDataState : public RecordingDataState {
 public:
  TlsDataState(CallLog* log, int pollsUntilRunning)
      : RecordingDataState(log), pollsLeft_(pollsUntilRunning) {}
  bool is_this_a_ssl_connection() override {
    Record("is_this_a_ssl_connection()");
    return true;
  }
  bool is_ssl_running() override {
    ++polls;
    if (pollsLeft_ < 0) return false;
    return pollsLeft_-- == 0;
  }
  int polls = 0;

 private:
  int pollsLeft_;
};

class SessionCommandsTest : public LineTest {
 protected:
  // Runs `line` against a TLS data state pushed on a holder of its own.
  Calls RunOnTls(const std::string& line, int pollsUntilRunning, bool compression = false) {
    tlsCalls_.clear();
    tls_ = std::make_unique<TlsDataState>(&tlsCalls_, pollsUntilRunning);
    tls_->set_using_compression(compression);
    NyDataStateHolder holder;
    holder.PushDataState(tls_.get());
    EXPECT_FALSE(NyCommand::Create(line.c_str(), &holder)->Execute()) << line;
    return tlsCalls_;
  }

  CallLog tlsCalls_;
  std::unique_ptr<TlsDataState> tls_;
};

TEST_F(SessionCommandsTest, SwitchesOnAPlainConnection) {
  EXPECT_EQ(Run("fgl_filter"), Calls{"PauseCompress()"});
  EXPECT_EQ(Run("fgl_StopSession"), Calls{"NewPauseCompress()"});
  EXPECT_EQ(Run("fgl_ResumeSession"), (Calls{"is_this_a_ssl_connection()", "NewReCompress()"}));
  EXPECT_EQ(Run("fgl_StartSession"), Calls{"is_this_a_ssl_connection()"});
  host_.state().set_using_compression(true);
  EXPECT_EQ(Run("fgl_StartSession"), (Calls{"is_this_a_ssl_connection()", "NewCompressSocket()"}));

  EXPECT_EQ(Run("fgl_filterend"), (Calls{"ReCompress()", "ResumeSSLEncrypt()"}));
  EXPECT_EQ(Run("fgl_filterend 0"), (Calls{"ReCompress()", "ResumeSSLEncrypt()"}));
  // Nonzero flag on a plain connection: nothing to resume.
  EXPECT_EQ(Run("fgl_filterend 1"), (Calls{"is_this_a_ssl_connection()", "ReCompress()"}));
}

// The wait suspends the command thread itself between polls: the data state's Sleep is the
// host's (the common data state's does nothing) and is not called.
TEST_F(SessionCommandsTest, SessionSwitchesWaitForTlsBySleepingTheThread) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunOnTls("fgl_ResumeSession", 5),
            (Calls{"is_this_a_ssl_connection()", "ResumeSSLEncrypt()", "NewReCompress()"}));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));
  EXPECT_EQ(tls_->polls, 6);
  EXPECT_EQ(RunOnTls("fgl_StartSession", 0, true),
            (Calls{"is_this_a_ssl_connection()", "ResumeSSLEncrypt()", "NewCompressSocket()"}));
  EXPECT_EQ(tls_->polls, 1);
}

TEST_F(SessionCommandsTest, TlsWaitGivesUpAfterItsLimitAndLogs) {
  CallLog calls;
  TlsDataState state(&calls, -1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitForTls(&state, "fgl_ResumeSession", std::chrono::milliseconds(20)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_GT(state.polls, 1);
  EXPECT_EQ(calls, (Calls{"ErrorLog(TOSSICK,fgl_ResumeSession,TLS did not start within 20 ms; "
                          "no longer waiting)"}));
}

TEST_F(SessionCommandsTest, AuthMenuOpensAScreenOnlyWhenThereIsNoWindow) {
  EXPECT_EQ(Run("fgl_AuthMenu \"Choose one\" 3"),
            (Calls{"CreateRenderWindow(Screen,0,0,80,24,default,0)", "AddRenderWindow(SCREEN)",
                   "SetRenderWindow(SCREEN)", "NewAuthMenu(Choose one,3)"}));
  EXPECT_EQ(Run("fgl_AuthMenu again 4"), Calls{"NewAuthMenu(again,4)"});
  EXPECT_EQ(Run("fgl_AuthMenuOption payroll 1 2"), Calls{"AddToAuthMenu(payroll,1,2)"});
  EXPECT_EQ(Run("fgl_AuthMenuEnd"), Calls{"EndAuthMenu()"});
  EXPECT_EQ(Run("fgl_AuthMenuRun a b c d e"), Calls{"StartLoginRunner(d,e,b,c,a)"});
}

TEST_F(SessionCommandsTest, SessionsProgramsAndExecWhichAlwaysAnswers) {
  EXPECT_EQ(Run("fgl_GetNysProg main.nys"), Calls{"GetNysProgDetails(main.nys)"});
  EXPECT_EQ(Run("fgl_SessionExec a b c"), Calls{"StartNewSession(b,c,a)"});

  EXPECT_EQ(Run("fgl_Exec prog args"),
            (Calls{"ExecuteProcess(prog,args)", "SendResponceString(fgl_executed_true 1)"}));
  host_.state().answers().SetResult("ExecuteProcess", 0);
  Run("fgl_Exec prog");
  host_.state().answers().SetResult("ExecuteProcess", -7);
  Run("fgl_Exec prog");
  EXPECT_EQ(host_.Sent(), (std::vector<std::string>{"fgl_executed_true 1", "fgl_executed_false",
                                                    "fgl_executed_true -7"}));
}

TEST_F(SessionCommandsTest, ShellExecRunsThroughTheHostFacilityOrTheShellAnswersInModeOne) {
  EXPECT_EQ(Run("fgl_ShellExec \"ls -l\" 0"),
            (Calls{"HaveShellExecute()", "ExecuteProcess(/bin/sh -c ls -l,0)"}));
  EXPECT_EQ(Run("fgl_ShellExec \"ls -l\" 1"),
            (Calls{"HaveShellExecute()", "ExecuteProcess(/bin/sh -c ls -l,1)",
                   "SendResponceString(fgl_executed_true 1)"}));
  EXPECT_EQ(Run("fgl_ShellExec x 12").back(), "SendResponceString(fgl_executed_true 1)");
  EXPECT_EQ(Run("fgl_ShellExec x").back(), "ExecuteProcess(/bin/sh -c x,)");

  host_.state().answers().SetResult("HaveShellExecute", 1);
  EXPECT_EQ(Run("fgl_ShellExec doc.pdf 1"),
            (Calls{"HaveShellExecute()", "_ShellExecuteEx(doc.pdf,true)",
                   "SendResponceString(fgl_executed_false)"}));
  host_.state().answers().SetResult("_ShellExecuteEx", 42);
  EXPECT_EQ(Run("fgl_ShellExec doc.pdf 0"),
            (Calls{"HaveShellExecute()", "_ShellExecuteEx(doc.pdf,false)"}));
  EXPECT_EQ(Run("fgl_ShellExec doc.pdf 1x").back(), "SendResponceString(fgl_executed_true 42)");
}

// A common data state waits by its own limit, abandons the handshake and goes on in plain.
TEST_F(SessionCommandsTest, CommonDataStateWaitsForTlsWithinItsOwnLimit) {
  SharedSelector();
  SSLTcpSocket socket(nullptr);  // TLS allowed, never running
  CommandStateHost host;
  host.connection.socket = &socket;
  host.SetTlsWaitLimit(30);
  const std::string timedOut = "TLS did not start within 30 ms; going on without it";

  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(host.Records("fgl_ResumeSession"),
            (Log{"ResumeSSLEncrypt()", "ErrorLog(TOSSICK,fgl_ResumeSession," + timedOut + ")",
                 "ResumeZFilter()", "fgl_SessionReady"}));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(30));
  EXPECT_LT(waited, std::chrono::seconds(5));

  host.set_using_compression(true);
  EXPECT_EQ(host.Records("fgl_StartSession"),
            (Log{"ResumeSSLEncrypt()", "ErrorLog(TOSSICK,fgl_StartSession," + timedOut + ")",
                 "AddZFilter()", "fgl_SessionReady", "Flush()"}));
  EXPECT_EQ(host.Records("fgl_filterend 1"),
            (Log{"ResumeSSLEncrypt()", "ErrorLog(TOSSICK,fgl_filterend," + timedOut + ")",
                 "ResumeZFilter()", "fgl_filter"}));
}

TEST_F(SessionCommandsTest, LaunchesRefusedByTheServerTrustAnswerLikeFailedOnes) {
  CommandStateHost host;
  EXPECT_EQ(host.Records("fgl_Exec prog args"),
            (Log{"ExecuteProcess(prog,args)", "fgl_executed_true 1"}));

  host.GetServerTrust().AllowLaunches(false);
  const std::string refused = "ErrorLog(TOSSICK,fgl_Exec,program launch refused by the host: ";
  EXPECT_EQ(host.Records("fgl_Exec prog args"), (Log{refused + "prog)", "fgl_executed_false"}));
  const std::string shellRefused =
      "ErrorLog(TOSSICK,fgl_ShellExec,program launch refused by the host: ";
  EXPECT_EQ(host.Records("fgl_ShellExec \"rm -rf x\" 1"),
            (Log{shellRefused + "rm -rf x)", "fgl_executed_false"}));
  EXPECT_EQ(host.Records("fgl_ShellExec ls 0"), Log{shellRefused + "ls)"});
}

}  // namespace
}  // namespace nycl::test
