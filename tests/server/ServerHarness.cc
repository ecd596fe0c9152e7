#include "server/ServerHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace nycl_server_test {

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ServerProcess::ServerProcess() {
  char pattern[] = "/tmp/nycl-server-test.XXXXXX";
  if (mkdtemp(pattern) != nullptr) dir_ = pattern;
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

void ServerProcess::WriteFile(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path path = std::filesystem::path(dir_) / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

bool ServerProcess::Start(const std::string& script, const std::vector<std::string>& arguments) {
  WriteFile("script.session", script);
  std::vector<std::string> words = {NYCL_SERVER_BINARY, "--script", dir_ + "/script.session",
                                    "--port-file", dir_ + "/port"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (dir_ + "/stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (dir_ + "/stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    return false;
  }
  for (int waited = 0; waited < 10000; waited += 10) {
    const std::string port = ReadText(dir_ + "/port");
    if (!port.empty()) {
      port_ = std::atoi(port.c_str());
      return true;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int ServerProcess::Wait(int timeout_ms) {
  for (int waited = 0; pid_ > 0; waited += 10) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (waited >= timeout_ms) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return exit_status_;
}

std::string ServerProcess::Output() const {
  return ReadText(dir_ + "/stdout") + ReadText(dir_ + "/stderr");
}

RawClient::RawClient() {
  ctx_ = SSL_CTX_new(TLS_client_method());
  SSL_CTX_load_verify_locations(ctx_, NYCL_TEST_CERTS_DIR "/test-ca.pem", nullptr);
  SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
}

RawClient::~RawClient() {
  DropTls();
  SSL_CTX_free(ctx_);
  if (stream_live_) inflateEnd(&stream_);
  if (fd_ >= 0) close(fd_);
}

bool RawClient::Connect(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval limit{5, 0};
  setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void RawClient::Close() {
  DropTls();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RawClient::SendRaw(const std::string& bytes) {
  if (ssl_ != nullptr) {
    return bytes.empty() || SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) > 0;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

bool RawClient::Send(const std::string& line) {
  return SendRaw(line + "\n");
}

bool RawClient::StartTls() {
  ssl_ = SSL_new(ctx_);
  SSL_set_fd(ssl_, fd_);
  SSL_set1_host(ssl_, "127.0.0.1");
  if (SSL_connect(ssl_) == 1) return true;
  DropTls();
  return false;
}

void RawClient::DropTls() {
  SSL_free(ssl_);
  ssl_ = nullptr;
}

void RawClient::StartInflate() {
  if (stream_live_) inflateEnd(&stream_);
  stream_ = z_stream{};
  stream_live_ = inflateInit(&stream_) == Z_OK;
  inflating_ = true;
}

RawClient::Filled RawClient::Fill() {
  char buffer[16384];
  int got;
  if (ssl_ != nullptr) {
    got = SSL_read(ssl_, buffer, sizeof buffer);
    if (got <= 0) {
      const int error = SSL_get_error(ssl_, got);
      if (error == SSL_ERROR_WANT_READ) return Filled::kTimeout;
      if (error == SSL_ERROR_ZERO_RETURN || error == SSL_ERROR_SYSCALL) return Filled::kClosed;
      return Filled::kError;
    }
  } else {
    got = static_cast<int>(recv(fd_, buffer, sizeof buffer, 0));
    if (got == 0) return Filled::kClosed;
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) return Filled::kTimeout;
      return errno == ECONNRESET ? Filled::kClosed : Filled::kError;
    }
  }
  if (!inflating_) {
    text_.append(buffer, static_cast<std::size_t>(got));
    return Filled::kSome;
  }
  stream_.next_in = reinterpret_cast<Bytef*>(buffer);
  stream_.avail_in = static_cast<uInt>(got);
  do {
    unsigned char out[65536];
    stream_.next_out = out;
    stream_.avail_out = sizeof out;
    const int result = inflate(&stream_, Z_SYNC_FLUSH);
    if (result != Z_OK && result != Z_BUF_ERROR) return Filled::kError;
    text_.append(reinterpret_cast<char*>(out), sizeof out - stream_.avail_out);
  } while (stream_.avail_in > 0 || stream_.avail_out == 0);
  return Filled::kSome;
}

std::string RawClient::Read() {
  std::size_t end;
  while ((end = text_.find('\n')) == std::string::npos) {
    switch (Fill()) {
      case Filled::kSome:
        break;
      case Filled::kClosed:
        return "<closed>";
      case Filled::kTimeout:
        return "<timeout>";
      case Filled::kError:
        return "<error>";
    }
  }
  std::string line = text_.substr(0, end);
  text_.erase(0, end + 1);
  return line;
}

}  // namespace nycl_server_test
