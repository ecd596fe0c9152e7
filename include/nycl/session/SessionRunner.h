// SessionRunner: runs one session with an application server, doing every step of the host
// contract, so that a host writes only its data state and its render windows.
//
//   class MyState : public nycl::NyCommonDataState { ... };   // what the host renders
//   nycl::SessionOptions options;
//   options.host = "127.0.0.1";
//   options.port = "6000";
//   options.tls = true;
//   nycl::SessionRunner runner;
//   nycl::SessionResult result = runner.Run(new MyState, options);
//
// Run installs the process's SocketSelector when there is none, runs its event loop on a
// thread of its own (shared by the runners of one process, stopped when the last one ends),
// connects a SessionConnection, gives it to the data state and pushes the data state on the
// runner's holder. Then the calling thread becomes the command thread: every received line
// goes to NyCommand::Create and Execute, in order. When the server closes the connection, the
// connection fails, or Stop is called, Run destroys the data state's render windows, pops the
// data state and deletes it with DeleteMe, closes the connection and returns.
//
// A host that runs SocketSelector::MainLoop on a thread of its own starts that loop before
// Run: Run then uses it and leaves it running.
//
// Threads: Run on the thread that is to be the command thread (never the event-loop thread);
// Stop from any thread. One Run at a time per runner; several runners may run at once.
#ifndef NYCL_SESSION_SESSIONRUNNER_H
#define NYCL_SESSION_SESSIONRUNNER_H

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "nycl/session/SessionConnection.h"
#include "nycl/state/NyDataStateHolder.h"

namespace nycl {

class NyCommonDataState;

struct SessionOptions {
  std::string host = "127.0.0.1";
  std::string port;
  // An SSLTcpSocket (the server may switch TLS on) instead of a plain TcpSocket.
  bool tls = false;
  // Whether the client asks the server for a compressed stream.
  bool compress = true;
  // Bound on opening the connection (0: the socket's default of 30 s).
  int connectTimeoutMs = 0;
};

struct SessionResult {
  enum class End {
    kServerClosed,  // the server closed the connection (the normal end)
    kStopped,       // Stop was called
    kOpenFailed,    // the connection could not be opened
    kLost,          // the connection failed after it was open
  };
  End end = End::kServerClosed;
  std::string error;  // the socket's error text for kOpenFailed and kLost
  long linesReceived = 0;
  long linesSent = 0;
  std::chrono::milliseconds duration{0};
};

class SessionRunner {
 public:
  SessionRunner();
  virtual ~SessionRunner();
  SessionRunner(const SessionRunner&) = delete;
  SessionRunner& operator=(const SessionRunner&) = delete;

  // Runs one session with `state`, which the runner takes over (it is deleted before Run
  // returns, after its render windows). Returns how the session ended.
  SessionResult Run(NyCommonDataState* state, const SessionOptions& options);
  // Ends a Run in progress after the command being executed (a connection still being opened
  // at once); any thread. A Stop before Run begins is forgotten.
  void Stop();

  // During Run: the connection and the holder the commands use; null otherwise.
  SessionConnection* GetConnection() { return connection_; }
  NyDataStateHolder* GetHolder() { return &holder_; }

 protected:
  // Hooks on the command thread. OnConnected: the connection is up, before the first line.
  // OnLine: a received line, before it is executed; OnUnknownLine: a line no command accepts.
  // OnSessionEnd: after the last line, before the render windows and the data state go;
  // called for every Run, also one whose connection never opened (then without OnConnected).
  virtual void OnConnected(NyCommonDataState* state);
  virtual void OnLine(const std::string& line);
  virtual void OnUnknownLine(const std::string& line);
  virtual void OnSessionEnd(NyCommonDataState* state, const SessionResult& result);

 private:
  // Starts the connection and waits for it; false (with *result filled in) when it did not
  // open or Stop came first.
  bool Open(SessionConnection* connection, const SessionOptions& options, SessionResult* result);
  // Executes every received line until the stream ends or Stop; sets how it ended.
  void Serve(SessionConnection* connection, SessionResult* result);

  NyDataStateHolder holder_;
  std::mutex mutex_;  // guards connection_ against Stop from another thread
  SessionConnection* connection_ = nullptr;
  std::atomic<bool> stop_{false};
};

}  // namespace nycl

#endif  // NYCL_SESSION_SESSIONRUNNER_H
