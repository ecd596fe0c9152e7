#include "LiveTrace.h"

#include <sys/stat.h>

#include <cstdio>

#include "RecordingFormat.h"
#include "RecordingRenderWindow.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/session/SessionRunner.h"
#include "nycl/state/NyCommonDataState.h"

namespace nycl::recording {

namespace {

// The common data state, with recording windows and the host's dialogs recorded.
class LiveState : public NyCommonDataState {
 public:
  LiveState(const std::string& cache, CallSink* sink, std::string application)
      : NyCommonDataState(CCorvathFileCache::InDirectory(cache).release()),
        sink_(sink),
        application_(std::move(application)) {}

  int CreateRenderWindow(const char* name, int a, int b, int c, int d, const char* text,
                         int e) override {
    sink_->Call(FormatCall("CreateRenderWindow", name, a, b, c, d, text, e));
    return AddRenderWindow(new RecordingRenderWindow(name, this, sink_, nullptr));
  }
  int GetConnectionStringApplicationName(char* buffer, int size) override {
    std::snprintf(buffer, size, "%s", application_.c_str());
    return 1;
  }
  int SendResponceString(char* line) override {
    sink_->Answer(FormatCall("SendResponceString", line), line != nullptr ? line : "");
    return NyCommonDataState::SendResponceString(line);
  }
  int NyMessageBox(char* text, char* title, int style, int owner) override {
    sink_->Call(FormatCall("NyMessageBox", text, title, style, owner));
    return 1;
  }
  int WaitInput(int n) override { return Record("WaitInput", n); }
  int SetMessage(const char* text, int line, const char* attribute) override {
    return Record("SetMessage", text, line, attribute);
  }
  int SetErrorMsg(const char* text, int line, const char* attribute) override {
    return Record("SetErrorMsg", text, line, attribute);
  }
  int WarningMessage(char* text) override { return Record("WarningMessage", text); }
  int ErrorMessage(char* text, int n) override { return Record("ErrorMessage", text, n); }
  int AddKeyEvent(const char* name, int number, const char* label, const char* help, bool a,
                  bool enabled) override {
    return Record("AddKeyEvent", name, number, label, help, a, enabled);
  }
  int ReportCreate() override { return Record("ReportCreate"); }
  int ReportLine(char* text) override { return Record("ReportLine", text); }
  int ReportEnd() override { return Record("ReportEnd"); }

 private:
  template <class... Args>
  int Record(const char* operation, const Args&... args) {
    sink_->Call(FormatCall(operation, args...));
    return 1;
  }

  CallSink* sink_;
  std::string application_;
};

class LiveRunner : public SessionRunner {
 public:
  LiveRunner(void (*echo)(void*, const std::string&), void* context)
      : echo_(echo), context_(context) {}

 protected:
  void OnLine(const std::string& line) override { echo_(context_, ">> " + line); }
  void OnUnknownLine(const std::string& line) override {
    const std::string keyword = line.substr(0, line.find(' '));
    echo_(context_, "!! no command has the keyword \"" + keyword + "\"");
  }

 private:
  void (*echo_)(void*, const std::string&);
  void* context_;
};

}  // namespace

int RunLiveTrace(const LiveTraceOptions& options, CallSink* sink,
                 void (*echo)(void* context, const std::string& line), void* context) {
  const std::string exchange = options.cache + "/exchange";
  ::mkdir(options.cache.c_str(), 0700);
  ::mkdir(exchange.c_str(), 0700);
  auto* state = new LiveState(options.cache, sink, options.application);
  state->GetServerTrust().ConfineStores({exchange});
  state->GetServerTrust().ConfineUploads({exchange});
  state->GetServerTrust().AllowLaunches(false);

  SessionOptions session;
  session.host = options.host;
  session.port = options.port;
  session.tls = options.tls;
  session.connectTimeoutMs = 10000;
  LiveRunner runner(echo, context);
  const SessionResult result = runner.Run(state, session);
  switch (result.end) {
    case SessionResult::End::kServerClosed:
      std::fprintf(stderr,
                   "nycl-trace: the server ended the session (%ld lines from it, %ld to it)\n",
                   result.linesReceived, result.linesSent);
      return 0;
    case SessionResult::End::kOpenFailed:
      std::fprintf(stderr, "nycl-trace: no connection to the server: %s\n", result.error.c_str());
      return 1;
    default:
      std::fprintf(stderr, "nycl-trace: the connection to the server was lost: %s\n",
                   result.error.c_str());
      return 1;
  }
}

}  // namespace nycl::recording
