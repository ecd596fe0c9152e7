#include "TlsContext.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

namespace nycl_server {

// Generated at build time from certs/test-server.{pem,key}.
extern const char kEmbeddedCertificate[];
extern const char kEmbeddedKey[];

namespace {

bool UseEmbedded(SSL_CTX* context) {
  BIO* certificate_text = BIO_new_mem_buf(kEmbeddedCertificate, -1);
  BIO* key_text = BIO_new_mem_buf(kEmbeddedKey, -1);
  X509* certificate = PEM_read_bio_X509(certificate_text, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(key_text, nullptr, nullptr, nullptr);
  const bool ok = certificate != nullptr && key != nullptr &&
                  SSL_CTX_use_certificate(context, certificate) == 1 &&
                  SSL_CTX_use_PrivateKey(context, key) == 1;
  X509_free(certificate);
  EVP_PKEY_free(key);
  BIO_free(certificate_text);
  BIO_free(key_text);
  return ok;
}

}  // namespace

std::string OpenSslErrors() {
  std::string text;
  unsigned long code;
  while ((code = ERR_get_error()) != 0) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    if (!text.empty()) text += "; ";
    text += buffer;
  }
  return text.empty() ? "no detail from OpenSSL" : text;
}

SSL_CTX* NewServerContext(const std::string& certificate_file, const std::string& key_file,
                          std::string* error) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr) {
    *error = "cannot create a TLS context: " + OpenSslErrors();
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_num_tickets(context, 0);
  SSL_CTX_set_options(context, SSL_OP_NO_TICKET);
  bool loaded;
  if (certificate_file.empty() && key_file.empty()) {
    loaded = UseEmbedded(context);
  } else {
    loaded = SSL_CTX_use_certificate_chain_file(context, certificate_file.c_str()) == 1 &&
             SSL_CTX_use_PrivateKey_file(context, key_file.c_str(), SSL_FILETYPE_PEM) == 1;
  }
  if (!loaded || SSL_CTX_check_private_key(context) != 1) {
    *error = "cannot load the server certificate and key: " + OpenSslErrors();
    SSL_CTX_free(context);
    return nullptr;
  }
  return context;
}

}  // namespace nycl_server
