// Session, login-menu and process commands.
//
// The compression and encryption switches pause and resume the server stream's filters around
// data sent outside it; the login menu offers the applications the user may start; the process
// commands start sessions and local programs and report a launch back to the server with
// "fgl_executed_true <n>" or "fgl_executed_false". Every Execute returns false.
//
// Guards: every command acts on any bound data state, also one whose destruction has begun
// (IsBound); only a missing data state stops it.
//
// The TLS wait: resuming encryption starts a handshake that runs on the event-loop thread; the
// command thread sleeps until is_ssl_running() reports true. A NyCommonDataState waits with
// its own WaitForTls, bounded by its TLS wait limit (SetTlsWaitLimit, 30 s unless set), which
// logs, abandons the handshake and leaves the connection plain when the limit passes. Any
// other data state waits with TlsWait.h's wait: in steps of one millisecond, for at most
// 30 seconds, with a line in ErrorLog when it gives up.
//
// Launches: a NyCommonDataState whose ServerTrust refuses program launches gets neither
// ExecuteProcess nor _ShellExecuteEx from "fgl_Exec" and "fgl_ShellExec"; the refusal is
// logged and the server is answered as for a launch that failed.
#include <cstdio>
#include <string>
#include <vector>

#include "command/CommandFamilies.h"
#include "command/TlsWait.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/ServerTrust.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdFilter);
NYCL_COMMAND_CLASS(CmdStopSession);
NYCL_COMMAND_CLASS(CmdResumeSession);
NYCL_COMMAND_CLASS(CmdStartSession);
NYCL_COMMAND_CLASS(CmdFilterEnd);
NYCL_COMMAND_CLASS(CmdAuthMenu);
NYCL_COMMAND_CLASS(CmdAuthMenuOption);
NYCL_COMMAND_CLASS(CmdAuthMenuEnd);
NYCL_COMMAND_CLASS(CmdAuthMenuRun);
NYCL_COMMAND_CLASS(CmdGetNysProg);
NYCL_COMMAND_CLASS(CmdFglSessionExec);
NYCL_COMMAND_CLASS(CmdFglExec);
NYCL_COMMAND_CLASS(CmdFglShellExec);

namespace {

// Waits for TLS to run after encryption was resumed (see the file comment).
void WaitForSessionTls(NyDataState* state, const char* keyword) {
  if (auto* common = dynamic_cast<NyCommonDataState*>(state)) {
    common->WaitForTls(keyword);
  } else {
    WaitForTls(state, keyword);
  }
}

// Resumes encryption and waits for it when the connection is a TLS one.
void ResumeEncryptionIfTls(NyDataState* state, const char* keyword) {
  if (state->is_this_a_ssl_connection()) {
    state->ResumeSSLEncrypt();
    WaitForSessionTls(state, keyword);
  }
}

// Whether the host lets the server start `program`; a refusal is logged.
bool MayLaunch(NyDataState* state, const char* keyword, const char* program) {
  auto* common = dynamic_cast<NyCommonDataState*>(state);
  if (common == nullptr || common->GetServerTrust().MayLaunch()) return true;
  LogThrough(state, "TOSSICK", keyword,
             std::string("program launch refused by the host: ") + program);
  return false;
}

// Answers a launch: "fgl_executed_true <n>" for a nonzero result, else "fgl_executed_false".
void ReportLaunch(NyDataState* state, int result) {
  char reply[48];
  if (result != 0) {
    std::snprintf(reply, sizeof reply, "fgl_executed_true %d", result);
  } else {
    std::snprintf(reply, sizeof reply, "fgl_executed_false");
  }
  state->SendResponceString(reply);
}

// Without the host's shell facility a command runs through the POSIX shell.
constexpr char kShellPrefix[] = "/bin/sh -c ";

}  // namespace

bool CmdFilter::Execute() {
  if (IsBound(dataState)) dataState->PauseCompress();
  delete this;
  return false;
}

bool CmdStopSession::Execute() {
  if (IsBound(dataState)) dataState->NewPauseCompress();
  delete this;
  return false;
}

bool CmdResumeSession::Execute() {
  if (IsBound(dataState)) {
    ResumeEncryptionIfTls(dataState, "fgl_ResumeSession");
    dataState->NewReCompress();
  }
  delete this;
  return false;
}

// Compression starts only when the handshake agreed on it.
bool CmdStartSession::Execute() {
  if (IsBound(dataState)) {
    ResumeEncryptionIfTls(dataState, "fgl_StartSession");
    if (dataState->is_using_compression()) dataState->NewCompressSocket();
  }
  delete this;
  return false;
}

// "fgl_filterend [<flag>]": with a nonzero flag encryption is resumed, and confirmed running,
// before compression restarts; without it compression restarts first and encryption is resumed
// afterwards, unconditionally and without waiting.
bool CmdFilterEnd::Execute() {
  if (IsBound(dataState)) {
    bool encryptFirst = HasArg(1) && IntArg(1) != 0;
    if (encryptFirst) ResumeEncryptionIfTls(dataState, "fgl_filterend");
    dataState->ReCompress();
    if (!encryptFirst) dataState->ResumeSSLEncrypt();
  }
  delete this;
  return false;
}

// The menu needs a window: a full screen of 80 columns and 24 lines is opened when there is
// none.
bool CmdAuthMenu::Execute() {
  if (IsBound(dataState)) {
    if (dataState->GetCurrentRenderWindow() == nullptr) {
      dataState->CreateRenderWindow("Screen", 0, 0, 80, 24, "default", 0);
    }
    dataState->NewAuthMenu(GetArg(1), IntArg(2));
  }
  delete this;
  return false;
}

bool CmdAuthMenuOption::Execute() {
  if (IsBound(dataState)) dataState->AddToAuthMenu(GetArg(1), IntArg(2), IntArg(3));
  delete this;
  return false;
}

bool CmdAuthMenuEnd::Execute() {
  if (IsBound(dataState)) dataState->EndAuthMenu();
  delete this;
  return false;
}

bool CmdAuthMenuRun::Execute() {
  if (IsBound(dataState)) {
    dataState->StartLoginRunner(GetArg(4), GetArg(5), GetArg(2), GetArg(3), GetArg(1));
  }
  delete this;
  return false;
}

bool CmdGetNysProg::Execute() {
  if (IsBound(dataState)) dataState->GetNysProgDetails(GetArg(1));
  delete this;
  return false;
}

bool CmdFglSessionExec::Execute() {
  if (IsBound(dataState)) dataState->StartNewSession(GetArg(2), GetArg(3), GetArg(1));
  delete this;
  return false;
}

// Always answers.
bool CmdFglExec::Execute() {
  if (IsBound(dataState)) {
    int result = 0;  // a refused launch is answered like one that failed
    if (MayLaunch(dataState, "fgl_Exec", GetArg(1))) {
      result = dataState->ExecuteProcess(GetArg(1), GetArg(2));
    }
    ReportLaunch(dataState, result);
  }
  delete this;
  return false;
}

// "fgl_ShellExec <command> <mode>": the host's shell facility when it has one, else the
// command through "/bin/sh -c ". Answers only when the mode begins with the digit 1.
bool CmdFglShellExec::Execute() {
  if (IsBound(dataState)) {
    int result = 0;  // a refused launch is answered like one that failed
    if (MayLaunch(dataState, "fgl_ShellExec", GetArg(1))) {
      if (dataState->HaveShellExecute()) {
        result = dataState->_ShellExecuteEx(GetArg(1), IntArg(2) != 0);
      } else {
        std::string line = std::string(kShellPrefix) + GetArg(1);
        std::vector<char> commandLine(line.begin(), line.end());
        commandLine.push_back('\0');
        result = dataState->ExecuteProcess(commandLine.data(), GetArg(2));
      }
    }
    if (GetArg(2)[0] == '1') ReportLaunch(dataState, result);
  }
  delete this;
  return false;
}

void RegisterSessionCommands() {
  RegisterCommand<CmdFilter>("fgl_filter");
  RegisterCommand<CmdStopSession>("fgl_StopSession");
  RegisterCommand<CmdResumeSession>("fgl_ResumeSession");
  RegisterCommand<CmdStartSession>("fgl_StartSession");
  RegisterCommand<CmdFilterEnd>("fgl_filterend");
  RegisterCommand<CmdAuthMenu>("fgl_AuthMenu");
  RegisterCommand<CmdAuthMenuOption>("fgl_AuthMenuOption");
  RegisterCommand<CmdAuthMenuEnd>("fgl_AuthMenuEnd");
  RegisterCommand<CmdAuthMenuRun>("fgl_AuthMenuRun");
  RegisterCommand<CmdGetNysProg>("fgl_GetNysProg");
  RegisterCommand<CmdFglSessionExec>("fgl_SessionExec");
  RegisterCommand<CmdFglExec>("fgl_Exec");
  RegisterCommand<CmdFglShellExec>("fgl_ShellExec");
}

}  // namespace nycl
