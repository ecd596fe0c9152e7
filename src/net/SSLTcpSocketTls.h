#ifndef NYCL_SRC_NET_SSLTCPSOCKETTLS_H
#define NYCL_SRC_NET_SSLTCPSOCKETTLS_H

typedef struct ssl_ctx_st SSL_CTX;
typedef struct bio_st BIO;

// OpenSSL plumbing of SSLTcpSocket that does not depend on a socket: the trusted authority, the
// client context, the texts printed for read errors.
namespace nycl {
namespace tls {

// Replaces the authority the client contexts trust by the certificates in `pem`; null restores
// the one built into the library. Returns false, changing nothing, when `pem` holds no
// certificate. Any thread.
bool SetTrustedAuthority(const char* pem);

// A new client context (TLS 1.2 or later) whose certificate store holds the trusted authority.
// When the authority cannot be loaded the failure is written to the standard error stream and
// the context trusts nothing. Null when OpenSSL cannot create a context. The caller frees it.
SSL_CTX* NewClientContext();

// Time a handshake may take before it is given up; any thread.
void SetHandshakeTimeout(int milliseconds);
int HandshakeTimeout();

// The text printed for a failed read with this errno value, or null when there is none.
const char* ReadErrorText(int error);

// A BIO on the connected socket `fd` for a TLS object: reads with recv and writes with send
// without SIGPIPE (a peer that has gone makes a write fail with EPIPE instead of ending the
// process; OpenSSL's own socket BIO writes with write()). It never closes `fd`. Null when
// OpenSSL cannot create it.
BIO* NewSocketBio(int fd);

}  // namespace tls
}  // namespace nycl

#endif  // NYCL_SRC_NET_SSLTCPSOCKETTLS_H
