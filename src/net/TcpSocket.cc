#include "nycl/net/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "net/NetError.h"
#include "nycl/net/SocketException.h"

namespace nycl {

namespace {

const char kConnectFailed[] = "Open error - connect call failed: (port number may be invalid) :";
// The most the chain is handed at once.
constexpr int kBlock = 4096;
// One read takes up to this much, and goes up the chain in blocks of kBlock. Each call of
// Input reads once, so every read follows a fresh look of the loop at the socket (an urgent
// byte is never read past unseen, and other sources get their turn), yet one wake-up takes
// what sixteen reads of a block would.
constexpr int kReadSize = 16 * kBlock;

}  // namespace

// Gives up a connection that takes too long. The socket forgets the timer before the timer
// reports, so the loop deletes the timer after its tick, never the socket.
class TcpConnectTimer final : public SocketTimer {
 public:
  TcpConnectTimer(TcpSocket* socket, int milliseconds)
      : socket_(socket), period_(0, milliseconds) {}
  void OnTimer() override { socket_->ConnectTimedOut(); }
  Interval GetInterval() override { return period_; }
  bool KeepRunning() override { return false; }

 private:
  TcpSocket* socket_;
  Interval period_;
};

TcpHostLookup* TcpSocket::m_lookup = nullptr;

void TcpSocket::SetSocketSelect(SocketSelector* selector) {
  if (m_lookup != nullptr) throw SocketException("SetSocketSelect called more than once");
  Socket::SetSocketSelect(selector);
  m_lookup = new TcpHostLookup(selector);
}

TcpSocket::TcpSocket(SocketSink* sink) : Socket(sink) {
  if (m_lookup == nullptr) throw SocketException("Sockets are not yet initialized");
  m_state = 0;
  std::strcpy(m_runtimeClassName, "TcpSocket");
}

TcpSocket::TcpSocket(int socket, SocketSink* sink, bool) : Socket(sink) {
  if (m_lookup == nullptr) throw SocketException("Sockets are not yet initialized");
  std::strcpy(m_runtimeClassName, "TcpSocket");
  m_socket = socket;
  m_state = 3;
  if (sink != nullptr) sink->OnRecvMessage(TSMSG_CONNECTED, nullptr);
  Nonblock();
  if (m_state == 3) m_selector->Add(this);
}

TcpSocket::~TcpSocket() {
  m_inDestructor = true;
  Destroy();
  StopConnectTimer();
  m_lookup->DestructNotify(this);
  delete[] m_input;
}

void TcpSocket::PortLookup(XString port) {
  m_port = htons(static_cast<uint16_t>(std::atoi(port.c_str())));
  if (m_port != 0) return;
  char name[1024];
  std::strncpy(name, port.c_str(), sizeof name - 1);
  name[sizeof name - 1] = 0;
  servent entry;
  servent* found = nullptr;
  char scratch[4096];
  if (::getservbyname_r(name, "tcp", &entry, scratch, sizeof scratch, &found) == 0 &&
      found != nullptr) {
    m_port = static_cast<uint16_t>(found->s_port);
    return;
  }
  m_port = -1;
  m_state = 5;
  throw SocketException("Open error - Service lookup failed: ");
}

void TcpSocket::Connect(XString host, XString port) {
  if (m_state != 0 && m_state != 5) throw SocketException("Socket on connect is already open");
  PortLookup(port);
  m_listening = false;
  m_state = 1;
  m_lookup->Lookup(host, this);
}

void TcpSocket::Listen(XString host, XString port) {
  if (m_state != 0 && m_state != 5) throw SocketException("Socket on listen is already open");
  PortLookup(port);
  m_listening = true;
  m_state = 1;
  if (host.empty()) {
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    Complete(reinterpret_cast<sockaddr&>(any));
  } else {
    m_lookup->Lookup(host, this);
  }
}

void TcpSocket::Close() {
  DeleteGuard guard(this);
  switch (m_state) {
    case 0:
      throw SocketException("Close called on invalid socket");
    case 1:
    case 2:
      m_state = 4;
      return;
    case 3:
      m_state = 4;
      RecvMessage(TSMSG_CLOSE, nullptr);
      if (m_state == 4 && QueuesEmpty()) Destroy();  // else Output finishes the job
      return;
    case 4:
    case 5:
      return;
    default:
      throw SocketException("Invalid socket state in TcpSocket::Close");
  }
}

void TcpSocket::Destroy() {
  if (m_state == 1) {
    m_state = 5;
    return;
  }
  if (m_state == 0 || m_state == 5) return;
  StopConnectTimer();
  m_connecting = false;
  RecvMessage(TSMSG_DESTROYED, nullptr);
  if (m_socket >= 0) ::close(m_socket);
  m_inputStart = m_inputEnd = 0;  // what the closed socket held goes with it
  m_state = 5;
  m_selector->Remove(this);
  m_socket = -1;
  if (!m_deleteOnDestroy || m_inDestructor) return;
  if (m_busy > 0) {
    m_deletePending = true;  // the outermost guarded call deletes it
  } else {
    delete this;
  }
}

void TcpSocket::Complete(sockaddr& address) {
  if (m_state != 1) {
    Destroy();  // closed or destroyed while the host was being resolved
    return;
  }
  sockaddr_in in;
  std::memcpy(&in, &address, sizeof in);
  in.sin_port = static_cast<uint16_t>(m_port);
  Open(in);
}

void TcpSocket::Open(const sockaddr_in& address) {
  m_state = 3;
  m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_socket < 0) {
    OpenFailed("Open error - socket call failed: ", errno);
    return;
  }
  int on = 1;
  ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr* to = reinterpret_cast<const sockaddr*>(&address);
  if (m_listening) {
    if (::bind(m_socket, to, sizeof address) != 0) {
      OpenFailed("Open error - bind call failed: ", errno);
      return;
    }
    if (::listen(m_socket, m_backlog) != 0) {
      OpenFailed("Open error - listen call failed: ", errno);
      return;
    }
    Nonblock();
    if (m_state != 3) return;
    m_selector->Add(this);
    RecvMessage(TSMSG_CONNECTED, this);
    return;
  }

  // The connection completes in the loop, which reports the socket writable.
  Nonblock();
  if (m_state != 3) return;
  int rc;
  do {
    rc = ::connect(m_socket, to, sizeof address);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno != EINPROGRESS) {
    OpenFailed(kConnectFailed, errno);
    return;
  }
  m_state = 2;
  m_connecting = true;
  m_selector->Add(this);
  if (m_connectTimeout > 0) {
    m_connectTimer = new TcpConnectTimer(this, m_connectTimeout);
    m_selector->Add(m_connectTimer);
  }
}

void TcpSocket::OpenFailed(const char* prefix, int err) {
  XString message = XString(prefix) + ErrorText(err);
  RecvMessage(TSMSG_ERROR, &message);
  Destroy();
}

bool TcpSocket::FinishConnect() {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  if (err == 0) {
    // Writable and no error can still mean "not yet" after a spurious wake-up.
    sockaddr_in peer;
    socklen_t peer_len = sizeof peer;
    if (::getpeername(m_socket, reinterpret_cast<sockaddr*>(&peer), &peer_len) != 0) {
      if (errno != ENOTCONN) err = errno;
      if (err == 0) return false;
    }
  }
  if (err == EINPROGRESS || err == EALREADY) return false;
  StopConnectTimer();
  m_connecting = false;
  if (err != 0) {
    OpenFailed(kConnectFailed, err);
    return false;
  }
  if (m_state == 2) {
    m_state = 3;
    RecvMessage(TSMSG_CONNECTED, this);
    return m_state == 3;
  }
  // Closed while connecting: what was queued goes out, then the socket goes.
  if (m_state == 4 && QueuesEmpty()) {
    Destroy();
    return false;
  }
  return m_state == 4;
}

void TcpSocket::ConnectTimedOut() {
  m_connectTimer = nullptr;  // the loop deletes the timer after this tick
  if (!m_connecting) return;
  m_connecting = false;
  OpenFailed(kConnectFailed, ETIMEDOUT);
}

void TcpSocket::StopConnectTimer() {
  if (m_connectTimer == nullptr) return;
  m_selector->Remove(m_connectTimer);
  delete m_connectTimer;
  m_connectTimer = nullptr;
}

void TcpSocket::Complete(XString name) {
  RecvMessage(TSMSG_PEERNAME, &name);
}

void TcpSocket::Failed() {
  if (m_socket != -1 || (m_state != 1 && m_state != 4)) return;
  XString message = XString("Open error - DNS lookup failed: ") + gai_strerror(EAI_NONAME);
  RecvMessage(TSMSG_ERROR, &message);
  Destroy();
}

void TcpSocket::Nonblock() {
  int flags = ::fcntl(m_socket, F_GETFL, 0);
  if (flags >= 0 && ::fcntl(m_socket, F_SETFL, flags | O_NONBLOCK) == 0) return;
  XString message = XString("Open error - ioctlsocket nonblock call failed: ") + ErrorText(errno);
  RecvMessage(TSMSG_ERROR, &message);
  if (m_socket >= 0) ::close(m_socket);
  m_state = 5;
  m_socket = -1;
}

void TcpSocket::NewConnection() {
  TcpSocket* created = new TcpSocket(nullptr);
  if (!AcceptInto(created)) delete created;
}

bool TcpSocket::AcceptInto(TcpSocket* created) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int fd;
  do {
    fd = ::accept4(m_socket, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;

  // The host may close the new socket in any of the calls below; it is deleted at the end
  // rather than from inside them.
  created->m_deleteOnDestroy = false;
  created->m_socket = fd;
  created->m_state = 3;
  created->Nonblock();
  if (created->m_state == 3) RecvMessage(TSMSG_ACCEPTED, created);
  if (created->m_state == 3) {
    m_selector->Add(created);
    created->RecvMessage(TSMSG_CONNECTED, nullptr);
  }
  if (created->m_state == 3) m_lookup->Lookup(reinterpret_cast<sockaddr&>(peer), created);
  created->m_deleteOnDestroy = true;
  if (created->m_state == 5) delete created;
  return true;
}

void TcpSocket::DoSend(const unsigned char* data, int len) {
  m_sendQueue.Add(data, len);
  m_selector->Wake();
}

void TcpSocket::DoSendMessage(int code, void* data) {
  if (code == TSMSG_CLOSE) {
    Close();
  } else if (code == TSMSG_URGENT) {
    if (data == nullptr) throw SocketException("TSMSG_URGENT: Null Message Data");
    UrgentData* urgent = static_cast<UrgentData*>(data);
    m_urgentQueue.Add(urgent->data, urgent->length);
    m_selector->Wake();
  }
}

int TcpSocket::FD() {
  return m_socket;
}
bool TcpSocket::WantInput() {
  return true;
}
bool TcpSocket::WantOutput() {
  return m_connecting || !QueuesEmpty();
}
bool TcpSocket::WantException() {
  return true;
}
bool TcpSocket::IsFileDescriptor() {
  return false;
}

void TcpSocket::Exception() {
  m_oobPending = true;
}

bool TcpSocket::ReadUrgent(unsigned char* block) {
  if (!m_oobPending || ::sockatmark(m_socket) <= 0) return false;
  ssize_t n;
  do {
    n = ::recv(m_socket, block, kBlock, MSG_OOB);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && errno == EINVAL) n = ::recv(m_socket, block, kBlock, 0);
  m_oobPending = false;
  if (n <= 0) return false;
  block[n] = 0;
  UrgentData urgent{static_cast<int>(n), block};
  RecvMessage(TSMSG_URGENT, &urgent);
  return true;
}

bool TcpSocket::HasBufferedInput() {
  return m_inputStart < m_inputEnd;
}

// A read may take more than the chain is handed at once; the rest goes up in blocks of
// kBlock, each followed by a NUL as a block of its own would be. Between blocks the socket
// may have been closed (what is left is dropped with the connection) or stopped wanting input
// (what is left waits, and HasBufferedInput brings the loop back for it).
void TcpSocket::DeliverInput() {
  while (m_inputStart < m_inputEnd && m_socket >= 0) {
    const int length = std::min(kBlock, m_inputEnd - m_inputStart);
    unsigned char* block = m_input + m_inputStart;
    const unsigned char next = block[length];
    block[length] = 0;
    m_inputStart += length;
    Recv(block, length);
    block[length] = next;
    if (m_inputStart < m_inputEnd && !WantInput()) return;
  }
  m_inputStart = m_inputEnd = 0;
}

void TcpSocket::Input() {
  DeleteGuard guard(this);
  if (m_connecting && !FinishConnect()) return;
  if (m_listening) {
    NewConnection();
    return;
  }
  if (m_input == nullptr) m_input = new unsigned char[kReadSize + 1];
  // Bytes read before the urgent mark go up before the urgent byte.
  if (m_inputStart < m_inputEnd) {
    DeliverInput();
    return;
  }
  if (ReadUrgent(m_input)) return;
  ssize_t n;
  do {
    n = ::recv(m_socket, m_input, kReadSize, 0);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    m_inputStart = 0;
    m_inputEnd = static_cast<int>(n);
    DeliverInput();
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  // The peer closed, or the connection broke.
  if (m_state == 4) {
    Destroy();
  } else {
    Close();
  }
}

void TcpSocket::Output() {
  DeleteGuard guard(this);
  if (m_connecting && !FinishConnect()) return;
  bool urgent = !m_urgentQueue.Empty();
  Buffer& queue = urgent ? m_urgentQueue : m_sendQueue;
  int n = 0;
  unsigned char* data = queue.Current(&n, kBlock);
  if (data == nullptr || n == 0) return;
  int flags = MSG_NOSIGNAL | (urgent ? MSG_OOB : 0);
  ssize_t sent;
  do {
    sent = ::send(m_socket, data, n, flags);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return;  // writable again later
    if (m_state == 4) {
      Destroy();
    } else {
      Close();
    }
    return;
  }
  queue.Remove(static_cast<int>(sent));
  if (QueuesEmpty()) {
    if (m_state == 4) {
      Destroy();
    } else {
      SendMessage(TSMSG_SENT, nullptr);
    }
  }
}

}  // namespace nycl
