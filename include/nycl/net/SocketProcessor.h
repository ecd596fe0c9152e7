// SocketProcessor: one filter of a socket's processor chain, and the receiver interface.
//
// A chain runs from the sink end (first_processor) to the transport end (last_processor).
// Sent data and messages travel towards the transport: a processor hands its result to the
// element after its own position. Received data and messages travel towards the sink: a
// processor hands its result to the element before its own position. A processor passes
// every message on, whether or not it acts on it.
#ifndef NYCL_NET_SOCKETPROCESSOR_H
#define NYCL_NET_SOCKETPROCESSOR_H

#include <list>

namespace nycl {

class SocketProcessor;
using ProcessorList = std::list<SocketProcessor*>;
// The position of the processor being called in its socket's chain.
using ProcessorIterator = ProcessorList::iterator;

class SocketProcessor {
 public:
  virtual ~SocketProcessor() = default;
  virtual void ProcSend(ProcessorIterator it, const unsigned char* data, int len) = 0;
  virtual void ProcRecv(ProcessorIterator it, const unsigned char* data, int len) = 0;
  virtual void ProcSendMessage(ProcessorIterator it, int code, void* data) = 0;
  virtual void ProcRecvMessage(ProcessorIterator it, int code, void* data) = 0;

 protected:
  // Hand on to the neighbour of `it` in the direction of travel.
  static void PassSend(ProcessorIterator it, const unsigned char* data, int len) {
    ++it;
    (*it)->ProcSend(it, data, len);
  }
  static void PassRecv(ProcessorIterator it, const unsigned char* data, int len) {
    --it;
    (*it)->ProcRecv(it, data, len);
  }
  static void PassSendMessage(ProcessorIterator it, int code, void* data) {
    ++it;
    (*it)->ProcSendMessage(it, code, data);
  }
  static void PassRecvMessage(ProcessorIterator it, int code, void* data) {
    --it;
    (*it)->ProcRecvMessage(it, code, data);
  }
};

// Implemented by the host: receives what reaches the sink end of a socket's chain, on the
// event-loop thread. The data pointer is valid only during the call.
class SocketSink {
 public:
  virtual void OnRecv(const unsigned char* data, int len) = 0;
  virtual void OnRecvMessage(int code, void* data) = 0;

 protected:
  ~SocketSink() = default;
};

}  // namespace nycl

#endif  // NYCL_NET_SOCKETPROCESSOR_H
