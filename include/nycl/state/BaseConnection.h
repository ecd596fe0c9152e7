// BaseConnection: how the common data state reaches the session's socket.
//
// The host implements it (or uses the ready-made SessionConnection of the session subsystem)
// and hands it to NyCommonDataState::SetConnection before the first command runs. The data
// state sends every answer line through SendString and switches the server stream's
// decompression through the three filter operations; it asks GetSocket for the socket whose
// class name tells a TLS connection from a plain one.
//
// The virtual operations are declared in their slot order, which hosts depend on: do not
// reorder them.
//
// Threads: called on the host's command thread. An implementation hands filter changes to the
// event-loop thread (or otherwise keeps them from overlapping a decompression in progress)
// and must have them in place before it returns, since the data state sends the line that
// tells the server to start compressing right afterwards.
#ifndef NYCL_STATE_BASECONNECTION_H
#define NYCL_STATE_BASECONNECTION_H

namespace nycl {

class Socket;

class BaseConnection {
 public:
  // Stop decompressing the server's stream, keeping the running stream for ResumeZFilter.
  virtual int PauseZFilter();  // slot 0; the default does nothing and returns 1
  // Decompress again with the stream that PauseZFilter kept.
  virtual int ResumeZFilter();  // 1; default: nothing, 1
  // Put a decompression filter with a fresh stream into the connection's chain.
  virtual int AddZFilter();  // 2; default: nothing, 1
  // The connection's socket (a TcpSocket or an SSLTcpSocket), or null before there is one.
  virtual Socket* GetSocket() = 0;  // 3
  // Never called by the library; the host gives it a meaning of its own (SessionConnection
  // closes the connection).
  virtual int CloseConnection() = 0;  // 4
  // Sends one protocol line; the line layer adds the terminator. `line` is valid only during
  // the call. Lines must leave in the order of the calls.
  virtual int SendString(char* line) = 0;  // 5
  virtual ~BaseConnection();               // 6
  // Nonzero when the client asks the server for a compressed stream.
  virtual int wantcompress();  // 7; default: 1

 protected:
  BaseConnection() = default;
  BaseConnection(const BaseConnection&) = default;
  BaseConnection& operator=(const BaseConnection&) = default;
};

}  // namespace nycl

#endif  // NYCL_STATE_BASECONNECTION_H
