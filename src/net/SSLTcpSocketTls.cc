#include "net/SSLTcpSocketTls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <pthread.h>
#include <time.h>

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

ScopedSigpipeBlock::ScopedSigpipeBlock() {
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  sigset_t pending;
  sigpending(&pending);
  was_pending_ = sigismember(&pending, SIGPIPE) == 1;
  pthread_sigmask(SIG_BLOCK, &pipe_only, &saved_);
}

ScopedSigpipeBlock::~ScopedSigpipeBlock() {
  const int saved_errno = errno;
  sigset_t pending;
  sigpending(&pending);
  if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
    sigset_t pipe_only;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    const timespec no_wait{0, 0};
    while (sigtimedwait(&pipe_only, nullptr, &no_wait) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  errno = saved_errno;
}

}  // namespace tls
}  // namespace nycl
