#include "session/ConnectionCore.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <system_error>

#include "nycl/base/XString.h"
#include "nycl/net/SocketMessages.h"
#include "session/MeteredFilter.h"

namespace nycl {

namespace {

constexpr long kQueueLimit = SessionConnection::kQueueLimitBytes;
constexpr long kQueueLowWater = kQueueLimit / 2;
constexpr long kSendLimit = SessionConnection::kSendLimitBytes;

}  // namespace

void ConnectionCore::OnRecv(const unsigned char* data, int len) {
  if (len < 0) len = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(reinterpret_cast<const char*>(data), static_cast<size_t>(len));
    charged_ += len + kLineOverhead;
  }
  cv_.notify_all();
}

void ConnectionCore::OnRecvMessage(int code, void* data) {
  switch (code) {
    case TSMSG_CONNECTED: {
      std::lock_guard<std::mutex> lock(mutex_);
      connected_ = true;
      break;
    }
    case TSMSG_ERROR:
      // The text lives only for this call.
      EndWith(data != nullptr ? static_cast<XString*>(data)->c_str() : "socket error");
      return;
    case TSMSG_CLOSE:
      EndWith(std::string());
      return;
    case TSMSG_DESTROYED: {
      std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
      destroyed_ = true;
      break;
    }
    default:
      // Urgent bytes and peer names mean nothing to a session: dropped on purpose.
      return;
  }
  cv_.notify_all();
}

bool ConnectionCore::AcceptsInput() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (charged_ >= kQueueLimit) paused_ = true;
  return !paused_;
}

bool ConnectionCore::MayRead() {
  return AcceptsInput() && (filter == nullptr || !filter->Holding());
}

void ConnectionCore::NoteLost(const std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reason_.empty()) reason_ = why;
}

void ConnectionCore::EndWith(const std::string& why) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reason_.empty()) reason_ = why;
    ended_ = true;
  }
  cv_.notify_all();
}

void ConnectionCore::Interrupt() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
  }
  cv_.notify_all();
}

std::string ConnectionCore::EndReason() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reason_;
}

bool ConnectionCore::Ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

bool ConnectionCore::Connected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connected_;
}

SessionConnection::Next ConnectionCore::Take(std::string* line, std::chrono::milliseconds timeout,
                                             bool* wake) {
  *wake = false;
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, timeout, [this] { return interrupted_ || ended_ || !lines_.empty(); });
  if (interrupted_) return SessionConnection::Next::kEnded;
  if (lines_.empty()) {
    return ended_ ? SessionConnection::Next::kEnded : SessionConnection::Next::kTimeout;
  }
  line->swap(lines_.front());
  lines_.pop_front();
  charged_ -= static_cast<long>(line->size()) + kLineOverhead;
  if (paused_ && charged_ < kQueueLowWater) {
    paused_ = false;
    *wake = true;
  }
  return SessionConnection::Next::kLine;
}

void ConnectionCore::Queued(long bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  unsent_ += bytes;
}

bool ConnectionCore::RoomToSend(bool may_wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (may_wait) {
    cv_.wait(lock, [this] { return unsent_ < kSendLimit || ended_ || interrupted_; });
  }
  return unsent_ < kSendLimit || (!ended_ && !interrupted_ && !may_wait);
}

void ConnectionCore::Drained() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    unsent_ = 0;
  }
  cv_.notify_all();
}

bool ConnectionCore::WaitConnected(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait_for(lock, timeout, [this] { return connected_ || ended_ || interrupted_; });
  return connected_;
}

bool ConnectionCore::WaitDestroyed(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return destroyed_; });
}

// A connection the kernel has closed under an open socket was reset or timed out; one the
// server ended in order is still half open (CLOSE_WAIT).
template <class Transport>
bool SessionSocket<Transport>::Broken(int fd) {
  tcp_info info{};
  socklen_t len = sizeof info;
  if (fd < 0 || ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0) return false;
  return info.tcpi_state == TCP_CLOSE;
}

template <class Transport>
std::string SessionSocket<Transport>::LostText(int error) {
  if (error != ECONNRESET && error != ETIMEDOUT && error != EPIPE && error != EHOSTUNREACH &&
      error != ENETUNREACH) {
    error = ECONNRESET;
  }
  return "Connection lost: " + std::error_code(error, std::generic_category()).message();
}

template class SessionSocket<TcpSocket>;
template class SessionSocket<SSLTcpSocket>;

}  // namespace nycl
