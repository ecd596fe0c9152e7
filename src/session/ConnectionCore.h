// ConnectionCore: what the command thread and the event-loop thread of one SessionConnection
// share, and the socket classes that read into it.
//
// The core is the socket's sink. On the loop thread it receives the server's lines into a
// queue and learns how the connection goes (connected, closed, failed); on the command thread
// NextLine takes the lines in order. The queue is bounded: every line is charged its length
// plus kLineOverhead, and while the charge reaches the bound the socket says it wants no
// input, so the loop leaves the server's bytes in the kernel, and the decompression filter
// holds back what it has not decompressed yet (MeteredFilter). Taking lines below half the
// bound wakes the loop to read and decompress again. A line never waits for room: one read,
// or what one slice of the decompression filter makes, may go past the bound.
//
// Lifetime: shared (std::shared_ptr) by the connection and by every task it queues on the
// loop, so it outlives the socket, which is deleted by such a task.
#ifndef NYCL_SRC_SESSION_CONNECTIONCORE_H
#define NYCL_SRC_SESSION_CONNECTIONCORE_H

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "nycl/net/SSLTcpSocket.h"
#include "nycl/net/SocketMessages.h"
#include "nycl/net/SocketProcessor.h"
#include "nycl/net/TcpSocket.h"
#include "nycl/session/SessionConnection.h"

namespace nycl {

class MeteredFilter;

class ConnectionCore final : public SocketSink {
 public:
  // What a queued line costs beside its bytes (the string and its place in the queue), so
  // that a flood of empty lines is bounded too.
  static constexpr long kLineOverhead = 64;

  // Loop thread (the socket's sink).
  void OnRecv(const unsigned char* data, int len) override;
  void OnRecvMessage(int code, void* data) override;
  // Whether the queue takes more lines now.
  bool AcceptsInput();
  // Whether the socket may read now: the queue has room and the filter holds nothing back.
  bool MayRead();
  // The connection broke (rather than the server closing it): `why` becomes the end reason,
  // unless one is known already. The socket's TSMSG_CLOSE follows.
  void NoteLost(const std::string& why);

  // Any thread.
  // Ends the line stream with `why` (empty: a normal end).
  void EndWith(const std::string& why);
  void Interrupt();
  std::string EndReason() const;
  bool Ended() const;
  bool Connected() const;

  // Sending, from any thread: `bytes` were handed to the socket.
  void Queued(long bytes);
  // Waits (unless `may_wait` is false) while what the socket holds unsent has reached
  // kSendLimitBytes, until it drains, the connection ends or the stream is interrupted.
  // False when the line should be dropped: the bound is reached and no wait will end it.
  bool RoomToSend(bool may_wait);
  // Loop thread: the socket's send queues are empty.
  void Drained();

  // Command thread. *wake tells whether the loop must be woken to read again.
  SessionConnection::Next Take(std::string* line, std::chrono::milliseconds timeout, bool* wake);
  bool WaitConnected(std::chrono::milliseconds timeout);
  // Waits until the socket is destroyed (its output sent after a close).
  bool WaitDestroyed(std::chrono::milliseconds timeout);

  // Serializes what travels down the chain: lines from any thread, and the filter's
  // insertion and control messages on the loop thread.
  std::mutex send_mutex;
  // In the socket's chain once added (inserted under send_mutex, as the chain changes); read
  // and written on the loop thread only.
  MeteredFilter* filter = nullptr;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::string> lines_;
  long charged_ = 0;
  bool paused_ = false;  // input stopped at the bound, until the queue falls below half
  bool connected_ = false;
  bool ended_ = false;
  bool interrupted_ = false;
  bool destroyed_ = false;
  std::string reason_;
  long unsent_ = 0;  // handed to the socket since its queues were last empty
};

// The session's socket: a TcpSocket or an SSLTcpSocket (its class name unchanged, since the
// data state tells TLS from plain by it) that reads only while the core has room, and tells
// a broken connection from one the server closed.
template <class Transport>
class SessionSocket final : public Transport {
 public:
  explicit SessionSocket(ConnectionCore* core) : Transport(core), core_(core) {}

  bool WantInput() override { return core_->MayRead() && Transport::WantInput(); }
  // The transport says so each time it has written all it held.
  void SendMessage(int code, void* data) override {
    if (code == TSMSG_SENT) core_->Drained();
    Transport::SendMessage(code, data);
  }
  // Held back with the input: a hang-up reported while nothing is read would wake the loop
  // again and again.
  bool WantException() override { return core_->MayRead() && Transport::WantException(); }

  // The transport closes on the end of the stream and on a read or write error alike; the
  // kernel's state of the connection tells them apart.
  void Close() override {
    const int error = errno;
    if (this->GetState() == 3 && Broken(this->m_socket)) core_->NoteLost(LostText(error));
    Transport::Close();
  }

 private:
  static bool Broken(int fd);
  static std::string LostText(int error);

  ConnectionCore* core_;
};

extern template class SessionSocket<TcpSocket>;
extern template class SessionSocket<SSLTcpSocket>;

}  // namespace nycl

#endif  // NYCL_SRC_SESSION_CONNECTIONCORE_H
