// A common data state for tests, with a recording connection and a real file cache in a
// temporary directory.
//
// Everything the data state does towards the server lands in one sequence of events, in
// order: each line sent (as it is), each filter call ("AddZFilter()", "PauseZFilter()",
// "ResumeZFilter()"), "Flush()", "AddLog <text>", "AppendNysFile(<path>)", and, when logging
// is switched on, each ErrorLog call as "log <tag>|<label>|<text>".
#ifndef NYCL_TESTS_STATE_STATETESTHOST_H
#define NYCL_TESTS_STATE_STATETESTHOST_H

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <memory>
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

using Events = std::vector<std::string>;

// A socket that only tells its transport by class name; it never connects.
class NamedSocket : public Socket {
 public:
  explicit NamedSocket(const char* className) : Socket(nullptr) {
    std::strncpy(m_runtimeClassName, className, sizeof m_runtimeClassName - 1);
  }
  void Connect(XString, XString) override {}
  void Listen(XString, XString) override {}
  void Close() override {}
  void Destroy() override {}

 protected:
  void DoSend(const unsigned char*, int) override {}
  void DoSendMessage(int, void*) override {}
};

class RecordingConnection : public BaseConnection {
 public:
  explicit RecordingConnection(Events* events) : events_(events) {}
  int PauseZFilter() override { return Record("PauseZFilter()"); }
  int ResumeZFilter() override { return Record("ResumeZFilter()"); }
  int AddZFilter() override { return Record("AddZFilter()"); }
  Socket* GetSocket() override { return socket; }
  int CloseConnection() override { return 1; }
  int SendString(char* line) override { return Record(line); }

  Socket* socket = nullptr;  // borrowed

 private:
  int Record(const std::string& event) {
    events_->push_back(event);
    return 1;
  }
  Events* events_;
};

// A fresh cache directory with a settings file naming it, and a work directory beside it.
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
  bool LockFree() const {
    const int fd = ::open((cache() + "/__Tamrel_Corvath_File_Cache").c_str(),
                          O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
  }

 private:
  testing_cache::TempTree tree_;
};

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

class TestDataState : public NyCommonDataState {
 public:
  explicit TestDataState(const CacheDirectory& directory)
      : NyCommonDataState(directory.Open()), connection(&events) {
    SetConnection(&connection);
  }

  int ErrorLog(char* tag, char* label, char* text) override {
    if (logging) events.push_back(std::string("log ") + tag + "|" + label + "|" + text);
    return 0;
  }
  int AddLog(char* text, int) override {
    events.push_back(std::string("AddLog ") + text);
    return 1;
  }
  int Flush() override {
    events.push_back("Flush()");
    return 1;
  }
  bool AppendNysFile(char* path) override {
    events.push_back(std::string("AppendNysFile(") + path + ")");
    return true;
  }

  // The events so far; the record starts empty again.
  Events Take() { return std::exchange(events, Events()); }

  using NyCommonDataState::GenerateFileRequestsFromScriptFile;
  using NyCommonDataState::ReadLine;
  void SetApplicationName(const char* name) { applicationName = name; }
  // Takes `file` over as the session's resource file.
  void SetResFile(ResFile* file) { resFile = file; }

  Events events;
  RecordingConnection connection;
  bool logging = false;
};

}  // namespace nycl::test

#endif  // NYCL_TESTS_STATE_STATETESTHOST_H
