#include "LineTransport.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "Text.h"
#include "TlsContext.h"

namespace nycl_server {

namespace {

// The content types of TLS records: change cipher spec, alert, handshake, application data.
// Protocol text never starts with these control bytes.
bool IsTlsRecord(unsigned char first) {
  return first >= 0x14 && first <= 0x17;
}
constexpr unsigned char kTlsHandshake = 0x16;

int MillisecondsLeft(Deadline deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

bool WouldBlock(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

// One zlib deflate stream. Kept on the heap: zlib's state points back at its z_stream, so the
// record must not move while the stream lives.
class Deflater {
 public:
  Deflater() { ok_ = deflateInit(&stream_, Z_DEFAULT_COMPRESSION) == Z_OK; }
  ~Deflater() {
    if (ok_) deflateEnd(&stream_);
  }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses `count` copies of `pattern`, flushed, handing the output to `emit` piece by
  // piece. Copies are compressed in chunks of about a mebibyte, each flushed, and a repeated
  // pattern reaches a steady state: once a chunk compresses to the same bytes as the chunk
  // before, every later whole chunk would too (the window holds the same text at the same
  // phase, and nothing spans a flush), so those bytes are sent again without compressing. The
  // stream stays usable: the text this stream compressed last is the text the client decoded
  // last.
  bool CompressRepeated(const std::string& pattern, long long count,
                        const std::function<bool(const std::string&)>& emit) {
    constexpr std::size_t kChunk = 1 << 20;
    const long long per_chunk =
        pattern.size() >= kChunk ? 1 : static_cast<long long>(kChunk / pattern.size());
    std::string chunk;
    for (long long i = 0; i < per_chunk && i < count; ++i) chunk += pattern;
    std::string previous;
    bool steady = false;
    long long left = count;
    for (; left >= per_chunk; left -= per_chunk) {
      if (!steady) {
        std::string out;
        if (!Compress(chunk, &out)) return false;
        steady = out == previous;
        previous.swap(out);
      }
      if (!emit(previous)) return false;
    }
    if (left == 0) return true;
    std::string rest;
    std::string out;
    for (long long i = 0; i < left; ++i) rest += pattern;
    return Compress(rest, &out) && emit(out);
  }

  // Compresses `bytes` and flushes to a byte boundary, so the client can decode all of it now.
  bool Compress(const std::string& bytes, std::string* out) {
    if (!ok_) return false;
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_.avail_in = static_cast<uInt>(bytes.size());
    unsigned char buffer[16384];
    do {
      stream_.next_out = buffer;
      stream_.avail_out = sizeof buffer;
      const int result = deflate(&stream_, Z_SYNC_FLUSH);
      if (result != Z_OK && result != Z_BUF_ERROR) return false;
      out->append(reinterpret_cast<char*>(buffer), sizeof buffer - stream_.avail_out);
    } while (stream_.avail_out == 0);
    return true;
  }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

LineTransport::LineTransport(int fd, SSL_CTX* tls, std::size_t max_line)
    : fd_(fd), tls_(tls), max_line_(max_line) {
  const int flags = fcntl(fd_, F_GETFL);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  // Every write is a whole line (or a flushed piece of one) that the client may be waiting
  // for: held back until the client acknowledges the previous one, it would wait for the
  // client's delayed acknowledgement, some 40 ms a line.
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

LineTransport::~LineTransport() {
  SSL_free(ssl_);
  if (fd_ >= 0) close(fd_);
}

bool LineTransport::Fail(const std::string& what) {
  error_ = what;
  return false;
}

bool LineTransport::ClosedByClient() {
  closed_by_client_ = true;
  return Fail(pending_.empty() ? "the client closed the connection"
                               : "the client closed the connection after the partial line " +
                                     Printable(pending_));
}

bool LineTransport::Wait(short events, Deadline deadline, const char* late) {
  for (;;) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) {
      timed_out_ = true;
      return Fail(late);
    }
    pollfd entry{fd_, events, 0};
    const int ready = poll(&entry, 1, left);
    // An error or hang-up condition also ends the wait: the next read or write reports it.
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return Fail(std::string("poll: ") + std::strerror(errno));
  }
}

long LineTransport::Peek(char* buffer, std::size_t size) {
  for (;;) {
    const long got = recv(fd_, buffer, size, MSG_PEEK);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) {
      if (errno == ECONNRESET) {
        closed_by_client_ = true;
        Fail("the client reset the connection");
      } else {
        Fail(std::string("recv: ") + std::strerror(errno));
      }
    }
    return -1;
  }
}

bool LineTransport::ReadLine(std::string* line, Deadline deadline) {
  timed_out_ = false;
  std::size_t scanned = 0;
  for (;;) {
    const std::size_t end = pending_.find('\n', scanned);
    if (end != std::string::npos) {
      line->assign(pending_, 0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    scanned = pending_.size();
    if (pending_.size() > max_line_) {
      return Fail("a line longer than " + std::to_string(max_line_) +
                  " bytes arrived: " + Printable(pending_, 60));
    }
    if (!(ssl_ != nullptr ? ReadTls(deadline) : ReadPlain(deadline))) return false;
  }
}

bool LineTransport::ReadToEnd(std::string* bytes, Deadline deadline) {
  timed_out_ = false;
  while (ssl_ != nullptr ? ReadTls(deadline) : ReadPlain(deadline)) {
  }
  bytes->swap(pending_);
  pending_.clear();
  return closed_by_client_;
}

bool LineTransport::ReadPlain(Deadline deadline) {
  char buffer[16384];
  error_.clear();
  const long got = Peek(buffer, sizeof buffer);
  if (got == 0) return ClosedByClient();
  if (got < 0) {
    return error_.empty() && Wait(POLLIN, deadline, "nothing arrived in time");
  }
  if (pending_.empty() && IsTlsRecord(static_cast<unsigned char>(buffer[0]))) {
    if (static_cast<unsigned char>(buffer[0]) == kTlsHandshake) {
      return Fail("the client started a TLS handshake where a plain line was expected");
    }
    return Fail(
        "a TLS record arrived where a plain line was expected (the client did not drop "
        "TLS)");
  }
  const void* feed = std::memchr(buffer, '\n', static_cast<std::size_t>(got));
  const std::size_t take =
      feed != nullptr ? static_cast<const char*>(feed) - buffer + 1 : static_cast<std::size_t>(got);
  const long taken = recv(fd_, buffer, take, 0);
  if (taken > 0) pending_.append(buffer, static_cast<std::size_t>(taken));
  return true;
}

bool LineTransport::ReadTls(Deadline deadline) {
  // At a record boundary the next raw byte must start a TLS record; plain text there means the
  // client dropped TLS while the server still runs it.
  if (!SSL_has_pending(ssl_)) {
    char first[64];
    error_.clear();
    const long got = Peek(first, sizeof first);
    if (got == 0) return ClosedByClient();
    if (got < 0) return error_.empty() && Wait(POLLIN, deadline, "nothing arrived in time");
    if (!IsTlsRecord(static_cast<unsigned char>(first[0]))) {
      return Fail("plain bytes arrived while TLS was running: " +
                  Printable(std::string(first, static_cast<std::size_t>(got))));
    }
  }
  char buffer[16384];
  ERR_clear_error();
  const int got = SSL_read(ssl_, buffer, sizeof buffer);
  if (got > 0) {
    pending_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
  const int error = SSL_get_error(ssl_, got);
  if (error == SSL_ERROR_WANT_READ) return Wait(POLLIN, deadline, "nothing arrived in time");
  if (error == SSL_ERROR_WANT_WRITE) return Wait(POLLOUT, deadline, "the TLS link stalled");
  if (error == SSL_ERROR_ZERO_RETURN) {
    return Fail("the client sent a TLS closing message (it must drop TLS without one)");
  }
  if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) return ClosedByClient();
  return Fail("TLS read failed: " + OpenSslErrors());
}

bool LineTransport::WriteLine(const std::string& line, Deadline deadline) {
  return WriteRaw(line + "\n", deadline);
}

bool LineTransport::WriteAll(const std::string& bytes, Deadline deadline) {
  const char* late = "the client did not take the data in time";
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    if (ssl_ != nullptr) {
      // Retried after a wait with the same arguments, as OpenSSL requires; without partial
      // writes the whole buffer goes out in one SSL_write.
      const int chunk = left > INT_MAX ? INT_MAX : static_cast<int>(left);
      ERR_clear_error();
      const int wrote = SSL_write(ssl_, bytes.data() + done, chunk);
      if (wrote > 0) {
        done += static_cast<std::size_t>(wrote);
        if (written_total_ != nullptr) *written_total_ += wrote;
        continue;
      }
      const int error = SSL_get_error(ssl_, wrote);
      if (error == SSL_ERROR_WANT_WRITE) {
        if (!Wait(POLLOUT, deadline, late)) return false;
      } else if (error == SSL_ERROR_WANT_READ) {
        if (!Wait(POLLIN, deadline, late)) return false;
      } else {
        return Fail("TLS write failed: " + OpenSslErrors());
      }
      continue;
    }
    const long wrote = send(fd_, bytes.data() + done, left, MSG_NOSIGNAL);
    if (wrote > 0) {
      done += static_cast<std::size_t>(wrote);
      if (written_total_ != nullptr) *written_total_ += wrote;
    } else if (wrote < 0 && WouldBlock(errno)) {
      if (!Wait(POLLOUT, deadline, late)) return false;
    } else if (errno == EPIPE || errno == ECONNRESET) {
      return ClosedByClient();
    } else {
      return Fail(std::string("send: ") + std::strerror(errno));
    }
  }
  return true;
}

bool LineTransport::WriteRaw(const std::string& bytes, Deadline deadline) {
  timed_out_ = false;
  if (!deflating_) return WriteAll(bytes, deadline);
  std::string compressed;
  if (!live_->Compress(bytes, &compressed)) return Fail("deflate failed");
  return WriteAll(compressed, deadline);
}

bool LineTransport::WriteRepeated(const std::string& pattern, long long count,
                                  std::chrono::milliseconds each) {
  timed_out_ = false;
  error_.clear();  // so that a failure below tells a write from the compression
  auto write = [&](const std::string& bytes) { return WriteAll(bytes, Clock::now() + each); };
  if (deflating_) {
    // The compressed pieces go out in writes of 64 KiB, so the client reads whole blocks of
    // the bomb at once rather than one piece at a time.
    std::string batch;
    auto gather = [&](const std::string& piece) {
      batch += piece;
      if (batch.size() < (64 << 10)) return true;
      const bool written = write(batch);
      batch.clear();
      return written;
    };
    if (!live_->CompressRepeated(pattern, count, gather)) {
      return error_.empty() ? Fail("deflate failed") : false;
    }
    return batch.empty() || write(batch);
  }
  constexpr std::size_t kPiece = 64 << 10;
  const long long per_piece =
      pattern.size() >= kPiece ? 1 : static_cast<long long>(kPiece / pattern.size());
  std::string piece;
  for (long long i = 0; i < per_piece && i < count; ++i) piece += pattern;
  long long left = count;
  for (; left >= per_piece; left -= per_piece) {
    if (!write(piece)) return false;
  }
  return left == 0 || write(piece.substr(0, static_cast<std::size_t>(left) * pattern.size()));
}

bool LineTransport::WriteCut(const std::string& line, std::size_t bytes, Deadline deadline) {
  timed_out_ = false;
  std::string whole = line + "\n";
  if (deflating_) {
    std::string compressed;
    if (!live_->Compress(whole, &compressed)) return Fail("deflate failed");
    whole.swap(compressed);
  }
  return WriteAll(whole.substr(0, bytes), deadline);
}

bool LineTransport::AwaitHandshakeStart(Deadline deadline) {
  if (ssl_ != nullptr) return Fail("TLS is already running");
  if (!pending_.empty()) {
    return Fail("the client sent " + Printable(pending_) + " where its TLS handshake was expected");
  }
  char first[200];
  for (;;) {
    error_.clear();
    const long got = Peek(first, sizeof first);
    if (got == 0) return ClosedByClient();
    if (got > 0) {
      if (static_cast<unsigned char>(first[0]) != kTlsHandshake) {
        return Fail("plain bytes arrived where the client's TLS handshake was expected: " +
                    Printable(std::string(first, static_cast<std::size_t>(got))));
      }
      return true;
    }
    if (!error_.empty() || !Wait(POLLIN, deadline, "the client started no TLS handshake in time")) {
      return false;
    }
  }
}

bool LineTransport::CutTlsHandshake(std::size_t bytes, Deadline deadline) {
  timed_out_ = false;
  if (!AwaitHandshakeStart(deadline)) return false;
  // The server's flight is written into memory, so that only its first bytes reach the client.
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(tls_), SSL_free);
  BIO* in = BIO_new_socket(fd_, BIO_NOCLOSE);
  BIO* out = BIO_new(BIO_s_mem());
  if (ssl == nullptr || in == nullptr || out == nullptr) {
    BIO_free(in);
    BIO_free(out);
    return Fail("cannot set up TLS: " + OpenSslErrors());
  }
  SSL_set_bio(ssl.get(), in, out);
  std::string flight;
  while (flight.empty()) {
    ERR_clear_error();
    const int result = SSL_accept(ssl.get());
    char buffer[4096];
    int got;
    while ((got = BIO_read(out, buffer, sizeof buffer)) > 0) {
      flight.append(buffer, static_cast<std::size_t>(got));
    }
    if (!flight.empty()) break;
    if (result == 1 || SSL_get_error(ssl.get(), result) != SSL_ERROR_WANT_READ) {
      return Fail("the TLS handshake failed: " + OpenSslErrors());
    }
    if (!Wait(POLLIN, deadline, "the client's TLS handshake did not arrive in time")) return false;
  }
  return WriteAll(flight.substr(0, bytes), deadline);
}

bool LineTransport::AcceptTls(Deadline deadline) {
  timed_out_ = false;
  if (!AwaitHandshakeStart(deadline)) return false;
  ssl_ = SSL_new(tls_);
  if (ssl_ == nullptr || SSL_set_fd(ssl_, fd_) != 1) {
    DropTls();
    return Fail("cannot set up TLS: " + OpenSslErrors());
  }
  for (;;) {
    ERR_clear_error();
    const int result = SSL_accept(ssl_);
    if (result == 1) return true;
    const int error = SSL_get_error(ssl_, result);
    const char* late = "the TLS handshake did not complete in time";
    bool waited = false;
    if (error == SSL_ERROR_WANT_READ) {
      waited = Wait(POLLIN, deadline, late);
    } else if (error == SSL_ERROR_WANT_WRITE) {
      waited = Wait(POLLOUT, deadline, late);
    } else {
      Fail("the TLS handshake failed: " + OpenSslErrors());
    }
    if (!waited) {
      const std::string why = error_;
      DropTls();
      return Fail(why);
    }
  }
}

void LineTransport::DropTls() {
  SSL_free(ssl_);
  ssl_ = nullptr;
}

bool LineTransport::EndTls(Deadline deadline) {
  timed_out_ = false;
  if (ssl_ == nullptr) return Fail("TLS is not running");
  bool sent = false;
  for (;;) {
    ERR_clear_error();
    // The first call that gets our closing message out returns 0: the client's is not awaited.
    const int result = SSL_shutdown(ssl_);
    sent = result >= 0;
    if (sent) break;
    if (SSL_get_error(ssl_, result) != SSL_ERROR_WANT_WRITE) {
      Fail("the TLS closing message failed: " + OpenSslErrors());
      break;
    }
    if (!Wait(POLLOUT, deadline, "the TLS closing message did not go out in time")) break;
  }
  DropTls();
  return sent;
}

std::string LineTransport::tls_version() const {
  return ssl_ != nullptr ? SSL_get_version(ssl_) : "";
}

void LineTransport::StartDeflate() {
  live_ = std::make_unique<Deflater>();
  deflating_ = true;
}

bool LineTransport::PauseDeflate() {
  if (!deflating_) return false;
  saved_.push_back(std::move(live_));
  deflating_ = false;
  return true;
}

bool LineTransport::ResumeDeflate() {
  if (saved_.empty()) return false;
  live_ = std::move(saved_.back());
  saved_.pop_back();
  deflating_ = true;
  return true;
}

void LineTransport::CloseOrderly(Deadline deadline) {
  if (fd_ < 0) return;
  if (ssl_ != nullptr) {
    ERR_clear_error();
    SSL_shutdown(ssl_);
    DropTls();
  }
  shutdown(fd_, SHUT_WR);
  // Whatever the client still sends is read and dropped until it closes too, so that closing
  // our socket does not reset the connection under answers still in flight.
  char buffer[4096];
  for (;;) {
    const long got = recv(fd_, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && !WouldBlock(errno))) break;
    if (got < 0 && !Wait(POLLIN, deadline, "")) break;
  }
  close(fd_);
  fd_ = -1;
}

void LineTransport::CloseAbrupt() {
  if (fd_ < 0) return;
  DropTls();
  linger reset{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  close(fd_);
  fd_ = -1;
}

}  // namespace nycl_server
