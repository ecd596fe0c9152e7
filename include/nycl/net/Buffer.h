// Buffer: a thread-safe byte queue, the send queue of a socket.
//
// Bytes are added as blocks (each copied once into a segment) and read from one contiguous
// work area: Current() moves whole segments into the work area until at least `want` unread
// bytes are there (or the segments run out), and Remove() consumes from its front.
//
// Threads: every public operation holds the buffer's own mutex for its whole duration, so one
// thread may add while another drains. The pointer Current() returns stays valid until the
// next Current(), Remove() or destruction, and only the draining thread may use it.
#ifndef NYCL_NET_BUFFER_H
#define NYCL_NET_BUFFER_H

#include <cstdint>
#include <mutex>

namespace nycl {

// One queued block; `data` (length bytes) is owned by the segment.
struct _bufferSeg {
  unsigned char* data;
  int32_t length;
  _bufferSeg* next;
  _bufferSeg* previous;
};

class Buffer {
 public:
  // Also installs a process-wide new-handler that lets a failing operator new retry, unless
  // the host has installed one of its own.
  Buffer();
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  virtual ~Buffer();

  // Appends a copy of `len` bytes (len <= 0 queues nothing).
  void Add(const unsigned char* data, int len);
  // True when no unread byte is left, in the work area or in a segment.
  char Empty();
  // Makes at least `want` unread bytes contiguous where the queue holds that many, stores the
  // contiguous count in *len (when len is not null) and returns the first unread byte, or
  // null while the work area is empty. Throws SocketException "Buffer: Out of memory!".
  unsigned char* Current(int* len, int want);
  // Consumes `len` bytes from the front of the work area.
  // REQUIRES: 0 <= len <= the count the last Current() reported, less what was removed since.
  void Remove(int len);

 protected:
  void AddSeg(const unsigned char* data, int len);
  void RemoveSeg(_bufferSeg* seg);
  void SortWorkBuf(int want);

 private:
  unsigned char* m_wrkbuf = nullptr;
  int32_t m_wrksize = 0;
  int32_t m_wrkstrt = 0;
  int32_t m_wrkend = 0;
  _bufferSeg* m_first = nullptr;
  _bufferSeg* m_last = nullptr;
  std::mutex m_mutex;
};

}  // namespace nycl

#endif  // NYCL_NET_BUFFER_H
