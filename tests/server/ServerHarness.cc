#include "server/ServerHarness.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/Processes.h"

namespace nycl_server_test {

using nycl::test_files::ReadFile;
using nycl::test_processes::Reap;
using nycl::test_processes::ReapOrKill;
using nycl::test_processes::Spawn;

ServerProcess::~ServerProcess() {
  Wait(0);
}

void ServerProcess::WriteFile(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path path = std::filesystem::path(dir()) / name;
  std::filesystem::create_directories(path.parent_path());
  nycl::test_files::WriteFile(path, bytes);
}

bool ServerProcess::Start(const std::string& script, const std::vector<std::string>& arguments) {
  WriteFile("script.session", script);
  ::unlink((dir() + "/port").c_str());  // left by an earlier run, it would announce this one
  std::vector<std::string> words = {NYCL_SERVER_BINARY, "--script", dir() + "/script.session",
                                    "--port-file", dir() + "/port"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  pid_ = Spawn(words, dir() + "/stdout", dir() + "/stderr");
  for (int waited = 0; pid_ > 0 && waited < 10000; waited += 10) {
    const std::string port = ReadFile(dir() + "/port");
    if (!port.empty()) {
      port_ = std::atoi(port.c_str());
      return true;
    }
    if (Reap(pid_, 0, &exit_status_)) pid_ = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int ServerProcess::Wait(int timeout_ms) {
  if (pid_ > 0) exit_status_ = ReapOrKill(pid_, timeout_ms);
  pid_ = -1;
  return exit_status_;
}

std::string ServerProcess::Output() const {
  return ReadFile(dir() + "/stdout") + ReadFile(dir() + "/stderr");
}

}  // namespace nycl_server_test
