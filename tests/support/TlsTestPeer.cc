#include "support/TlsTestPeer.h"

#include <linux/sockios.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/Loopback.h"

namespace nycl {

namespace {

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string OpenSslErrors() {
  std::string text;
  char buffer[256];
  for (unsigned long code; (code = ERR_get_error()) != 0;) {
    ERR_error_string_n(code, buffer, sizeof buffer);
    text += (text.empty() ? "" : "; ") + std::string(buffer);
  }
  return text;
}

// What the TLS call that returned `result` waits for (POLLIN or POLLOUT); 0 when it failed.
short Wanted(SSL* ssl, int result) {
  const int error = SSL_get_error(ssl, result);
  return error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
}

// Whether a failed plain read or write may succeed later.
bool Transient() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
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
  ctx_ = SSL_CTX_new(TLS_server_method());
  if (ctx_ == nullptr) {
    Fail("SSL_CTX_new");
    return;
  }
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  // No session tickets: a ticket sent after the handshake would still be in flight when the
  // test drops TLS, and the client would then read it as plain bytes.
  SSL_CTX_set_num_tickets(ctx_, 0);
  if (SSL_CTX_use_certificate_file(ctx_, (credentials + ".pem").c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx_, (credentials + ".key").c_str(), SSL_FILETYPE_PEM) != 1) {
    Fail("loading " + credentials + ".pem/.key");  // not listening: ok() is false
    return;
  }
  listen_fd_ = BoundSocket(SOCK_CLOEXEC, &port_);
  if (::listen(listen_fd_, 4) != 0) {
    Fail("listen");
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
  const std::string ssl = OpenSslErrors();
  if (!ssl.empty()) error_ += ": " + ssl;
  if (errno != 0) error_ += std::string(" (") + std::strerror(errno) + ")";
  errno = 0;
  return false;
}

bool TlsTestPeer::Accept(int timeout_ms) {
  if (!ok()) return Fail("peer not listening");
  pollfd entry{listen_fd_, POLLIN, 0};
  if (::poll(&entry, 1, timeout_ms) != 1) return Fail("no connection to accept");
  fd_ = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  return fd_ >= 0 || Fail("accept");
}

bool TlsTestPeer::WaitFor(short events, long long deadline_ms) {
  const long long left = deadline_ms - NowMs();
  pollfd entry{fd_, events, 0};
  return events != 0 && left > 0 && ::poll(&entry, 1, static_cast<int>(left)) == 1;
}

bool TlsTestPeer::StartTls(int timeout_ms) {
  if (fd_ < 0) return Fail("not connected");
  const long long deadline = NowMs() + timeout_ms;
  ssl_ = SSL_new(ctx_);
  if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1) return Fail("SSL_new");
  int result;
  do {
    ERR_clear_error();
    result = SSL_accept(ssl_);
  } while (result != 1 && WaitFor(Wanted(ssl_, result), deadline));
  if (result == 1) return true;
  Fail("SSL_accept (error " + std::to_string(SSL_get_error(ssl_, result)) + ")");
  DropTls();
  return false;
}

void TlsTestPeer::DropTls() {
  SSL_free(ssl_);
  ssl_ = nullptr;
}

bool TlsTestPeer::ShutdownTls(int timeout_ms) {
  if (ssl_ == nullptr) return Fail("TLS not running");
  const long long deadline = NowMs() + timeout_ms;
  int result;
  do {
    ERR_clear_error();
    // The first call sends our closing message; waiting for the client's is not wanted.
    result = SSL_shutdown(ssl_);
  } while (result < 0 && Wanted(ssl_, result) == POLLOUT && WaitFor(POLLOUT, deadline));
  DropTls();
  return result >= 0 || Fail("SSL_shutdown");
}

void TlsTestPeer::Reset() {
  linger abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  Close();
}

long long TlsTestPeer::Unsent() const {
  int count = 0;
  return ::ioctl(fd_, SIOCOUTQ, &count) == 0 ? count : -1;
}

void TlsTestPeer::Close() {
  DropTls();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pending_.clear();
}

bool TlsTestPeer::Write(const void* data, std::size_t length, int timeout_ms) {
  if (fd_ < 0) return Fail("not connected");
  const long long deadline = NowMs() + timeout_ms;
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    const int chunk = static_cast<int>(std::min<std::size_t>(length, 1 << 20));
    int written;
    short wanted = POLLOUT;
    if (ssl_ != nullptr) {
      ERR_clear_error();
      written = SSL_write(ssl_, bytes, chunk);
      if (written <= 0 && (wanted = Wanted(ssl_, written)) == 0) {
        return Fail("SSL_write (error " + std::to_string(SSL_get_error(ssl_, written)) + ")");
      }
    } else {
      written = static_cast<int>(::send(fd_, bytes, chunk, MSG_NOSIGNAL));
      if (written < 0 && !Transient()) return Fail("send");
    }
    if (written > 0) {
      written_ += written;
      bytes += written;
      length -= written;
    } else if (!WaitFor(wanted, deadline)) {
      return Fail("write timed out");
    }
  }
  return true;
}

bool TlsTestPeer::WriteLine(const std::string& line, int timeout_ms) {
  return Write(line + "\n", timeout_ms);
}

bool TlsTestPeer::WriteUrgent(char byte) {
  if (fd_ < 0) return Fail("not connected");
  return ::send(fd_, &byte, 1, MSG_OOB | MSG_NOSIGNAL) == 1 || Fail("send urgent");
}

// Plain bytes are taken only up to the next line feed, so that a TLS handshake the client starts
// right after its last plain line is left on the connection for StartTls.
bool TlsTestPeer::ReadSome(long long deadline_ms) {
  char buffer[4096];
  for (;;) {
    long received;
    if (ssl_ != nullptr) {
      ERR_clear_error();
      received = SSL_read(ssl_, buffer, sizeof buffer);
      const int error = SSL_get_error(ssl_, static_cast<int>(received));
      if (received <= 0 && error != SSL_ERROR_WANT_READ) {
        return Fail("SSL_read (error " + std::to_string(error) + ")");
      }
    } else {
      received = ::recv(fd_, buffer, sizeof buffer, MSG_PEEK);
      if (received > 0) {
        const void* line_feed = std::memchr(buffer, '\n', received);
        if (line_feed != nullptr) received = static_cast<const char*>(line_feed) - buffer + 1;
        received = ::recv(fd_, buffer, received, 0);
      }
      if (received == 0) return Fail("end of stream");
      if (received < 0 && !Transient()) return Fail("recv");
    }
    if (received > 0) {
      pending_.append(buffer, received);
      return true;
    }
    if (!WaitFor(POLLIN, deadline_ms)) return Fail("read timed out");
  }
}

bool TlsTestPeer::ReadToEnd(std::string* bytes, int timeout_ms) {
  if (fd_ < 0) return Fail("not connected");
  const long long deadline = NowMs() + timeout_ms;
  while (ReadSome(deadline)) {
  }
  bytes->swap(pending_);
  pending_.clear();
  return error_.rfind("end of stream", 0) == 0;
}

bool TlsTestPeer::WaitReadable(int timeout_ms) {
  if (fd_ < 0) return Fail("not connected");
  return WaitFor(POLLIN, NowMs() + timeout_ms) || Fail("nothing to read");
}

bool TlsTestPeer::ReadLine(std::string* line, int timeout_ms) {
  if (fd_ < 0) return Fail("not connected");
  const long long deadline = NowMs() + timeout_ms;
  std::size_t scanned = 0;
  std::size_t end;
  while ((end = pending_.find('\n', scanned)) == std::string::npos) {
    scanned = pending_.size();
    if (!ReadSome(deadline)) return false;
  }
  line->assign(pending_, 0, end);
  pending_.erase(0, end + 1);
  return true;
}

}  // namespace nycl
