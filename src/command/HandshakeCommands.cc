// Session handshake and authentication commands: "nyinetif:", "nyinetif_basic:",
// "nyinetif_full:", "fgl_auth" and "fgl_ident".
//
// Before the server drives the screen it asks which application the client wants to run, runs
// the authentication exchange (the host's Nyinetif_Auth does the talking) and identifies
// itself with "fgl_ident <major>.<minor> <feature>...". Each feature argument is searched for
// the capitals P (properties), S (TLS) and C (compression), anywhere in the argument. The
// client answers with its option block, every line through SendResponceString, in this order:
//
//   fgl_options <n> <id>   n is 6, or 7 once a P was seen; id is the logon-session identifier
//                          (LogonSession.h). Sent for each S argument on a TLS socket, with the
//                          P seen so far; when none was sent that way, once, with every P
//   fgl_useproperty        when any argument holds a P
//   fgl_client ny_gui.r2
//   fgl_allkeys
//   fgl_serverScript .nys
//   fgl_compress           for each C argument, while the connection wants compression
//   fgl_encrypt            for each S argument, on a TLS socket
//   fgl_useKeyMap
//   fgl_endOptions
//   RiZuv version 2.0
//
// and then switches by the server's version. From 4.3 on it only remembers whether compression
// was agreed ("fgl_StartSession" starts it) and flushes a TLS socket. Before 4.3 it compresses
// at once when agreed (CompressSocket) and then, when TLS was offered, starts TLS and waits for
// it (RequestSSLHandshake).
//
// The socket is the connection's (NyCommonDataState::GetConnection()->GetSocket()); a TLS
// socket is one whose class name begins with "SSLTcpSocket", the test the common data state
// uses. A data state that is not a NyCommonDataState, or has no connection, has no socket: the
// connection is then neither TLS nor plain TCP, and compression is not wanted.
//
// Guards: these commands act on any bound data state, also one whose destruction has begun
// (IsBound). All but "fgl_ident" return false.
//
// "fgl_auth failed", and "fgl_auth retry" when the host declines it, end the process with exit
// status 1 once "fgl_authack" has left (see ExitOnceSent).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "command/CommandFamilies.h"
#include "command/LogonSession.h"
#include "nycl/net/SSLTcpSocket.h"
#include "nycl/net/TcpSocket.h"
#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonDataState.h"

namespace nycl {

NYCL_COMMAND_CLASS(CmdIdent);
NYCL_COMMAND_CLASS(CmdAuthReply);
NYCL_COMMAND_CLASS(CmdInitial);
NYCL_COMMAND_CLASS(CmdInitialBasic);
NYCL_COMMAND_CLASS(CmdInitialFull);

namespace {

// How long a failed authentication waits for "fgl_authack" to leave before the process ends.
constexpr std::chrono::milliseconds kLastLineWait{200};

// The session's connection, or null for a data state that is not a common one.
BaseConnection* ConnectionOf(NyDataState* state) {
  auto* common = dynamic_cast<NyCommonDataState*>(state);
  return common != nullptr ? common->GetConnection() : nullptr;
}

Socket* SocketOf(BaseConnection* connection) {
  return connection != nullptr ? connection->GetSocket() : nullptr;
}

bool ClassNameBegins(Socket* socket, const char* prefix) {
  return socket != nullptr &&
         std::strncmp(socket->GetRuntimeClassName(), prefix, std::strlen(prefix)) == 0;
}

bool IsTlsSocket(Socket* socket) {
  return ClassNameBegins(socket, "SSLTcpSocket");
}

// Sends what the TLS socket has queued; nothing for any other socket.
void FlushTls(Socket* socket) {
  if (!IsTlsSocket(socket)) return;
  if (auto* tls = dynamic_cast<SSLTcpSocket*>(socket)) tls->Flush();
}

// Whether "<major>.<minor>" names 4.3 or later. A missing version, or one that does not read
// as two numbers, counts as older: a server that does not state its version is taken to be
// one from before the versioned rule, and gets the switch every server understood first.
bool SwitchesOnStartSession(const char* version) {
  int major = 0;
  int minor = 0;
  if (std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
  return major > 4 || (major == 4 && minor >= 3);
}

bool Holds(const char* argument, char letter) {
  return std::strchr(argument, letter) != nullptr;
}

void SendOptions(NyDataState* state, bool properties, const std::string& identifier) {
  Answer(state, "fgl_options " + std::to_string(6 + (properties ? 1 : 0)) + " " + identifier);
}

// Ends the process with status 1 once the line just handed to the connection has left. The
// line waits in the socket's send queue until the event-loop thread writes it, so exiting at
// once could drop it; the wait sleeps and gives up after kLastLineWait.
[[noreturn]] void ExitOnceSent(NyDataState* state) {
  Socket* socket = SocketOf(ConnectionOf(state));
  const auto deadline = std::chrono::steady_clock::now() + kLastLineWait;
  // A TLS socket's own flush waits for its queues; it returns at once when TLS is not allowed
  // on the connection, and then the queue is watched below like a plain socket's.
  FlushTls(socket);
  if (auto* tcp = dynamic_cast<TcpSocket*>(socket)) {
    while (tcp->WantOutput() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::exit(1);
}

}  // namespace

// "fgl_ident <version> <feature>...": the option block and the switch, as described above.
bool CmdIdent::Execute() {
  if (IsBound(dataState)) {
    const bool switchLater = SwitchesOnStartSession(GetArg(1));
    LogThrough(dataState, "fgl_ident", "fgl_ident", "start");
    const std::string identifier = LogonSessionIdentifier();
    BaseConnection* connection = ConnectionOf(dataState);
    Socket* socket = SocketOf(connection);
    const bool tlsSocket = IsTlsSocket(socket);

    bool properties = false;
    bool tlsOffered = false;
    for (int i = 2; i < argc; ++i) {
      if (Holds(argv[i], 'P')) properties = true;
      if (Holds(argv[i], 'S') && tlsSocket) {
        SendOptions(dataState, properties, identifier);
        tlsOffered = true;
      }
    }
    if (!tlsOffered) SendOptions(dataState, properties, identifier);
    if (properties) Answer(dataState, "fgl_useproperty");
    Answer(dataState, "fgl_client ny_gui.r2");
    Answer(dataState, "fgl_allkeys");
    Answer(dataState, "fgl_serverScript .nys");

    bool compressionAgreed = false;
    for (int i = 2; i < argc; ++i) {
      if (Holds(argv[i], 'C') && connection != nullptr && connection->wantcompress() != 0) {
        Answer(dataState, "fgl_compress");
        compressionAgreed = true;
      }
    }
    for (int i = 2; i < argc; ++i) {
      if (Holds(argv[i], 'S') && tlsSocket) Answer(dataState, "fgl_encrypt");
    }
    Answer(dataState, "fgl_useKeyMap");
    Answer(dataState, "fgl_endOptions");
    Answer(dataState, "RiZuv version 2.0");

    if (switchLater) {
      dataState->set_using_compression(compressionAgreed);
      FlushTls(socket);
    } else {
      if (compressionAgreed && (ClassNameBegins(socket, "TcpSocket") || tlsSocket)) {
        dataState->CompressSocket();
      }
      if (tlsOffered && tlsSocket) {
        FlushTls(socket);
        dataState->RequestSSLHandshake();
      }
    }
  }
  delete this;
  return true;
}

// "fgl_auth <status> <message>": the status is compared exactly; an unknown one does nothing.
bool CmdAuthReply::Execute() {
  if (IsBound(dataState)) {
    const char* status = GetArg(1);
    if (std::strcmp(status, "failed") == 0) {
      // Without a message the host is given the vector's terminating null entry.
      dataState->WarningMessage(HasArg(2) ? argv[2] : nullptr);
      Answer(dataState, "fgl_authack");
      ExitOnceSent(dataState);
    } else if (std::strcmp(status, "retry") == 0) {
      if (!dataState->Nyinetif_Auth(3)) {
        Answer(dataState, "fgl_authack");
        ExitOnceSent(dataState);
      }
    } else if (std::strcmp(status, "success") == 0) {
      dataState->Nyinetif_Auth(2);
      Answer(dataState, "fgl_authack");
    }
  }
  delete this;
  return false;
}

// Answers with the application name the host supplies, as one line.
bool CmdInitial::Execute() {
  if (IsBound(dataState)) {
    char name[4000] = "";
    dataState->GetConnectionStringApplicationName(name, sizeof name);
    name[sizeof name - 1] = '\0';
    Answer(dataState, name);
  }
  delete this;
  return false;
}

bool CmdInitialBasic::Execute() {
  if (IsBound(dataState)) dataState->Nyinetif_Auth(0);
  delete this;
  return false;
}

// A host that does not take up full authentication acknowledges it at once.
bool CmdInitialFull::Execute() {
  if (IsBound(dataState) && !dataState->Nyinetif_Auth(1)) Answer(dataState, "fgl_authack");
  delete this;
  return false;
}

void RegisterHandshakeCommands() {
  RegisterCommand<CmdIdent>("fgl_ident");
  RegisterCommand<CmdAuthReply>("fgl_auth");
  RegisterCommand<CmdInitial>("nyinetif:");
  RegisterCommand<CmdInitialBasic>("nyinetif_basic:");
  RegisterCommand<CmdInitialFull>("nyinetif_full:");
}

}  // namespace nycl
