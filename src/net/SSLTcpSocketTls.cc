#include "net/SSLTcpSocketTls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <sys/socket.h>

#include <cstdint>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace nycl {

// The authority compiled into the library (generated at build time from the configured PEM).
namespace tls_trust {
extern const char kBuiltinAuthority[];
extern const int kBuiltinAuthorityLength;
}  // namespace tls_trust

namespace tls {

namespace {

constexpr int kDefaultHandshakeTimeoutMs = 30000;
std::atomic<int> g_handshake_timeout_ms{kDefaultHandshakeTimeoutMs};

// Mixed into OpenSSL's random generator before every handshake. OpenSSL seeds itself from the
// operating system; this only adds to it.
constexpr char kSeedText[] =
    "NyclThinClientSeedTextForTheTlsRandomGenerator 4GLSessionKeys0123456789 AbCdEf Ghi";
static_assert(sizeof kSeedText - 1 == 82, "the seed text has 82 characters");

// The authority a host set at run time; empty while the built-in one is used.
struct RuntimeAuthority {
  std::mutex mutex;
  std::string pem;
};

RuntimeAuthority& Runtime() {
  static RuntimeAuthority* const authority = new RuntimeAuthority;  // never destroyed
  return *authority;
}

// Adds every certificate of `pem` to `store` (null: only counts them). Returns the count.
int AddCertificates(const char* pem, int length, X509_STORE* store) {
  BIO* bio = BIO_new_mem_buf(pem, length);
  if (bio == nullptr) return 0;
  int count = 0;
  while (X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
    if (store == nullptr || X509_STORE_add_cert(store, certificate) == 1) ++count;
    X509_free(certificate);
  }
  BIO_free(bio);
  // Reading stops with a "no start line" error at the end of the text; that is not a failure.
  ERR_clear_error();
  return count;
}

}  // namespace

bool SetTrustedAuthority(const char* pem) {
  RuntimeAuthority& runtime = Runtime();
  if (pem == nullptr) {
    std::lock_guard<std::mutex> lock(runtime.mutex);
    runtime.pem.clear();
    return true;
  }
  if (AddCertificates(pem, static_cast<int>(std::strlen(pem)), nullptr) == 0) return false;
  std::lock_guard<std::mutex> lock(runtime.mutex);
  runtime.pem = pem;
  return true;
}

SSL_CTX* NewClientContext() {
  RAND_seed(kSeedText, sizeof kSeedText - 1);
  OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr) return nullptr;
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  // The link is used whatever the verification says; the result is only reported.
  SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);

  std::string runtime_pem;
  {
    RuntimeAuthority& runtime = Runtime();
    std::lock_guard<std::mutex> lock(runtime.mutex);
    runtime_pem = runtime.pem;
  }
  const bool builtin = runtime_pem.empty();
  const int loaded =
      builtin ? AddCertificates(tls_trust::kBuiltinAuthority, tls_trust::kBuiltinAuthorityLength,
                                SSL_CTX_get_cert_store(ctx))
              : AddCertificates(runtime_pem.data(), static_cast<int>(runtime_pem.size()),
                                SSL_CTX_get_cert_store(ctx));
  if (loaded == 0) {
    std::perror("ERROR: CA CERT LOADING");
    std::fprintf(stderr, "Error loading Tamrel Ca cert\n");
    std::fprintf(stderr, "(%s authority holds no usable certificate)\n",
                 builtin ? "built-in" : "run-time");
  }
  return ctx;
}

void SetHandshakeTimeout(int milliseconds) {
  g_handshake_timeout_ms.store(milliseconds > 0 ? milliseconds : kDefaultHandshakeTimeoutMs);
}

int HandshakeTimeout() {
  return g_handshake_timeout_ms.load();
}

// The errno values of the failures a read can report, each with the text of the matching socket
// error. A failure without a counterpart here prints nothing.
const char* ReadErrorText(int error) {
  switch (error) {
    case EINTR:
      return "The (Blocking) call was canceled through WSACancelBlockingCall.";
    case EFAULT:
      return "The buf parameter is not completey contained in a valid part of the user address "
             "space";
    case EWOULDBLOCK:
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
      return "The socket is marked as nonblocking and the receive operation would block";
    case EINPROGRESS:
      return "A blocking Windows Sockets 1.1 call is in progress, or the service provider is "
             "still processing a callback function.";
    case ENOTSOCK:
      return "The decriptor is not a socket.";
    case EOPNOTSUPP:
      return "MSG_OOB was specified, but the socket is not stream-style";
    case ENETDOWN:
      return "The network subsystem has failed";
    case ENETRESET:
      return "The connection has been broken due to the keep-alive activity detecting a failure "
             "while the operation was in progress.";
    case ECONNABORTED:
      return "The virtual circuit was terminated due to a time-out or other failure";
    case ECONNRESET:
      return "The virtual circuit was reset by the remote side executing a hard or abortive "
             "close.";
    case ENOTCONN:
      return "The socket is not connected";
    default:
      return nullptr;
  }
}

namespace {

int SocketOf(BIO* bio) {
  return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int SocketWrite(BIO* bio, const char* data, int length) {
  BIO_clear_retry_flags(bio);
  const ssize_t count = ::send(SocketOf(bio), data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (count < 0 && BIO_sock_should_retry(-1)) BIO_set_retry_write(bio);
  return static_cast<int>(count);
}

int SocketRead(BIO* bio, char* data, int length) {
  BIO_clear_retry_flags(bio);
  const ssize_t count = ::recv(SocketOf(bio), data, static_cast<size_t>(length), 0);
  if (count < 0 && BIO_sock_should_retry(-1)) BIO_set_retry_read(bio);
  // The end of the stream, which the TLS object asks for with BIO_eof to tell a connection
  // closed without a closing message.
  if (count == 0) BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
  return static_cast<int>(count);
}

long SocketControl(BIO* bio, int command, long, void* argument) {
  switch (command) {
    case BIO_C_GET_FD:
      if (argument != nullptr) *static_cast<int*>(argument) = SocketOf(bio);
      return SocketOf(bio);
    case BIO_CTRL_EOF:
      return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0 ? 1 : 0;
    case BIO_CTRL_FLUSH:
    case BIO_CTRL_DUP:
      return 1;
    default:
      return 0;
  }
}

int SocketCreate(BIO*) {
  return 1;
}

int SocketDestroy(BIO*) {
  return 1;  // the socket belongs to the SSLTcpSocket
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(
        BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "nycl socket");
    if (made != nullptr) {
      BIO_meth_set_write(made, SocketWrite);
      BIO_meth_set_read(made, SocketRead);
      BIO_meth_set_ctrl(made, SocketControl);
      BIO_meth_set_create(made, SocketCreate);
      BIO_meth_set_destroy(made, SocketDestroy);
    }
    return made;
  }();
  return method;
}

}  // namespace

BIO* NewSocketBio(int fd) {
  BIO_METHOD* method = SocketMethod();
  BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
  if (bio == nullptr) return nullptr;
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
  BIO_set_init(bio, 1);
  return bio;
}

}  // namespace tls
}  // namespace nycl
