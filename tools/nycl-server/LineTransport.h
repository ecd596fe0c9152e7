// The server's end of one client connection, carried as protocol lines.
#ifndef NYCL_SERVER_LINETRANSPORT_H
#define NYCL_SERVER_LINETRANSPORT_H

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace nycl_server {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

class Deflater;

// One accepted TCP connection. Lines end with a line feed in both directions. The stream can
// switch to TLS (the client starts the handshake, AcceptTls answers it) and back (DropTls, no
// closing exchange), and the server's own direction can be deflated (zlib format, flushed after
// every line) with streams that are paused and resumed like the client's decompression.
//
// Plain bytes are read exactly up to the line feed, never beyond, so a TLS handshake that the
// client starts right after a plain line stays on the socket for AcceptTls. In either mode the
// first byte of what arrives tells TLS records (0x14 to 0x17) from text, so a client that
// switches when the server does not is reported, never misread.
//
// Every call returns within its deadline. Failures return false with error() saying what
// happened in words fit for a message. Belongs to one thread; only the count of written bytes
// (CountWrites) may be watched from another.
class LineTransport {
 public:
  // Longest line accepted from the client by default, line feed excluded.
  static constexpr std::size_t kMaxLine = 1 << 20;

  // Takes ownership of the connected socket `fd`. `tls` is borrowed and must outlive this.
  // Lines from the client longer than `max_line` bytes are refused.
  LineTransport(int fd, SSL_CTX* tls, std::size_t max_line = kMaxLine);
  ~LineTransport();
  LineTransport(const LineTransport&) = delete;
  LineTransport& operator=(const LineTransport&) = delete;

  // The next line from the client, without its line feed.
  bool ReadLine(std::string* line, Deadline deadline);
  // Reads until the client ends its stream; *bytes gets everything received and not yet handed
  // out as lines, also when the call fails. True when the stream ended (closed_by_client).
  bool ReadToEnd(std::string* bytes, Deadline deadline);
  // Sends `line` and a line feed in one write (one TLS record write under TLS), deflated and
  // flushed when deflating is on.
  bool WriteLine(const std::string& line, Deadline deadline);

  // Hostile writes. WriteRaw sends `bytes` as they are, deflated and flushed when deflating.
  // WriteRepeated sends `count` copies of `pattern` the same way without holding them all:
  // deflated, a repeated pattern costs about a thousandth of its size on the wire and little
  // time, however many gigabytes it decompresses to. Each write has `each` to drain. WriteCut
  // sends the first `bytes` bytes of what WriteLine would send for `line` (deflated when
  // deflating): the stream is broken off there, in the middle of a line or of a compressed
  // block, and only closing, dropping or waiting make sense afterwards.
  bool WriteRaw(const std::string& bytes, Deadline deadline);
  bool WriteRepeated(const std::string& pattern, long long count, std::chrono::milliseconds each);
  bool WriteCut(const std::string& line, std::size_t bytes, Deadline deadline);

  // Runs the server side of a TLS handshake that the client starts now. Fails when anything
  // else arrives first.
  bool AcceptTls(Deadline deadline);
  // Takes the client's handshake start like AcceptTls, but answers with only the first `bytes`
  // bytes of the server's first flight and then forgets TLS: the client is left in the middle
  // of its handshake, and the connection stays plain on this side.
  bool CutTlsHandshake(std::size_t bytes, Deadline deadline);
  // Forgets the TLS link without a closing message; the stream continues in plain. Lines
  // already decrypted stay readable.
  void DropTls();
  // Sends the TLS closing message, without waiting for the client's, and forgets TLS like
  // DropTls: the connection stays open and continues in plain.
  bool EndTls(Deadline deadline);

  // Deflating the server's direction: Start begins a fresh stream. Pause (when on) saves the
  // running stream and turns deflating off; Resume (when a stream is saved) continues the
  // latest saved one. Each returns whether it changed anything.
  void StartDeflate();
  bool PauseDeflate();
  bool ResumeDeflate();

  // Ends the connection orderly: a TLS closing message when TLS runs, the end of our stream,
  // and up to `deadline` for the client to close its side.
  void CloseOrderly(Deadline deadline);
  // Ends the connection at once with a reset.
  void CloseAbrupt();

  // From now on every piece written is added to *total as it goes out (after deflating, before
  // TLS), where another thread may watch the writes progress. Null stops the counting.
  void CountWrites(std::atomic<long long>* total) { written_total_ = total; }

  bool tls_running() const { return ssl_ != nullptr; }
  std::string tls_version() const;
  bool deflating() const { return deflating_; }
  // The client closed the connection (the last failure was the end of its stream).
  bool closed_by_client() const { return closed_by_client_; }
  // The last failure was a deadline that passed.
  bool timed_out() const { return timed_out_; }
  const std::string& error() const { return error_; }

 private:
  bool ReadPlain(Deadline deadline);
  bool ReadTls(Deadline deadline);
  bool WriteAll(const std::string& bytes, Deadline deadline);
  // Waits until the next byte from the client starts a TLS handshake record.
  bool AwaitHandshakeStart(Deadline deadline);
  // Waits for `events` (POLLIN, POLLOUT); on timeout fails with `late`.
  bool Wait(short events, Deadline deadline, const char* late);
  // Peeks at up to `size` bytes without taking them; 0 at the end of the stream, -1 when
  // nothing is there yet or on error (error() set unless it was only "nothing yet").
  long Peek(char* buffer, std::size_t size);
  bool Fail(const std::string& what);
  bool ClosedByClient();

  int fd_;
  SSL_CTX* tls_;  // borrowed
  std::size_t max_line_;
  SSL* ssl_ = nullptr;
  std::string pending_;  // received bytes not yet handed out as lines
  std::unique_ptr<Deflater> live_;
  std::vector<std::unique_ptr<Deflater>> saved_;
  bool deflating_ = false;
  bool closed_by_client_ = false;
  bool timed_out_ = false;
  std::atomic<long long>* written_total_ = nullptr;  // borrowed
  std::string error_;
};

}  // namespace nycl_server

#endif  // NYCL_SERVER_LINETRANSPORT_H
