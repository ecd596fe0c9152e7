// Test helpers for nycl-server: the server program run in a scratch directory, and the client's
// side of the wire played with raw sockets, OpenSSL's client and zlib's inflate.
#ifndef NYCL_TESTS_SERVER_SERVERHARNESS_H
#define NYCL_TESTS_SERVER_SERVERHARNESS_H

#include <sys/types.h>
#include <zlib.h>

#include <string>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace nycl_server_test {

// nycl-server run on a script in a fresh scratch directory, which is also its served directory.
// The destructor kills a server still running and removes the directory.
class ServerProcess {
 public:
  ServerProcess();
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Writes `name` (relative to the scratch directory) with `bytes`, creating directories.
  void WriteFile(const std::string& name, const std::string& bytes) const;
  // Writes `script` as script.session and starts the server on it with `arguments` added;
  // true once it listens (its port file exists).
  bool Start(const std::string& script, const std::vector<std::string>& arguments = {});
  // The exit status, or -1 when it has not exited within `timeout_ms` (it is killed then).
  int Wait(int timeout_ms = 15000);
  // Everything the server wrote on its standard output and error.
  std::string Output() const;

  const std::string& dir() const { return dir_; }
  int port() const { return port_; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  int exit_status_ = -1;
};

// The client's end of one connection. Reads give up after 5 seconds. Not thread-safe.
class RawClient {
 public:
  RawClient();
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connect(int port);
  // Closes the connection, as a client does when the server's stream ends.
  void Close();
  // Sends `line` and a line feed, through TLS while it runs.
  bool Send(const std::string& line);
  // Sends raw bytes (no line feed added).
  bool SendRaw(const std::string& bytes);
  // The next line from the server, inflated and decrypted as switched; "<closed>" at the end
  // of the stream, "<timeout>" when nothing arrives, "<error>" on a TLS or zlib failure.
  std::string Read();

  // Runs the TLS client handshake, verifying the server against the test authority.
  bool StartTls();
  // Forgets TLS without a closing message, as the client does.
  void DropTls();
  // Inflating what the server sends: Start begins a fresh stream; Pause and Resume keep the
  // running one.
  void StartInflate();
  void PauseInflate() { inflating_ = false; }
  void ResumeInflate() { inflating_ = true; }

 private:
  enum class Filled { kSome, kClosed, kTimeout, kError };
  Filled Fill();

  int fd_ = -1;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
  z_stream stream_{};
  bool stream_live_ = false;
  bool inflating_ = false;
  std::string text_;  // received text not yet handed out
};

}  // namespace nycl_server_test

#endif  // NYCL_TESTS_SERVER_SERVERHARNESS_H
