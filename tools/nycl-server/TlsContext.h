// The TLS server context that every session of one run shares.
#ifndef NYCL_SERVER_TLSCONTEXT_H
#define NYCL_SERVER_TLSCONTEXT_H

#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace nycl_server {

// A server context presenting the certificate and key in the PEM files `certificate_file` and
// `key_file`, or, when both are empty, the project's test server credentials compiled into this
// program (valid for 127.0.0.1 and localhost, signed by the test authority in certs/). Null with
// *error set on failure. The caller owns the result (SSL_CTX_free).
//
// No session tickets: a ticket still in flight when the client drops TLS would reach it as
// plain bytes.
SSL_CTX* NewServerContext(const std::string& certificate_file, const std::string& key_file,
                          std::string* error);

// The queued OpenSSL errors as one text (emptying the queue).
std::string OpenSslErrors();

}  // namespace nycl_server

#endif  // NYCL_SERVER_TLSCONTEXT_H
