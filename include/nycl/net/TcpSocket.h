// TcpSocket: the TCP transport under a processor chain.
//
// States (GetState):
//   0 not opened; 1 resolving the host; 2 connecting; 3 open (connected or listening);
//   4 closing: queued output is sent, then the socket is destroyed; 5 closed.
// Connect and Listen never block: a host name is resolved by the lookup worker and the
// connection completes when the loop reports the socket writable, sending TSMSG_CONNECTED up
// the chain. A refused connection, or none within the connect timeout, reaches the sink as
// TSMSG_ERROR "Open error - connect call failed: (port number may be invalid) :<text>",
// and the socket is destroyed. Data sent before the connection is up waits in the queue.
// Urgent data (TSMSG_URGENT down the chain) is sent as out-of-band data before queued data.
//
// Threads: the socket runs on the event-loop thread; it may be opened on the host's thread
// before the loop runs. Send() may be called from any thread: the data ends in the socket's
// thread-safe queue and the loop is woken to send it.
//
// Ownership: a socket made by accepting deletes itself when it is destroyed; any other socket
// belongs to the host, which deletes it (not from within its own chain's calls).
#ifndef NYCL_NET_TCPSOCKET_H
#define NYCL_NET_TCPSOCKET_H

#include <netinet/in.h>

#include "nycl/net/Buffer.h"
#include "nycl/net/Socket.h"
#include "nycl/net/SocketSelector.h"
#include "nycl/net/TcpHostLookup.h"

namespace nycl {

class TcpConnectTimer;

class TcpSocket : public Socket, public SocketSelectData, public TcpHostLookupSink {
 public:
  // Must be called once, before any TcpSocket is built; a second call throws
  // "SetSocketSelect called more than once". `selector` must outlive every socket.
  static void SetSocketSelect(SocketSelector* selector);

  // A socket in state 0. Throws "Sockets are not yet initialized" before SetSocketSelect.
  explicit TcpSocket(SocketSink* sink);
  // Wraps the connected socket `socket` (taken over): state 3, TSMSG_CONNECTED straight to
  // the sink, registered with the loop.
  TcpSocket(int socket, SocketSink* sink, bool);
  ~TcpSocket() override;

  // Opens a connection to `host` ("a.b.c.d", a name, or empty for this host) at `port` (a
  // number or a service name). Throws "Socket on connect is already open" unless the state
  // is 0 or 5, and "Open error - Service lookup failed: " (state 5) for an unknown service.
  void Connect(XString host, XString port) override;
  // Listens on `host` (empty: every local address) at `port`; accepted connections arrive as
  // TSMSG_ACCEPTED with the new socket, whose sink and chain the host sets in that call.
  void Listen(XString host, XString port) override;
  // Closes after the queued output went out. Throws "Close called on invalid socket" in
  // state 0; harmless when already closing or closed.
  void Close() override;
  // Closes at once: TSMSG_DESTROYED up the chain, state 5.
  void Destroy() override;

  // The time a connection may take before it is given up (default 30000 ms; 0: no limit).
  // Applies to connections started afterwards.
  void SetConnectTimeout(int milliseconds) { m_connectTimeout = milliseconds; }

  // SocketSelectData
  int FD() override;
  bool WantInput() override;
  bool WantOutput() override;
  bool WantException() override;
  void Input() override;
  void Output() override;
  void Exception() override;
  bool IsFileDescriptor() override;
  // True while bytes read off the socket wait to go up the chain (WantInput turned false
  // between two blocks of one read).
  bool HasBufferedInput() override;

  // TcpHostLookupSink
  void Complete(sockaddr& address) override;
  void Complete(XString name) override;
  void Failed() override;

 protected:
  void DoSend(const unsigned char* data, int len) override;
  // TSMSG_CLOSE closes; TSMSG_URGENT queues its bytes for out-of-band sending (a null data
  // pointer throws "TSMSG_URGENT: Null Message Data"); other codes are ignored.
  void DoSendMessage(int code, void* data) override;

  // Accepts one connection of a listening socket.
  virtual void NewConnection();
  // Switches the socket to non-blocking mode; a failure reports TSMSG_ERROR, state 5.
  virtual void Nonblock();
  virtual void PortLookup(XString port);

  // Accepts one pending connection into `created` (a socket in state 0 without sink) and
  // announces it: TSMSG_ACCEPTED here, registration, TSMSG_CONNECTED and TSMSG_PEERNAME
  // there. False when accept failed; `created` is then untouched and the caller deletes it.
  // Otherwise `created` deletes itself once destroyed, perhaps before this returns.
  bool AcceptInto(TcpSocket* created);
  // Reads the urgent byte when the read position is at the mark and delivers it as
  // TSMSG_URGENT into `block` (4097 bytes); true when something was delivered.
  bool ReadUrgent(unsigned char* block);
  // Completes a connection in progress: true once connected; false when it is still under
  // way or failed (the socket is then destroyed and may be gone).
  bool FinishConnect();
  // Reports TSMSG_ERROR "<prefix><error text of err>" and destroys the socket.
  void OpenFailed(const char* prefix, int err);
  bool QueuesEmpty() { return m_sendQueue.Empty() && m_urgentQueue.Empty(); }
  // Held by every call that may reach the sink (Input, Output, Close): a socket that deletes
  // itself on Destroy is deleted when the outermost such call ends, not while a processor
  // of its chain is still working on the block or message that led to the Destroy.
  class DeleteGuard {
   public:
    explicit DeleteGuard(TcpSocket* socket) : socket_(socket) { ++socket_->m_busy; }
    ~DeleteGuard() {
      if (--socket_->m_busy == 0 && socket_->m_deletePending) delete socket_;
    }
    DeleteGuard(const DeleteGuard&) = delete;
    DeleteGuard& operator=(const DeleteGuard&) = delete;

   private:
    TcpSocket* socket_;
  };

  bool m_oobPending = false;
  int m_socket = -1;
  Buffer m_sendQueue;
  Buffer m_urgentQueue;
  int m_backlog = 8;
  int m_port = 0;
  bool m_listening = false;
  bool m_deleteOnDestroy = false;

  std::atomic<bool> m_connecting{false};  // also read by Flush on the command thread
  bool m_inDestructor = false;
  int m_busy = 0;  // DeleteGuards held
  bool m_deletePending = false;
  int m_connectTimeout = 30000;
  TcpConnectTimer* m_connectTimer = nullptr;

  static TcpHostLookup* m_lookup;

 private:
  friend class TcpConnectTimer;
  void ConnectTimedOut();
  void StopConnectTimer();
  void Open(const sockaddr_in& address);
  // Hands what m_input holds up the chain in blocks of at most 4096 bytes, while the socket
  // is open and wants input.
  void DeliverInput();

  // The read buffer, reused by every read (allocated by the first), and the part of it not yet
  // handed on.
  unsigned char* m_input = nullptr;
  int m_inputStart = 0;
  int m_inputEnd = 0;
};

}  // namespace nycl

#endif  // NYCL_NET_TCPSOCKET_H
