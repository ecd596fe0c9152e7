// The event-loop side of SSLTcpSocket: reading and writing through the TLS link, and accepting.
//
// While TLS runs, every byte of the connection belongs to the TLS object: a read takes whole
// TLS records off the socket and a write hands whole records to it. The object reads no further
// than the record it works on, so when TLS is dropped the next byte on the socket is the first
// plain one.

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "net/SSLTcpSocketTls.h"
#include "nycl/net/SSLTcpSocket.h"

namespace nycl {

namespace {

// Clears a flag when the scope ends.
class ClearOnExit {
 public:
  explicit ClearOnExit(std::atomic<bool>& flag) : flag_(flag) {}
  ~ClearOnExit() { flag_.store(false); }
  ClearOnExit(const ClearOnExit&) = delete;
  ClearOnExit& operator=(const ClearOnExit&) = delete;

 private:
  std::atomic<bool>& flag_;
};

// OpenSSL 3 reports a connection closed without a TLS closing message as a protocol error with
// this reason; for the socket it is the end of the stream.
bool UnexpectedEof(int error) {
  return error == SSL_ERROR_SSL &&
         ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

}  // namespace

void SSLTcpSocket::Input() {
  if (alive_ != kAliveMarker) return;
  DeleteGuard guard(this);
  // Plain bytes read before the handshake and not handed on yet come first.
  const bool plain_waiting = TcpSocket::HasBufferedInput();
  if (!plain_waiting) input_left_.store(false);
  if (!running_.load() || plain_waiting) {
    const bool was_connecting = m_connecting.load();
    TcpSocket::Input();
    HandshakeOnceConnected(was_connecting);
    return;
  }
  if (!OnLoopThread() || stopping_.load()) return;
  if (m_listening) {
    NewConnection();
    return;
  }

  // StopSSLEncrypt sets stopping and then waits for reading to clear; setting reading first and
  // looking at stopping afterwards means that one of the two always sees the other.
  reading_.store(true);
  ClearOnExit clear_reading(reading_);
  if (stopping_.load()) return;
  if (read_block_ == nullptr) read_block_ = new char[kReadSize + 1]();

  // Bytes decrypted already came before the urgent mark, and go up before the urgent byte.
  SSL* ssl = ssl_.load();
  const bool decrypted_waiting = ssl != nullptr && SSL_pending(ssl) > 0;
  if (!decrypted_waiting && m_oobPending && ::sockatmark(m_socket) > 0) {
    m_oobPending = false;
    if (ReadUrgentBesideTls()) return;
    // The urgent byte was taken already: go on with the stream. A plain read in its place, as
    // a plain socket makes, would take bytes of a TLS record.
    if (errno != EINVAL && errno != EWOULDBLOCK && errno != EAGAIN) {
      ReadFailed(errno);
      return;
    }
  }

  if (ssl == nullptr) {
    // TLS was dropped between the checks above: this is a plain read after all.
    TcpSocket::Input();
    return;
  }
  // One record may carry more than one read takes. What OpenSSL keeps decrypted would not wake
  // the loop again: it is read now, or, past the reads of one pass or once the socket wants no
  // more input, in a later pass of the loop.
  for (int reads = 1; ReadTls(ssl); ++reads) {
    ssl = ssl_.load();
    if (ssl == nullptr || stopping_.load() || GetState() != 3 || SSL_pending(ssl) <= 0) break;
    if (reads == kReadsPerPass || !WantInput()) {
      input_left_.store(true);
      break;
    }
  }
}

// Urgent bytes travel beside the TLS stream, straight from the socket.
bool SSLTcpSocket::ReadUrgentBesideTls() {
  ssize_t count;
  do {
    count = ::recv(m_socket, read_block_, kReadSize, MSG_OOB);
  } while (count < 0 && errno == EINTR);
  if (count <= 0) return false;
  read_block_[count] = '\0';
  UrgentData urgent{static_cast<int>(count), reinterpret_cast<unsigned char*>(read_block_)};
  RecvMessage(TSMSG_URGENT, &urgent);
  return true;
}

bool SSLTcpSocket::ReadTls(SSL* ssl) {
  for (;;) {
    ERR_clear_error();
    errno = 0;
    const int count = SSL_read(ssl, read_block_, kReadSize);
    const int error = SSL_get_error(ssl, count);
    if (count > 0) {
      read_block_[count] = '\0';
      Recv(reinterpret_cast<const unsigned char*>(read_block_), count);
      return true;
    }
    if (UnexpectedEof(error)) {
      ReadFailed(0);
      return false;
    }
    switch (error) {
      case SSL_ERROR_ZERO_RETURN: {
        // The server ended TLS in order; the connection stays open for plain bytes. Only the
        // end of the TCP stream behind the closing message ends the socket.
        char byte;
        if (::recv(m_socket, &byte, 1, MSG_PEEK) == 0) ReadFailed(0);
        return false;
      }
      case SSL_ERROR_SSL:
      case SSL_ERROR_WANT_READ:
      case SSL_ERROR_WANT_WRITE:
        return false;
      default:
        if (errno == EINTR) continue;
        ReadFailed(errno);
        return false;
    }
  }
}

void SSLTcpSocket::ReadFailed(int error) {
  if (error != 0) {
    if (const char* text = tls::ReadErrorText(error)) {
      std::printf("%s\n", text);
      std::fflush(stdout);
    }
  }
  if (error == EWOULDBLOCK || error == EAGAIN || error == EEXIST) {
    Output();
    return;
  }
  if (GetState() == 4) {
    Destroy();
  } else {
    Close();
  }
}

void SSLTcpSocket::Output() {
  DeleteGuard guard(this);
  if (!running_.load()) {
    // Plain output touches nothing another thread changes; the output mutex guards the TLS
    // object only. (A socket that deletes itself on Destroy must not hold it here.)
    const bool was_connecting = m_connecting.load();
    TcpSocket::Output();
    HandshakeOnceConnected(was_connecting);
    return;
  }
  if (!OnLoopThread()) return;

  enum class After { kNothing, kSent, kDestroy, kClose, kPlain };
  After after = After::kNothing;
  {
    std::lock_guard<std::mutex> lock(output_mutex_);
    SSL* ssl = ssl_.load();
    if (ssl == nullptr) {
      after = After::kPlain;
    } else {
      // A write the socket could not take must be repeated with the same bytes, which are
      // still the first ones of the queue they came from, urgent bytes queued since or not.
      Buffer& queue = unfinished_queue_ != nullptr ? *unfinished_queue_
                      : m_urgentQueue.Empty()      ? m_sendQueue
                                                   : m_urgentQueue;
      int available = 0;
      const unsigned char* data = queue.Current(&available, kReadSize);
      if (data == nullptr || available <= 0) return;
      writing_.store(true);
      ClearOnExit clear_writing(writing_);
      const int length = unfinished_queue_ != nullptr ? unfinished_write_ : available;
      for (;;) {
        ERR_clear_error();
        errno = 0;
        const int written = SSL_write(ssl, data, length);
        if (written > 0) {
          unfinished_queue_ = nullptr;
          queue.Remove(written);
          if (QueuesEmpty()) {
            after = GetState() == 4 ? After::kDestroy : After::kSent;
          }
          break;
        }
        const int error = SSL_get_error(ssl, written);
        if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) {
          // The loop calls again when the socket can take more.
          unfinished_queue_ = &queue;
          unfinished_write_ = length;
          break;
        }
        if (error == SSL_ERROR_SYSCALL && errno == EINTR) continue;
        after = GetState() == 4 ? After::kDestroy : After::kClose;
        break;
      }
    }
  }
  // Outside the mutex: these may end in the socket's own deletion.
  switch (after) {
    case After::kNothing:
      break;
    case After::kSent:
      SendMessage(TSMSG_SENT, nullptr);
      break;
    case After::kDestroy:
      Destroy();
      break;
    case After::kClose:
      Close();
      break;
    case After::kPlain:
      TcpSocket::Output();
      break;
  }
}

// Accepted connections are SSLTcpSockets too, and start plain.
void SSLTcpSocket::NewConnection() {
  SSLTcpSocket* created = new SSLTcpSocket(nullptr);
  if (!AcceptInto(created)) {
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      std::fprintf(stderr, "SSLTcpSocket::NewConnection; accept failed\n");
    }
    delete created;
  }
}

}  // namespace nycl
