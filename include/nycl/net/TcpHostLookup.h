// TcpHostLookup: turns host names into IPv4 addresses and addresses into text for sockets.
//
// Dotted addresses and the empty host (any local address) are answered inside Lookup. Names
// go to a worker thread through a request pipe and come back through an answer pipe that the
// event loop watches, so a slow name service never blocks the loop; the sink is called later,
// on the loop thread. A sink that goes away while its lookup is pending must call
// DestructNotify, after which it is never called. Reverse lookups give the dotted text at once.
//
// Pipe record (132 bytes, native byte order, both directions):
//   offset 0, 4 bytes: type - 1 name to address, 2 address to text, 3 (answers) failed
//   offset 4, 4 bytes: request id
//   offset 8, 124 bytes: type 1 request: the name, NUL-terminated (at most 122 bytes);
//     type 2 request: the IPv4 address, network order; type 1 answer: the address in the
//     first 4 bytes; type 2 answer: the host name, not necessarily NUL-terminated.
//
// Threads: everything but the worker runs on the event-loop thread, and on the thread that
// opens a socket before the loop runs; the worker shares only the two pipes.
#ifndef NYCL_NET_TCPHOSTLOOKUP_H
#define NYCL_NET_TCPHOSTLOOKUP_H

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>

#include "nycl/base/XString.h"

namespace nycl {

class SocketSelector;
class TcpHostLookupIn;
class TcpHostLookupOut;

// Receives lookup results on the event-loop thread.
class TcpHostLookupSink {
 public:
  // A name was resolved: `address` is a sockaddr_in (AF_INET, port 0), valid during the call.
  virtual void Complete(sockaddr& address) = 0;
  // An address was turned into text.
  virtual void Complete(XString name) = 0;
  virtual void Failed() = 0;

 protected:
  ~TcpHostLookupSink() = default;
};

class TcpHostLookup {
 public:
  // Starts the worker and adds the two pipe sources to `selector`. Ends the process with
  // status 0 when the pipes cannot be made.
  explicit TcpHostLookup(SocketSelector* selector);
  TcpHostLookup(const TcpHostLookup&) = delete;
  TcpHostLookup& operator=(const TcpHostLookup&) = delete;
  virtual ~TcpHostLookup();

  // Hands `address` as dotted text to sink->Complete(XString) before returning.
  virtual void Lookup(sockaddr& address, TcpHostLookupSink* sink);
  // Resolves `name` for sink->Complete(sockaddr&) or sink->Failed().
  virtual void Lookup(XString name, TcpHostLookupSink* sink);
  // Forgets every pending request of `sink`.
  virtual void DestructNotify(TcpHostLookupSink* sink);

 private:
  friend class TcpHostLookupIn;
  friend class TcpHostLookupOut;

  struct Request {
    int kind;  // 0 name to address, 1 address to text
    int id;
    bool written;
    XString name;
    uint32_t address;  // network order
    TcpHostLookupSink* sink;
  };

  void CreateSubprocess();
  static void ChildThread(int requests, int answers);
  void HandleInput();
  void HandleOutput();
  void HandleException();
  void TerminateProc();
  bool WantsOutput();
  // Answers a name on the calling thread.
  static void ResolveNow(const XString& name, TcpHostLookupSink* sink);

  std::atomic<bool> m_running{false};
  SocketSelector* m_selector;
  std::thread m_worker;
  int m_answers = -1;   // read end of the answer pipe
  int m_requests = -1;  // write end of the request pipe
  int m_lastId = 0;
  TcpHostLookupIn* m_in = nullptr;
  TcpHostLookupOut* m_out = nullptr;
  std::list<Request> m_pending;
  // Guards m_pending and m_lastId: a socket may open on the host's thread while the loop runs.
  std::mutex m_mutex;
};

}  // namespace nycl

#endif  // NYCL_NET_TCPHOSTLOOKUP_H
