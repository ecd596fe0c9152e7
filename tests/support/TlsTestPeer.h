#ifndef NYCL_TESTS_SUPPORT_TLSTESTPEER_H
#define NYCL_TESTS_SUPPORT_TLSTESTPEER_H

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace nycl_server {
class LineTransport;
}

namespace nycl {

// The server end of one TCP connection on 127.0.0.1: nycl-server's connection behind a
// listener of its own. It starts plain and switches to TLS (OpenSSL's server side) and back
// when the test says so, the way the application server does in the middle of a session,
// presenting the test server's certificate from certs/. Plain bytes are read only up to a line
// feed, so that a handshake the client starts right after a line stays for StartTls; a TLS
// record where text is due is refused, and text where TLS records are.
//
// Every call blocks the calling thread for at most its timeout and reports failure instead of
// hanging. One thread drives a peer; written() and Unsent() may be read from any other.
class TlsTestPeer {
 public:
  static constexpr int kWait = 10000;  // ms

  // Listens on 127.0.0.1 on a port chosen by the system. ok() tells whether that worked.
  TlsTestPeer();
  ~TlsTestPeer();
  TlsTestPeer(const TlsTestPeer&) = delete;
  TlsTestPeer& operator=(const TlsTestPeer&) = delete;

  bool ok() const { return listen_fd_ >= 0 && ctx_ != nullptr; }
  const std::string& port() const { return port_; }
  // The last failure, for test messages.
  const std::string& error() const { return error_; }

  // Accepts the one connection of this peer.
  bool Accept(int timeout_ms = kWait);
  // Runs the server side of the TLS handshake on the open connection (the client must have
  // started its own). From then on Write and Read go through TLS.
  bool StartTls(int timeout_ms);
  // Drops the TLS link without a closing exchange; the connection continues in plain.
  void DropTls();
  // Sends the TLS closing message, keeps the TCP connection open and continues in plain.
  bool ShutdownTls(int timeout_ms);
  // Closes the TCP connection; Reset closes it with a reset rather than an orderly end.
  void Close();
  void Reset();

  // Writes all bytes, through TLS while it runs.
  bool Write(const void* data, std::size_t length, int timeout_ms);
  bool Write(const std::string& bytes, int timeout_ms = kWait) {
    return Write(bytes.data(), bytes.size(), timeout_ms);
  }
  bool WriteLine(const std::string& line, int timeout_ms = kWait);
  // Sends one byte as TCP urgent data, beside any TLS stream.
  bool WriteUrgent(char byte);
  // Reads up to the next line feed (dropped) into *line; lines may be of any length.
  bool ReadLine(std::string* line, int timeout_ms = kWait);
  // Reads until the client ends the stream (a close or a reset); *bytes gets everything not yet
  // handed out.
  bool ReadToEnd(std::string* bytes, int timeout_ms = kWait);
  // Waits until bytes from the client wait on the connection, without reading them.
  bool WaitReadable(int timeout_ms);

  // Bytes written so far, and those of them the kernel has not sent yet.
  long long written() const { return written_.load(); }
  long long Unsent() const;

  // The folder with the test credentials.
  static std::string CertsDir();

 private:
  // Whether a connection was accepted; fails with "not connected" when not.
  bool Connected();
  // `done`, or a failure with the connection's error.
  bool Checked(bool done);
  bool Fail(const std::string& what);

  SSL_CTX* ctx_ = nullptr;
  int listen_fd_ = -1;
  std::unique_ptr<nycl_server::LineTransport> connection_;
  std::atomic<int> fd_{-1};  // the connection's socket, for urgent data and queue sizes
  std::string port_;
  std::atomic<long long> written_{0};
  std::string error_;
};

}  // namespace nycl

#endif  // NYCL_TESTS_SUPPORT_TLSTESTPEER_H
