// Socket: the abstract socket with its processor chain.
//
// The chain is [first_processor, ...host processors..., last_processor]. Send() enters at the
// sink end and ends in the transport's DoSend(); the transport's Recv() enters at the
// transport end and ends in DoRecv(), which hands the data to the sink.
//
// Ownership: the socket owns every processor in its chain, the two fixed ends included.
// Processors are allocated with new and handed over once; RemoveProcessor deletes them.
// The sink is borrowed. The chain has no lock: received data travels on the event-loop
// thread; data sent from another thread runs down the chain on that thread and ends in the
// transport's thread-safe send queue.
#ifndef NYCL_NET_SOCKET_H
#define NYCL_NET_SOCKET_H

#include "nycl/base/XString.h"
#include "nycl/net/SocketMessages.h"
#include "nycl/net/SocketProcessor.h"

namespace nycl {

class Socket;
class SocketSelector;

// The sink end of every chain: hands received data and messages to the socket's sink.
class first_processor : public SocketProcessor {
 public:
  explicit first_processor(Socket* socket) : m_socket(socket) {}
  void ProcSend(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcSendMessage(ProcessorIterator it, int code, void* data) override;
  void ProcRecvMessage(ProcessorIterator it, int code, void* data) override;

 private:
  Socket* m_socket;
};

// The transport end of every chain: hands sent data and messages to the transport.
class last_processor : public SocketProcessor {
 public:
  explicit last_processor(Socket* socket) : m_socket(socket) {}
  void ProcSend(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) override;
  void ProcSendMessage(ProcessorIterator it, int code, void* data) override;
  void ProcRecvMessage(ProcessorIterator it, int code, void* data) override;

 private:
  Socket* m_socket;
};

class Socket {
 public:
  explicit Socket(SocketSink* sink);
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  virtual ~Socket();

  // Down the chain from the sink end.
  virtual void Send(const unsigned char* data, int len);
  virtual void SendMessage(int code, void* data);
  // Up the chain from the transport end; the transport calls these with what it read.
  virtual void Recv(const unsigned char* data, int len);
  virtual void RecvMessage(int code, void* data);

  virtual void Connect(XString host, XString port) = 0;
  virtual void Listen(XString host, XString port) = 0;
  virtual void Close() = 0;
  virtual void Destroy() = 0;

  virtual void SetSink(SocketSink* sink);
  // Inserts `processor` at the sink end of the chain (after first_processor).
  virtual void AddProcessor(SocketProcessor* processor);
  // Inserts `processor` at the transport end of the chain (before last_processor).
  virtual void AddLastProcessor(SocketProcessor* processor);
  // Removes every occurrence of `processor` from the chain, then deletes it (also when it was
  // not in the chain).
  virtual void RemoveProcessor(SocketProcessor* processor);
  virtual SocketSink* GetSink();
  // "Socket", "TcpSocket" or "SSLTcpSocket": tells the transport of a socket.
  virtual char* GetRuntimeClassName();

  int GetState() const { return m_state; }
  static void SetSocketSelect(SocketSelector* selector) { m_selector = selector; }
  static SocketSelector* GetSocketSelect() { return m_selector; }

 protected:
  virtual void DoSend(const unsigned char* data, int len) = 0;
  virtual void DoSendMessage(int code, void* data) = 0;
  // To the sink when one is set; dropped otherwise.
  virtual void DoRecv(const unsigned char* data, int len);
  virtual void DoRecvMessage(int code, void* data);

  friend class first_processor;
  friend class last_processor;

  SocketSink* m_sink;
  ProcessorList m_chain;
  first_processor* m_first;
  last_processor* m_last;
  int m_state = 0;
  char m_runtimeClassName[200];

  static SocketSelector* m_selector;
};

}  // namespace nycl

#endif  // NYCL_NET_SOCKET_H
