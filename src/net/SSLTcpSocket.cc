#include "nycl/net/SSLTcpSocket.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "net/SSLTcpSocketTls.h"

namespace nycl {

namespace {

void SleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits up to `milliseconds` for `events` on `fd`.
void WaitForSocket(int fd, short events, int milliseconds) {
  pollfd entry{fd, events, 0};
  ::poll(&entry, 1, milliseconds);
}

// Reports a handshake given up for AbandonHandShake; returns StartHandshake's failure code.
int GiveUpAbandoned() {
  std::fprintf(stderr, "SSLTcpSocket::StartHandshake; handshake abandoned\n");
  std::fprintf(stderr, "Error SSL_connect failed\n");
  return -1;
}

// How the event loop reaches the handshake of a TLS socket when its request arrives.
bool WantsHandshake(SocketSelectData* source) {
  auto* socket = dynamic_cast<SSLTcpSocket*>(source);
  return socket != nullptr && socket->WantHandShake() != 0;
}

void RunHandshake(SocketSelectData* source) {
  if (auto* socket = dynamic_cast<SSLTcpSocket*>(source)) socket->Handshake();
}

void InstallHandshakeHooks() {
  static std::once_flag once;
  std::call_once(once, [] { SocketSelector::SetHandshakeHooks({&WantsHandshake, &RunHandshake}); });
}

}  // namespace

SSLTcpSocket::SSLTcpSocket(SocketSink* sink) : TcpSocket(sink) {
  InstallHandshakeHooks();
  std::snprintf(GetRuntimeClassName(), 200, "%s", "SSLTcpSocket");
}

SSLTcpSocket::~SSLTcpSocket() {
  delete[] read_block_;
  read_block_ = nullptr;
  alive_ = 0;
  FreeSsl();
}

int SSLTcpSocket::SetTrustedAuthority(const char* pem) {
  return tls::SetTrustedAuthority(pem) ? 1 : 0;
}

void SSLTcpSocket::SetHandshakeTimeout(int milliseconds) {
  tls::SetHandshakeTimeout(milliseconds);
}

void SSLTcpSocket::Connect(XString host, XString port) {
  peer_host_ = host.c_str();
  TcpSocket::Connect(host, port);
}

int SSLTcpSocket::EnableSSLStart(bool on) {
  Flush();
  ssl_allowed_.store(on);
  return 1;
}

int SSLTcpSocket::RequestHandShake() {
  if (!ssl_allowed_.load()) return 0;
  handshake_wanted_.store(1);
  if (!SocketSelector::PostSocketMessage(SocketSelector::get_g_sockWnd(), WM_SOCKET_NOTIFY,
                                         static_cast<uintptr_t>(FD()), SOCKET_EVENT_HANDSHAKE)) {
    std::exit(2);
  }
  SleepMs(5);
  return 1;
}

void SSLTcpSocket::Handshake() {
  DeleteGuard guard(this);
  SleepMs(1);
  {
    std::lock_guard<std::mutex> lock(handshake_mutex_);
    if (!handshake_wanted_.load()) return;
    // Still resolving or connecting: the request stays, and the completed connect runs it.
    if (GetState() == 1 || m_connecting.load()) return;
    handshaking_ = true;
  }
  StartHandshake();
  {
    std::lock_guard<std::mutex> lock(handshake_mutex_);
    handshaking_ = false;
    abandon_.store(false);
    handshake_wanted_.store(0);
    handshake_ended_.notify_all();
  }
}

void SSLTcpSocket::HandshakeOnceConnected(bool was_connecting) {
  if (was_connecting && !m_connecting.load() && GetState() == 3 && handshake_wanted_.load()) {
    Handshake();
  }
}

int SSLTcpSocket::AbandonHandShake() {
  {
    std::unique_lock<std::mutex> lock(handshake_mutex_);
    handshake_wanted_.store(0);
    if (handshaking_) {
      abandon_.store(true);
      // On the loop thread the handshake is further up this very call stack; it gives up when
      // control returns to it.
      if (!OnLoopThread() && !handshake_ended_.wait_for(lock, std::chrono::seconds(1),
                                                        [this] { return !handshaking_; })) {
        return 0;
      }
    }
  }
  if (running_.load()) StopSSLEncrypt();
  return running_.load() ? 0 : 1;
}

bool SSLTcpSocket::OnLoopThread() const {
  return m_selector->IsLoopThread();
}

void SSLTcpSocket::DrainPlainOutput(long long deadline_ms) {
  while (WantOutput() && GetState() == 3 && NowMs() < deadline_ms && !abandon_.load()) {
    TcpSocket::Output();
    if (WantOutput()) WaitForSocket(m_socket, POLLOUT, 10);
  }
}

int SSLTcpSocket::StartHandshake() {
  if (running_.load()) return 1;
  if (GetState() == 0) return -1;
  const int timeout_ms = tls::HandshakeTimeout();
  const long long deadline = NowMs() + timeout_ms;
  // What the session queued before asking for TLS still goes out in plain.
  DrainPlainOutput(deadline);
  if (abandon_.load()) return GiveUpAbandoned();

  SSL_CTX* ctx = tls::NewClientContext();
  SSL* ssl = ctx != nullptr ? SSL_new(ctx) : nullptr;
  SSL_CTX_free(ctx);  // the TLS object keeps its own reference
  if (ssl == nullptr) {
    std::fprintf(stderr, "SSLTcpSocket::StartHandshake; SSL_new failed\n");
    return -2;
  }
  const int fd = m_socket;
  if (BIO* bio = tls::NewSocketBio(fd)) {
    SSL_set_bio(ssl, bio, bio);
  } else {
    std::fprintf(stderr, "\nFailed");
  }
  // A write the socket could not take at once is repeated by a later Output, from wherever
  // the send queue then keeps those bytes.
  SSL_set_mode(ssl, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (!peer_host_.empty()) {
    in_addr address;
    if (::inet_pton(AF_INET, peer_host_.c_str(), &address) == 1) {
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), peer_host_.c_str());
    } else {
      SSL_set1_host(ssl, peer_host_.c_str());
      SSL_set_tlsext_host_name(ssl, peer_host_.c_str());
    }
  }

  SleepMs(1);
  ERR_clear_error();
  int result = 0;
  while (!abandon_.load() && (result = SSL_connect(ssl)) != 1) {
    const int error = SSL_get_error(ssl, result);
    if (result < 0 && (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_CONNECT ||
                       error == SSL_ERROR_WANT_WRITE)) {
      if (NowMs() >= deadline) {
        std::fprintf(stderr,
                     "SSLTcpSocket::StartHandshake; no answer from the server within %d ms\n",
                     timeout_ms);
        std::fprintf(stderr, "Error SSL_connect failed\n");
        SSL_free(ssl);
        return -1;
      }
      WaitForSocket(fd, error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, 10);
      ERR_clear_error();
      continue;
    }
    // A connection closed in the middle of the handshake is a failed handshake, not a
    // protocol error.
    const bool closed = error == SSL_ERROR_SSL &&
                        ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
    if (error == SSL_ERROR_SSL && !closed) {
      std::fprintf(stderr, "SSL_ERROR_SSL: protocal error\n");
      std::fprintf(stderr, "Exiting\n");
      std::exit(1);
    }
    std::fprintf(stderr, "a==%d", error);
    std::perror("SSL_connect");
    std::fprintf(stderr, "Error SSL_connect failed\n");
    SSL_free(ssl);
    return -1;
  }
  // Given up from another thread between two steps, or after the step that completed the
  // handshake: the caller has stopped waiting for the link.
  if (abandon_.load()) {
    SSL_free(ssl);
    return GiveUpAbandoned();
  }

  X509* certificate = SSL_get1_peer_certificate(ssl);
  if (certificate == nullptr) {
    std::fprintf(stderr, "SSL ERROR getting server certificate failed\n");
    SSL_free(ssl);
    return -1;
  }
  X509_free(certificate);
  cert_valid_.store(SSL_get_verify_result(ssl) == X509_V_OK || verify_required_.load() == 0);

  {
    std::lock_guard<std::mutex> lock(output_mutex_);
    unfinished_queue_ = nullptr;
    ssl_.store(ssl);
  }
  running_.store(1);
  return 1;
}

int SSLTcpSocket::StopSSLEncrypt() {
  Flush();
  SleepMs(5);
  if (ssl_.load() != nullptr) {
    // Called from the sink inside our own read, the read in progress is this very call.
    const bool own_thread = OnLoopThread();
    while (!own_thread && reading_.load()) SleepMs(1);
    stopping_.store(true);
    while (!own_thread && reading_.load()) SleepMs(1);
    FreeSsl();
  }
  running_.store(0);
  stopping_.store(false);
  return 1;
}

void SSLTcpSocket::FreeSsl() {
  std::lock_guard<std::mutex> lock(output_mutex_);
  SSL_free(ssl_.exchange(nullptr));
  unfinished_queue_ = nullptr;
  input_left_.store(false);
}

bool SSLTcpSocket::Flush() {
  if (!ssl_allowed_.load()) return false;
  if (OnLoopThread()) {
    // Nothing else can move the TLS object on this thread, so there is nothing to wait for:
    // Output completes a write it left unfinished and sends what is queued.
    Output();
    return true;
  }
  for (int i = 0; i <= 200; ++i) {
    if (!WantOutput()) return true;
    SleepMs(1);
  }
  return !WantOutput();
}

bool SSLTcpSocket::CheckError(int e) const {
  return e != SSL_ERROR_WANT_READ;
}

int SSLTcpSocket::PushSSLSocket(SSL* ssl) {
  if (saved_depth_ >= kMaxSavedSsl) return 0;
  saved_[saved_depth_++] = ssl;
  return 1;
}

SSL* SSLTcpSocket::PopSSLSocket() {
  if (saved_depth_ == 0) return nullptr;
  return saved_[--saved_depth_];
}

// The TLS object reads from the plain socket itself. Asking the object instead would race with
// StopSSLEncrypt freeing it on the command thread while the loop collects descriptors.
int SSLTcpSocket::FD() {
  return m_socket;
}

}  // namespace nycl
