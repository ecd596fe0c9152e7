#include "support/TlsTestPeer.h"

#include <linux/sockios.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/Loopback.h"
#include "nycl-server/LineTransport.h"
#include "nycl-server/TlsContext.h"

namespace nycl {

namespace {

nycl_server::Deadline After(int timeout_ms) {
  return nycl_server::Clock::now() + std::chrono::milliseconds(timeout_ms);
}

// Whether `fd` has something to take (a connection, bytes, the end) within `timeout_ms`.
bool Readable(int fd, int timeout_ms) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeout_ms) == 1;
}

std::string SystemError(const char* call) {
  return std::string(call) + ": " + std::strerror(errno);
}

}  // namespace

std::string TlsTestPeer::CertsDir() {
#ifdef NYCL_TEST_CERTS_DIR
  return NYCL_TEST_CERTS_DIR;
#else
  std::string here = __FILE__;
  return here.substr(0, here.rfind("/tests/")) + "/certs";
#endif
}

TlsTestPeer::TlsTestPeer() {
  const std::string credentials = CertsDir() + "/test-server";
  ctx_ = nycl_server::NewServerContext(credentials + ".pem", credentials + ".key", &error_);
  if (ctx_ == nullptr) return;  // not listening: ok() is false
  listen_fd_ = BoundSocket(SOCK_CLOEXEC, &port_);
  if (::listen(listen_fd_, 4) != 0) {
    Fail(SystemError("listen"));
    ::close(listen_fd_);
    listen_fd_ = -1;
  }
}

TlsTestPeer::~TlsTestPeer() {
  Close();
  if (listen_fd_ >= 0) ::close(listen_fd_);
  SSL_CTX_free(ctx_);
}

bool TlsTestPeer::Fail(const std::string& what) {
  error_ = what;
  return false;
}

bool TlsTestPeer::Connected() {
  return connection_ != nullptr || Fail("not connected");
}

bool TlsTestPeer::Checked(bool done) {
  return done || Fail(connection_->error());
}

bool TlsTestPeer::Accept(int timeout_ms) {
  if (!ok()) return Fail("peer not listening");
  if (!Readable(listen_fd_, timeout_ms)) return Fail("no connection to accept");
  const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return Fail(SystemError("accept"));
  connection_ = std::make_unique<nycl_server::LineTransport>(fd, ctx_, std::string::npos);
  connection_->CountWrites(&written_);
  fd_ = fd;
  return true;
}

bool TlsTestPeer::StartTls(int timeout_ms) {
  return Connected() && Checked(connection_->AcceptTls(After(timeout_ms)));
}

void TlsTestPeer::DropTls() {
  if (connection_ != nullptr) connection_->DropTls();
}

bool TlsTestPeer::ShutdownTls(int timeout_ms) {
  return Connected() && Checked(connection_->EndTls(After(timeout_ms)));
}

// No closing messages: with received bytes unread, the system resets the connection.
void TlsTestPeer::Close() {
  fd_ = -1;
  connection_.reset();
}

void TlsTestPeer::Reset() {
  if (connection_ != nullptr) connection_->CloseAbrupt();
  Close();
}

long long TlsTestPeer::Unsent() const {
  int count = 0;
  return ::ioctl(fd_, SIOCOUTQ, &count) == 0 ? count : -1;
}

bool TlsTestPeer::Write(const void* data, std::size_t length, int timeout_ms) {
  const std::string bytes(static_cast<const char*>(data), length);
  return Connected() && Checked(connection_->WriteRaw(bytes, After(timeout_ms)));
}

bool TlsTestPeer::WriteLine(const std::string& line, int timeout_ms) {
  return Connected() && Checked(connection_->WriteLine(line, After(timeout_ms)));
}

bool TlsTestPeer::WriteUrgent(char byte) {
  if (!Connected()) return false;
  return ::send(fd_, &byte, 1, MSG_OOB | MSG_NOSIGNAL) == 1 || Fail(SystemError("send urgent"));
}

bool TlsTestPeer::ReadLine(std::string* line, int timeout_ms) {
  return Connected() && Checked(connection_->ReadLine(line, After(timeout_ms)));
}

bool TlsTestPeer::ReadToEnd(std::string* bytes, int timeout_ms) {
  return Connected() && Checked(connection_->ReadToEnd(bytes, After(timeout_ms)));
}

bool TlsTestPeer::WaitReadable(int timeout_ms) {
  return Connected() && (Readable(fd_, timeout_ms) || Fail("nothing to read"));
}

}  // namespace nycl
