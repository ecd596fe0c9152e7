// The host side of the session tests: a data state and windows that record what happens to
// them, and a runner with hooks. The far end is a TlsTestPeer, or nycl-server playing a session
// script and checking every answer. Every wait is bounded.
#ifndef NYCL_TESTS_SESSION_SESSIONTESTSUPPORT_H
#define NYCL_TESTS_SESSION_SESSIONTESTSUPPORT_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "cache/CacheTestSupport.h"
#include "net/LoopRunner.h"
#include "net/Loopback.h"
#include "nycl/session/SessionRunner.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyCommonRenderWindow.h"
#include "server/ServerHarness.h"
#include "support/TlsTestPeer.h"

namespace nycl {
namespace session_test {

using Lines = std::vector<std::string>;

// What the host side saw, in order; written on the command thread, read after Run.
struct Record {
  Lines answers;
  Lines events;
  Lines log;  // the library's TOSSICK log lines, as "<label>: <text>"
};

class TestWindow : public NyCommonRenderWindow {
 public:
  TestWindow(Record* record, const char* name, NyDataState* state)
      : NyCommonRenderWindow(name, 1, 1, 10, 10, "", state, 0), record_(record), name_(name) {}
  ~TestWindow() override { record_->events.push_back("window " + name_ + " destroyed"); }

 private:
  Record* record_;
  std::string name_;
};

// Records its answers but for upload data, and its log; launches "programs" whose result is
// their argument, opens recording windows, names its application "demo" and accepts
// authentication. Its file cache lives in `cache_directory`.
class TestState : public NyCommonDataState {
 public:
  TestState(Record* record, const std::string& cache_directory)
      : NyCommonDataState(CCorvathFileCache::InDirectory(cache_directory).release()),
        record_(record) {}
  ~TestState() override { record_->events.push_back("state deleted"); }
  int SendResponceString(char* line) override {
    if (std::strlen(line) <= 1000) record_->answers.push_back(line);
    return NyCommonDataState::SendResponceString(line);
  }
  int ExecuteProcess(char*, char* argument) override { return std::atoi(argument); }
  int CreateRenderWindow(const char* name, int, int, int, int, const char*, int) override {
    return AddRenderWindow(new TestWindow(record_, name, this));
  }
  int GetConnectionStringApplicationName(char* buffer, int size) override {
    std::snprintf(buffer, size, "%s", "demo");
    return 1;
  }
  bool Nyinetif_Auth(int) override { return true; }
  int ErrorLog(char* tag, char* label, char* text) override {
    if (std::string(tag) == "TOSSICK") record_->log.push_back(std::string(label) + ": " + text);
    return 0;
  }

 private:
  Record* record_;
};

class TestRunner : public SessionRunner {
 public:
  explicit TestRunner(Record* record) : record_(record) {}
  std::function<void(NyCommonDataState*)> on_connected;
  std::function<void(const std::string&)> on_line;
  std::function<void()> on_end;
  Lines unknown;  // lines no command took

 protected:
  void OnConnected(NyCommonDataState* state) override {
    record_->events.push_back("connected");
    if (on_connected) on_connected(state);
  }
  void OnLine(const std::string& line) override {
    if (on_line) on_line(line);
  }
  void OnUnknownLine(const std::string& line) override {
    if (unknown.size() < 100) unknown.push_back(line);
  }
  void OnSessionEnd(NyCommonDataState* state, const SessionResult&) override {
    if (on_end) on_end();
    record_->events.push_back("end, " + std::to_string(state->RWEnd() - state->RWBegin()) +
                              " windows");
  }

 private:
  Record* record_;
};

// Runs a session on a thread of its own; one that does not end in time aborts the program.
class AsyncRun {
 public:
  AsyncRun(SessionRunner* runner, NyCommonDataState* state, const SessionOptions& options)
      : result_(std::async(std::launch::async, [=] { return runner->Run(state, options); })) {}
  ~AsyncRun() {
    if (result_.valid()) Get();
  }
  bool EndsWithin(std::chrono::milliseconds wait) {
    return result_.wait_for(wait) == std::future_status::ready;
  }
  SessionResult Get(int seconds = 60) {
    if (result_.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
      std::fprintf(stderr, "the session did not end\n");
      std::abort();
    }
    return result_.get();
  }

 private:
  std::future<SessionResult> result_;
};

// A server script on a thread of its own, joined when the object goes (bounded: every peer
// call is).
class ServerThread {
 public:
  explicit ServerThread(std::function<void()> script) : thread_(std::move(script)) {}
  ~ServerThread() { thread_.join(); }

 private:
  std::thread thread_;
};

// Gives each test a file cache of its own in a temporary directory.
class SessionTest : public ::testing::Test {
 protected:
  TestState* NewState(Record* record = nullptr) {
    return new TestState(record != nullptr ? record : &record_, CacheDir());
  }
  std::string CacheDir() const { return tree_ / "cache"; }
  static SessionOptions Options(const std::string& port) {
    SessionOptions options;
    options.port = port;
    options.connectTimeoutMs = 5000;
    return options;
  }

  testing_cache::TempTree tree_;
  Record record_;
};

// "<prefix><n>" for n in [first, last]; launches and their answers.
inline Lines Numbered(const std::string& prefix, int first, int last) {
  Lines lines;
  for (int i = first; i <= last; ++i) lines.push_back(prefix + std::to_string(i));
  return lines;
}
inline Lines Launches(int first, int last) {
  return Numbered("fgl_Exec prog ", first, last);
}
inline Lines Answers(int first, int last) {
  return Numbered("fgl_executed_true ", first, last);
}
inline std::string Joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Reads `count` lines from `peer` onto *into, up to the first that does not come.
inline void ReadLines(TlsTestPeer* peer, int count, Lines* into) {
  std::string line;
  for (int i = 0; i < count && peer->ReadLine(&line, 10000); ++i) into->push_back(line);
}

// Sessions against nycl-server: the fixture of the end-to-end and hostile-server tests.
class ServerSessionTest : public SessionTest {
 protected:
  // Runs one session of `script` (files served from the server's scratch directory); returns
  // the server's exit status, and reports the server's output when that is not 0.
  int Play(const std::string& script) {
    if (!server_.Start(script, {"--timeout", "20000"})) {
      ADD_FAILURE() << "nycl-server did not start: " << server_.Output();
      return -1;
    }
    SessionOptions options = Options(std::to_string(server_.port()));
    options.tls = tls;
    record_ = Record();
    state_ = nullptr;
    TestRunner runner(&record_);
    runner.on_connected = [this](NyCommonDataState* state) {
      state_ = state;
      if (configure) configure(state);
    };
    runner.on_line = on_line;
    runner.on_end = [this] {
      if (inspect && state_ != nullptr) inspect(state_);
    };
    AsyncRun run(&runner, NewState(), options);
    // The host stops the session after stop_after, unless it has ended by then.
    if (stop_after.count() > 0 && !run.EndsWithin(stop_after)) runner.Stop();
    result_ = run.Get();
    const int status = server_.Wait(20000);
    if (status != 0) ADD_FAILURE() << "nycl-server: " << server_.Output();
    return status;
  }
  nycl_server_test::ServerProcess server_;
  NyCommonDataState* state_ = nullptr;                // valid during the session only
  std::function<void(NyCommonDataState*)> configure;  // when connected
  std::function<void(const std::string&)> on_line;    // for each line, before it runs
  std::function<void(NyCommonDataState*)> inspect;    // when the session ends
  std::chrono::milliseconds stop_after{0};
  bool tls = false;  // the client asks for TLS
  SessionResult result_;
};

// The script steps of one launch: the server sends it and expects its answer.
inline std::string Exec(int n) {
  return "send fgl_Exec prog " + std::to_string(n) + "\nexpect fgl_executed_true " +
         std::to_string(n) + "\n";
}

}  // namespace session_test
}  // namespace nycl

#endif  // NYCL_TESTS_SESSION_SESSIONTESTSUPPORT_H
