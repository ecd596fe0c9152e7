#ifndef NYCL_NET_SSLTCPSOCKET_H
#define NYCL_NET_SSLTCPSOCKET_H

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "nycl/net/TcpSocket.h"

typedef struct ssl_st SSL;

namespace nycl {

// A TcpSocket whose byte stream switches between plain TCP and TLS in the middle of a connection.
// It starts plain. RequestHandShake has the event loop flush what is queued in plain and run a
// TLS client handshake on the same connection; from then on reads and writes go through TLS.
// StopSSLEncrypt drops the TLS link without a closing exchange and the stream continues in
// plain; a later RequestHandShake starts a fresh link. The processors above the socket only ever
// see plain bytes.
//
// The server certificate is checked against one trusted authority: the one built into the
// library (chosen when the library is built) or the one a host sets with SetTrustedAuthority.
// The result only sets the flag is_cert_valid reports; the link is used either way.
//
// Threads: Input, Output and the handshake act on the event-loop thread only. The command thread
// may call RequestHandShake, AbandonHandShake, Flush, StopSSLEncrypt and EnableSSLStart and may
// send (the bytes end in the thread-safe send queue). StopSSLEncrypt waits for a TLS read in
// progress and frees the TLS object under the output mutex that Output holds while it writes.
class SSLTcpSocket : public TcpSocket {
 public:
  explicit SSLTcpSocket(SocketSink* sink);
  ~SSLTcpSocket() override;
  SSLTcpSocket(const SSLTcpSocket&) = delete;
  SSLTcpSocket& operator=(const SSLTcpSocket&) = delete;

  // Also remembers the host, against which the server certificate's names are checked.
  void Connect(XString host, XString port) override;

  // Flushes, then allows (true) or forbids TLS on this connection. Returns 1.
  int EnableSSLStart(bool on);
  // Command thread: asks the event loop for a handshake, unless TLS is not allowed (then nothing
  // happens and 0 is returned). The process ends with exit status 2 when the request cannot be
  // posted (no event loop runs). Returns 1 once the request is posted; the handshake itself
  // runs later on the loop thread (watch is_ssl_running), once the connection is up when it is
  // still being opened. A server that does not complete it within the handshake timeout leaves
  // the connection plain, with a message on stderr.
  int RequestHandShake();
  // Nonzero from RequestHandShake until the requested handshake has ended, well or not, or
  // was abandoned.
  int WantHandShake() const { return handshake_wanted_.load(); }
  // Loop thread, for the handshake request: runs the wanted handshake, or leaves it wanted while
  // the connection is still being opened.
  void Handshake();
  // Any thread but the loop thread, for a caller that waited long enough for a requested
  // handshake. A request the loop has not taken yet is cancelled; a handshake under way stops
  // at its next retry (within about 10 ms) as a failed one; a link the handshake completed is
  // dropped as StopSSLEncrypt drops it. Returns 1 once no handshake runs and the connection is
  // plain (also when nothing was requested), 0 when the handshake did not stop within about a
  // second. Sleeps while it waits. On the loop thread it cancels without waiting.
  int AbandonHandShake();
  // Drops the TLS link, without a closing exchange; the connection continues in plain.
  int StopSSLEncrypt();
  int PauseSSLEncrypt() { return 1; }
  int ResumeSSLEncrypt() { return 1; }
  // False at once when TLS is not allowed. On the loop thread writes what it can now and
  // returns true. On any other thread waits up to about 200 ms for the send queues to drain and
  // returns whether they did.
  bool Flush();
  // True unless `e` is OpenSSL's want-read code.
  bool CheckError(int e) const;
  int is_ssl_running() const { return running_.load(); }
  int is_cert_valid() const { return cert_valid_.load(); }
  // Whether TLS may be started on this connection (EnableSSLStart; true at first).
  bool IsSSLStartEnabled() const { return ssl_allowed_.load(); }
  // With `on` nonzero every completed handshake counts as one with a valid certificate.
  void SetPretendServerAuthentic(int on) { verify_required_.store(on ? 0 : 1); }

  // Replaces, for the whole process, the built-in trusted authority by the certificates in the
  // PEM text `pem` (copied); null goes back to the built-in one. Takes effect from the next
  // handshake. Returns 0, changing nothing, when `pem` holds no certificate; otherwise 1.
  static int SetTrustedAuthority(const char* pem);
  // How long a handshake may take before it is given up as failed (default 30000 ms; a value
  // of 0 or less restores the default). Process-wide.
  static void SetHandshakeTimeout(int milliseconds);

  // SocketSelectData part.
  int FD() override;
  void Input() override;
  void Output() override;
  bool HasBufferedInput() override { return input_left_.load() || TcpSocket::HasBufferedInput(); }

 protected:
  void NewConnection() override;
  // Loop thread. 1 when a TLS link runs afterwards (also when one already ran), -1 when the
  // socket is not opened or the handshake fails, -2 when no TLS object could be created.
  int StartHandshake();
  // A stack of TLS objects for subclasses (borrowed, never freed here): Push returns 0 when
  // 200 are held, Pop null when none is.
  int PushSSLSocket(SSL* ssl);
  SSL* PopSSLSocket();

 private:
  static constexpr int kAliveMarker = 0x5522;
  static constexpr int kMaxSavedSsl = 200;
  static constexpr int kReadSize = 4096;
  // TLS reads per call of Input: a record holds up to 16 KiB, four reads, so a call hands on
  // the whole record it took off the socket. A call reads at most one new record: the next one
  // waits for the loop's next look at the socket, as an urgent byte beside the stream must.
  static constexpr int kReadsPerPass = 4;

  bool OnLoopThread() const;
  // Loop thread, after a plain read or write that may have completed the connection: runs a
  // handshake requested while it was being opened.
  void HandshakeOnceConnected(bool was_connecting);
  // Reads urgent bytes beside the TLS stream; false when nothing could be read.
  bool ReadUrgentBesideTls();
  // Sends what was queued in plain before the handshake, waiting for the socket to take it.
  void DrainPlainOutput(long long deadline_ms);
  // One TLS read; false when the socket was closed or should not be read again now.
  bool ReadTls(SSL* ssl);
  void ReadFailed(int error);
  void FreeSsl();

  std::atomic<bool> ssl_allowed_{true};
  std::atomic<bool> reading_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> writing_{false};
  int alive_ = kAliveMarker;
  char* read_block_ = nullptr;
  int saved_depth_ = 0;
  SSL* saved_[kMaxSavedSsl] = {};
  std::atomic<int> running_{0};
  std::atomic<SSL*> ssl_{nullptr};
  std::atomic<int> handshake_wanted_{0};
  // Guards the step from a wanted to a running handshake against AbandonHandShake. handshaking_
  // is true while the loop runs the handshake; abandon_ asks it to give up; handshake_ended_ is
  // notified when it ends.
  std::mutex handshake_mutex_;
  std::condition_variable handshake_ended_;
  bool handshaking_ = false;
  std::atomic<bool> abandon_{false};
  // Input stopped with decrypted bytes still inside the TLS object.
  std::atomic<bool> input_left_{false};
  std::atomic<int> cert_valid_{0};
  std::atomic<int> verify_required_{1};
  std::mutex output_mutex_;
  // Loop thread, under the output mutex: a TLS write the socket could not take, which must be
  // repeated with the same bytes before anything else is written: their queue (null: none)
  // and length.
  Buffer* unfinished_queue_ = nullptr;
  int unfinished_write_ = 0;
  // The host given to Connect; written before the handshake is requested.
  std::string peer_host_;
};

}  // namespace nycl

#endif  // NYCL_NET_SSLTCPSOCKET_H
