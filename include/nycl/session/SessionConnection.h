// SessionConnection: a ready BaseConnection over a TcpSocket or an SSLTcpSocket.
//
// It builds the socket with its chain (line framing both ways, and the decompression filter
// once the session asks for it), connects it, receives the server's lines into a bounded
// queue that the command thread reads in order, and sends answer lines in the order the
// command thread hands them over. The filter operations of BaseConnection are carried out on
// the event-loop thread (through the connection's task queue and a wake-up) and the calling
// thread waits until they are done, so the filter is switched before the line that tells the
// server about it leaves.
//
// Bounds: received lines wait in a queue of at most kQueueLimitBytes (each line counts its
// length and a small overhead); while it is full the socket is not read (the server's stream
// waits in the kernel) and decompression stops too, so neither a server that sends faster
// than the host executes nor a compressed stream that expands a thousandfold can exhaust
// memory. The queue may go past the bound only by what one read brings in plain, or what 128
// compressed bytes decompress to (at most about 132 KiB, charged 64 bytes a line). The other
// way, once kSendLimitBytes wait unsent in the socket, SendString waits until the socket has
// written all it holds, so an upload to a server that reads slowly, or not at all, holds no
// more than that bound either.
// Every wait of the calling thread on the loop is bounded (kLoopTaskLimit).
//
// Threads: made, used and destroyed on the command thread; SendString, Interrupt, EndReason,
// Ended and the counters may also be called from other threads while it lives. Its sink and
// tasks run on the event-loop thread of the process's SocketSelector: the constructor installs
// one (TcpSocket::SetSocketSelect) when the host has not, and its loop must be running
// (SessionRunner takes care of both). The socket is closed and deleted on the loop thread.
// Owns the socket and its processors.
#ifndef NYCL_SESSION_SESSIONCONNECTION_H
#define NYCL_SESSION_SESSIONCONNECTION_H

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "nycl/state/BaseConnection.h"

namespace nycl {

class Socket;

class SessionConnection : public BaseConnection {
 public:
  enum class Transport { kPlain, kTls };
  // What NextLine found.
  enum class Next { kLine, kTimeout, kEnded };

  static constexpr long kQueueLimitBytes = 8L << 20;
  static constexpr long kSendLimitBytes = 8L << 20;
  static constexpr std::chrono::milliseconds kLoopTaskLimit{10000};

  // A TcpSocket (kPlain) or an SSLTcpSocket (kTls) with line framing; not connected yet.
  explicit SessionConnection(Transport transport);
  // Closes the connection if it is still open, giving what is queued up to two seconds to
  // leave, and deletes the socket on the loop thread. Safe whether or not it ever connected.
  ~SessionConnection() override;
  SessionConnection(const SessionConnection&) = delete;
  SessionConnection& operator=(const SessionConnection&) = delete;

  // Starts connecting to `host` (a name or a dotted address) at `port`; the event loop
  // completes it. Failure arrives as the end of the line stream, with EndReason() telling why.
  // `timeout_ms` bounds the connection (0: the socket's own default).
  void Connect(const std::string& host, const std::string& port, int timeout_ms = 0);
  // Waits, at most `timeout`, until the connection is up or has ended, or Interrupt is
  // called. True when it came up (even if it has ended since: its lines are still queued).
  bool WaitConnected(std::chrono::milliseconds timeout);

  // Takes the next received line, in order, into *line. kEnded once the connection has ended
  // and every line received before that has been taken; kTimeout when nothing arrived within
  // `timeout`.
  Next NextLine(std::string* line, std::chrono::milliseconds timeout);
  // From now on NextLine (a call waiting now included) and WaitConnected return at once,
  // NextLine with kEnded, as if the connection had ended; lines not yet taken stay queued.
  // Any thread.
  void Interrupt();
  // Empty while the connection is open or after the server closed it; otherwise why it could
  // not be opened (the socket's error text) or was lost ("Connection lost: <reason>", for a
  // connection reset or timed out under an open socket).
  std::string EndReason() const;
  bool Ended() const;

  // Whether the server is asked for compression (wantcompress); true unless set otherwise.
  void SetWantCompress(bool on);

  // Observers for tracing: `received` for each line taken by NextLine (on its thread), `sent`
  // for each line SendString sends (on the sending thread). Set them before connecting.
  void SetLineObservers(std::function<void(const std::string&)> received,
                        std::function<void(const std::string&)> sent);
  long LinesReceived() const;
  long LinesSent() const;

  // BaseConnection. The filter operations return 1 once done, 0 when the loop did not run
  // them within kLoopTaskLimit.
  int PauseZFilter() override;   // TSMSG_ZPAUSE down the chain (nothing before AddZFilter)
  int ResumeZFilter() override;  // TSMSG_ZRESUME (likewise)
  // Adds the filter at the transport end of the chain the first time, then TSMSG_ZSTART.
  int AddZFilter() override;
  // The TcpSocket or SSLTcpSocket (owned by the connection).
  Socket* GetSocket() override;
  // Closes the connection after what is queued has been sent. Returns 1.
  int CloseConnection() override;
  // Hands `line` (without terminator) to the socket; lines leave in the order of the calls,
  // from whichever threads. Waits, on any thread but the loop thread, while kSendLimitBytes
  // wait unsent (see Bounds). Returns 1, or 0 when the line was dropped because the
  // connection has ended, or because the bound is reached and Interrupt was called.
  int SendString(char* line) override;
  int wantcompress() override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace nycl

#endif  // NYCL_SESSION_SESSIONCONNECTION_H
