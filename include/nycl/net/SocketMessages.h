// Control messages that travel through a socket's processor chain, as (code, void* data).
//
// Data carried by TSMSG_PEERNAME, TSMSG_ERROR and TSMSG_URGENT lives only for the duration of
// the call; a receiver copies what it needs.
#ifndef NYCL_NET_SOCKETMESSAGES_H
#define NYCL_NET_SOCKETMESSAGES_H

namespace nycl {

enum {
  TSMSG_CLOSE = 1,      // down: close the socket; up: the socket is closing (null)
  TSMSG_CONNECTED = 2,  // up: connected or listening (the socket; null on an accepted one)
  TSMSG_PEERNAME = 3,   // up: XString* dotted address of an accepted peer
  TSMSG_DESTROYED = 4,  // up: the socket is gone (null)
  TSMSG_ERROR = 5,      // up: XString* message of an open, connect or lookup failure
  TSMSG_ACCEPTED = 6,   // up: the new socket of a listening socket
  TSMSG_SENT = 7,       // down: both send queues became empty (null)
  TSMSG_ZSTART = 10,    // down: start decompressing with a fresh stream
  TSMSG_ZSTOP = 11,     // down: stop decompressing, keep the stream
  TSMSG_ZPAUSE = 12,    // down: save the stream, pass data through
  TSMSG_ZRESUME = 13,   // down: return to the saved stream
  TSMSG_URGENT = 256,   // down/up: UrgentData* out-of-band bytes
};

// Out-of-band bytes: `length` bytes at `data`, borrowed for the call.
struct UrgentData {
  int length;
  unsigned char* data;
};

}  // namespace nycl

#endif  // NYCL_NET_SOCKETMESSAGES_H
