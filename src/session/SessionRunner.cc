#include "nycl/session/SessionRunner.h"

#include <memory>
#include <vector>

#include "nycl/command/NyCommand.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyRenderWindow.h"
#include "session/SessionLoop.h"

namespace nycl {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The socket's own bound on a connection when the options set none.
constexpr milliseconds kDefaultConnectLimit{30000};
// How long the command thread waits for a line before it looks at the stop flag again (Stop
// also wakes it at once).
constexpr milliseconds kIdleWait{1000};

// Destroys the windows registered with `state`; each one unregisters itself as it goes, so
// the list is copied first.
void DestroyWindows(NyCommonDataState* state) {
  std::vector<NyRenderWindow*> windows(state->RWBegin(), state->RWEnd());
  for (NyRenderWindow* window : windows) delete window;
}

}  // namespace

SessionRunner::SessionRunner() = default;
SessionRunner::~SessionRunner() = default;

void SessionRunner::OnConnected(NyCommonDataState*) {}
void SessionRunner::OnLine(const std::string&) {}
void SessionRunner::OnUnknownLine(const std::string&) {}
void SessionRunner::OnSessionEnd(NyCommonDataState*, const SessionResult&) {}

void SessionRunner::Stop() {
  stop_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  if (connection_ != nullptr) connection_->Interrupt();
}

SessionResult SessionRunner::Run(NyCommonDataState* state, const SessionOptions& options) {
  const auto start = Clock::now();
  stop_.store(false);
  SessionResult result;
  SessionLoop& loop = SessionLoop::Get();
  std::unique_ptr<SessionConnection> connection;
  bool acquired = false;
  bool pushed = false;

  // Everything Run set up goes, in the order the host contract asks for.
  auto tear_down = [&] {
    DestroyWindows(state);
    if (pushed && holder_.GetLastDataState() == state) holder_.PopDataState();
    state->SetConnection(nullptr);
    state->DeleteMe();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connection_ = nullptr;
    }
    connection.reset();
    if (acquired) loop.Release();
  };

  try {
    std::string error;
    if (loop.InLoopThread()) {
      // Commands wait for work of the loop: on its own thread they would wait for ever.
      result.end = SessionResult::End::kOpenFailed;
      result.error = "Run was called on the event-loop thread";
    } else {
      acquired = true;
      if (!loop.Acquire(SessionConnection::kLoopTaskLimit, &error)) {
        result.end = SessionResult::End::kOpenFailed;
        result.error = error;
      } else {
        connection =
            std::make_unique<SessionConnection>(options.tls ? SessionConnection::Transport::kTls
                                                            : SessionConnection::Transport::kPlain);
        connection->SetWantCompress(options.compress);
        state->SetConnection(connection.get());
        {
          std::lock_guard<std::mutex> lock(mutex_);
          connection_ = connection.get();
        }
        if (Open(connection.get(), options, &result)) {
          holder_.PushDataState(state);
          pushed = true;
          OnConnected(state);
          Serve(connection.get(), &result);
        }
      }
    }
    if (connection != nullptr) {
      result.linesReceived = connection->LinesReceived();
      result.linesSent = connection->LinesSent();
    }
    result.duration = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    OnSessionEnd(state, result);
  } catch (...) {
    tear_down();
    throw;
  }
  tear_down();
  return result;
}

bool SessionRunner::Open(SessionConnection* connection, const SessionOptions& options,
                         SessionResult* result) {
  const milliseconds limit = (options.connectTimeoutMs > 0 ? milliseconds(options.connectTimeoutMs)
                                                           : kDefaultConnectLimit) +
                             SessionConnection::kLoopTaskLimit;
  connection->Connect(options.host, options.port, options.connectTimeoutMs);
  // Stop interrupts the wait.
  if (connection->WaitConnected(limit)) return true;
  if (stop_.load()) {
    result->end = SessionResult::End::kStopped;
    return false;
  }
  result->end = SessionResult::End::kOpenFailed;
  result->error = connection->EndReason();
  if (result->error.empty()) {
    result->error = connection->Ended()
                        ? "the connection was closed while it was being opened"
                        : "no connection within " + std::to_string(limit.count()) + " ms";
  }
  return false;
}

void SessionRunner::Serve(SessionConnection* connection, SessionResult* result) {
  std::string line;
  while (!stop_.load()) {
    SessionConnection::Next next = connection->NextLine(&line, kIdleWait);
    if (next == SessionConnection::Next::kTimeout) continue;
    if (next == SessionConnection::Next::kEnded) break;
    OnLine(line);
    if (NyCommand* command = NyCommand::Create(line.c_str(), &holder_)) {
      command->Execute();  // deletes the command
    } else {
      OnUnknownLine(line);
    }
  }
  if (stop_.load()) {
    result->end = SessionResult::End::kStopped;
  } else if (!connection->EndReason().empty()) {
    result->end = SessionResult::End::kLost;
    result->error = connection->EndReason();
  } else {
    result->end = SessionResult::End::kServerClosed;
  }
}

}  // namespace nycl
