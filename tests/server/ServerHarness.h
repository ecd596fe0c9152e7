// Test helpers for nycl-server: the server program run in a scratch directory.
#ifndef NYCL_TESTS_SERVER_SERVERHARNESS_H
#define NYCL_TESTS_SERVER_SERVERHARNESS_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempFiles.h"

namespace nycl_server_test {

// nycl-server run on a script in a fresh scratch directory, which is also its served directory.
// The destructor kills a server still running and removes the directory.
class ServerProcess {
 public:
  ServerProcess() = default;
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Writes `name` (relative to the scratch directory) with `bytes`, creating directories.
  void WriteFile(const std::string& name, const std::string& bytes) const;
  // Writes `script` as script.session and starts the server on it with `arguments` added;
  // true once it listens (its port file exists). A server may be started again once it ended.
  bool Start(const std::string& script, const std::vector<std::string>& arguments = {});
  // The exit status, or -1 when it has not exited within `timeout_ms` (it is killed then).
  int Wait(int timeout_ms = 15000);
  // Everything the server wrote on its standard output and error.
  std::string Output() const;

  const std::string& dir() const { return tree_.path(); }
  int port() const { return port_; }

 private:
  nycl::test_files::TempTree tree_;
  pid_t pid_ = -1;
  int port_ = 0;
  int exit_status_ = -1;
};

}  // namespace nycl_server_test

#endif  // NYCL_TESTS_SERVER_SERVERHARNESS_H
