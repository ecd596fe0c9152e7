// Sessions of the library's client against nycl-server, which plays a session script on the
// other side and checks every answer: the fixture of the end-to-end and hostile-server tests.
#ifndef NYCL_TESTS_SESSION_SERVERSESSIONTEST_H
#define NYCL_TESTS_SESSION_SERVERSESSIONTEST_H

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "server/ServerHarness.h"
#include "session/SessionTestSupport.h"

namespace nycl {
namespace session_test {

using Lines = std::vector<std::string>;

// A host that names its application "demo", accepts authentication, keeps the library's
// TOSSICK log lines in *log, and records its answers but for upload data.
class ServerSessionState : public TestState {
 public:
  ServerSessionState(Record* record, const std::string& settings, Lines* log)
      : TestState(record, settings), log_(log) {}
  int GetConnectionStringApplicationName(char* buffer, int size) override {
    std::snprintf(buffer, size, "%s", "demo");
    return 1;
  }
  bool Nyinetif_Auth(int) override { return true; }
  int SendResponceString(char* line) override {
    if (std::strlen(line) > 1000) return NyCommonDataState::SendResponceString(line);
    return TestState::SendResponceString(line);
  }
  int ErrorLog(char* tag, char* label, char* text) override {
    if (std::string(tag) == "TOSSICK") log_->push_back(std::string(label) + ": " + text);
    return 0;
  }

 private:
  Lines* log_;
};

class ServerSessionTest : public SessionTest {
 protected:
  // Runs one session of `script` (files served from the server's scratch directory); returns
  // the server's exit status, and reports the server's output when that is not 0.
  int Play(const std::string& script, SessionOptions options = SessionOptions()) {
    if (!server_.Start(script, {"--timeout", "20000"})) {
      ADD_FAILURE() << "nycl-server did not start: " << server_.Output();
      return -1;
    }
    options.port = std::to_string(server_.port());
    options.connectTimeoutMs = 5000;
    record_ = Record();
    log_.clear();
    state_ = nullptr;
    TestRunner runner(&record_);
    runner.on_connected = [this](NyCommonDataState* state) {
      state_ = state;
      if (configure) configure(state);
    };
    runner.on_line = [this](const std::string& line) {
      if (on_line) on_line(line);
    };
    runner.on_end = [this] {
      if (inspect && state_ != nullptr) inspect(state_);
    };
    // The host stops the session after stop_after, unless it has ended by then.
    std::promise<void> ended;
    std::thread stopper([&runner, this, ended = ended.get_future()] {
      if (stop_after.count() > 0 && ended.wait_for(stop_after) == std::future_status::timeout) {
        runner.Stop();
      }
    });
    result_ = runner.Run(new ServerSessionState(&record_, settings_, &log_), options);
    ended.set_value();
    stopper.join();
    const int status = server_.Wait(20000);
    if (status != 0) ADD_FAILURE() << "nycl-server: " << server_.Output();
    return status;
  }
  std::string CacheDir() const { return tree_ / "cache"; }

  nycl_server_test::ServerProcess server_;
  NyCommonDataState* state_ = nullptr;                // valid during the session only
  std::function<void(NyCommonDataState*)> configure;  // when connected
  std::function<void(const std::string&)> on_line;    // for each line, before it runs
  std::function<void(NyCommonDataState*)> inspect;    // when the session ends
  std::chrono::milliseconds stop_after{0};
  SessionResult result_;
  Lines log_;
};

}  // namespace session_test
}  // namespace nycl

#endif  // NYCL_TESTS_SESSION_SERVERSESSIONTEST_H
