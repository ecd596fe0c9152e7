// A common data state for tests, over a real file cache in a temporary directory, with a
// connection that records what it is handed.
//
// Everything the data state hands on lands in one log, in order: each line sent (as it is),
// each filter call ("AddZFilter()", "PauseZFilter()", "ResumeZFilter()"), "Flush()",
// "AddLog(<text>)", "AppendNysFile(<path>)", and the ErrorLog calls `logging` asks for, as
// "ErrorLog(<tag>,<label>,<text>)".
#ifndef NYCL_TESTS_SUPPORT_COMMONSTATEHOST_H
#define NYCL_TESTS_SUPPORT_COMMONSTATEHOST_H

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cache/CacheTestSupport.h"
#include "nycl/base/Base64.h"
#include "nycl/cache/CCorvathFileCache.h"
#include "nycl/net/Socket.h"
#include "nycl/state/BaseConnection.h"
#include "nycl/state/NyCommonDataState.h"

namespace nycl::test {

using Log = std::vector<std::string>;

inline std::string Text(const char* text) {
  return text != nullptr ? text : "(null)";
}

// `bytes` in base64, as the server sends file data.
inline std::string Base64(const std::string& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  EncodeBase64Block(reinterpret_cast<const unsigned char*>(bytes.data()), &text[0],
                    static_cast<int>(bytes.size()));
  text.resize(text.size() - 1);
  return text;
}

// A writable copy of a text for the char* parameters, alive until the end of the statement.
struct Arg {
  explicit Arg(std::string value) : text(std::move(value)) {}
  operator char*() { return &text[0]; }  // NOLINT: converts by design
  std::string text;
};

class RecordingConnection : public BaseConnection {
 public:
  explicit RecordingConnection(Log* log) : log_(log) {}

  Socket* socket = nullptr;   // what GetSocket hands out (borrowed)
  int wantCompress = 1;       // what wantcompress answers
  bool toSocket = false;      // also send each line, with its line feed, down the socket
  bool echoToStderr = false;  // also write each record to stderr (for death tests)

  int PauseZFilter() override { return Record("PauseZFilter()"); }
  int ResumeZFilter() override { return Record("ResumeZFilter()"); }
  int AddZFilter() override { return Record("AddZFilter()"); }
  Socket* GetSocket() override { return socket; }
  int CloseConnection() override { return 1; }
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

// A fresh cache directory with a settings file naming it, and a work directory beside it. It
// must outlive the data states that use it.
class CacheDirectory {
 public:
  CacheDirectory() {
    testing_cache::fs::create_directory(cache());
    testing_cache::fs::create_directory(work());
    testing_cache::WriteFile(settings(), "CacheLocation=" + cache() + "\n");
  }
  std::string cache() const { return tree_ / "cache"; }
  std::string work() const { return tree_ / "work"; }
  std::string settings() const { return tree_ / "settings"; }
  CCorvathFileCache* Open() const { return new CCorvathFileCache(settings()); }

  // Whether the cache lock is free now: the table file can be locked without waiting.
  bool LockFree() const { return testing_cache::CacheLockFree(cache()); }

 private:
  testing_cache::TempTree tree_;
};

class CommonStateHost : public NyCommonDataState {
 public:
  // Which ErrorLog calls are logged. The library tags its trace lines "Tossick" (the echo of
  // every answer is one of them); kNoTraces logs every other call.
  enum class Logging { kOff, kNoTraces, kAll };

  explicit CommonStateHost(const CacheDirectory& directory)
      : NyCommonDataState(directory.Open()), connection(&log) {
    SetConnection(&connection);
  }

  int ErrorLog(char* tag, char* label, char* text) override {
    if (logging == Logging::kAll ||
        (logging == Logging::kNoTraces && std::strcmp(tag, "Tossick") != 0)) {
      Record("ErrorLog(" + Text(tag) + "," + Text(label) + "," + Text(text) + ")");
    }
    return 0;
  }
  int AddLog(char* text, int) override { return Record("AddLog(" + Text(text) + ")"); }
  int Flush() override { return Record("Flush()"); }
  bool AppendNysFile(char* path) override { return Record("AppendNysFile(" + Text(path) + ")"); }

  int Record(const std::string& entry) { return connection.Record(entry); }
  // The log so far; the log starts empty again.
  Log Take() { return std::exchange(log, Log()); }

  using NyCommonDataState::GenerateFileRequestsFromScriptFile;
  using NyCommonDataState::ReadLine;
  void SetApplicationName(const char* name) { applicationName = name; }
  // Takes `file` over as the session's resource file.
  void SetResFile(ResFile* file) { resFile = file; }

  Log log;
  RecordingConnection connection;
  Logging logging = Logging::kOff;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_SUPPORT_COMMONSTATEHOST_H
