#include "server/ServerHarness.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "net/Loopback.h"
#include "support/Processes.h"

namespace nycl_server_test {

using nycl::test_files::ReadFile;
using nycl::test_processes::Reap;
using nycl::test_processes::Spawn;

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
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
  if (pid_ > 0 && !Reap(pid_, timeout_ms, &exit_status_)) return -1;
  pid_ = -1;
  return exit_status_;
}

std::string ServerProcess::Output() const {
  return ReadFile(dir() + "/stdout") + ReadFile(dir() + "/stderr");
}

RawClient::~RawClient() {
  if (fd_ >= 0) close(fd_);
}

bool RawClient::Connect(int port) {
  int connected = -1;
  fd_ = nycl::RawConnect(std::to_string(port), SOCK_CLOEXEC, &connected);
  timeval limit{5, 0};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return connected == 0;
}

bool RawClient::SendRaw(const std::string& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::string RawClient::Read() {
  std::size_t end;
  while ((end = text_.find('\n')) == std::string::npos) {
    char buffer[16384];
    const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    if (got > 0) {
      text_.append(buffer, static_cast<std::size_t>(got));
    } else {
      return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? "<timeout>" : "<closed>";
    }
  }
  std::string line = text_.substr(0, end);
  text_.erase(0, end + 1);
  return line;
}

}  // namespace nycl_server_test
