// A common data state for command tests, and a connection that records what it is handed.
//
// One log, in order: answer lines as they reach the connection, the connection's filter calls
// ("AddZFilter()") and the host calls the commands make ("Nyinetif_Auth(2)",
// "ErrorLog(tag,label,text)" except the "Tossick" echo of every answer). CompressSocket is
// recorded, then runs as the library's; RequestSSLHandshake and ResumeSSLEncrypt are only
// recorded, since a real handshake request needs a running event loop. The file cache lives in
// a temporary directory, never in the machine's cache.
#ifndef NYCL_TESTS_COMMAND_COMMONSTATEHOST_H
#define NYCL_TESTS_COMMAND_COMMONSTATEHOST_H

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cache/CacheTestSupport.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/command/NyCommand.h"
#include "nycl/net/Socket.h"
#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonDataState.h"
#include "nycl/state/NyDataStateHolder.h"

namespace nycl::test {

using Log = std::vector<std::string>;

inline std::string Text(const char* text) {
  return text != nullptr ? text : "(null)";
}

class RecordingConnection : public BaseConnection {
 public:
  explicit RecordingConnection(Log* log) : log_(log) {}

  Socket* socket = nullptr;   // what GetSocket hands out (borrowed)
  int wantCompress = 1;       // what wantcompress answers
  bool toSocket = false;      // also send each line, with its line feed, down the socket
  bool echoToStderr = false;  // also write each record to stderr (for death tests)

  int ResumeZFilter() override { return Record("ResumeZFilter()"); }
  int AddZFilter() override { return Record("AddZFilter()"); }
  Socket* GetSocket() override { return socket; }
  int CloseConnection() override { return 0; }
  int SendString(char* line) override {
    if (toSocket && socket != nullptr) {
      std::string framed = std::string(line) + "\n";
      socket->Send(reinterpret_cast<const unsigned char*>(framed.data()),
                   static_cast<int>(framed.size()));
    }
    return Record(line);
  }
  int wantcompress() override { return wantCompress; }

  int Record(const std::string& entry) {
    log_->push_back(entry);
    if (echoToStderr) std::fprintf(stderr, "[%s]", entry.c_str());
    return 1;
  }

 private:
  Log* log_;
};

// Owns the temporary cache directory; a base of CommonStateHost so that it outlives the cache
// the data state deletes.
class TemporaryCacheDirectory {
 protected:
  // A cache whose settings file names a directory inside the temporary tree.
  CCorvathFileCache* MakeCache() {
    testing_cache::WriteFile(tree_ / "settings", "CacheLocation=" + tree_.path() + "\n");
    return new CCorvathFileCache(tree_ / "settings");
  }

 private:
  testing_cache::TempTree tree_;
};

class CommonStateHost : private TemporaryCacheDirectory, public NyCommonDataState {
 public:
  CommonStateHost() : NyCommonDataState(MakeCache()), connection(&log) {
    SetConnection(&connection);
    holder_.PushDataState(this);
  }
  ~CommonStateHost() override { holder_.PopDataState(); }

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

  bool authResult = false;      // what Nyinetif_Auth answers
  std::string applicationName;  // what GetConnectionStringApplicationName supplies
  Log log;
  RecordingConnection connection;

  bool Nyinetif_Auth(int mode) override {
    connection.Record("Nyinetif_Auth(" + std::to_string(mode) + ")");
    return authResult;
  }
  int WarningMessage(char* text) override {
    return connection.Record("WarningMessage(" + Text(text) + ")");
  }
  int GetConnectionStringApplicationName(char* buffer, int size) override {
    connection.Record("GetConnectionStringApplicationName(" + std::to_string(size) + ")");
    std::snprintf(buffer, static_cast<size_t>(size), "%s", applicationName.c_str());
    return 1;
  }
  int ErrorLog(char* tag, char* label, char* text) override {
    if (std::strcmp(tag, "Tossick") != 0) {
      connection.Record("ErrorLog(" + Text(tag) + "," + Text(label) + "," + Text(text) + ")");
    }
    return 0;
  }
  int CompressSocket() override {
    connection.Record("CompressSocket()");
    return NyCommonDataState::CompressSocket();
  }
  int RequestSSLHandshake() override { return connection.Record("RequestSSLHandshake()"); }
  int ResumeSSLEncrypt() override { return connection.Record("ResumeSSLEncrypt()"); }
  int ExecuteProcess(char* program, char* arguments) override {
    return connection.Record("ExecuteProcess(" + Text(program) + "," + Text(arguments) + ")");
  }

 private:
  NyDataStateHolder holder_;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_COMMAND_COMMONSTATEHOST_H
