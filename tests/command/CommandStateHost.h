// The common data state of tests/support for command tests: it owns its cache directory, runs
// protocol lines, logs every ErrorLog call but the library's traces, and also logs the host
// calls the commands make ("Nyinetif_Auth(2)", "WarningMessage(text)", ...). CompressSocket
// is logged, then runs as the library's; RequestSSLHandshake and ResumeSSLEncrypt are only
// logged, since a real handshake request needs a running event loop.
#ifndef NYCL_TESTS_COMMAND_COMMANDSTATEHOST_H
#define NYCL_TESTS_COMMAND_COMMANDSTATEHOST_H

#include <cstdio>
#include <string>

#include "nycl/command/NyCommand.h"
#include "nycl/state/NyDataStateHolder.h"
#include "support/CommonStateHost.h"

namespace nycl::test {

// Holds the cache directory; a base of CommandStateHost so that it outlives the data state.
struct OwnCacheDirectory {
  CacheDirectory directory;
};

class CommandStateHost : private OwnCacheDirectory, public CommonStateHost {
 public:
  CommandStateHost() : CommonStateHost(directory) {
    logging = Logging::kNoTraces;
    holder_.PushDataState(this);
  }
  ~CommandStateHost() override { holder_.PopDataState(); }

  // Creates and executes `line`; returns Execute's result, false when no command was created.
  bool Run(const char* line) {
    NyCommand* command = NyCommand::Create(line, &holder_);
    return command != nullptr && command->Execute();
  }
  // Runs `line` and returns what it logged.
  Log Records(const char* line) {
    log.clear();
    Run(line);
    return log;
  }
  // Marks the data state as one whose destruction has begun.
  void BeginDeletion() { deleted = 1; }

  bool authResult = false;     // what Nyinetif_Auth answers
  std::string connectionName;  // what GetConnectionStringApplicationName supplies

  bool Nyinetif_Auth(int mode) override {
    Record("Nyinetif_Auth(" + std::to_string(mode) + ")");
    return authResult;
  }
  int WarningMessage(char* text) override { return Record("WarningMessage(" + Text(text) + ")"); }
  int GetConnectionStringApplicationName(char* buffer, int size) override {
    Record("GetConnectionStringApplicationName(" + std::to_string(size) + ")");
    std::snprintf(buffer, static_cast<size_t>(size), "%s", connectionName.c_str());
    return 1;
  }
  int CompressSocket() override {
    Record("CompressSocket()");
    return NyCommonDataState::CompressSocket();
  }
  int RequestSSLHandshake() override { return Record("RequestSSLHandshake()"); }
  int ResumeSSLEncrypt() override { return Record("ResumeSSLEncrypt()"); }
  int ExecuteProcess(char* program, char* arguments) override {
    return Record("ExecuteProcess(" + Text(program) + "," + Text(arguments) + ")");
  }

 private:
  NyDataStateHolder holder_;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_COMMAND_COMMANDSTATEHOST_H
